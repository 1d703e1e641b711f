#include "quicktime/color_table.h"

#include <algorithm>

#include "quicktime/errors.h"

namespace qm {

namespace {

constexpr RGBColor rgb8(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {std::uint16_t(r * 0x0101), std::uint16_t(g * 0x0101), std::uint16_t(b * 0x0101)};
}

// The Macintosh system palette: a 6x6x6 cube without black (components 0xFF down to 0x00 in
// steps of 0x33, red slowest, index 0 white), then ten-step ramps of red, green, blue and grey
// over the levels the cube lacks, then black.
std::vector<RGBColor> macPalette256()
{
    std::vector<RGBColor> c;
    c.reserve(256);
    for (int i = 0; i < 215; ++i)
        c.push_back(rgb8(std::uint8_t((5 - i / 36) * 0x33), std::uint8_t((5 - i / 6 % 6) * 0x33),
                         std::uint8_t((5 - i % 6) * 0x33)));
    static constexpr std::uint8_t ramp[10] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
    for (std::uint8_t v : ramp)
        c.push_back(rgb8(v, 0, 0));
    for (std::uint8_t v : ramp)
        c.push_back(rgb8(0, v, 0));
    for (std::uint8_t v : ramp)
        c.push_back(rgb8(0, 0, v));
    for (std::uint8_t v : ramp)
        c.push_back(rgb8(v, v, v));
    c.push_back(rgb8(0, 0, 0));
    return c;
}

// The 16-colour system palette (white, yellow, orange, red, magenta, purple, blue, cyan, green,
// dark green, brown, tan, light grey, grey, dark grey, black).
std::vector<RGBColor> macPalette16()
{
    static constexpr std::uint8_t v[16][3] = {
        {0xFF, 0xFF, 0xFF}, {0xFC, 0xF3, 0x05}, {0xFF, 0x64, 0x02}, {0xDD, 0x08, 0x06},
        {0xF2, 0x08, 0x84}, {0x46, 0x00, 0xA5}, {0x00, 0x00, 0xD4}, {0x02, 0xAB, 0xEA},
        {0x1F, 0xB7, 0x14}, {0x00, 0x64, 0x11}, {0x56, 0x2C, 0x05}, {0x90, 0x71, 0x3A},
        {0xC0, 0xC0, 0xC0}, {0x80, 0x80, 0x80}, {0x40, 0x40, 0x40}, {0x00, 0x00, 0x00}};
    std::vector<RGBColor> c;
    for (const auto& e : v)
        c.push_back(rgb8(e[0], e[1], e[2]));
    return c;
}

} // namespace

ColorTable ColorTable::greyRamp(int bits)
{
    if (bits < 1 || bits > 8)
        return {};
    const int n = 1 << bits;
    std::vector<RGBColor> c;
    c.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        const auto v = std::uint16_t(65535 - (65535 * i) / (n - 1));
        c.push_back({v, v, v});
    }
    return ColorTable(std::move(c));
}

ColorTable ColorTable::macDefault(int depth)
{
    switch (depth) {
    case 1:
        return ColorTable({rgb8(0xFF, 0xFF, 0xFF), rgb8(0, 0, 0)});
    case 2:
        return ColorTable(
            {rgb8(0xFF, 0xFF, 0xFF), rgb8(0xAC, 0xAC, 0xAC), rgb8(0x55, 0x55, 0x55), rgb8(0, 0, 0)});
    case 4:
        return ColorTable(macPalette16());
    case 8:
        return ColorTable(macPalette256());
    case 33:
    case 34:
    case 36:
    case 40:
        return greyRamp(depth - 32);
    default:
        return {};
    }
}

void ColorTable::setColor(std::size_t index, const RGBColor& c)
{
    if (index >= maxEntries)
        return;
    if (index >= m_colors.size())
        m_colors.resize(index + 1);
    m_colors[index] = c;
}

OSErr ColorTable::read(ByteReader& r, ColorTable& out)
{
    out = ColorTable();
    out.m_seed = r.u32();
    const std::uint16_t flags = r.u16();
    const std::uint16_t sizeField = r.u16();
    if (!r.ok())
        return err::badImageDescription;
    // A size of -1 is an empty table.
    const std::size_t count = sizeField == 0xFFFF ? 0 : std::size_t(sizeField) + 1;
    if (count > maxEntries || count * 8 > r.remaining())
        return err::badImageDescription;

    std::vector<std::uint16_t> values(count);
    std::vector<RGBColor> colors(count);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = r.u16();
        colors[i] = r.color();
    }
    // Entry values are indices unless the table is a device table; writers that leave every
    // value equal (typically all zero) mean the entries in order.
    const bool allEqual = std::all_of(values.begin(), values.end(), [&](auto v) { return v == values[0]; });
    const bool valuesAreIndices = !(flags & deviceFlag) && !(count > 1 && allEqual) &&
                                  std::all_of(values.begin(), values.end(), [](auto v) { return v < maxEntries; });
    if (!valuesAreIndices) {
        out.m_colors = std::move(colors);
        return err::noErr;
    }
    for (std::size_t i = 0; i < count; ++i)
        out.setColor(values[i], colors[i]);
    return err::noErr;
}

void ColorTable::write(ByteWriter& w) const
{
    w.u32(m_seed);
    w.u16(0);
    w.u16(std::uint16_t(m_colors.size() - 1)); // 0xFFFF for an empty table
    for (std::size_t i = 0; i < m_colors.size(); ++i) {
        w.u16(std::uint16_t(i));
        w.color(m_colors[i]);
    }
}

std::array<std::uint32_t, 256> ColorTable::toArgb() const
{
    std::array<std::uint32_t, 256> out;
    out.fill(0xFF000000u);
    for (std::size_t i = 0; i < m_colors.size() && i < out.size(); ++i) {
        const RGBColor& c = m_colors[i];
        out[i] = 0xFF000000u | (std::uint32_t(c.red >> 8) << 16) | (std::uint32_t(c.green >> 8) << 8) |
                 std::uint32_t(c.blue >> 8);
    }
    return out;
}

} // namespace qm
