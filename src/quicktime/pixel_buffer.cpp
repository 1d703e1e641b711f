#include "quicktime/pixel_buffer.h"

namespace qm {

PixelBuffer::PixelBuffer(int width, int height, PixelFormat format, ColorTable colors)
    : m_format(format), m_colors(std::move(colors))
{
    if (width <= 0 || height <= 0 || width > maxDimension || height > maxDimension ||
        std::int64_t(width) * height > maxPixels)
        return;
    m_width = width;
    m_height = height;
    m_rowBytes = std::size_t(width) * std::size_t(bytesPerPixel());
    m_pixels.assign(m_rowBytes * std::size_t(height), 0);
}

std::uint32_t PixelBuffer::argbAt(int x, int y) const
{
    const std::uint8_t* p = row(y);
    if (m_format == PixelFormat::indexed8) {
        const std::uint8_t i = p[x];
        if (i >= m_colors.size())
            return 0xFF000000u;
        const RGBColor& c = m_colors[i];
        return 0xFF000000u | (std::uint32_t(c.red >> 8) << 16) | (std::uint32_t(c.green >> 8) << 8) |
               std::uint32_t(c.blue >> 8);
    }
    p += std::size_t(x) * 4;
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void PixelBuffer::setArgb(int x, int y, std::uint32_t argb)
{
    std::uint8_t* p = row(y) + std::size_t(x) * 4;
    p[0] = std::uint8_t(argb >> 24);
    p[1] = std::uint8_t(argb >> 16);
    p[2] = std::uint8_t(argb >> 8);
    p[3] = std::uint8_t(argb);
}

} // namespace qm
