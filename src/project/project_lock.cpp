#include "project/project_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "quicktime/base/errors.h"
#include "quicktime/base/file_checks.h"
#include "quicktime/base/os_error.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

struct Held {
    int fileFd = -1;   // lock on the document file
    int folderFd = -1; // lock on the folder, taken while the document did not exist
    int count = 0;
};

std::mutex g_mutex;
std::map<fs::path, Held>& lockTable()
{
    // Never destroyed: locks kept until the process ends are released after static destruction.
    static auto* table = new std::map<fs::path, Held>;
    return *table;
}

void closeHeld(Held& h)
{
    if (h.fileFd >= 0)
        ::close(h.fileFd);
    if (h.folderFd >= 0)
        ::close(h.folderFd);
    h.fileFd = h.folderFd = -1;
}

enum class Attempt { locked, busy, retry, failed };

bool sameFile(int fd, const fs::path& path)
{
    struct stat a {}, b {};
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// One try at the lock, without waiting.
Attempt tryLock(const fs::path& key, Held& h, OSErr& error)
{
    struct stat st {};
    if (::stat(key.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            error = err::notAFileErr;
            return Attempt::failed;
        }
        const int fd = ::open(key.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            if (errno == ENOENT)
                return Attempt::retry; // replaced or removed in between
            error = osErrorFromErrno(errno);
            return Attempt::failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int e = errno;
            ::close(fd);
            if (e == EWOULDBLOCK)
                return Attempt::busy;
            error = osErrorFromErrno(e);
            return Attempt::failed;
        }
        if (!sameFile(fd, key)) { // the holder replaced the document before it let go
            ::close(fd);
            return Attempt::retry;
        }
        h.fileFd = fd;
        return Attempt::locked;
    }
    if (errno != ENOENT) {
        error = osErrorFromErrno(errno);
        return Attempt::failed;
    }
    fs::path folder = key.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = osErrorFromErrno(errno);
        return Attempt::failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK)
            return Attempt::busy;
        error = osErrorFromErrno(e);
        return Attempt::failed;
    }
    if (::stat(key.c_str(), &st) == 0) { // made while we took the folder
        ::close(fd);
        return Attempt::retry;
    }
    h.folderFd = fd;
    return Attempt::locked;
}

} // namespace

fs::path ProjectEditLock::lockKey(const fs::path& document)
{
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::absolute(document, ec), ec);
    if (ec)
        key = fs::absolute(document, ec).lexically_normal();
    return key;
}

OSErr ProjectEditLock::acquire(const fs::path& document, std::string* detail, std::chrono::milliseconds wait)
{
    release();
    const fs::path key = lockKey(document);
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (auto it = lockTable().find(key); it != lockTable().end()) {
            ++it->second.count;
            m_key = key;
            return err::noErr;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        Held h;
        OSErr error = err::noErr;
        const Attempt a = tryLock(key, h, error);
        if (a == Attempt::locked) {
            std::lock_guard<std::mutex> guard(g_mutex);
            h.count = 1;
            lockTable()[key] = h;
            m_key = key;
            return err::noErr;
        }
        if (a == Attempt::failed)
            return error;
        if (a == Attempt::busy) {
            if (std::chrono::steady_clock::now() >= deadline) {
                if (detail)
                    *detail = "'" + document.string() +
                              "' is being changed by another program; try again when it has finished.";
                return err::fBsyErr;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
}

void ProjectEditLock::release()
{
    if (m_key.empty())
        return;
    std::lock_guard<std::mutex> guard(g_mutex);
    if (auto it = lockTable().find(m_key); it != lockTable().end() && --it->second.count == 0) {
        closeHeld(it->second);
        lockTable().erase(it);
    }
    m_key.clear();
}

void ProjectEditLock::documentReplaced(const fs::path& document, int lockedDescriptor)
{
    if (lockedDescriptor < 0)
        return;
    const fs::path key = lockKey(document);
    std::lock_guard<std::mutex> guard(g_mutex);
    auto it = lockTable().find(key);
    if (it == lockTable().end()) {
        ::close(lockedDescriptor);
        return;
    }
    // The old file's lock goes only now, so that a waiter on it finds the new file locked.
    if (it->second.fileFd >= 0)
        ::close(it->second.fileFd);
    it->second.fileFd = lockedDescriptor;
}

} // namespace qm
