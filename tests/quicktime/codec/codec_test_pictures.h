#pragma once
// Pictures and measures shared by the codec tests.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "quicktime/raster/offscreen_picture.h"

namespace qm::test {

inline OffscreenPicture makePicture(int w, int h, PixelDepth depth, const ColorTable& table = ColorTable::standard8())
{
    OffscreenPicture p;
    p.allocate(depth, Rect{0, 0, std::int16_t(h), std::int16_t(w)}, table);
    return p;
}

// A photograph-like picture: smooth gradients, a hard-edged disc and a band of fine stripes.
inline OffscreenPicture naturalPicture(int w, int h)
{
    OffscreenPicture p = makePicture(w, h, PixelDepth::Argb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto r = std::uint8_t(255.0 * x / std::max(1, w - 1));
            auto g = std::uint8_t(255.0 * y / std::max(1, h - 1));
            auto b = std::uint8_t(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07));
            const double dx = x - w * 0.6, dy = y - h * 0.4;
            if (dx * dx + dy * dy < (w * h) / 30.0)
                r = 250, g = 240, b = 20;
            if (y > h * 3 / 4 && y < h * 3 / 4 + 6)
                r = g = b = (x / 2 % 2) ? 230 : 30;
            p.setPixel(x, y, argbPixel(r, g, b));
        }
    return p;
}

// Every byte random (alpha too): the worst case for every compressor.
inline OffscreenPicture noisePicture(int w, int h, PixelDepth depth = PixelDepth::Argb32, unsigned seed = 7)
{
    OffscreenPicture p = makePicture(w, h, depth);
    std::mt19937 rng(seed);
    std::uint8_t* d = p.data();
    for (std::size_t i = 0; i < p.rowBytes() * std::size_t(h); ++i)
        d[i] = std::uint8_t(rng());
    return p;
}

// An 8-bit hot spot image: regions of arbitrary IDs (every value 0..255 occurs) with ragged
// edges, as a painted hot spot image has.
inline OffscreenPicture hotSpotPicture(int w, int h, const ColorTable& table = ColorTable::standard8())
{
    OffscreenPicture p = makePicture(w, h, PixelDepth::Indexed8, table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int id = ((x / 7) * 31 + (y / 5) * 17) % 256;
            if ((x + y) % 13 == 0)
                id = (id * 3 + 1) % 256;
            if (y < h / 5)
                id = 0;
            p.row8(y)[x] = std::uint8_t(id);
        }
    return p;
}

// Peak signal-to-noise ratio of the R, G and B components, in dB (99 for identical pictures).
inline double psnr(const OffscreenPicture& a, const OffscreenPicture& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const std::uint32_t p = a.argb(x, y), q = b.argb(x, y);
            for (int shift : {16, 8, 0}) {
                const double d = double((p >> shift) & 0xFF) - double((q >> shift) & 0xFF);
                sum += d * d;
            }
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Same colours (and alpha unless ignoreAlpha) at every pixel.
inline bool sameArgb(const OffscreenPicture& a, const OffscreenPicture& b, bool ignoreAlpha)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    const std::uint32_t mask = ignoreAlpha ? 0x00FFFFFFu : 0xFFFFFFFFu;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.argb(x, y) & mask) != (b.argb(x, y) & mask))
                return false;
    return true;
}

} // namespace qm::test
