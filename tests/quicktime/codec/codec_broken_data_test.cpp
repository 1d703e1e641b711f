#include "quicktime/codec/codec.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

#include <random>

#include "quicktime/codec/codec_test_pictures.h"

using namespace qm;

namespace {

bool isCodecFailure(OSErr e) { return e == err::codecErr || e == err::noErr; }

} // namespace

TEST(CodecBrokenData, CutFlippedAndRandomDataNeverCrash)
{
    std::mt19937 rng(11);
    const OffscreenPicture pic = test::naturalPicture(40, 28);
    const OffscreenPicture ids = test::hotSpotPicture(40, 28);
    for (OSType type : compressorTypes()) {
        for (const OffscreenPicture* src : {&pic, &ids}) {
            ImageCompressionParams p;
            p.codecType = type;
            CompressedImage c;
            ASSERT_EQ(compressImage(*src, p, c), err::noErr);
            SCOPED_TRACE(fourCCToString(type));
            OffscreenPicture out;
            // Every cut of the data.
            for (std::size_t n = 1; n < c.data.size(); n += 1 + c.data.size() / 97) {
                const OSErr e = decompressImage(c.description, std::span(c.data).first(n), PixelDepth::Argb32, out);
                EXPECT_TRUE(isCodecFailure(e)) << n;
                EXPECT_EQ(e == err::noErr, !out.isNull());
            }
            // Flipped bytes, and data of the right size that is noise.
            for (int round = 0; round < 60; ++round) {
                Bytes d = c.data;
                for (int k = 0; k < 1 + round % 5; ++k)
                    d[rng() % d.size()] ^= std::uint8_t(1 + rng() % 255);
                if (round % 10 == 9)
                    for (auto& b : d)
                        b = std::uint8_t(rng());
                EXPECT_TRUE(isCodecFailure(decompressImage(c.description, d, PixelDepth::Argb32, out)));
                const OSErr e = decompressImage(c.description, d, PixelDepth::Indexed8, out);
                EXPECT_TRUE(isCodecFailure(e) || e == err::paramErr);
            }
            EXPECT_EQ(decompressImage(c.description, {}, PixelDepth::Argb32, out), err::codecErr);
        }
    }
}

TEST(CodecBrokenData, DescriptionsThatDoNotFitTheDataAreRefused)
{
    const OffscreenPicture pic = test::naturalPicture(24, 16);
    ImageCompressionParams p;
    p.codecType = codecType::raw;
    CompressedImage c;
    ASSERT_EQ(compressImage(pic, p, c), err::noErr);
    OffscreenPicture out;

    // Raw data shorter than the description's picture.
    ImageDescription taller = c.description;
    taller.height = 40;
    EXPECT_EQ(decompressImage(taller, c.data, PixelDepth::Argb32, out), err::codecErr);

    // Sizes outside what a picture may be are refused before any decoding.
    for (auto [w, h] : {std::pair{0, 16}, {24, -3}, {16385, 1}, {16384, 16384}}) {
        ImageDescription d = c.description;
        d.width = std::int16_t(w);
        d.height = std::int16_t(h);
        EXPECT_EQ(decompressImage(d, c.data, PixelDepth::Argb32, out), err::badImageDescription) << w << "x" << h;
    }

    // A depth the raw format does not have.
    ImageDescription odd = c.description;
    odd.depth = 13;
    const OSErr e = decompressImage(odd, c.data, PixelDepth::Argb32, out);
    EXPECT_TRUE(e == err::codecErr) << e;

    // Indices exist only for depths of 8 bits or less.
    p.codecType = codecType::photoJpeg;
    ASSERT_EQ(compressImage(pic, p, c), err::noErr);
    EXPECT_EQ(decompressImage(c.description, c.data, PixelDepth::Indexed8, out), err::paramErr);
    EXPECT_TRUE(out.isNull());
}

TEST(CodecBrokenData, DecompressingWithoutBeginIsRefused)
{
    DecompressionSequence d;
    OffscreenPicture out;
    const std::uint8_t data[8] = {};
    EXPECT_EQ(d.decompressFrame(data, PixelDepth::Argb32, out), err::paramErr);
}
