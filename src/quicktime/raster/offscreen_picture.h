#pragma once
// An offscreen picture: a pixel buffer with a QuickDraw bounds rectangle, either 32-bit direct
// colour or 8-bit indexed with a colour table.
//
// Pixels are addressed in the picture's own coordinates: (h, v) with bounds.left <= h <
// bounds.right and bounds.top <= v < bounds.bottom. A 32-bit pixel is 0xAARRGGBB in a
// native-endian word (see raster_color_table.h); an 8-bit pixel is an index into the colour
// table, or for hot spot pictures a hot spot ID. Rows are rowBytes() apart, a multiple of 4.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quicktime/base/os_types.h"
#include "quicktime/raster/raster_color_table.h"

namespace qm {

enum class PixelDepth : int { Indexed8 = 8, Argb32 = 32 };

class OffscreenPicture {
public:
    // Largest pixel buffer allocate() accepts.
    static constexpr std::size_t kMaxBytes = std::size_t(1) << 30;

    // A null picture without pixels.
    OffscreenPicture() = default;

    // Makes the picture anew, every pixel erased: index 0 (white in the standard table) or
    // opaque white. -50 for an empty rectangle, -108 when the buffer would pass kMaxBytes or
    // cannot be had; the picture is then null. The table is kept only for 8-bit pictures.
    OSErr allocate(PixelDepth depth, const Rect& bounds, const ColorTable& table = ColorTable::standard8());

    bool isNull() const { return m_pixels.empty(); }
    PixelDepth depth() const { return m_depth; }
    const Rect& bounds() const { return m_bounds; }
    int width() const { return m_bounds.width(); }
    int height() const { return m_bounds.height(); }
    std::size_t rowBytes() const { return m_rowBytes; }
    const ColorTable& colorTable() const { return m_table; }
    void setColorTable(const ColorTable& table) { m_table = table; }

    // Moves the coordinate system so that the top-left pixel is (h, v), keeping the pixels
    // (QuickDraw's SetOrigin). False, and nothing changes, when the bounds would leave the
    // 16-bit plane.
    bool setOrigin(int h, int v);

    std::uint8_t* data() { return m_pixels.data(); }
    const std::uint8_t* data() const { return m_pixels.data(); }
    // Row v (picture coordinates), which must lie within the bounds.
    std::uint8_t* row8(int v) { return m_pixels.data() + std::size_t(v - m_bounds.top) * m_rowBytes; }
    const std::uint8_t* row8(int v) const { return m_pixels.data() + std::size_t(v - m_bounds.top) * m_rowBytes; }
    std::uint32_t* row32(int v) { return reinterpret_cast<std::uint32_t*>(row8(v)); }
    const std::uint32_t* row32(int v) const { return reinterpret_cast<const std::uint32_t*>(row8(v)); }

    bool contains(int h, int v) const
    {
        return h >= m_bounds.left && h < m_bounds.right && v >= m_bounds.top && v < m_bounds.bottom;
    }
    // The raw pixel value (index or 0xAARRGGBB); 0 outside the bounds.
    std::uint32_t pixel(int h, int v) const;
    // Ignored outside the bounds; an 8-bit picture keeps the low byte.
    void setPixel(int h, int v, std::uint32_t value);
    // The pixel as a colour, through the colour table for 8-bit pictures.
    RGBColor color(int h, int v) const;
    std::uint32_t argb(int h, int v) const;
    // The pixel value that shows the colour: the nearest index for 8-bit pictures.
    std::uint32_t valueFor(const RGBColor& c) const;
    void fill(std::uint32_t value);
    // Whether every pixel's raw value is 0 (for a hot spot picture: no hot spot); true when null.
    bool isAllZero() const;

    // Same depth, bounds, table (8-bit) and pixels.
    friend bool operator==(const OffscreenPicture& a, const OffscreenPicture& b);

private:
    PixelDepth m_depth = PixelDepth::Argb32;
    Rect m_bounds{};
    std::size_t m_rowBytes = 0;
    ColorTable m_table;
    std::vector<std::uint8_t> m_pixels;
};

} // namespace qm
