#include "quicktime/base/byte_io.h"

#include <gtest/gtest.h>

using namespace qm;

TEST(ByteIo, RoundTripsEveryFieldKindBigEndian)
{
    ByteWriter w;
    w.u8(0xAB);
    w.i16(-2);
    w.u32(0x01020304);
    w.f32(1.5f);
    w.rect({1, 2, 3, 4});
    w.point({-5, 6});
    w.color({0xFFFF, 0x8000, 1});
    w.pascalString("hello", 8);
    ASSERT_EQ(w.data()[3], 0x01); // big-endian: most significant byte first
    ByteReader r(w.data());
    EXPECT_EQ(r.u8(), 0xAB);
    EXPECT_EQ(r.i16(), -2);
    EXPECT_EQ(r.u32(), 0x01020304u);
    EXPECT_EQ(r.f32(), 1.5f);
    EXPECT_EQ(r.rect(), (Rect{1, 2, 3, 4}));
    EXPECT_EQ(r.point(), (Point{-5, 6}));
    EXPECT_EQ(r.color(), (RGBColor{0xFFFF, 0x8000, 1}));
    EXPECT_EQ(r.pascalString(8), "hello");
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.atEnd());
}

TEST(ByteIo, ReadsPastTheEndFailStickyAndYieldZero)
{
    const std::uint8_t data[] = {1, 2, 3};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0); // stays failed even though bytes were there
    ByteReader r2(data, sizeof data);
    EXPECT_TRUE(r2.bytes(4).empty());
    EXPECT_FALSE(r2.ok());
    ByteReader r3(data, sizeof data);
    EXPECT_FALSE(r3.skip(std::size_t(-1)));
}

TEST(ByteIo, PascalLengthIsBoundedByItsField)
{
    const std::uint8_t data[] = {200, 'a', 'b', 'c'};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(r.pascalString(4), "abc");
    ByteWriter w;
    w.pascalString(std::string(300, 'x'), 32);
    EXPECT_EQ(w.size(), 32u);
    EXPECT_EQ(w.data()[0], 31);
}

TEST(FourCC, OrdersFirstCharacterMostSignificant)
{
    EXPECT_EQ(fourCC("PANO"), 0x50414E4Fu);
    EXPECT_EQ(fourCCToString(fourCC("url ")), "url ");
    EXPECT_EQ(fourCCFromString("OBJ"), fourCC("OBJ "));
}
