#include "appcore/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <unistd.h>

#include "quicktime/base/cleanup_files.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/os_error.h"
#include "quicktime/base/read_only_file.h"
#include "quicktime/base/safe_file_writer.h"

namespace qm {

OSErr writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> data)
{
    SafeFileWriter writer;
    OSErr e = writer.open(target);
    if (e == 0)
        e = writer.write(data);
    if (e == 0)
        e = writer.commit();
    return e; // a writer that was not committed removes its temporary file
}

OSErr copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& target,
                         const std::function<bool()>& keepGoing)
{
    constexpr std::size_t kChunk = 1 << 20;
    ReadOnlyFile in;
    if (OSErr e = in.open(from))
        return e;
    SafeFileWriter out;
    if (OSErr e = out.open(target))
        return e;
    Bytes buffer;
    for (std::uint64_t at = 0; at < in.size();) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kChunk, in.size() - at));
        if (OSErr e = in.readAt(at, n, buffer))
            return e;
        if (OSErr e = out.write(buffer))
            return e;
        at += n;
        if (keepGoing && !keepGoing())
            return err::userCanceledErr;
    }
    return out.commit();
}

OSErr publishFileAtomically(const std::filesystem::path& target,
                            const std::function<OSErr(const std::filesystem::path& temporary)>& write)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    removeStaleSavingFiles(target);
    std::random_device random;
    std::filesystem::path temporary;
    std::error_code ec;
    for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
        std::filesystem::path candidate = folder / savingFileName(target, random() & 0xFFFFFF);
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, ec)))
            temporary = candidate;
    }
    if (temporary.empty())
        return err::dupFNErr;
    CleanupFile cleanup(temporary);
    auto fail = [&](OSErr e) {
        ::unlink(temporary.c_str());
        return e;
    };
    if (OSErr e = write(temporary))
        return fail(e);
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fail(osErrorFromErrno(errno));
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int syncError = errno;
    ::close(fd);
    if (!synced)
        return fail(osErrorFromErrno(syncError));
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const OSErr e = osErrorFromErrno(errno);
        return fail(e == err::ioErr ? err::fsRnErr : e);
    }
    return err::noErr;
}

} // namespace qm
