#include "quicktime/color_table.h"
#include "quicktime/errors.h"
#include "quicktime/inverse_color_table.h"

#include <gtest/gtest.h>

#include <random>

using namespace qm;

namespace {

RGBColor rgb8(int r, int g, int b)
{
    return {std::uint16_t(r * 0x101), std::uint16_t(g * 0x101), std::uint16_t(b * 0x101)};
}

Bytes tableBytes(std::uint32_t seed, std::uint16_t flags, std::uint16_t sizeField,
                 std::initializer_list<std::array<std::uint16_t, 4>> entries)
{
    ByteWriter w;
    w.u32(seed);
    w.u16(flags);
    w.u16(sizeField);
    for (const auto& e : entries)
        for (std::uint16_t v : e)
            w.u16(v);
    return w.take();
}

} // namespace

TEST(ColorTable, StandardTablesHoldTheMacintoshSystemColours)
{
    const ColorTable t8 = ColorTable::macDefault(8);
    ASSERT_EQ(t8.size(), 256u);
    EXPECT_EQ(t8[0], rgb8(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(t8[1], rgb8(0xFF, 0xFF, 0xCC)); // blue changes fastest in the cube
    EXPECT_EQ(t8[6], rgb8(0xFF, 0xCC, 0xFF));
    EXPECT_EQ(t8[36], rgb8(0xCC, 0xFF, 0xFF));
    EXPECT_EQ(t8[214], rgb8(0x00, 0x00, 0x33)); // the cube ends before black
    EXPECT_EQ(t8[215], rgb8(0xEE, 0x00, 0x00));
    EXPECT_EQ(t8[224], rgb8(0x11, 0x00, 0x00));
    EXPECT_EQ(t8[225], rgb8(0x00, 0xEE, 0x00));
    EXPECT_EQ(t8[235], rgb8(0x00, 0x00, 0xEE));
    EXPECT_EQ(t8[245], rgb8(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(t8[254], rgb8(0x11, 0x11, 0x11));
    EXPECT_EQ(t8[255], rgb8(0, 0, 0));

    const ColorTable t4 = ColorTable::macDefault(4);
    ASSERT_EQ(t4.size(), 16u);
    EXPECT_EQ(t4[1], rgb8(0xFC, 0xF3, 0x05)); // yellow
    EXPECT_EQ(t4[15], rgb8(0, 0, 0));
    EXPECT_EQ(ColorTable::macDefault(2)[1], rgb8(0xAC, 0xAC, 0xAC));
    EXPECT_EQ(ColorTable::macDefault(1).size(), 2u);
    EXPECT_TRUE(ColorTable::macDefault(16).empty());
    EXPECT_TRUE(ColorTable::macDefault(24).empty());

    // Grey depths run from white to black in equal steps.
    const ColorTable g4 = ColorTable::macDefault(36);
    ASSERT_EQ(g4.size(), 16u);
    EXPECT_EQ(g4[0], rgb8(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(g4[1], rgb8(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(g4[15], rgb8(0, 0, 0));
    EXPECT_EQ(ColorTable::macDefault(40)[128], rgb8(127, 127, 127));
}

TEST(ColorTable, WrittenTablesReadBackAndSuitBothReaderConventions)
{
    ColorTable t = ColorTable::macDefault(4);
    t.setColor(3, {0x1234, 0x5678, 0x9ABC}); // full 16-bit components survive
    ByteWriter w;
    t.write(w);
    const Bytes& b = w.data();
    ASSERT_EQ(b.size(), t.byteSize());
    ASSERT_EQ(b.size(), 8u + 16 * 8);
    EXPECT_EQ(loadBE32(b.data()), 0u);        // seed 0: FFmpeg's first index
    EXPECT_EQ(loadBE16(b.data() + 4), 0u);    // flags
    EXPECT_EQ(loadBE16(b.data() + 6), 15u);   // count - 1
    EXPECT_EQ(loadBE16(b.data() + 8 + 5 * 8), 5u); // entry value = index

    ByteReader r(b);
    ColorTable back;
    ASSERT_EQ(ColorTable::read(r, back), err::noErr);
    EXPECT_EQ(back, t);
    EXPECT_TRUE(r.atEnd());
}

TEST(ColorTable, EntryValuesPlaceColoursUnlessTheyCannotBeIndices)
{
    // Values out of order are the indices of their colours.
    Bytes b = tableBytes(0, 0, 1, {{1, 0xFFFF, 0, 0}, {0, 0, 0xFFFF, 0}});
    ByteReader r(b);
    ColorTable t;
    ASSERT_EQ(ColorTable::read(r, t), err::noErr);
    EXPECT_EQ(t[0], (RGBColor{0, 0xFFFF, 0}));
    EXPECT_EQ(t[1], (RGBColor{0xFFFF, 0, 0}));

    // A device table, or one whose values are all zero, lists its colours in order.
    for (std::uint16_t flags : {std::uint16_t(0x8000), std::uint16_t(0)}) {
        const std::uint16_t v = flags ? 7 : 0;
        b = tableBytes(0, flags, 1, {{v, 0xFFFF, 0, 0}, {v, 0, 0xFFFF, 0}});
        ByteReader r2(b);
        ASSERT_EQ(ColorTable::read(r2, t), err::noErr);
        EXPECT_EQ(t[0], (RGBColor{0xFFFF, 0, 0})) << flags;
        EXPECT_EQ(t[1], (RGBColor{0, 0xFFFF, 0})) << flags;
    }
}

TEST(ColorTable, DamagedTablesAreRefused)
{
    ColorTable t;
    // Cut short: two entries announced, one present.
    Bytes b = tableBytes(0, 0, 1, {{0, 1, 2, 3}});
    ByteReader r(b);
    EXPECT_EQ(ColorTable::read(r, t), err::badImageDescription);
    // More entries than any pixel depth can index.
    b = tableBytes(0, 0, 256, {});
    b.resize(b.size() + 257 * 8);
    ByteReader r2(b);
    EXPECT_EQ(ColorTable::read(r2, t), err::badImageDescription);
    // A header alone is cut short too.
    const std::uint8_t tiny[5] = {};
    ByteReader r3(tiny, sizeof tiny);
    EXPECT_EQ(ColorTable::read(r3, t), err::badImageDescription);
    // Size -1 is an empty table.
    b = tableBytes(0, 0, 0xFFFF, {});
    ByteReader r4(b);
    EXPECT_EQ(ColorTable::read(r4, t), err::noErr);
    EXPECT_TRUE(t.empty());
}

TEST(InverseColorTable, TableColoursMapToTheirOwnIndex)
{
    const InverseColorTable& inv = InverseColorTable::macDefault8();
    const ColorTable t8 = ColorTable::macDefault(8);
    for (std::size_t i = 0; i < t8.size(); ++i)
        EXPECT_EQ(inv.index(std::uint8_t(t8[i].red >> 8), std::uint8_t(t8[i].green >> 8), std::uint8_t(t8[i].blue >> 8)), i);

    // A repeated colour maps to its first index, also when both sit in a busy cube cell.
    ColorTable dup({rgb8(10, 20, 30), rgb8(11, 20, 30), rgb8(10, 20, 30), rgb8(200, 0, 0)});
    const InverseColorTable inv2(dup);
    EXPECT_EQ(inv2.index(10, 20, 30), 0);
    EXPECT_EQ(inv2.index(11, 20, 30), 1);
    EXPECT_EQ(inv2.index(200, 0, 0), 3);
}

TEST(InverseColorTable, OtherColoursMapCloseToTheNearestEntry)
{
    const ColorTable t8 = ColorTable::macDefault(8);
    const InverseColorTable& inv = InverseColorTable::macDefault8();
    auto dist = [&](std::size_t i, int r, int g, int b) {
        const int dr = (t8[i].red >> 8) - r, dg = (t8[i].green >> 8) - g, db = (t8[i].blue >> 8) - b;
        return dr * dr + dg * dg + db * db;
    };
    std::mt19937 rng(3);
    for (int n = 0; n < 5000; ++n) {
        const int r = int(rng() & 0xFF), g = int(rng() & 0xFF), b = int(rng() & 0xFF);
        int best = 1 << 30;
        for (std::size_t i = 0; i < t8.size(); ++i)
            best = std::min(best, dist(i, r, g, b));
        const int got = dist(inv.index(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)), r, g, b);
        // The entry is the nearest to the centre of the colour's 8-level cube cell, which lies
        // at most e = half a cell diagonal (6.1 levels) away; by the triangle inequality it is
        // at most 2e farther from the colour than the true nearest entry.
        EXPECT_LE(std::sqrt(double(got)), std::sqrt(double(best)) + 12.2) << r << "," << g << "," << b;
    }
}
