#include "quicktime/codec/color_table_io.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

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

TEST(ColorTableIo, StandardTablesHoldTheMacintoshSystemColours)
{
    const ColorTable t8 = macColorTable(8);
    ASSERT_EQ(t8.size(), 256u);
    EXPECT_EQ(t8.color(0), rgb8(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(t8.color(1), rgb8(0xFF, 0xFF, 0xCC)); // blue changes fastest in the cube
    EXPECT_EQ(t8.color(6), rgb8(0xFF, 0xCC, 0xFF));
    EXPECT_EQ(t8.color(36), rgb8(0xCC, 0xFF, 0xFF));
    EXPECT_EQ(t8.color(214), rgb8(0x00, 0x00, 0x33)); // the cube ends before black
    EXPECT_EQ(t8.color(215), rgb8(0xEE, 0x00, 0x00));
    EXPECT_EQ(t8.color(224), rgb8(0x11, 0x00, 0x00));
    EXPECT_EQ(t8.color(225), rgb8(0x00, 0xEE, 0x00));
    EXPECT_EQ(t8.color(235), rgb8(0x00, 0x00, 0xEE));
    EXPECT_EQ(t8.color(245), rgb8(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(t8.color(254), rgb8(0x11, 0x11, 0x11));
    EXPECT_EQ(t8.color(255), rgb8(0, 0, 0));

    const ColorTable t4 = macColorTable(4);
    ASSERT_EQ(t4.size(), 16u);
    EXPECT_EQ(t4.color(1), rgb8(0xFC, 0xF3, 0x05)); // yellow
    EXPECT_EQ(t4.color(15), rgb8(0, 0, 0));
    EXPECT_EQ(macColorTable(2).color(1), rgb8(0xAC, 0xAC, 0xAC));
    EXPECT_EQ(macColorTable(1).size(), 2u);
    EXPECT_TRUE(macColorTable(16).empty());
    EXPECT_TRUE(macColorTable(24).empty());

    // Grey depths run from white to black in equal steps.
    const ColorTable g4 = macColorTable(36);
    ASSERT_EQ(g4.size(), 16u);
    EXPECT_EQ(g4.color(0), rgb8(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(g4.color(1), rgb8(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(g4.color(15), rgb8(0, 0, 0));
    EXPECT_EQ(macColorTable(40).color(128), rgb8(127, 127, 127));
}

TEST(ColorTableIo, WrittenTablesReadBackAndSuitBothReaderConventions)
{
    std::vector<RGBColor> colours = macColorTable(4).entries();
    colours[3] = {0x1234, 0x5678, 0x9ABC}; // full 16-bit components survive
    const ColorTable t(colours);
    ByteWriter w;
    writeColorTable(w, t);
    const Bytes& b = w.data();
    ASSERT_EQ(b.size(), colorTableByteSize(t));
    ASSERT_EQ(b.size(), 8u + 16 * 8);
    EXPECT_EQ(loadBE32(b.data()), 0u);        // seed 0: FFmpeg's first index
    EXPECT_EQ(loadBE16(b.data() + 4), 0u);    // flags
    EXPECT_EQ(loadBE16(b.data() + 6), 15u);   // count - 1
    EXPECT_EQ(loadBE16(b.data() + 8 + 5 * 8), 5u); // entry value = index

    ByteReader r(b);
    ColorTable back;
    ASSERT_EQ(readColorTable(r, back), err::noErr);
    EXPECT_EQ(back, t);
    EXPECT_TRUE(r.atEnd());
}

TEST(ColorTableIo, EntryValuesPlaceColoursUnlessTheyCannotBeIndices)
{
    // Values out of order are the indices of their colours.
    Bytes b = tableBytes(0, 0, 1, {{1, 0xFFFF, 0, 0}, {0, 0, 0xFFFF, 0}});
    ByteReader r(b);
    ColorTable t;
    ASSERT_EQ(readColorTable(r, t), err::noErr);
    EXPECT_EQ(t.color(0), (RGBColor{0, 0xFFFF, 0}));
    EXPECT_EQ(t.color(1), (RGBColor{0xFFFF, 0, 0}));

    // A device table, or one whose values are all zero, lists its colours in order.
    for (std::uint16_t flags : {std::uint16_t(0x8000), std::uint16_t(0)}) {
        const std::uint16_t v = flags ? 7 : 0;
        b = tableBytes(0, flags, 1, {{v, 0xFFFF, 0, 0}, {v, 0, 0xFFFF, 0}});
        ByteReader r2(b);
        ASSERT_EQ(readColorTable(r2, t), err::noErr);
        EXPECT_EQ(t.color(0), (RGBColor{0xFFFF, 0, 0})) << flags;
        EXPECT_EQ(t.color(1), (RGBColor{0, 0xFFFF, 0})) << flags;
    }
}

TEST(ColorTableIo, DamagedTablesAreRefused)
{
    ColorTable t;
    // Cut short: two entries announced, one present.
    Bytes b = tableBytes(0, 0, 1, {{0, 1, 2, 3}});
    ByteReader r(b);
    EXPECT_EQ(readColorTable(r, t), err::badImageDescription);
    // More entries than any pixel depth can index.
    b = tableBytes(0, 0, 256, {});
    b.resize(b.size() + 257 * 8);
    ByteReader r2(b);
    EXPECT_EQ(readColorTable(r2, t), err::badImageDescription);
    // A header alone is cut short too.
    const std::uint8_t tiny[5] = {};
    ByteReader r3(tiny, sizeof tiny);
    EXPECT_EQ(readColorTable(r3, t), err::badImageDescription);
    // Size -1 is an empty table.
    b = tableBytes(0, 0, 0xFFFF, {});
    ByteReader r4(b);
    EXPECT_EQ(readColorTable(r4, t), err::noErr);
    EXPECT_TRUE(t.empty());
}
