#include "appcore/scratch_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "quicktime/base/cleanup_files.h"
#include "quicktime/base/file_checks.h"

#include "quicktime/base/os_error.h"
#include "quicktime/base/errors.h"

namespace qm {

namespace fs = std::filesystem;

std::int64_t systemTicks()
{
    // steady_clock counts from system start on Linux (CLOCK_MONOTONIC).
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(since).count() * 60 / 1000;
}

fs::path defaultScratchFolder()
{
    // TMPDIR as it stands, even when it names nothing usable, so that the problem is reported
    // against that folder rather than passed over.
    for (const char* variable : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"})
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    return "/tmp";
}

fs::path effectiveScratchFolder(const fs::path& preference)
{
    return preference.empty() ? defaultScratchFolder() : preference;
}

OSErr ScratchFileNamer::makeScratchFile(const fs::path& folder, fs::path& out, bool create)
{
    out.clear();
    const fs::path base = effectiveScratchFolder(folder);
    if (base.empty())
        return err::fnfErr;
    std::error_code ec;
    const fs::file_status status = fs::status(base, ec);
    if (!fs::exists(status))
        return err::fnfErr;

    // Bounded: each turn takes a larger number, and only existing files push it further.
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const std::int64_t number = std::max(m_ticks(), m_lastNumber + 1);
        m_lastNumber = number;
        fs::path candidate;
        if (fs::is_directory(status)) {
            candidate = base / ("t" + std::to_string(number) + "-" + std::to_string(::getpid()) + ".tmp");
        } else {
            // A file: its sibling with "~" before the extension (the last four characters).
            // Only one such name exists, so an existing sibling is not stepped over.
            std::string name = base.filename().string();
            name.insert(name.size() >= 4 ? name.size() - 4 : 0, "~");
            candidate = base.parent_path() / name;
        }
        if (!create) {
            if (fs::exists(candidate, ec) && fs::is_directory(status))
                continue;
            out = candidate;
            if (fs::is_directory(status))
                registerCleanupFile(out);
            return err::noErr;
        }
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            out = candidate;
            if (fs::is_directory(status))
                registerCleanupFile(out);
            return err::noErr;
        }
        if (errno != EEXIST || !fs::is_directory(status))
            return osErrorFromErrno(errno);
    }
    return err::dupFNErr;
}

int removeStaleScratchFiles(const fs::path& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        // "t<number>-<pid>.tmp"
        const char* name = entry->d_name;
        if (name[0] != 't')
            continue;
        char* end = nullptr;
        std::strtoll(name + 1, &end, 10);
        if (end == name + 1 || *end != '-')
            continue;
        const char* pidText = end + 1;
        const long pid = std::strtol(pidText, &end, 10);
        if (end == pidText || std::string_view(end) != ".tmp" || processIsAlive(pid))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(::dirfd(dir), name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

OSErr checkScratchFolder(const fs::path& folder, std::string* detail)
{
    const fs::path base = effectiveScratchFolder(folder);
    auto fail = [&](OSErr code, const std::string& why) {
        if (detail)
            *detail = "The scratch folder '" + base.string() + "' " + why;
        return code;
    };
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0)
        return fail(osErrorFromErrno(errno), errno == ENOENT ? "does not exist." : "cannot be used.");
    if (!S_ISDIR(st.st_mode))
        return fail(err::notAFileErr, "is not a folder.");
    if (::access(base.c_str(), W_OK | X_OK) != 0)
        return fail(osErrorFromErrno(errno), errno == EROFS ? "lies on a read-only volume." : "may not be written.");
    struct statvfs space {};
    if (::statvfs(base.c_str(), &space) == 0 && std::uint64_t(space.f_bavail) * space.f_frsize < kMinScratchSpace)
        return fail(err::dskFulErr, "is full.");
    return err::noErr;
}

ScratchFileNamer& scratchFileNamer()
{
    static ScratchFileNamer namer;
    return namer;
}

} // namespace qm
