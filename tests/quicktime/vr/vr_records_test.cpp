#include "quicktime/vr/vr_records.h"

#include <gtest/gtest.h>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/legacy_text.h"

using namespace qm;

TEST(VrRecords, PanoramaFieldsSitAtTheirOffsetsBigEndian)
{
    PanoramaSampleRecord p;
    p.majorVersion = 2;
    p.imageRefTrackIndex = 0x01020304;
    p.minPan = 1.0f;
    p.defaultFieldOfView = -2.5f;
    p.imageSizeX = 768;
    p.imageNumFramesY = 24;
    p.hotSpotNumFramesY = 0xBEEF;
    p.panoType = fourCC("vcyl");
    p.reserved = 0xCAFEF00D;
    auto b = p.toBytes();
    ASSERT_EQ(b.size(), 84u);
    EXPECT_EQ(loadBE16(&b[0]), 2);
    EXPECT_EQ(loadBE32(&b[4]), 0x01020304u);
    EXPECT_EQ(loadBE32(&b[12]), 0x3F800000u); // 1.0f stored as 3F 80 00 00
    EXPECT_EQ(loadBE32(&b[44]), 0xC0200000u);
    EXPECT_EQ(loadBE32(&b[48]), 768u);
    EXPECT_EQ(loadBE16(&b[58]), 24);
    EXPECT_EQ(loadBE16(&b[70]), 0xBEEF);
    EXPECT_EQ(loadBE32(&b[76]), fourCC("vcyl"));
    EXPECT_EQ(loadBE32(&b[80]), 0xCAFEF00Du);
    EXPECT_EQ(PanoramaSampleRecord::fromBytes(b), p);
}

TEST(VrRecords, ObjectAnglesRunPanThenTiltEachWithItsDefault)
{
    ObjectSampleRecord o;
    o.mouseDownViewState = 7;
    o.viewDuration = 600;
    o.rows = 3;
    o.maxPan = 360.0f;
    o.defaultPan = 180.0f;
    o.minTilt = 90.0f;
    o.frameRate = 1.0f;
    o.controlSettings = 0x45;
    auto b = o.toBytes();
    ASSERT_EQ(b.size(), 88u);
    EXPECT_EQ(loadBE16(&b[10]), 7);
    EXPECT_EQ(loadBE32(&b[12]), 600u);
    EXPECT_EQ(loadBE32(&b[20]), 3u);
    EXPECT_EQ(loadBE32(&b[32]), 0x43B40000u); // maximum pan
    EXPECT_EQ(loadBE32(&b[36]), 0x43340000u); // default pan follows it
    EXPECT_EQ(loadBE32(&b[40]), 0x42B40000u); // then minimum tilt
    EXPECT_EQ(loadBE32(&b[76]), 0x3F800000u);
    EXPECT_EQ(loadBE32(&b[84]), 0x45u);
    EXPECT_EQ(ObjectSampleRecord::fromBytes(b), o);
}

TEST(VrRecords, ShortInputReadsAsZeroFilledLongInputIsCut)
{
    const std::uint8_t shortBytes[] = {0, 2, 0, 0, 0, 0, 0, 1};
    auto p = PanoramaSampleRecord::fromBytes(shortBytes);
    EXPECT_EQ(p.majorVersion, 2);
    EXPECT_EQ(p.imageRefTrackIndex, 1u);
    EXPECT_EQ(p.reserved, 0u);
    Bytes longBytes(200, 0xFF);
    auto o = ObjectSampleRecord::fromBytes(longBytes);
    EXPECT_EQ(o.controlSettings, 0xFFFFFFFFu);
    EXPECT_EQ(ObjectSampleRecord::fromBytes({}), ObjectSampleRecord{});
}

TEST(LegacyText, Windows1252BecomesUtf8AndUtf8StaysAsItIs)
{
    EXPECT_EQ(legacyTextToUtf8("Caf\xE9 \x80"), "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(legacyTextToUtf8("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut short
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(LegacyText, CutsNeverSplitAUtf8Character)
{
    EXPECT_EQ(cutText("abcdef", 4), "abcd");
    EXPECT_EQ(cutText("ab\xC3\xA9", 3), "ab");           // é would be split
    EXPECT_EQ(cutText("ab\xC3\xA9", 4), "ab\xC3\xA9");
    EXPECT_EQ(cutText("ab\xE9xyz", 3), "ab\xE9");        // not UTF-8: plain byte cut
}
