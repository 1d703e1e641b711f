#pragma once
// The plain picture the codecs read and write: a 0-origin pixel grid, either 32-bit ARGB or 8-bit
// indices with a colour table.
//
// ARGB pixels are four bytes in memory order A, R, G, B (QuickDraw's 32-bit direct pixels).
// Codecs without alpha write A = 0xFF and ignore A when compressing. Rows start rowBytes apart;
// rowBytes is at least width * bytes per pixel.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quicktime/color_table.h"

namespace qm {

enum class PixelFormat : std::uint8_t { argb32, indexed8 };

class PixelBuffer {
public:
    PixelBuffer() = default;
    // A zero-filled picture; sizes that are not positive or above the limits give an empty one.
    PixelBuffer(int width, int height, PixelFormat format, ColorTable colors = {});

    // Pictures larger than this on either side, or in pixels, are refused (an empty picture).
    static constexpr int maxDimension = 16384;
    static constexpr std::int64_t maxPixels = std::int64_t(1) << 26;

    bool empty() const { return m_width <= 0 || m_height <= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    PixelFormat format() const { return m_format; }
    int bytesPerPixel() const { return m_format == PixelFormat::argb32 ? 4 : 1; }
    std::size_t rowBytes() const { return m_rowBytes; }

    std::uint8_t* row(int y) { return m_pixels.data() + std::size_t(y) * m_rowBytes; }
    const std::uint8_t* row(int y) const { return m_pixels.data() + std::size_t(y) * m_rowBytes; }
    std::vector<std::uint8_t>& pixels() { return m_pixels; }
    const std::vector<std::uint8_t>& pixels() const { return m_pixels; }

    // Indexed pictures only: the colour of each index.
    const ColorTable& colorTable() const { return m_colors; }
    void setColorTable(ColorTable colors) { m_colors = std::move(colors); }

    // ARGB as 0xAARRGGBB (for indexed pictures: the index's colour, alpha 0xFF).
    std::uint32_t argbAt(int x, int y) const;
    // ARGB pictures only.
    void setArgb(int x, int y, std::uint32_t argb);

private:
    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::argb32;
    std::size_t m_rowBytes = 0;
    std::vector<std::uint8_t> m_pixels;
    ColorTable m_colors;
};

} // namespace qm
