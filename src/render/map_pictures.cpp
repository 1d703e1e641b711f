#include "render/map_pictures.h"

#include <algorithm>
#include <QHash>

#include "quicktime/files/pict_decoder.h"

namespace qm {

namespace {

// PackBits: runs of three or more equal bytes as a repeat, the rest as literals.
void packBits(const std::uint8_t* in, std::size_t n, Bytes& out)
{
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && in[i + run] == in[i])
            ++run;
        if (run >= 3) {
            out.push_back(std::uint8_t(1 - int(run)));
            out.push_back(in[i]);
            i += run;
            continue;
        }
        std::size_t lit = 0;
        while (i + lit < n && lit < 128) {
            if (i + lit + 2 < n && in[i + lit] == in[i + lit + 1] && in[i + lit] == in[i + lit + 2])
                break;
            ++lit;
        }
        out.push_back(std::uint8_t(lit - 1));
        out.insert(out.end(), in + i, in + i + lit);
        i += lit;
    }
}

QImage fromPicture(const OffscreenPicture& picture)
{
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            image.setPixel(x, y, picture.argb(picture.bounds().left + x, picture.bounds().top + y));
    return image;
}

} // namespace

QImage mapPictureImage(const Bytes& data)
{
    if (data.empty())
        return {};
    static QHash<size_t, QImage> cache;
    const size_t key = qHashBits(data.data(), data.size());
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QImage image;
    OffscreenPicture picture;
    if (decodePictFile(data, picture) == 0 && !picture.isNull())
        image = fromPicture(picture);
    else
        image.loadFromData(data.data(), int(data.size()));
    if (cache.size() > 64)
        cache.clear();
    cache.insert(key, image);
    return image;
}

Bytes mapPictureData(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(image.width(), 0x3FFF / 4);
    const int h = std::min(image.height(), 0x7FFF);
    if (w <= 0 || h <= 0)
        return {};
    const Rect frame{0, 0, std::int16_t(h), std::int16_t(w)};
    ByteWriter out;
    out.u16(0); // size, low 16 bits, filled in below
    out.rect(frame);
    out.u16(0x0011);
    out.u16(0x02FF);
    out.u16(0x0C00); // extended version 2 header
    out.u16(0xFFFE);
    out.u16(0);
    out.u32(0x00480000);
    out.u32(0x00480000);
    out.rect(frame);
    out.u32(0);
    out.u16(0x001E); // default highlight
    out.u16(0x0001); // clip region: the frame
    out.u16(10);
    out.rect(frame);
    out.u16(0x009A); // direct pixels
    out.u32(0x000000FF);
    const std::size_t rowBytes = std::size_t(w) * 4;
    out.u16(std::uint16_t(0x8000 | rowBytes));
    out.rect(frame);
    out.u16(0);      // pmVersion
    out.u16(4);      // packType: component planes, PackBits
    out.u32(0);      // packSize
    out.u32(0x00480000);
    out.u32(0x00480000);
    out.u16(16);     // pixelType: direct
    out.u16(32);     // pixelSize
    out.u16(3);      // cmpCount
    out.u16(8);      // cmpSize
    out.u32(0);
    out.u32(0);
    out.u32(0);
    out.rect(frame); // source
    out.rect(frame); // destination
    out.u16(0);      // srcCopy
    Bytes planes(std::size_t(w) * 3);
    Bytes packed;
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            planes[std::size_t(x)] = std::uint8_t(qRed(line[x]));
            planes[std::size_t(w + x)] = std::uint8_t(qGreen(line[x]));
            planes[std::size_t(2 * w + x)] = std::uint8_t(qBlue(line[x]));
        }
        packed.clear();
        if (rowBytes < 8) {
            packed = planes;
            out.bytes(packed);
            continue;
        }
        packBits(planes.data(), planes.size(), packed);
        if (rowBytes > 250)
            out.u16(std::uint16_t(packed.size()));
        else
            out.u8(std::uint8_t(packed.size()));
        out.bytes(packed);
    }
    if (out.size() & 1)
        out.u8(0);
    out.u16(0x00FF);
    out.putU16At(0, std::uint16_t(out.size() & 0xFFFF));
    return out.take();
}

} // namespace qm
