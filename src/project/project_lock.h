#pragma once
// Advisory locks on project documents while they are being changed, so that two writers (two
// quillmere-cli edits, an edit and the program's Save) never overwrite each other's changes.
//
// The lock is an exclusive flock() on the document file itself; saves pass it to the new file
// before it replaces the old one (SafeFileWriter::setLockOnCommit), and a waiter that gets the
// lock on a file that has since been replaced tries again on the new one. A document that does
// not exist yet is locked through its folder. Locks are held per process: taking a lock this
// process already holds only counts, so a save inside a locked edit does not wait on itself.
#include <chrono>
#include <filesystem>
#include <string>

#include "quicktime/base/os_types.h"

namespace qm {

class ProjectEditLock {
public:
    ProjectEditLock() = default;
    ~ProjectEditLock() { release(); }
    ProjectEditLock(const ProjectEditLock&) = delete;
    ProjectEditLock& operator=(const ProjectEditLock&) = delete;

    // Waits up to `wait` while another process holds the document. Errors: -47 with a detail
    // naming the file when the wait ran out; the file system's errors.
    OSErr acquire(const std::filesystem::path& document, std::string* detail = nullptr,
                  std::chrono::milliseconds wait = defaultWait());
    void release();
    bool held() const { return !m_key.empty(); }

    // How long a second writer waits before it gives up.
    static std::chrono::milliseconds defaultWait() { return std::chrono::milliseconds(3000); }

    // Called by the save with the descriptor of the new file, already locked: the lock on the
    // document moves to it. The descriptor is closed here when nothing in this process holds
    // the document.
    static void documentReplaced(const std::filesystem::path& document, int lockedDescriptor);

    // The name locks know a document by: absolute, symbolic links resolved.
    static std::filesystem::path lockKey(const std::filesystem::path& document);

private:
    std::filesystem::path m_key;
};

} // namespace qm
