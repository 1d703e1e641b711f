#include "appcore/scratch_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <unistd.h>

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
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec)
        return {};
    return temp;
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
            candidate = base / ("t" + std::to_string(number) + ".tmp");
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
            return err::noErr;
        }
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            out = candidate;
            return err::noErr;
        }
        if (errno != EEXIST || !fs::is_directory(status))
            return osErrorFromErrno(errno);
    }
    return err::dupFNErr;
}

ScratchFileNamer& scratchFileNamer()
{
    static ScratchFileNamer namer;
    return namer;
}

} // namespace qm
