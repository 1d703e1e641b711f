#include "quicktime/codec/color_table_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

// A JPEG description as QuickTime writes it in a QuickTime image file.
Bytes appleJpegDescription()
{
    ByteWriter w;
    w.u32(86);
    w.type(fourCC("jpeg"));
    w.zeros(6);
    w.u16(1);
    w.u16(0);
    w.u16(0);
    w.type(fourCC("appl"));
    w.u32(0);
    w.u32(0x200);
    w.u16(392);
    w.u16(232);
    w.u32(0x00480000);
    w.u32(0x00480000);
    w.u32(0);
    w.u16(1);
    w.pascalString("Photo - JPEG", 32);
    w.u16(24);
    w.u16(0xFFFF);
    return w.take();
}

} // namespace

TEST(ImageDescription, ParsesEveryFieldOfTheFixedPart)
{
    const Bytes b = appleJpegDescription();
    ImageDescription d;
    ASSERT_EQ(ImageDescription::parse(b, d), err::noErr);
    EXPECT_EQ(d.codecType, fourCC("jpeg"));
    EXPECT_EQ(d.dataRefIndex, 1);
    EXPECT_EQ(d.vendor, fourCC("appl"));
    EXPECT_EQ(d.spatialQuality, 0x200u);
    EXPECT_EQ(d.width, 392);
    EXPECT_EQ(d.height, 232);
    EXPECT_EQ(d.hRes, 72 << 16);
    EXPECT_EQ(d.frameCount, 1);
    EXPECT_EQ(d.name, "Photo - JPEG");
    EXPECT_EQ(d.depth, 24);
    EXPECT_EQ(d.colorTableId, -1);
    EXPECT_FALSE(d.colorTable);
    EXPECT_TRUE(d.effectiveColorTable().empty());
    EXPECT_EQ(d.build(), b);
}

TEST(ImageDescription, StoredTableAndExtensionsRoundTripByteForByte)
{
    ImageDescription d;
    d.codecType = fourCC("smc ");
    d.width = 64;
    d.height = 48;
    d.depth = 8;
    d.spatialQuality = 0x400;
    d.name = "Graphics";
    d.colorTable = ColorTable::standard8();
    // A 'fiel' atom and a 4-byte zero terminator after the table.
    d.extensions = {0, 0, 0, 10, 'f', 'i', 'e', 'l', 1, 0, 0, 0, 0, 0};
    const Bytes b = d.build();
    ASSERT_EQ(b.size(), 86u + 8 + 256 * 8 + 14);
    EXPECT_EQ(loadBE32(b.data()), b.size());
    EXPECT_EQ(loadBE16(b.data() + 84), 0); // table ID 0: stored inline

    ImageDescription back;
    ASSERT_EQ(ImageDescription::parse(b, back), err::noErr);
    ASSERT_TRUE(back.colorTable);
    EXPECT_EQ(*back.colorTable, ColorTable::standard8());
    EXPECT_EQ(back.extensions, d.extensions);
    EXPECT_EQ(back.build(), b);
}

TEST(ImageDescription, EffectiveTableFollowsStoredThenCtabThenStandard)
{
    ImageDescription d;
    d.depth = 8;
    EXPECT_EQ(d.effectiveColorTable(), ColorTable::standard8());
    d.depth = 36;
    EXPECT_TRUE(d.isGrey());
    EXPECT_EQ(d.pixelDepth(), 4);
    EXPECT_EQ(d.effectiveColorTable(), greyColorTable(4));

    d.depth = 2;
    ColorTable own({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}});
    ByteWriter ctab;
    ctab.u32(std::uint32_t(8 + colorTableByteSize(own)));
    ctab.type(fourCC("ctab"));
    writeColorTable(ctab, own);
    d.extensions = ctab.take();
    EXPECT_EQ(d.effectiveColorTable(), own);
    d.colorTable = macColorTable(2);
    EXPECT_EQ(d.effectiveColorTable(), macColorTable(2));
}

TEST(ImageDescription, BadBytesGiveAnErrorNotAGuess)
{
    ImageDescription d;
    Bytes b = appleJpegDescription();
    EXPECT_EQ(ImageDescription::parse(std::span(b).first(85), d), err::badImageDescription);
    storeBE32(b.data(), 40); // size below the fixed part
    EXPECT_EQ(ImageDescription::parse(b, d), err::badImageDescription);

    // ID 0 with a table that claims more entries than the description holds.
    b = appleJpegDescription();
    storeBE16(b.data() + 82, 8);
    storeBE16(b.data() + 84, 0);
    ByteWriter t;
    t.u32(0);
    t.u16(0);
    t.u16(255);
    t.zeros(8 * 10);
    b.insert(b.end(), t.data().begin(), t.data().end());
    storeBE32(b.data(), std::uint32_t(b.size()));
    EXPECT_EQ(ImageDescription::parse(b, d), err::badImageDescription);

    // ID 0 but nothing after the fixed part but a zero terminator: the standard table applies.
    b = appleJpegDescription();
    storeBE16(b.data() + 82, 8);
    storeBE16(b.data() + 84, 0);
    b.insert(b.end(), 4, 0);
    storeBE32(b.data(), std::uint32_t(b.size()));
    ASSERT_EQ(ImageDescription::parse(b, d), err::noErr);
    EXPECT_FALSE(d.colorTable);
    EXPECT_EQ(d.effectiveColorTable(), ColorTable::standard8());
    EXPECT_EQ(d.build(), b);

    // A size field beyond the bytes given: what is there is read.
    b = appleJpegDescription();
    storeBE32(b.data(), 4000);
    EXPECT_EQ(ImageDescription::parse(b, d), err::noErr);
    EXPECT_TRUE(d.extensions.empty());
}

TEST(ImageDescription, NamesLongerThanAStr31AreCut)
{
    ImageDescription d;
    d.name = std::string(40, 'n');
    ImageDescription back;
    ASSERT_EQ(ImageDescription::parse(d.build(), back), err::noErr);
    EXPECT_EQ(back.name, std::string(31, 'n'));
}
