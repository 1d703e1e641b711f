// Still image files for tests (declared in qtvr_fixtures.h).
#include <fstream>

#include "quicktime/base/byte_io.h"
#include "quicktime/codec/codec.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm::test {

namespace {

// The test picture: red grows to the right, green downwards, blue in vertical bars.
std::uint32_t pixelAt(int x, int y, int width, int height)
{
    const std::uint32_t r = std::uint32_t(x * 255 / std::max(1, width - 1));
    const std::uint32_t g = std::uint32_t(y * 255 / std::max(1, height - 1));
    const std::uint32_t b = (x / 8) % 2 ? 0xC0 : 0x20;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

OffscreenPicture testPicture(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, pixelAt(x, y, width, height));
    return p;
}

bool save(const std::filesystem::path& file, const Bytes& bytes)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// Rows as PackBits literal runs of at most 128 bytes.
void packLiteral(ByteWriter& w, const Bytes& row)
{
    for (std::size_t i = 0; i < row.size(); i += 128) {
        const std::size_t n = std::min<std::size_t>(128, row.size() - i);
        w.u8(std::uint8_t(n - 1));
        w.bytes(row.data() + i, n);
    }
}

Bytes photoshop(int width, int height)
{
    ByteWriter w;
    w.bytes("8BPS", 4);
    w.u16(1);
    w.zeros(6);
    w.u16(3); // channels
    w.u32(std::uint32_t(height));
    w.u32(std::uint32_t(width));
    w.u16(8);
    w.u16(3); // RGB
    w.u32(0); // colour mode data
    w.u32(0); // image resources
    w.u32(0); // layers and masks
    w.u16(0); // raw image data, one plane per channel
    for (int shift : {16, 8, 0})
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                w.u8(std::uint8_t(pixelAt(x, y, width, height) >> shift));
    return w.take();
}

Bytes macPaint()
{
    ByteWriter w;
    w.zeros(512);
    for (int y = 0; y < 720; ++y) {
        Bytes row(72);
        for (int i = 0; i < 72; ++i)
            row[std::size_t(i)] = (y / 16 + i) % 2 ? 0xFF : 0x00;
        packLiteral(w, row);
    }
    return w.take();
}

void pictHeader(ByteWriter& w, int width, int height)
{
    w.zeros(512);
    w.u16(0);
    w.rect(Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    w.u16(0x0011);
    w.u16(0x02FF);
    w.u16(0x0C00);
    w.i16(-2);
    w.u16(0);
    w.fixed(72 << 16);
    w.fixed(72 << 16);
    w.rect(Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    w.u32(0);
    w.u16(0x001E);
    w.u16(0x0001); // clip region: the frame
    w.u16(10);
    w.rect(Rect{0, 0, std::int16_t(height), std::int16_t(width)});
}

void pixMapFields(ByteWriter& w, int packType, int pixelType, int pixelSize, int cmpCount, int cmpSize)
{
    w.u16(0);
    w.u16(std::uint16_t(packType));
    w.u32(0);
    w.fixed(72 << 16);
    w.fixed(72 << 16);
    w.u16(std::uint16_t(pixelType));
    w.u16(std::uint16_t(pixelSize));
    w.u16(std::uint16_t(cmpCount));
    w.u16(std::uint16_t(cmpSize));
    w.u32(0);
    w.u32(0);
    w.u32(0);
}

void writeRowCount(ByteWriter& w, std::size_t rowBytes, std::size_t count)
{
    if (rowBytes > 250)
        w.u16(std::uint16_t(count));
    else
        w.u8(std::uint8_t(count));
}

Bytes pict(int width, int height, int variant)
{
    ByteWriter w;
    pictHeader(w, width, height);
    const Rect frame{0, 0, std::int16_t(height), std::int16_t(width)};
    if (variant == 0) { // DirectBitsRect, 32-bit, component planes
        const std::size_t rowBytes = std::size_t(width) * 4;
        w.u16(0x009A);
        w.u32(0x000000FF);
        w.u16(std::uint16_t(rowBytes | 0x8000));
        w.rect(frame);
        pixMapFields(w, 4, 16, 32, 3, 8);
        w.rect(frame);
        w.rect(frame);
        w.u16(0);
        for (int y = 0; y < height; ++y) {
            Bytes planes(std::size_t(width) * 3);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = pixelAt(x, y, width, height);
                planes[std::size_t(x)] = std::uint8_t(c >> 16);
                planes[std::size_t(width + x)] = std::uint8_t(c >> 8);
                planes[std::size_t(2 * width + x)] = std::uint8_t(c);
            }
            ByteWriter packed;
            packLiteral(packed, planes);
            writeRowCount(w, rowBytes, packed.size());
            w.bytes(packed.data());
        }
    } else if (variant == 1) { // PackBitsRect, 8-bit grey ramp palette
        const std::size_t rowBytes = std::size_t(width);
        w.u16(0x0098);
        w.u16(std::uint16_t(rowBytes | 0x8000));
        w.rect(frame);
        pixMapFields(w, 0, 0, 8, 1, 8);
        w.u32(0);
        w.u16(0);
        w.u16(255);
        for (int i = 0; i < 256; ++i) {
            w.u16(std::uint16_t(i));
            w.color(RGBColor{std::uint16_t(i * 257), std::uint16_t(i * 257), std::uint16_t(i * 257)});
        }
        w.rect(frame);
        w.rect(frame);
        w.u16(0);
        for (int y = 0; y < height; ++y) {
            Bytes row(rowBytes);
            for (int x = 0; x < width; ++x)
                row[std::size_t(x)] = std::uint8_t(x * 255 / std::max(1, width - 1));
            ByteWriter packed;
            packLiteral(packed, row);
            writeRowCount(w, rowBytes, packed.size());
            w.bytes(packed.data());
        }
    } else { // CompressedQuickTime, Photo-JPEG
        const OffscreenPicture p = testPicture(width, height);
        CompressedImage image;
        compressImage(p, ImageCompressionParams{}, image);
        const Bytes description = image.description.build();
        ByteWriter q;
        q.u16(0);
        for (std::int32_t v : {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000})
            q.i32(v);
        q.u32(0);          // matte size
        q.zeros(8);        // matte rectangle
        q.u16(0);          // mode
        q.rect(frame);
        q.u32(0);          // accuracy
        q.u32(0);          // mask size
        q.bytes(description);
        q.bytes(image.data);
        w.u16(0x8200);
        w.u32(std::uint32_t(q.size()));
        w.bytes(q.data());
    }
    if (w.size() % 2)
        w.u8(0);
    w.u16(0x00FF);
    return w.take();
}

Bytes quickTimeImage(int width, int height)
{
    const OffscreenPicture p = testPicture(width, height);
    CompressedImage image;
    compressImage(p, ImageCompressionParams{}, image);
    const Bytes description = image.description.build();
    ByteWriter w;
    w.u32(std::uint32_t(8 + description.size()));
    w.type(fourCC("idsc"));
    w.bytes(description);
    w.u32(std::uint32_t(8 + image.data.size()));
    w.type(fourCC("idat"));
    w.bytes(image.data);
    return w.take();
}

} // namespace

std::string stillImageExtension(OSType fileType)
{
    switch (fileType) {
    case fourCC("JPEG"): return "jpg";
    case fourCC("PNG "): case fourCC("PNGf"): return "png";
    case fourCC("BMP "): case fourCC("BMPf"): return "bmp";
    case fourCC("GIF "): case fourCC("GIFf"): return "gif";
    case fourCC("TIFF"): return "tif";
    case fourCC("SGI "): return "sgi";
    case fourCC("TPIC"): return "tga";
    default: return "";
    }
}

bool writeStillImage(const std::filesystem::path& file, OSType fileType, int width, int height, int pictVariant)
{
    switch (fileType) {
    case fourCC("8BPS"):
        return save(file, photoshop(width, height));
    case fourCC("PNTG"):
        return save(file, macPaint());
    case fourCC("PICT"):
        return save(file, pict(width, height, pictVariant));
    case fourCC("qtif"):
        return save(file, quickTimeImage(width, height));
    default:
        break;
    }
    const std::string extension = stillImageExtension(fileType);
    if (extension.empty())
        return false;
    // ffmpeg chooses the format by extension; the file then gets the name asked for.
    const std::filesystem::path made = file.string() + ".made." + extension;
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=size=" + std::to_string(width) + "x" +
                                std::to_string(height) + " -frames:v 1 -update 1 '" + made.string() + "' 2>&1";
    if (runCommand(command) != 0)
        return false;
    std::error_code ec;
    std::filesystem::rename(made, file, ec);
    return !ec;
}

} // namespace qm::test
