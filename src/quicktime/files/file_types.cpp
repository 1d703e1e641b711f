#include "quicktime/files/file_types.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/os_error.h"

namespace qm {

namespace {

struct ExtensionType {
    std::string_view extension;
    OSType type;
};

// The types QuickTime gives these extensions (PNG, BMP and GIF in their QuickTime spelling).
constexpr ExtensionType kExtensions[] = {
    {"jpg", fourCC("JPEG")},  {"jpeg", fourCC("JPEG")}, {"jpe", fourCC("JPEG")},  {"jfif", fourCC("JPEG")},
    {"png", fourCC("PNGf")},  {"gif", fourCC("GIFf")},  {"bmp", fourCC("BMPf")},  {"dib", fourCC("BMPf")},
    {"tif", fourCC("TIFF")},  {"tiff", fourCC("TIFF")}, {"psd", fourCC("8BPS")},  {"sgi", fourCC("SGI ")},
    {"rgb", fourCC("SGI ")},  {"rgba", fourCC("SGI ")}, {"bw", fourCC("SGI ")},   {"tga", fourCC("TPIC")},
    {"targa", fourCC("TPIC")}, {"mac", fourCC("PNTG")}, {"pntg", fourCC("PNTG")}, {"pnt", fourCC("PNTG")},
    {"pct", fourCC("PICT")},  {"pict", fourCC("PICT")}, {"pic", fourCC("PICT")},  {"qti", fourCC("qtif")},
    {"qtif", fourCC("qtif")}, {"mov", fourCC("MooV")},  {"qt", fourCC("MooV")},   {"moov", fourCC("MooV")},
    {"mp4", fourCC("MooV")},  {"m4v", fourCC("MooV")},
};

bool startsWith(std::span<const std::uint8_t> data, std::size_t at, std::string_view bytes)
{
    return at + bytes.size() <= data.size() && std::memcmp(data.data() + at, bytes.data(), bytes.size()) == 0;
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

bool isBmp(std::span<const std::uint8_t> h)
{
    if (!startsWith(h, 0, "BM") || h.size() < 18)
        return false;
    const std::uint32_t dibSize = le32(h.data() + 14);
    return dibSize == 12 || dibSize == 16 || dibSize == 40 || dibSize == 52 || dibSize == 56 ||
           dibSize == 64 || dibSize == 108 || dibSize == 124;
}

bool isSgi(std::span<const std::uint8_t> h)
{
    if (h.size() < 6 || loadBE16(h.data()) != 474) // 0x01DA
        return false;
    const std::uint16_t dimension = loadBE16(h.data() + 4);
    return h[2] <= 1 && (h[3] == 1 || h[3] == 2) && dimension >= 1 && dimension <= 3;
}

bool isPhotoshop(std::span<const std::uint8_t> h)
{
    if (!startsWith(h, 0, "8BPS") || h.size() < 6)
        return false;
    const std::uint16_t version = loadBE16(h.data() + 4);
    return version == 1 || version == 2;
}

// PICT version 2 opens with the version opcode 0x0011 and version 0x02FF after the 10-byte
// picture header; files keep a 512-byte application header before it, clipboard data do not.
bool isPictV2(std::span<const std::uint8_t> h, std::size_t at)
{
    return startsWith(h, at + 10, std::string_view("\x00\x11\x02\xFF", 4));
}

bool isPictV1(std::span<const std::uint8_t> h) { return startsWith(h, 522, std::string_view("\x11\x01", 2)); }

bool isTargaHeader(std::span<const std::uint8_t> h)
{
    if (h.size() < 18)
        return false;
    const std::uint8_t mapType = h[1], imageType = h[2], depth = h[16];
    const bool mapped = imageType == 1 || imageType == 9;
    const bool knownType = mapped || imageType == 2 || imageType == 3 || imageType == 10 || imageType == 11;
    const std::uint16_t width = std::uint16_t(h[12] | (h[13] << 8)), height = std::uint16_t(h[14] | (h[15] << 8));
    return (mapType == 0 || mapType == 1) && knownType && (mapType == 1) == mapped && width > 0 && height > 0 &&
           (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

// MacPaint: a 512-byte header whose version is 2 or 3, then 720 PackBits rows of 72 bytes, which
// take at least 2 and at most 73 bytes each.
bool isMacPaint(std::span<const std::uint8_t> h, std::uint64_t fileSize)
{
    if (h.size() < 4 || loadBE32(h.data()) < 2 || loadBE32(h.data()) > 3)
        return false;
    return fileSize >= 512 + 720 * 2 && fileSize <= 512 + 720 * 73 + 512; // some writers pad the end
}

bool isQuickTimeAtomType(OSType t)
{
    return t == fourCC("moov") || t == fourCC("mdat") || t == fourCC("wide") || t == fourCC("free") ||
           t == fourCC("skip") || t == fourCC("ftyp") || t == fourCC("pnot") || t == fourCC("idsc") ||
           t == fourCC("idat");
}

// ftyp brands of files in the ISO family that are still images, not movies.
bool isImageBrand(OSType b)
{
    return b == fourCC("heic") || b == fourCC("heix") || b == fourCC("mif1") || b == fourCC("msf1") ||
           b == fourCC("avif") || b == fourCC("avis") || b == fourCC("jp2 ") || b == fourCC("jpx ") ||
           b == fourCC("crx ");
}

// QuickTime movies and QuickTime Image files: walk the top-level atoms within head past the
// padding atoms to the first one that tells. fileSize is at least head's size.
OSType quickTimeAtomFileType(std::span<const std::uint8_t> h, std::uint64_t fileSize)
{
    std::uint64_t at = 0;
    for (int atoms = 0; atoms < 16; ++atoms) {
        if (at + 8 > h.size())
            return atoms > 0 ? kMovieFileType : 0; // only padding seen so far
        std::uint64_t size = loadBE32(h.data() + at);
        const OSType type = loadBE32(h.data() + at + 4);
        if (!isQuickTimeAtomType(type))
            return 0;
        if (size == 1) {
            if (at + 16 > h.size())
                return 0;
            size = (std::uint64_t(loadBE32(h.data() + at + 8)) << 32) | loadBE32(h.data() + at + 12);
            if (size < 16)
                return 0;
        } else if (size != 0 && size < 8) {
            return 0;
        }
        // An atom larger than the file is not a movie's; a cut 'mdat' still holds a movie.
        if (size > fileSize - at && type != fourCC("mdat"))
            return 0;
        if (type == fourCC("idsc") || type == fourCC("idat"))
            return fourCC("qtif");
        if (type == fourCC("ftyp"))
            return at + 12 <= h.size() && isImageBrand(loadBE32(h.data() + at + 8)) ? 0 : kMovieFileType;
        if (type == fourCC("moov") || type == fourCC("mdat") || type == fourCC("pnot") || size == 0)
            return kMovieFileType; // size 0: padding to the end of the file
        at += size;
    }
    return kMovieFileType;
}

std::string lowerExtension(const std::filesystem::path& name)
{
    std::string ext = name.extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// Reads up to n bytes at offset; a short read (end of file) is not an error.
OSErr readAt(int fd, std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& out)
{
    out.resize(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, out.data() + got, n - got, off_t(offset + got));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return osErrorFromErrno(errno);
        }
        if (r == 0)
            break;
        got += std::size_t(r);
    }
    out.resize(got);
    return err::noErr;
}

class FileDescriptor {
public:
    // Non-blocking, so that opening a named pipe cannot hang; only regular files are read.
    explicit FileDescriptor(const std::filesystem::path& p)
        : m_fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
    }
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

OSType typeFromCompanion(const std::filesystem::path& file)
{
    const std::filesystem::path companion = file.parent_path() / ("._" + file.filename().string());
    FileDescriptor fd(companion);
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    std::vector<std::uint8_t> data;
    if (readAt(fd.get(), 0, 4096, data) != err::noErr)
        return 0;
    return fileTypeFromAppleDouble(data);
}

} // namespace

bool isStillImageFileType(OSType type)
{
    return std::find(kStillImageFileTypes.begin(), kStillImageFileTypes.end(), type) != kStillImageFileTypes.end();
}

OSType fileTypeFromExtension(const std::filesystem::path& name)
{
    const std::string ext = lowerExtension(name);
    for (const auto& e : kExtensions)
        if (e.extension == ext)
            return e.type;
    return 0;
}

OSType fileTypeFromContent(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail,
                           std::uint64_t fileSize, bool weak)
{
    const auto& h = head;
    fileSize = std::max<std::uint64_t>(fileSize, head.size());
    if (startsWith(h, 0, "\xFF\xD8\xFF"))
        return fourCC("JPEG");
    if (startsWith(h, 0, "\x89PNG\r\n\x1A\n"))
        return fourCC("PNGf");
    if (startsWith(h, 0, "GIF87a") || startsWith(h, 0, "GIF89a"))
        return fourCC("GIFf");
    if (startsWith(h, 0, std::string_view("II*\0", 4)) || startsWith(h, 0, std::string_view("MM\0*", 4)))
        return fourCC("TIFF");
    if (isPhotoshop(h))
        return fourCC("8BPS");
    if (isBmp(h))
        return fourCC("BMPf");
    if (isSgi(h))
        return fourCC("SGI ");
    if (const OSType qt = quickTimeAtomFileType(h, fileSize))
        return qt;
    if (isPictV2(h, 512) || isPictV2(h, 0))
        return fourCC("PICT");
    if (startsWith(tail, tail.size() >= 18 ? tail.size() - 18 : tail.size(),
                   std::string_view("TRUEVISION-XFILE.\0", 18)))
        return fourCC("TPIC");
    if (!weak)
        return 0;
    if (isPictV1(h))
        return fourCC("PICT");
    if (isMacPaint(h, fileSize))
        return fourCC("PNTG");
    if (isTargaHeader(h))
        return fourCC("TPIC");
    return 0;
}

OSType fileTypeFromAppleDouble(std::span<const std::uint8_t> appleDouble)
{
    ByteReader r(appleDouble);
    const std::uint32_t magic = r.u32();
    if (magic != 0x00051607 && magic != 0x00051600) // AppleDouble, AppleSingle
        return 0;
    r.skip(4 + 16); // version, filler
    const std::uint16_t entries = r.u16();
    for (std::uint16_t i = 0; i < entries && r.ok(); ++i) {
        const std::uint32_t id = r.u32(), offset = r.u32(), length = r.u32();
        if (!r.ok())
            return 0;
        if (id == 9 && length >= 4 && offset <= appleDouble.size() && appleDouble.size() - offset >= 4)
            return loadBE32(appleDouble.data() + offset); // Finder information: type, creator, ...
    }
    return 0;
}

OSErr getFileType(const std::filesystem::path& file, OSType& type)
{
    type = 0;
    FileDescriptor fd(file);
    if (fd.get() < 0)
        return osErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return osErrorFromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return err::fnfErr;
    if (!S_ISREG(st.st_mode))
        return err::noErr; // a pipe or device has no file type
    const std::uint64_t size = std::uint64_t(st.st_size);
    std::vector<std::uint8_t> head, tail;
    if (OSErr e = readAt(fd.get(), 0, kFileTypeHeadBytes, head))
        return e;
    if (size > kFileTypeTailBytes) {
        if (OSErr e = readAt(fd.get(), size - kFileTypeTailBytes, kFileTypeTailBytes, tail))
            return e;
    } else {
        tail = head;
    }
    type = fileTypeFromContent(head, tail, size);
    if (!type)
        type = fileTypeFromExtension(file);
    if (!type)
        type = fileTypeFromContent(head, tail, size, true);
    if (!type)
        type = typeFromCompanion(file);
    return err::noErr;
}

} // namespace qm
