#include "quicktime/raster/offscreen_picture.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "quicktime/base/errors.h"

namespace qm {

OSErr OffscreenPicture::allocate(PixelDepth depth, const Rect& bounds, const ColorTable& table)
{
    m_pixels = {};
    m_bounds = Rect{};
    m_rowBytes = 0;
    if (bounds.empty())
        return err::paramErr;
    const std::size_t bytesPerPixel = depth == PixelDepth::Argb32 ? 4 : 1;
    const std::size_t rowBytes = (std::size_t(bounds.width()) * bytesPerPixel + 3) & ~std::size_t(3);
    const std::size_t total = rowBytes * std::size_t(bounds.height());
    if (total > kMaxBytes)
        return err::memFullErr;
    try {
        m_pixels.assign(total, 0);
    } catch (const std::bad_alloc&) {
        m_pixels = {};
        return err::memFullErr;
    }
    m_depth = depth;
    m_bounds = bounds;
    m_rowBytes = rowBytes;
    m_table = depth == PixelDepth::Indexed8 ? table : ColorTable();
    if (depth == PixelDepth::Argb32)
        fill(argbPixel(0xFF, 0xFF, 0xFF));
    return err::noErr;
}

bool OffscreenPicture::setOrigin(int h, int v)
{
    constexpr int lo = std::numeric_limits<std::int16_t>::min(), hi = std::numeric_limits<std::int16_t>::max();
    const int width = m_bounds.width(), height = m_bounds.height();
    if (h < lo || v < lo || h > hi - width || v > hi - height)
        return false;
    m_bounds = Rect{std::int16_t(v), std::int16_t(h), std::int16_t(v + height), std::int16_t(h + width)};
    return true;
}

std::uint32_t OffscreenPicture::pixel(int h, int v) const
{
    if (isNull() || !contains(h, v))
        return 0;
    if (m_depth == PixelDepth::Argb32)
        return row32(v)[h - m_bounds.left];
    return row8(v)[h - m_bounds.left];
}

void OffscreenPicture::setPixel(int h, int v, std::uint32_t value)
{
    if (isNull() || !contains(h, v))
        return;
    if (m_depth == PixelDepth::Argb32)
        row32(v)[h - m_bounds.left] = value;
    else
        row8(v)[h - m_bounds.left] = std::uint8_t(value);
}

std::uint32_t OffscreenPicture::argb(int h, int v) const
{
    const std::uint32_t p = pixel(h, v);
    return m_depth == PixelDepth::Argb32 ? p : m_table.argb(std::uint8_t(p));
}

RGBColor OffscreenPicture::color(int h, int v) const
{
    if (m_depth == PixelDepth::Indexed8)
        return m_table.color(std::uint8_t(pixel(h, v)));
    return rgbOfPixel(pixel(h, v));
}

std::uint32_t OffscreenPicture::valueFor(const RGBColor& c) const
{
    return m_depth == PixelDepth::Argb32 ? argbPixel(c) : m_table.nearest(c);
}

void OffscreenPicture::fill(std::uint32_t value)
{
    if (isNull())
        return;
    if (m_depth == PixelDepth::Indexed8) {
        std::memset(m_pixels.data(), std::uint8_t(value), m_pixels.size());
        return;
    }
    for (int v = m_bounds.top; v < m_bounds.bottom; ++v)
        std::fill_n(row32(v), width(), value);
}

bool OffscreenPicture::isAllZero() const
{
    const std::size_t used = std::size_t(width()) * (m_depth == PixelDepth::Argb32 ? 4 : 1);
    for (int v = m_bounds.top; v < m_bounds.bottom; ++v) {
        const std::uint8_t* row = row8(v);
        if (row[0] || (used > 1 && std::memcmp(row, row + 1, used - 1) != 0))
            return false;
    }
    return true;
}

bool operator==(const OffscreenPicture& a, const OffscreenPicture& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (a.m_depth != b.m_depth || a.m_bounds != b.m_bounds || !(a.m_table == b.m_table))
        return false;
    const std::size_t used = std::size_t(a.width()) * (a.m_depth == PixelDepth::Argb32 ? 4 : 1);
    for (int v = a.m_bounds.top; v < a.m_bounds.bottom; ++v)
        if (std::memcmp(a.row8(v), b.row8(v), used) != 0)
            return false;
    return true;
}

} // namespace qm
