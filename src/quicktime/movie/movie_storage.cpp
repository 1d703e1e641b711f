#include "quicktime/movie/movie_storage.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "quicktime/base/file_checks.h"
#include "quicktime/base/errors.h"

namespace qm {

OSErr errnoToOSErr(int error)
{
    switch (error) {
    case 0: return err::noErr;
    case ENOENT:
    case ENOTDIR: return err::fnfErr;
    case EACCES:
    case EPERM: return err::permErr;
    case EROFS: return err::wPrErr;
    case EEXIST: return err::dupFNErr;
    case ENOSPC:
    case EDQUOT: return err::dskFulErr;
    case ENOMEM: return err::memFullErr;
    default: return err::ioErr;
    }
}

DataFile::DataFile(int fd, std::filesystem::path path, bool writable, std::uint64_t size)
    : m_fd(fd), m_path(std::move(path)), m_writable(writable), m_size(size)
{
}

DataFile::~DataFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

OSErr DataFile::open(const std::filesystem::path& path, Mode mode, std::unique_ptr<DataFile>& out)
{
    bool writable = mode == Mode::readWrite;
    // Non-blocking, so that a named pipe cannot hold the open; only regular files are read.
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errnoToOSErr(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int e = errno;
        ::close(fd);
        return e ? errnoToOSErr(e) : err::notAFileErr;
    }
    out.reset(new DataFile(fd, path, writable, std::uint64_t(st.st_size)));
    return err::noErr;
}

OSErr DataFile::create(const std::filesystem::path& path, bool deleteExisting, std::unique_ptr<DataFile>& out)
{
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | (deleteExisting ? O_TRUNC : O_EXCL);
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0)
        return errnoToOSErr(errno);
    out.reset(new DataFile(fd, path, true, 0));
    return err::noErr;
}

OSErr DataFile::read(std::uint64_t offset, void* dst, std::size_t n) const
{
    if (offset > m_size || n > m_size - offset)
        return err::eofErr;
    auto* p = static_cast<char*>(dst);
    while (n > 0) {
        ssize_t got = ::pread(m_fd, p, n, off_t(offset));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errnoToOSErr(errno);
        }
        if (got == 0)
            return err::eofErr;
        p += got;
        n -= std::size_t(got);
        offset += std::uint64_t(got);
    }
    return err::noErr;
}

OSErr DataFile::write(std::uint64_t offset, const void* src, std::size_t n)
{
    if (!m_writable)
        return err::wPrErr;
    auto* p = static_cast<const char*>(src);
    std::uint64_t end = offset + n;
    while (n > 0) {
        ssize_t put = ::pwrite(m_fd, p, n, off_t(offset));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errnoToOSErr(errno);
        }
        p += put;
        n -= std::size_t(put);
        offset += std::uint64_t(put);
    }
    m_size = std::max(m_size, end);
    return err::noErr;
}

OSErr DataFile::truncate(std::uint64_t size)
{
    if (!m_writable)
        return err::wPrErr;
    if (::ftruncate(m_fd, off_t(size)) != 0)
        return errnoToOSErr(errno);
    m_size = size;
    return err::noErr;
}

namespace {

OSErr bufferedCopy(const DataFile& src, std::uint64_t srcOffset, DataFile& dst, std::uint64_t dstOffset,
                   std::uint64_t n)
{
    constexpr std::size_t bufferSize = 4 << 20;
    std::vector<char> buffer(std::size_t(std::min<std::uint64_t>(n, bufferSize)));
    while (n > 0) {
        std::size_t part = std::size_t(std::min<std::uint64_t>(n, buffer.size()));
        if (OSErr e = src.read(srcOffset, buffer.data(), part))
            return e;
        if (OSErr e = dst.write(dstOffset, buffer.data(), part))
            return e;
        srcOffset += part;
        dstOffset += part;
        n -= part;
    }
    return err::noErr;
}

} // namespace

OSErr copyFileRange(const DataFile& src, std::uint64_t srcOffset, DataFile& dst, std::uint64_t dstOffset,
                    std::uint64_t n)
{
    if (!dst.writable())
        return err::wPrErr;
    if (srcOffset > src.size() || n > src.size() - srcOffset)
        return err::eofErr;
    if (n == 0)
        return err::noErr;
    if (&src != &dst) {
        loff_t in = loff_t(srcOffset), out = loff_t(dstOffset);
        std::uint64_t left = n;
        while (left > 0) {
            ssize_t done = ::copy_file_range(src.fd(), &in, dst.fd(), &out, std::size_t(left), 0);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0)
                break;
            left -= std::uint64_t(done);
        }
        std::uint64_t copied = n - left;
        dst.m_size = std::max(dst.m_size, dstOffset + copied);
        srcOffset += copied;
        dstOffset += copied;
        n = left;
    }
    return bufferedCopy(src, srcOffset, dst, dstOffset, n);
}

} // namespace qm
