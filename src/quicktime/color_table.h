#pragma once
// A Macintosh colour table ('ctab' layout): the palette of an indexed picture and of an image
// description of depth 8 or less.
//
// Byte form (big-endian): seed u32, flags u16, size u16 (= entry count - 1), then per entry
// value u16, red u16, green u16, blue u16. Components are 16-bit (0..65535); 8-bit pixels use the
// high byte.
#include <array>
#include <cstdint>
#include <vector>

#include "quicktime/byte_io.h"
#include "quicktime/os_types.h"

namespace qm {

class ColorTable {
public:
    static constexpr std::size_t maxEntries = 256;
    // Bit 15 of the flags: a device table, whose entry values are not indices.
    static constexpr std::uint16_t deviceFlag = 0x8000;

    ColorTable() = default;
    explicit ColorTable(std::vector<RGBColor> colors) : m_colors(std::move(colors)) {}

    // The standard Macintosh table for a pixel depth: 1, 2, 4, 8 (colour) or 33, 34, 36, 40
    // (1, 2, 4, 8-bit grey: index 0 white, the last index black). Empty for other depths.
    static ColorTable macDefault(int depth);
    // A grey ramp of 2^bits entries from white (index 0) to black.
    static ColorTable greyRamp(int bits);

    const std::vector<RGBColor>& colors() const { return m_colors; }
    std::size_t size() const { return m_colors.size(); }
    bool empty() const { return m_colors.empty(); }
    const RGBColor& operator[](std::size_t i) const { return m_colors[i]; }
    void setColor(std::size_t index, const RGBColor& c);

    std::uint32_t seed() const { return m_seed; }
    void setSeed(std::uint32_t seed) { m_seed = seed; }

    // Reads a table at the reader's position. Fails with badImageDescription when the table is
    // cut short or holds more than 256 entries.
    static OSErr read(ByteReader& r, ColorTable& out);
    // Writes seed, flags 0 and entry values equal to their index: readers that take entry values
    // as indices (QuickTime) and readers that take the seed as the first index (FFmpeg) agree.
    void write(ByteWriter& w) const;
    std::size_t byteSize() const { return 8 + 8 * m_colors.size(); }

    // 0xAARRGGBB per index (alpha 0xFF), 256 entries, black beyond the table's end.
    std::array<std::uint32_t, 256> toArgb() const;

    // Same colours in the same order (the seed is not compared).
    friend bool operator==(const ColorTable& a, const ColorTable& b) { return a.m_colors == b.m_colors; }

private:
    std::uint32_t m_seed = 0;
    std::vector<RGBColor> m_colors;
};

} // namespace qm
