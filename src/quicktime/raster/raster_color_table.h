#pragma once
// The colour table of an 8-bit indexed picture: up to 256 colours with 16-bit components.
//
// Colour matching works on 8 bits per component (the high byte of each 16-bit component) and
// finds the exact nearest entry by squared RGB distance, the lowest index winning ties, so a
// colour that is in the table always maps back to its own (first) index.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "quicktime/base/os_types.h"

namespace qm {

// A 32-bit pixel: 0xAARRGGBB held in a native-endian 32-bit word (the layout of Qt's
// QImage::Format_ARGB32 and FFmpeg's AV_PIX_FMT_RGB32).
constexpr std::uint32_t argbPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 0xFF)
{
    return (std::uint32_t(a) << 24) | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}
constexpr std::uint32_t argbPixel(const RGBColor& c)
{
    return argbPixel(std::uint8_t(c.red >> 8), std::uint8_t(c.green >> 8), std::uint8_t(c.blue >> 8));
}
constexpr RGBColor rgbOfPixel(std::uint32_t argb)
{
    return RGBColor{std::uint16_t(((argb >> 16) & 0xFF) * 0x101), std::uint16_t(((argb >> 8) & 0xFF) * 0x101),
                    std::uint16_t((argb & 0xFF) * 0x101)};
}

class ColorTable {
public:
    static constexpr std::size_t kMaxEntries = 256;

    ColorTable();
    // Entries past the 256th are dropped.
    explicit ColorTable(std::vector<RGBColor> entries);

    // The Macintosh system palette for 8-bit pictures: indices 0 to 214 the 6 x 6 x 6 colour
    // cube without black (components FF, CC, 99, 66, 33, 00, red slowest, so index 0 is white),
    // then ten-step ramps (EE, DD, BB, AA, 88, 77, 55, 44, 22, 11) of red (215-224), green
    // (225-234), blue (235-244) and grey (245-254), and black at 255.
    static const ColorTable& standard8();

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const std::vector<RGBColor>& entries() const { return m_entries; }
    // An index past the end of the table reads as black.
    RGBColor color(std::size_t index) const;
    std::uint32_t argb(std::uint8_t index) const;
    // Nearest entry; 0 for an empty table.
    std::uint8_t nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b) const;
    std::uint8_t nearest(const RGBColor& c) const;
    std::uint8_t nearestToPixel(std::uint32_t argb) const
    {
        return nearest(std::uint8_t(argb >> 16), std::uint8_t(argb >> 8), std::uint8_t(argb));
    }

    friend bool operator==(const ColorTable& a, const ColorTable& b) { return a.m_entries == b.m_entries; }

private:
    struct Lookup;
    std::vector<RGBColor> m_entries;
    std::shared_ptr<const Lookup> m_lookup;
};

} // namespace qm
