#include "quicktime/base/read_only_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "quicktime/base/file_checks.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/os_error.h"

namespace qm {

ReadOnlyFile::~ReadOnlyFile() { close(); }

OSErr ReadOnlyFile::open(const std::filesystem::path& path)
{
    close();
    // Non-blocking, so that a named pipe cannot hold the open; only regular files are read.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return osErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        OSErr e = osErrorFromErrno(errno);
        ::close(fd);
        return e;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return err::notAFileErr; // a folder, device or pipe is not a document
    }
    m_fd = fd;
    m_size = std::uint64_t(st.st_size);
    return err::noErr;
}

void ReadOnlyFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

OSErr ReadOnlyFile::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const
{
    if (m_fd < 0)
        return err::paramErr;
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(m_fd, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return osErrorFromErrno(errno);
        }
        if (n == 0)
            return err::eofErr;
        done += std::size_t(n);
    }
    return err::noErr;
}

OSErr ReadOnlyFile::readAt(std::uint64_t offset, std::size_t length, Bytes& out) const
{
    // Never allocate for more than the file can hold.
    if (offset > m_size || length > m_size - offset)
        return err::eofErr;
    Bytes buffer(length);
    if (OSErr e = readAt(offset, std::span<std::uint8_t>(buffer)))
        return e;
    out = std::move(buffer);
    return err::noErr;
}

} // namespace qm
