#include "quicktime/codec_pixels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace qm::detail {

int planeBytesPerPixel(PlaneFormat f)
{
    switch (f) {
    case PlaneFormat::argb:
    case PlaneFormat::rgba:
        return 4;
    case PlaneFormat::rgb24:
        return 3;
    case PlaneFormat::rgb555be:
    case PlaneFormat::rgb555le:
        return 2;
    case PlaneFormat::indices:
        return 1;
    }
    return 1;
}

namespace {

// One pixel given as A, R, G, B.
inline void putPixel(PlaneFormat f, const InverseColorTable* inverse, std::uint8_t* d, std::uint8_t a,
                     std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    switch (f) {
    case PlaneFormat::argb:
        d[0] = a, d[1] = r, d[2] = g, d[3] = b;
        break;
    case PlaneFormat::rgba:
        d[0] = r, d[1] = g, d[2] = b, d[3] = a;
        break;
    case PlaneFormat::rgb24:
        d[0] = r, d[1] = g, d[2] = b;
        break;
    case PlaneFormat::rgb555be:
    case PlaneFormat::rgb555le: {
        const unsigned v = (reduce5(r) << 10) | (reduce5(g) << 5) | reduce5(b);
        if (f == PlaneFormat::rgb555be)
            d[0] = std::uint8_t(v >> 8), d[1] = std::uint8_t(v);
        else
            d[0] = std::uint8_t(v), d[1] = std::uint8_t(v >> 8);
        break;
    }
    case PlaneFormat::indices:
        d[0] = inverse ? inverse->index(r, g, b) : 0;
        break;
    }
}

} // namespace

void writePlane(const PixelBuffer& src, const Rect& r, PlaneFormat f, const InverseColorTable* inverse,
                std::uint8_t* dst, std::size_t dstStride, int outWidth, int outHeight)
{
    const int w = r.width();
    const int h = r.height();
    const int bpp = planeBytesPerPixel(f);
    const bool indexedSource = src.format() == PixelFormat::indexed8;
    std::array<std::uint32_t, 256> palette{};
    if (indexedSource)
        palette = src.colorTable().toArgb();

    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = src.row(r.top + y) + std::size_t(r.left) * std::size_t(src.bytesPerPixel());
        std::uint8_t* d = dst + std::size_t(y) * dstStride;
        if (indexedSource && f == PlaneFormat::indices) {
            std::memcpy(d, s, std::size_t(w));
        } else if (!indexedSource && f == PlaneFormat::argb) {
            std::memcpy(d, s, std::size_t(w) * 4);
        } else if (indexedSource) {
            for (int x = 0; x < w; ++x, d += bpp) {
                const std::uint32_t c = palette[s[x]];
                putPixel(f, inverse, d, 0xFF, std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c));
            }
        } else {
            for (int x = 0; x < w; ++x, s += 4, d += bpp)
                putPixel(f, inverse, d, s[0], s[1], s[2], s[3]);
        }
        std::uint8_t* rowStart = dst + std::size_t(y) * dstStride;
        for (int x = w; x < outWidth; ++x)
            std::memcpy(rowStart + std::size_t(x) * std::size_t(bpp), rowStart + std::size_t(w - 1) * std::size_t(bpp),
                        std::size_t(bpp));
    }
    for (int y = h; y < outHeight; ++y)
        std::memcpy(dst + std::size_t(y) * dstStride, dst + std::size_t(h - 1) * dstStride,
                    std::size_t(outWidth) * std::size_t(bpp));
}

} // namespace qm::detail
