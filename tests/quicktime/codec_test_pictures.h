#pragma once
// Pictures and measures shared by the codec tests.
#include <cmath>
#include <cstdint>
#include <random>

#include "quicktime/pixel_buffer.h"

namespace qm::test {

// A photograph-like picture: smooth gradients, a hard-edged disc and a band of fine stripes.
inline PixelBuffer naturalPicture(int w, int h)
{
    PixelBuffer p(w, h, PixelFormat::argb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            auto r = std::uint32_t(255.0 * x / std::max(1, w - 1));
            auto g = std::uint32_t(255.0 * y / std::max(1, h - 1));
            auto b = std::uint32_t(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07));
            const double dx = x - w * 0.6, dy = y - h * 0.4;
            if (dx * dx + dy * dy < (w * h) / 30.0)
                r = 250, g = 240, b = 20;
            if (y > h * 3 / 4 && y < h * 3 / 4 + 6)
                r = g = b = (x / 2 % 2) ? 230 : 30;
            p.setArgb(x, y, 0xFF000000u | (r << 16) | (g << 8) | b);
        }
    return p;
}

// Every byte random (alpha too): the worst case for every compressor.
inline PixelBuffer noisePicture(int w, int h, PixelFormat format = PixelFormat::argb32, unsigned seed = 7)
{
    PixelBuffer p(w, h, format, format == PixelFormat::indexed8 ? ColorTable::macDefault(8) : ColorTable());
    std::mt19937 rng(seed);
    for (auto& b : p.pixels())
        b = std::uint8_t(rng());
    return p;
}

// An 8-bit hot spot image: regions of arbitrary IDs (every value 0..255 occurs) with ragged
// edges, as a painted hot spot image has.
inline PixelBuffer hotSpotPicture(int w, int h, ColorTable table = ColorTable::macDefault(8))
{
    PixelBuffer p(w, h, PixelFormat::indexed8, std::move(table));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int id = ((x / 7) * 31 + (y / 5) * 17) % 256;
            if ((x + y) % 13 == 0)
                id = (id * 3 + 1) % 256;
            if (y < h / 5)
                id = 0;
            p.row(y)[x] = std::uint8_t(id);
        }
    return p;
}

// Peak signal-to-noise ratio of the R, G and B bytes, in dB (99 for identical pictures).
inline double psnr(const PixelBuffer& a, const PixelBuffer& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const std::uint32_t p = a.argbAt(x, y), q = b.argbAt(x, y);
            for (int shift : {16, 8, 0}) {
                const double d = double((p >> shift) & 0xFF) - double((q >> shift) & 0xFF);
                sum += d * d;
            }
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Pixels equal (RGB only when ignoreAlpha).
inline bool sameArgb(const PixelBuffer& a, const PixelBuffer& b, bool ignoreAlpha)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    const std::uint32_t mask = ignoreAlpha ? 0x00FFFFFFu : 0xFFFFFFFFu;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.argbAt(x, y) & mask) != (b.argbAt(x, y) & mask))
                return false;
    return true;
}

} // namespace qm::test
