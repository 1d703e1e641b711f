#include "quicktime/files/pict_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "quicktime/base/byte_io.h"
#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/files/image_file.h"
#include "quicktime/base/packbits.h"

namespace qm {

namespace {

constexpr std::size_t kFileHeaderSize = 512;

// Pixels of one bitmap opcode, in its own bounds.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // 0xAARRGGBB, row-major
};

class PictReader {
public:
    PictReader(std::span<const std::uint8_t> picture, std::string* detail) : m_r(picture), m_detail(detail) {}
    OSErr run(OffscreenPicture& out);

private:
    OSErr fail(OSErr e, const std::string& what)
    {
        if (m_detail)
            *m_detail = what;
        return e;
    }
    std::uint16_t nextOpcode();
    OSErr skipOpcode(std::uint16_t op);
    OSErr bitsOpcode(std::uint16_t op);
    OSErr quickTimeOpcode();
    OSErr readRows(Bitmap& bitmap, std::size_t rowBytes, int pixelSize, int packType, int cmpCount, bool packed,
                   const std::array<std::uint32_t, 256>& colors);
    OSErr ensureCanvas();
    void draw(const Bitmap& bitmap, const Rect& src, const Rect& dst);

    ByteReader m_r;
    std::string* m_detail;
    bool m_v2 = false;
    Rect m_frame;
    OffscreenPicture m_canvas;
    bool m_drew = false;
};

std::uint16_t PictReader::nextOpcode()
{
    if (!m_v2)
        return m_r.u8();
    if (m_r.pos() & 1) // version 2 opcodes start at even offsets
        m_r.skip(1);
    return m_r.u16();
}

OSErr PictReader::run(OffscreenPicture& out)
{
    m_r.u16(); // picture size: the low 16 bits only, meaningless for large pictures
    m_frame = m_r.rect();
    const auto version = m_r.bytes(2);
    if (!m_r.ok())
        return fail(err::codecErr, "the picture is shorter than its header");
    if (version[0] == 0x11 && version[1] == 0x01) {
        m_v2 = false;
    } else if (version[0] == 0x00 && version[1] == 0x11 && m_r.u16() == 0x02FF) {
        m_v2 = true;
    } else {
        return fail(err::codecErr, "not a QuickDraw picture");
    }
    for (;;) {
        const std::uint16_t op = nextOpcode();
        if (!m_r.ok())
            return fail(err::codecErr, "the picture ends without its end opcode");
        if (op == 0x00FF || (!m_v2 && op == 0xFF))
            break;
        OSErr e = err::noErr;
        if (op == 0x0C00 && m_v2) {
            // Header: version -2 (extended) gives the native-resolution source rectangle that
            // the opcodes' coordinates use.
            const std::int16_t headerVersion = m_r.i16();
            m_r.skip(10);
            const Rect source = m_r.rect();
            m_r.skip(4);
            if (headerVersion == -2 && !source.empty())
                m_frame = source;
        } else if (op == 0x0090 || op == 0x0091 || op == 0x0098 || op == 0x0099 || op == 0x009A || op == 0x009B) {
            e = bitsOpcode(op);
        } else if (op == 0x8200 && m_v2) {
            e = quickTimeOpcode();
        } else {
            e = skipOpcode(op);
        }
        if (e)
            return e;
        if (!m_r.ok())
            return fail(err::codecErr, "the picture is cut short");
    }
    if (!m_drew)
        return fail(err::noCodecErr, "the picture holds no image");
    out = std::move(m_canvas);
    return err::noErr;
}

OSErr PictReader::skipOpcode(std::uint16_t op)
{
    auto skipWordLength = [&] { m_r.skip(m_r.u16()); };
    auto skipText = [&](std::size_t before) {
        m_r.skip(before);
        m_r.skip(m_r.u8());
    };
    switch (op) {
    case 0x0000: case 0x001C: case 0x001E: case 0x0017: case 0x0018: case 0x0019:
        return err::noErr;
    case 0x0001: { // clip region: its size includes the size word
        const std::uint16_t size = m_r.u16();
        m_r.skip(size >= 2 ? size - 2u : 0u);
        return err::noErr;
    }
    case 0x0004:
        m_r.skip(1);
        return err::noErr;
    case 0x0003: case 0x0005: case 0x0008: case 0x000D: case 0x0015: case 0x0016: case 0x0023: case 0x00A0:
        m_r.skip(2);
        return err::noErr;
    case 0x0006: case 0x0007: case 0x000B: case 0x000C: case 0x000E: case 0x000F: case 0x0021:
        m_r.skip(4);
        return err::noErr;
    case 0x001A: case 0x001B: case 0x001D: case 0x001F: case 0x0022:
        m_r.skip(6);
        return err::noErr;
    case 0x0002: case 0x0009: case 0x000A: case 0x0010: case 0x0020:
        m_r.skip(8);
        return err::noErr;
    case 0x0011: // version opcode met again
        m_r.skip(m_v2 ? 2 : 1);
        return err::noErr;
    case 0x0028:
        skipText(4);
        return err::noErr;
    case 0x0029: case 0x002A:
        skipText(1);
        return err::noErr;
    case 0x002B:
        skipText(2);
        return err::noErr;
    case 0x00A1:
        m_r.skip(2);
        skipWordLength();
        return err::noErr;
    default:
        break;
    }
    if (op >= 0x0030 && op <= 0x0037) m_r.skip(8);
    else if (op >= 0x0038 && op <= 0x003F) {}
    else if (op >= 0x0040 && op <= 0x0047) m_r.skip(8);
    else if (op >= 0x0048 && op <= 0x004F) {}
    else if (op >= 0x0050 && op <= 0x0057) m_r.skip(8);
    else if (op >= 0x0058 && op <= 0x005F) {}
    else if (op >= 0x0060 && op <= 0x0067) m_r.skip(12);
    else if (op >= 0x0068 && op <= 0x006F) m_r.skip(4);
    else if ((op >= 0x0070 && op <= 0x0077) || (op >= 0x0080 && op <= 0x0087)) {
        // polygons and regions: size word included in the size
        const std::uint16_t size = m_r.u16();
        m_r.skip(size >= 2 ? size - 2u : 0u);
    } else if ((op >= 0x0078 && op <= 0x007F) || (op >= 0x0088 && op <= 0x008F)) {}
    else if (!m_v2)
        return fail(err::noCodecErr, "picture opcode " + std::to_string(op) + " is not supported");
    else if ((op >= 0x0024 && op <= 0x0027) || (op >= 0x002C && op <= 0x002F) || (op >= 0x0092 && op <= 0x0097) ||
             (op >= 0x009C && op <= 0x009F) || (op >= 0x00A2 && op <= 0x00AF))
        skipWordLength();
    else if (op >= 0x00B0 && op <= 0x00CF) {}
    else if ((op >= 0x00D0 && op <= 0x00FE) || op >= 0x8100)
        m_r.skip(m_r.u32());
    else if (op >= 0x8000 && op <= 0x80FF) {}
    else if (op >= 0x0100 && op <= 0x7FFF)
        m_r.skip(std::size_t(op >> 8) * 2);
    else
        return fail(err::noCodecErr, "picture opcode " + std::to_string(op) + " is not supported");
    return err::noErr;
}

OSErr PictReader::bitsOpcode(std::uint16_t op)
{
    const bool direct = op == 0x009A || op == 0x009B;
    const bool region = op == 0x0091 || op == 0x0099 || op == 0x009B;
    const bool packed = op != 0x0090 && op != 0x0091;
    if (direct)
        m_r.skip(4); // base address
    const std::uint16_t rowBytesField = m_r.u16();
    const bool pixMap = direct || (rowBytesField & 0x8000);
    const std::size_t rowBytes = rowBytesField & 0x3FFF;
    const Rect bounds = m_r.rect();
    int pixelSize = 1, packType = 0, cmpCount = 1;
    std::array<std::uint32_t, 256> colors;
    colors.fill(0xFF000000);
    colors[0] = 0xFFFFFFFF;
    if (pixMap) {
        m_r.skip(2); // pmVersion
        packType = m_r.u16();
        m_r.skip(4 + 8 + 2); // packSize, resolutions, pixelType
        pixelSize = m_r.u16();
        cmpCount = m_r.u16();
        m_r.skip(2 + 12); // cmpSize, planeBytes, pmTable, pmReserved
        if (!direct) {
            m_r.skip(4);
            const bool device = (m_r.u16() & 0x8000) != 0;
            const int count = int(m_r.u16()) + 1;
            if (count > 256)
                return fail(err::codecErr, "a picture colour table has more than 256 entries");
            for (int i = 0; i < count; ++i) {
                const std::uint16_t value = m_r.u16();
                const RGBColor c = m_r.color();
                const std::size_t index = device ? std::size_t(i) : std::size_t(value & 0xFF);
                colors[index] = 0xFF000000u | std::uint32_t(c.red >> 8) << 16 | std::uint32_t(c.green >> 8) << 8 |
                                std::uint32_t(c.blue >> 8);
            }
        }
    }
    const Rect src = m_r.rect();
    const Rect dst = m_r.rect();
    m_r.skip(2); // transfer mode
    if (region) {
        const std::uint16_t size = m_r.u16();
        m_r.skip(size >= 2 ? size - 2u : 0u);
    }
    if (!m_r.ok())
        return fail(err::codecErr, "a picture pixel map is cut short");
    if (!(pixelSize == 1 || pixelSize == 2 || pixelSize == 4 || pixelSize == 8 || pixelSize == 16 || pixelSize == 32))
        return fail(err::noCodecErr, "pictures of " + std::to_string(pixelSize) + "-bit pixels are not supported");

    Bitmap bitmap;
    bitmap.width = bounds.width();
    bitmap.height = bounds.height();
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return fail(err::codecErr, "a picture pixel map has empty bounds");
    // Every row costs at least one byte of input, and PackBits gives at most 128 bytes for two;
    // bounds that the remaining data cannot fill are damage, not a reason to allocate.
    const std::size_t minInput = std::size_t(bitmap.height) * (rowBytes / 128 + 1);
    if (bitmap.width > kMaxImageDimension || bitmap.height > kMaxImageDimension ||
        std::int64_t(bitmap.width) * bitmap.height > kMaxImagePixels ||
        minInput > m_r.remaining() || std::size_t(bitmap.width) * std::size_t(pixelSize) > rowBytes * 8 + 32 * 8)
        return fail(err::codecErr, "a picture pixel map's size does not match its data");
    if (const OSErr e = readRows(bitmap, rowBytes, pixelSize, packType, cmpCount, packed, colors))
        return e;
    if (const OSErr e = ensureCanvas())
        return e;
    draw(bitmap, Rect{std::int16_t(src.top - bounds.top), std::int16_t(src.left - bounds.left),
                      std::int16_t(src.bottom - bounds.top), std::int16_t(src.right - bounds.left)},
         dst);
    return err::noErr;
}

OSErr PictReader::readRows(Bitmap& bitmap, std::size_t rowBytes, int pixelSize, int packType, int cmpCount,
                           bool packed, const std::array<std::uint32_t, 256>& colors)
{
    const int w = bitmap.width;
    // Direct 32-bit pixels: pack type 2 drops the pad byte; 4 stores components as planes.
    const bool rgb24 = pixelSize == 32 && packType == 2;
    const bool planes = pixelSize == 32 && packType == 4;
    std::size_t unpackedBytes = rowBytes;
    if (rgb24)
        unpackedBytes = std::size_t(w) * 3;
    else if (planes)
        unpackedBytes = std::size_t(w) * std::size_t(std::clamp(cmpCount, 3, 4));
    const bool compressed = packed && rowBytes >= 8 && packType != 1 && !rgb24;
    if (unpackedBytes == 0)
        return fail(err::codecErr, "a picture pixel map has no row bytes");
    Bytes row(unpackedBytes);
    bitmap.argb.resize(std::size_t(w) * std::size_t(bitmap.height));
    for (int y = 0; y < bitmap.height; ++y) {
        if (compressed) {
            const std::size_t count = rowBytes > 250 ? m_r.u16() : m_r.u8();
            ByteReader rowData = m_r.sub(count);
            const bool ok = pixelSize == 16 ? unpackBits16(rowData, row.data(), row.size())
                                            : unpackBits(rowData, row.data(), row.size());
            if (!ok || !m_r.ok())
                return fail(err::codecErr, "a picture row is damaged");
        } else {
            const auto raw = m_r.bytes(unpackedBytes);
            if (!m_r.ok())
                return fail(err::codecErr, "a picture row is cut short");
            std::memcpy(row.data(), raw.data(), raw.size());
        }
        std::uint32_t* out = bitmap.argb.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            std::uint32_t c = 0xFFFFFFFF;
            if (pixelSize <= 8) {
                const std::size_t bit = std::size_t(x) * std::size_t(pixelSize);
                if (bit / 8 < row.size()) {
                    const unsigned shift = 8 - unsigned(pixelSize) - unsigned(bit % 8);
                    c = colors[(row[bit / 8] >> shift) & ((1u << pixelSize) - 1)];
                }
            } else if (pixelSize == 16) {
                if (std::size_t(x) * 2 + 1 < row.size()) {
                    const unsigned v = loadBE16(&row[std::size_t(x) * 2]);
                    auto expand = [](unsigned v5) { return (v5 << 3) | (v5 >> 2); };
                    c = 0xFF000000u | expand(v >> 10 & 31) << 16 | expand(v >> 5 & 31) << 8 | expand(v & 31);
                }
            } else if (planes) {
                const std::size_t first = cmpCount >= 4 ? std::size_t(w) : 0; // alpha plane first
                c = 0xFF000000u | std::uint32_t(row[first + std::size_t(x)]) << 16 |
                    std::uint32_t(row[first + std::size_t(w) + std::size_t(x)]) << 8 |
                    row[first + 2 * std::size_t(w) + std::size_t(x)];
            } else if (rgb24) {
                const std::uint8_t* p = &row[std::size_t(x) * 3];
                c = 0xFF000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
            } else if (std::size_t(x) * 4 + 3 < row.size()) {
                const std::uint8_t* p = &row[std::size_t(x) * 4];
                c = 0xFF000000u | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
            }
            out[x] = c;
        }
    }
    return err::noErr;
}

OSErr PictReader::quickTimeOpcode()
{
    const std::uint32_t length = m_r.u32();
    ByteReader q = m_r.sub(length);
    if (!m_r.ok())
        return fail(err::codecErr, "a QuickTime image in the picture is cut short");
    q.skip(2); // version
    std::array<std::int32_t, 9> matrix{};
    for (auto& v : matrix)
        v = q.i32();
    const std::uint32_t matteSize = q.u32();
    q.skip(8 + 2 + 8 + 4); // matte rectangle, mode, source rectangle, accuracy
    const std::uint32_t maskSize = q.u32();
    q.skip(matteSize);
    q.skip(maskSize);
    if (!q.ok() || q.remaining() < 4)
        return fail(err::codecErr, "a QuickTime image in the picture is damaged");
    const auto rest = q.data().subspan(q.pos());
    ImageDescription description;
    if (const OSErr e = ImageDescription::parse(rest, description))
        return fail(e, "a QuickTime image in the picture has a damaged description");
    const std::size_t descriptionSize = loadBE32(rest.data());
    if (descriptionSize > rest.size())
        return fail(err::codecErr, "a QuickTime image in the picture is cut short");
    auto data = rest.subspan(descriptionSize);
    if (description.dataSize != 0 && description.dataSize < data.size())
        data = data.first(description.dataSize);
    if (description.width > kMaxImageDimension || description.height > kMaxImageDimension ||
        std::int64_t(description.width) * description.height > kMaxImagePixels)
        return fail(err::memFullErr, "a QuickTime image in the picture is too large");
    OffscreenPicture image;
    if (const OSErr e = decompressImage(description, data, PixelDepth::Argb32, image))
        return fail(e, "the '" + fourCCToString(description.codecType) + "' image in the picture cannot be decoded");
    Bitmap bitmap;
    bitmap.width = image.width();
    bitmap.height = image.height();
    bitmap.argb.resize(std::size_t(bitmap.width) * std::size_t(bitmap.height));
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            bitmap.argb[std::size_t(y) * std::size_t(bitmap.width) + std::size_t(x)] = image.argb(x, y) | 0xFF000000u;
    // The matrix places the image: 16.16 scale at [0] and [4], translation at [6] and [7].
    const double sx = matrix[0] > 0 ? matrix[0] / 65536.0 : 1.0;
    const double sy = matrix[4] > 0 ? matrix[4] / 65536.0 : 1.0;
    const int tx = matrix[6] >> 16;
    const int ty = matrix[7] >> 16;
    auto clamp16 = [](double v) { return std::int16_t(std::clamp(v, -32768.0, 32767.0)); };
    const Rect dst{clamp16(ty), clamp16(tx), clamp16(ty + bitmap.height * sy), clamp16(tx + bitmap.width * sx)};
    if (const OSErr e = ensureCanvas())
        return e;
    draw(bitmap, Rect{0, 0, std::int16_t(bitmap.height), std::int16_t(bitmap.width)}, dst);
    return err::noErr;
}

OSErr PictReader::ensureCanvas()
{
    if (!m_canvas.isNull())
        return err::noErr;
    const int w = m_frame.width();
    const int h = m_frame.height();
    if (w <= 0 || h <= 0)
        return fail(err::codecErr, "the picture frame is empty");
    if (w > kMaxImageDimension || h > kMaxImageDimension || std::int64_t(w) * h > kMaxImagePixels)
        return fail(err::memFullErr, "the picture is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, too large");
    // Erased to opaque white; picture coordinates become canvas coordinates minus the frame's
    // top-left.
    return m_canvas.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(h), std::int16_t(w)});
}

// Copies src (bitmap coordinates) to dst (picture coordinates), scaling to nearest pixels and
// clipping to the picture frame.
void PictReader::draw(const Bitmap& bitmap, const Rect& src, const Rect& dst)
{
    m_drew = true;
    const int dw = dst.width(), dh = dst.height(), sw = src.width(), sh = src.height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return;
    for (int y = 0; y < dh; ++y) {
        const int cy = dst.top + y - m_frame.top;
        if (cy < 0 || cy >= m_canvas.height())
            continue;
        const int by = src.top + int(std::int64_t(y) * sh / dh);
        if (by < 0 || by >= bitmap.height)
            continue;
        for (int x = 0; x < dw; ++x) {
            const int cx = dst.left + x - m_frame.left;
            const int bx = src.left + int(std::int64_t(x) * sw / dw);
            if (cx < 0 || cx >= m_canvas.width() || bx < 0 || bx >= bitmap.width)
                continue;
            m_canvas.setPixel(cx, cy, bitmap.argb[std::size_t(by) * std::size_t(bitmap.width) + std::size_t(bx)]);
        }
    }
}

bool looksLikePicture(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 14)
        return false;
    return (bytes[10] == 0x11 && bytes[11] == 0x01) ||
           (bytes[10] == 0x00 && bytes[11] == 0x11 && bytes[12] == 0x02 && bytes[13] == 0xFF);
}

} // namespace

OSErr decodePictFile(std::span<const std::uint8_t> bytes, OffscreenPicture& out, std::string* detail)
{
    std::span<const std::uint8_t> picture = bytes;
    if (bytes.size() > kFileHeaderSize && looksLikePicture(bytes.subspan(kFileHeaderSize)))
        picture = bytes.subspan(kFileHeaderSize);
    PictReader reader(picture, detail);
    return reader.run(out);
}

} // namespace qm
