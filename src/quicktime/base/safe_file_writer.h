#pragma once
// Writes a file so that the previous version survives any failure: the bytes go to a new file
// beside the target, which replaces the target (one rename) only once it is complete and on
// disk. Without commit() the new file is removed and the target is untouched. The new file is
// named by savingFileName (cleanup_files.h): it fits beside a target of any name length, a
// signal that ends the process removes it, and one left by a process that has ended is removed
// by the next writer of the same target.
#include <cstdint>
#include <filesystem>
#include <span>

#include "quicktime/base/cleanup_files.h"
#include "quicktime/base/os_types.h"

namespace qm {

class SafeFileWriter {
public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // A target that is a symbolic link is written through it: the link stays a link.
    OSErr open(const std::filesystem::path& target);
    OSErr write(std::span<const std::uint8_t> bytes);
    std::uint64_t position() const { return m_written; }
    // Flushes, closes and renames over the target. On failure the target is untouched and the
    // temporary file is gone.
    OSErr commit();
    void discard();

    const std::filesystem::path& temporaryPath() const { return m_temp; }

    // With this set, commit() takes an exclusive flock() on the new file before it replaces the
    // target and keeps the file open; takeLockedDescriptor() hands that descriptor over (-1 when
    // there is none). Locks of documents being changed move to the new file this way.
    void setLockOnCommit(bool lock) { m_lockOnCommit = lock; }
    int takeLockedDescriptor();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    int m_fd = -1;
    int m_lockedFd = -1;
    bool m_lockOnCommit = false;
    CleanupFile m_cleanup;
    std::uint64_t m_written = 0;
};

} // namespace qm
