#include "app/core/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "quicktime/errors.h"
#include "quicktime/os_error.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, std::span<const std::uint8_t> data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

OSErr writeFileAtomically(const fs::path& target, std::span<const std::uint8_t> data)
{
    std::error_code ec;
    fs::path path = target;
    if (fs::is_symlink(target, ec)) {
        path = fs::weakly_canonical(target, ec);
        if (ec)
            return osErrorFromErrno(ec.value());
    }
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : newFileMode();

    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return osErrorFromErrno(errno);
    int failure = 0;
    if (!writeAll(fd, data) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temp.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temp.c_str());
        return osErrorFromErrno(failure);
    }
    // Make the rename itself durable.
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return err::noErr;
}

} // namespace qm
