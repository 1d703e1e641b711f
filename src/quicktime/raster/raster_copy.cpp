#include "quicktime/raster/raster_copy.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "quicktime/base/errors.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {
namespace {

// Source coordinate under the centre of destination coordinate d (both absolute).
int nearestSource(int d, int dst0, int dstLength, int src0, int srcLength)
{
    return src0 + int((2LL * (d - dst0) + 1) * srcLength / (2LL * dstLength));
}

// Source row v as 0xAARRGGBB values, columns [from, to).
void readArgb(const OffscreenPicture& src, int v, int from, int to, std::uint32_t* out)
{
    if (src.depth() == PixelDepth::Argb32) {
        std::memcpy(out, src.row32(v) + (from - src.bounds().left), std::size_t(to - from) * 4);
        return;
    }
    const std::uint8_t* row = src.row8(v) + (from - src.bounds().left);
    const ColorTable& table = src.colorTable();
    for (int i = 0; i < to - from; ++i)
        out[i] = table.argb(row[i]);
}

constexpr int kWeightBits = 14;

struct Tap {
    int source; // offset from the start of the source range
    int weight; // out of 1 << kWeightBits
};

// Filter taps for destination positions [first, last) of a destination range of dstLength that
// maps onto a source range of srcLength; out[i] lists the taps of position first + i.
std::vector<std::vector<Tap>> smoothTaps(int srcLength, int dstLength, int first, int last)
{
    std::vector<std::vector<Tap>> taps(std::size_t(last - first));
    for (int d = first; d < last; ++d) {
        auto& t = taps[std::size_t(d - first)];
        if (srcLength > dstLength) {
            // Destination pixel d spans source [d, d + 1) * srcLength / dstLength; in units of
            // 1 / dstLength source pixels the overlaps are whole numbers.
            const long long a = (long long)d * srcLength, b = a + srcLength;
            for (long long k = a / dstLength; k * dstLength < b; ++k) {
                const long long overlap = std::min(b, (k + 1) * dstLength) - std::max(a, k * dstLength);
                t.push_back({int(k), int((overlap << kWeightBits) / srcLength)});
            }
        } else {
            // Bilinear between the two source centres around the centre of d.
            const long long num = (2LL * d + 1) * srcLength - dstLength, den = 2LL * dstLength;
            long long k = num >= 0 ? num / den : -((-num + den - 1) / den);
            const int frac = int(((num - k * den) << kWeightBits) / den);
            const int k0 = int(std::clamp<long long>(k, 0, srcLength - 1));
            const int k1 = int(std::clamp<long long>(k + 1, 0, srcLength - 1));
            t.push_back({k0, (1 << kWeightBits) - frac});
            if (frac)
                t.push_back({k1, frac});
        }
        int sum = 0;
        for (const auto& tap : t)
            sum += tap.weight;
        std::max_element(t.begin(), t.end(), [](const Tap& x, const Tap& y) { return x.weight < y.weight; })
            ->weight += (1 << kWeightBits) - sum;
    }
    return taps;
}

// Fills out (visible.width() x visible.height(), row-major) with the source pixels that reach
// the visible part of dstRect, as 0xAARRGGBB.
void sampleArgb(const OffscreenPicture& src, const Rect& srcRect, const Rect& dstRect, const Rect& visible,
                ScaleFilter filter, std::vector<std::uint32_t>& out)
{
    const int w = visible.width(), h = visible.height();
    const bool scaled = srcRect.width() != dstRect.width() || srcRect.height() != dstRect.height();
    std::vector<std::uint32_t> row(std::size_t(srcRect.width()));
    if (!scaled || filter == ScaleFilter::Nearest) {
        std::vector<int> columns(static_cast<std::size_t>(w));
        for (int x = 0; x < w; ++x)
            columns[x] = nearestSource(visible.left + x, dstRect.left, dstRect.width(), srcRect.left,
                                       srcRect.width()) - srcRect.left;
        int loaded = -1;
        for (int y = 0; y < h; ++y) {
            const int sv = nearestSource(visible.top + y, dstRect.top, dstRect.height(), srcRect.top,
                                         srcRect.height());
            if (sv != loaded) {
                readArgb(src, sv, srcRect.left, srcRect.right, row.data());
                loaded = sv;
            }
            std::uint32_t* o = out.data() + std::size_t(y) * w;
            for (int x = 0; x < w; ++x)
                o[x] = row[columns[x]];
        }
        return;
    }

    const auto hTaps = smoothTaps(srcRect.width(), dstRect.width(), visible.left - dstRect.left,
                                  visible.right - dstRect.left);
    const auto vTaps = smoothTaps(srcRect.height(), dstRect.height(), visible.top - dstRect.top,
                                  visible.bottom - dstRect.top);
    int firstRow = srcRect.height(), lastRow = 0;
    for (const auto& taps : vTaps)
        for (const auto& t : taps) {
            firstRow = std::min(firstRow, t.source);
            lastRow = std::max(lastRow, t.source + 1);
        }
    // Horizontal pass into 16-bit channels (value * 256), then the vertical pass.
    std::vector<std::uint16_t> mid(std::size_t(lastRow - firstRow) * w * 4);
    for (int r = firstRow; r < lastRow; ++r) {
        readArgb(src, srcRect.top + r, srcRect.left, srcRect.right, row.data());
        std::uint16_t* m = mid.data() + std::size_t(r - firstRow) * w * 4;
        for (int x = 0; x < w; ++x) {
            std::uint32_t acc[4] = {};
            for (const auto& t : hTaps[x])
                for (int c = 0; c < 4; ++c)
                    acc[c] += ((row[t.source] >> (8 * c)) & 0xFF) * std::uint32_t(t.weight);
            for (int c = 0; c < 4; ++c)
                m[x * 4 + c] = std::uint16_t((acc[c] + (1 << 5)) >> (kWeightBits - 8));
        }
    }
    for (int y = 0; y < h; ++y) {
        std::uint32_t* o = out.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            std::uint32_t acc[4] = {};
            for (const auto& t : vTaps[y]) {
                const std::uint16_t* m = mid.data() + (std::size_t(t.source - firstRow) * w + x) * 4;
                for (int c = 0; c < 4; ++c)
                    acc[c] += m[c] * std::uint32_t(t.weight);
            }
            std::uint32_t px = 0;
            for (int c = 0; c < 4; ++c)
                px |= std::min<std::uint32_t>(255, (acc[c] + (1u << (kWeightBits + 7))) >> (kWeightBits + 8))
                      << (8 * c);
            o[x] = px;
        }
    }
}

void ditherInto(const std::vector<std::uint32_t>& argb, const Rect& visible, OffscreenPicture& dst)
{
    const int w = visible.width(), h = visible.height();
    const ColorTable& table = dst.colorTable();
    // Error carried to each column, three channels, in sixteenths; one spare column each side.
    std::vector<int> current(std::size_t(w + 2) * 3), next(std::size_t(w + 2) * 3);
    auto spread = [](int sum) { return (sum >= 0 ? sum + 8 : sum - 8) / 16; };
    for (int y = 0; y < h; ++y) {
        const bool forward = y % 2 == 0;
        std::fill(next.begin(), next.end(), 0);
        std::uint8_t* out = dst.row8(visible.top + y) + (visible.left - dst.bounds().left);
        const std::uint32_t* in = argb.data() + std::size_t(y) * w;
        for (int i = 0; i < w; ++i) {
            const int x = forward ? i : w - 1 - i;
            const int step = forward ? 1 : -1;
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(int((in[x] >> (16 - 8 * c)) & 0xFF) + spread(current[(x + 1) * 3 + c]), 0, 255);
            const std::uint8_t index = table.nearest(std::uint8_t(want[0]), std::uint8_t(want[1]), std::uint8_t(want[2]));
            out[x] = index;
            const std::uint32_t got = table.argb(index);
            for (int c = 0; c < 3; ++c) {
                const int e = want[c] - int((got >> (16 - 8 * c)) & 0xFF);
                current[(x + 1 + step) * 3 + c] += e * 7;
                next[(x + 1 - step) * 3 + c] += e * 3;
                next[(x + 1) * 3 + c] += e * 5;
                next[(x + 1 + step) * 3 + c] += e;
            }
        }
        current.swap(next);
    }
}

} // namespace

OSErr copyBits(const OffscreenPicture& src, const Rect& srcRect, OffscreenPicture& dst, const Rect& dstRect,
               CopyMode mode, ScaleFilter filter)
{
    if (src.isNull() || dst.isNull() || srcRect.empty() || sectRect(srcRect, src.bounds()) != srcRect)
        return err::paramErr;
    const Rect visible = sectRect(dstRect, dst.bounds());
    if (visible.empty())
        return err::noErr;
    if (&src == &dst) {
        const OffscreenPicture copy = src;
        return copyBits(copy, srcRect, dst, dstRect, mode, filter);
    }
    const int w = visible.width(), h = visible.height();
    try {
        if (src.depth() == PixelDepth::Indexed8 && dst.depth() == PixelDepth::Indexed8) {
            std::vector<int> columns(static_cast<std::size_t>(w));
            for (int x = 0; x < w; ++x)
                columns[x] = nearestSource(visible.left + x, dstRect.left, dstRect.width(), srcRect.left,
                                           srcRect.width()) - src.bounds().left;
            for (int y = 0; y < h; ++y) {
                const int sv = nearestSource(visible.top + y, dstRect.top, dstRect.height(), srcRect.top,
                                             srcRect.height());
                const std::uint8_t* in = src.row8(sv);
                std::uint8_t* out = dst.row8(visible.top + y) + (visible.left - dst.bounds().left);
                for (int x = 0; x < w; ++x)
                    out[x] = in[columns[x]];
            }
            return err::noErr;
        }
        std::vector<std::uint32_t> argb(std::size_t(w) * h);
        sampleArgb(src, srcRect, dstRect, visible, filter, argb);
        if (dst.depth() == PixelDepth::Argb32) {
            for (int y = 0; y < h; ++y)
                std::memcpy(dst.row32(visible.top + y) + (visible.left - dst.bounds().left),
                            argb.data() + std::size_t(y) * w, std::size_t(w) * 4);
        } else if (mode == CopyMode::Dither) {
            ditherInto(argb, visible, dst);
        } else {
            const ColorTable& table = dst.colorTable();
            for (int y = 0; y < h; ++y) {
                std::uint8_t* out = dst.row8(visible.top + y) + (visible.left - dst.bounds().left);
                const std::uint32_t* in = argb.data() + std::size_t(y) * w;
                for (int x = 0; x < w; ++x)
                    out[x] = table.nearestToPixel(in[x]);
            }
        }
    } catch (const std::bad_alloc&) {
        return err::memFullErr;
    }
    return err::noErr;
}

OSErr rotatePicture(const OffscreenPicture& src, Rotation rotation, OffscreenPicture& dst)
{
    if (src.isNull())
        return err::paramErr;
    if (&src == &dst) {
        const OffscreenPicture copy = src;
        return rotatePicture(copy, rotation, dst);
    }
    const int w = src.width(), h = src.height();
    const bool quarter = rotation != Rotation::HalfTurn;
    const int outW = quarter ? h : w, outH = quarter ? w : h;
    if (OSErr e = dst.allocate(src.depth(), Rect{0, 0, std::int16_t(outH), std::int16_t(outW)}, src.colorTable()))
        return e;
    const Rect& sb = src.bounds();
    auto rotate = [&](auto load, auto store) {
        for (int y = 0; y < outH; ++y)
            for (int x = 0; x < outW; ++x) {
                // Source pixel (sx, sy), relative to the source's top-left corner.
                int sx, sy;
                switch (rotation) {
                case Rotation::Clockwise:
                    sx = y, sy = h - 1 - x;
                    break;
                case Rotation::CounterClockwise:
                    sx = w - 1 - y, sy = x;
                    break;
                case Rotation::HalfTurn:
                default:
                    sx = w - 1 - x, sy = h - 1 - y;
                    break;
                }
                store(x, y, load(sb.left + sx, sb.top + sy));
            }
    };
    if (src.depth() == PixelDepth::Argb32)
        rotate([&](int sh, int sv) { return src.row32(sv)[sh - sb.left]; },
               [&](int x, int y, std::uint32_t p) { dst.row32(y)[x] = p; });
    else
        rotate([&](int sh, int sv) { return src.row8(sv)[sh - sb.left]; },
               [&](int x, int y, std::uint8_t p) { dst.row8(y)[x] = p; });
    return err::noErr;
}

} // namespace qm
