#include "quicktime/base/file_checks.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "quicktime/base/errors.h"
#include "quicktime/base/os_error.h"

namespace qm {

namespace {

OSErr withDetail(std::string* detail, OSErr code, std::string text)
{
    if (detail)
        *detail = std::move(text);
    return code;
}

std::string quoted(const std::filesystem::path& file) { return "'" + file.string() + "'"; }

} // namespace

OSErr checkInputFile(const std::filesystem::path& file, std::string* detail)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        const OSErr e = osErrorFromErrno(errno);
        return e == err::fnfErr ? withDetail(detail, e, quoted(file) + " does not exist.") : e;
    }
    if (S_ISREG(st.st_mode))
        return err::noErr;
    const char* what = S_ISDIR(st.st_mode)                            ? "a folder"
                       : S_ISFIFO(st.st_mode)                         ? "a named pipe"
                       : S_ISSOCK(st.st_mode)                         ? "a socket"
                       : (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? "a device"
                                                                      : "not an ordinary file";
    return withDetail(detail, err::notAFileErr, quoted(file) + " is " + what + ", not a file.");
}

OSErr checkReplaceableFile(const std::filesystem::path& file, std::string* /*detail*/)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return err::noErr; // a new file: its folder decides
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || (::access(file.c_str(), W_OK) != 0 && errno == EACCES))
        return err::fLckdErr; // the message says it all
    if (::access(file.c_str(), W_OK) != 0 && errno == EROFS)
        return err::vLckdErr;
    return err::noErr;
}

} // namespace qm
