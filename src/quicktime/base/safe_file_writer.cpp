#include "quicktime/base/safe_file_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "quicktime/base/errors.h"
#include "quicktime/base/os_error.h"

namespace qm {

SafeFileWriter::~SafeFileWriter()
{
    discard();
    if (m_lockedFd >= 0)
        ::close(m_lockedFd);
}

OSErr SafeFileWriter::open(const std::filesystem::path& target)
{
    discard();
    std::error_code ec;
    m_target = target;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(target, ec))) {
        m_target = std::filesystem::weakly_canonical(target, ec);
        if (ec)
            return osErrorFromErrno(ec.value());
    }
    std::filesystem::path folder = m_target.parent_path();
    if (folder.empty())
        folder = ".";
    removeStaleSavingFiles(m_target);

    // Keep the permissions of the file being replaced; a new file gets the usual ones (0666
    // less the umask) from open() itself.
    struct stat old {};
    bool replacing = ::stat(m_target.c_str(), &old) == 0;

    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp = folder / savingFileName(m_target, random() & 0xFFFFFF);
        m_cleanup.reset(m_temp);
        m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            break;
        m_cleanup.forget();
        if (errno != EEXIST) {
            OSErr e = osErrorFromErrno(errno);
            m_temp.clear();
            return e;
        }
    }
    if (m_fd < 0) {
        m_temp.clear();
        return err::dupFNErr;
    }
    if (replacing)
        (void)::fchmod(m_fd, old.st_mode & 07777);
    m_written = 0;
    return err::noErr;
}

OSErr SafeFileWriter::write(std::span<const std::uint8_t> bytes)
{
    if (m_fd < 0)
        return err::paramErr;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return osErrorFromErrno(errno);
        }
        done += std::size_t(n);
    }
    m_written += bytes.size();
    return err::noErr;
}

OSErr SafeFileWriter::commit()
{
    if (m_fd < 0)
        return err::paramErr;
    OSErr result = err::noErr;
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        result = osErrorFromErrno(errno);
    // The new file is locked before it takes the target's name, so that the lock on the
    // document passes from the old file to the new one without a gap.
    bool keep = m_lockOnCommit && result == err::noErr && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    if (!keep) {
        if (::close(m_fd) != 0 && result == err::noErr)
            result = osErrorFromErrno(errno);
        m_fd = -1;
    }
    if (result == err::noErr && ::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        result = osErrorFromErrno(errno);
        if (result == err::ioErr)
            result = err::fsRnErr;
    }
    if (result != err::noErr) {
        discard();
        return result;
    }
    m_cleanup.forget();
    m_temp.clear();
    if (keep) {
        if (m_lockedFd >= 0)
            ::close(m_lockedFd);
        m_lockedFd = m_fd;
        m_fd = -1;
    }
    return err::noErr;
}

void SafeFileWriter::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_cleanup.forget();
    m_temp.clear();
}

int SafeFileWriter::takeLockedDescriptor()
{
    const int fd = m_lockedFd;
    m_lockedFd = -1;
    return fd;
}

} // namespace qm
