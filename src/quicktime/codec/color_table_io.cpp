#include "quicktime/codec/color_table_io.h"

#include <algorithm>
#include <vector>

#include "quicktime/base/errors.h"

namespace qm {

namespace {

constexpr RGBColor rgb8(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return {std::uint16_t(r * 0x0101), std::uint16_t(g * 0x0101), std::uint16_t(b * 0x0101)};
}

constexpr std::uint16_t deviceFlag = 0x8000;

} // namespace

ColorTable greyColorTable(int bits)
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

ColorTable macColorTable(int depth)
{
    switch (depth) {
    case 1:
        return ColorTable({rgb8(0xFF, 0xFF, 0xFF), rgb8(0, 0, 0)});
    case 2:
        return ColorTable({rgb8(0xFF, 0xFF, 0xFF), rgb8(0xAC, 0xAC, 0xAC), rgb8(0x55, 0x55, 0x55), rgb8(0, 0, 0)});
    case 4:
        // White, yellow, orange, red, magenta, purple, blue, cyan, green, dark green, brown,
        // tan, light grey, grey, dark grey, black.
        return ColorTable({rgb8(0xFF, 0xFF, 0xFF), rgb8(0xFC, 0xF3, 0x05), rgb8(0xFF, 0x64, 0x02),
                           rgb8(0xDD, 0x08, 0x06), rgb8(0xF2, 0x08, 0x84), rgb8(0x46, 0x00, 0xA5),
                           rgb8(0x00, 0x00, 0xD4), rgb8(0x02, 0xAB, 0xEA), rgb8(0x1F, 0xB7, 0x14),
                           rgb8(0x00, 0x64, 0x11), rgb8(0x56, 0x2C, 0x05), rgb8(0x90, 0x71, 0x3A),
                           rgb8(0xC0, 0xC0, 0xC0), rgb8(0x80, 0x80, 0x80), rgb8(0x40, 0x40, 0x40),
                           rgb8(0x00, 0x00, 0x00)});
    case 8:
        return ColorTable::standard8();
    case 33:
    case 34:
    case 36:
    case 40:
        return greyColorTable(depth - 32);
    default:
        return {};
    }
}

OSErr readColorTable(ByteReader& r, ColorTable& out)
{
    out = ColorTable();
    r.u32(); // seed
    const std::uint16_t flags = r.u16();
    const std::uint16_t sizeField = r.u16();
    if (!r.ok())
        return err::badImageDescription;
    const std::size_t count = sizeField == 0xFFFF ? 0 : std::size_t(sizeField) + 1;
    if (count > ColorTable::kMaxEntries || count * 8 > r.remaining())
        return err::badImageDescription;

    std::vector<std::uint16_t> values(count);
    std::vector<RGBColor> colors(count);
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = r.u16();
        colors[i] = r.color();
    }
    const bool allEqual = std::all_of(values.begin(), values.end(), [&](auto v) { return v == values[0]; });
    const bool valuesAreIndices = !(flags & deviceFlag) && !(count > 1 && allEqual) &&
                                  std::all_of(values.begin(), values.end(), [](auto v) { return v < ColorTable::kMaxEntries; });
    if (!valuesAreIndices) {
        out = ColorTable(std::move(colors));
        return err::noErr;
    }
    std::vector<RGBColor> placed;
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] >= placed.size())
            placed.resize(values[i] + 1u);
        placed[values[i]] = colors[i];
    }
    out = ColorTable(std::move(placed));
    return err::noErr;
}

void writeColorTable(ByteWriter& w, const ColorTable& table)
{
    w.u32(0);
    w.u16(0);
    w.u16(std::uint16_t(table.size() - 1)); // 0xFFFF for an empty table
    for (std::size_t i = 0; i < table.size(); ++i) {
        w.u16(std::uint16_t(i));
        w.color(table.color(i));
    }
}

} // namespace qm
