#include "quicktime/codec/codec_pixels.h"

#include <cstring>
#include <vector>

namespace qm::detail {

int planeBytesPerPixel(PlaneFormat f)
{
    switch (f) {
    case PlaneFormat::argb:
    case PlaneFormat::rgba:
    case PlaneFormat::native32:
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

template <PlaneFormat F>
void putPixels(const std::uint32_t* s, int n, const ColorTable& table, std::uint8_t* d)
{
    for (int x = 0; x < n; ++x) {
        const std::uint32_t c = s[x];
        const auto a = std::uint8_t(c >> 24), r = std::uint8_t(c >> 16), g = std::uint8_t(c >> 8), b = std::uint8_t(c);
        if constexpr (F == PlaneFormat::argb) {
            d[0] = a, d[1] = r, d[2] = g, d[3] = b, d += 4;
        } else if constexpr (F == PlaneFormat::rgba) {
            d[0] = r, d[1] = g, d[2] = b, d[3] = a, d += 4;
        } else if constexpr (F == PlaneFormat::native32) {
            std::memcpy(d, &c, 4), d += 4;
        } else if constexpr (F == PlaneFormat::rgb24) {
            d[0] = r, d[1] = g, d[2] = b, d += 3;
        } else if constexpr (F == PlaneFormat::indices) {
            *d++ = table.nearest(r, g, b);
        } else {
            const unsigned v = (reduce5(r) << 10) | (reduce5(g) << 5) | reduce5(b);
            if constexpr (F == PlaneFormat::rgb555be)
                d[0] = std::uint8_t(v >> 8), d[1] = std::uint8_t(v);
            else
                d[0] = std::uint8_t(v), d[1] = std::uint8_t(v >> 8);
            d += 2;
        }
    }
}

void putRow(PlaneFormat f, const std::uint32_t* s, int n, const ColorTable& table, std::uint8_t* d)
{
    switch (f) {
    case PlaneFormat::argb:
        return putPixels<PlaneFormat::argb>(s, n, table, d);
    case PlaneFormat::rgba:
        return putPixels<PlaneFormat::rgba>(s, n, table, d);
    case PlaneFormat::native32:
        return putPixels<PlaneFormat::native32>(s, n, table, d);
    case PlaneFormat::rgb24:
        return putPixels<PlaneFormat::rgb24>(s, n, table, d);
    case PlaneFormat::rgb555be:
        return putPixels<PlaneFormat::rgb555be>(s, n, table, d);
    case PlaneFormat::rgb555le:
        return putPixels<PlaneFormat::rgb555le>(s, n, table, d);
    case PlaneFormat::indices:
        return putPixels<PlaneFormat::indices>(s, n, table, d);
    }
}

} // namespace

void writePlane(const OffscreenPicture& src, const Rect& r, PlaneFormat f, const ColorTable& table, std::uint8_t* dst,
                std::size_t dstStride, int outWidth, int outHeight)
{
    const int w = r.width();
    const int h = r.height();
    const std::size_t bpp = std::size_t(planeBytesPerPixel(f));
    const int left = r.left - src.bounds().left;
    std::vector<std::uint32_t> expanded;
    if (src.depth() == PixelDepth::Indexed8 && f != PlaneFormat::indices)
        expanded.resize(std::size_t(w));

    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = dst + std::size_t(y) * dstStride;
        if (src.depth() == PixelDepth::Indexed8) {
            const std::uint8_t* s = src.row8(r.top + y) + left;
            if (f == PlaneFormat::indices) {
                std::memcpy(d, s, std::size_t(w));
            } else {
                for (int x = 0; x < w; ++x)
                    expanded[std::size_t(x)] = src.colorTable().argb(s[x]);
                putRow(f, expanded.data(), w, table, d);
            }
        } else {
            putRow(f, src.row32(r.top + y) + left, w, table, d);
        }
        for (int x = w; x < outWidth; ++x)
            std::memcpy(d + std::size_t(x) * bpp, d + std::size_t(w - 1) * bpp, bpp);
    }
    for (int y = h; y < outHeight; ++y)
        std::memcpy(dst + std::size_t(y) * dstStride, dst + std::size_t(h - 1) * dstStride, std::size_t(outWidth) * bpp);
}

} // namespace qm::detail
