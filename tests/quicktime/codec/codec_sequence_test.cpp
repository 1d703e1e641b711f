#include "quicktime/codec/color_table_io.h"
#include "quicktime/codec/compression_sequence.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

#include "quicktime/codec/codec_test_pictures.h"

using namespace qm;

namespace {

// Frames of a small animation: a square moves over a still background, so most of each frame
// equals the frame before it.
std::vector<OffscreenPicture> movingSquare(int w, int h, int frames)
{
    std::vector<OffscreenPicture> out;
    const OffscreenPicture background = test::naturalPicture(w, h);
    for (int f = 0; f < frames; ++f) {
        OffscreenPicture p = background;
        for (int y = 10; y < 26 && y < h; ++y)
            for (int x = 5 + 3 * f; x < 21 + 3 * f && x < w; ++x)
                p.setPixel(x, y, 0xFF2040E0u);
        out.push_back(std::move(p));
    }
    return out;
}

Rect whole(const OffscreenPicture& p) { return Rect{0, 0, std::int16_t(p.height()), std::int16_t(p.width())}; }

struct Encoded {
    ImageDescription description;
    std::vector<CompressedFrame> frames;
};

Encoded encode(const std::vector<OffscreenPicture>& frames, OSType type, std::int32_t keyFrameRate,
               std::uint32_t quality = codecQuality::normal)
{
    SequenceCompressionParams p;
    p.image.codecType = type;
    p.image.spatialQuality = quality;
    p.temporalQuality = quality;
    p.keyFrameRate = keyFrameRate;
    p.frameRate = 15 << 16;
    CompressionSequence seq;
    Encoded e;
    EXPECT_EQ(seq.begin(frames[0].width(), frames[0].height(), frames[0].depth(), p), err::noErr);
    for (const OffscreenPicture& f : frames) {
        CompressedFrame c;
        EXPECT_EQ(seq.compressFrame(f, whole(f), c), err::noErr);
        e.frames.push_back(std::move(c));
    }
    e.description = seq.description();
    return e;
}

} // namespace

TEST(CompressionSequence, TemporalCodecsCodeDifferencesBetweenKeyFrames)
{
    const auto frames = movingSquare(64, 48, 7);
    for (OSType type : {codecType::animation, codecType::roadPizza, codecType::cinepak}) {
        SCOPED_TRACE(fourCCToString(type));
        const Encoded e = encode(frames, type, 3);
        ASSERT_EQ(e.frames.size(), frames.size());
        for (std::size_t i = 0; i < e.frames.size(); ++i)
            EXPECT_EQ(e.frames[i].keyFrame, i % 3 == 0) << i;
        // A difference frame is smaller than the key frame of the same picture.
        const Encoded keys = encode(frames, type, 1);
        EXPECT_LT(e.frames[1].data.size(), keys.frames[1].data.size());
        EXPECT_EQ(e.description.temporalQuality, codecQuality::normal);
        EXPECT_EQ(keys.description.temporalQuality, 0u);
        EXPECT_EQ(e.description.dataSize, 0u);

        // Decoded in order, each frame is the picture it came from.
        DecompressionSequence d;
        ASSERT_EQ(d.begin(e.description), err::noErr);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            OffscreenPicture out;
            ASSERT_EQ(d.decompressFrame(e.frames[i].data, PixelDepth::Argb32, out), err::noErr);
            if (type == codecType::animation)
                EXPECT_TRUE(test::sameArgb(frames[i], out, true)) << i;
            else
                EXPECT_GE(test::psnr(frames[i], out), type == codecType::cinepak ? 24.0 : 34.0) << i;
        }
    }
}

TEST(CompressionSequence, KeyFrameRateZeroMakesOnlyTheFirstFrameAKeyFrame)
{
    const auto frames = movingSquare(32, 32, 5);
    const Encoded e = encode(frames, codecType::animation, 0);
    EXPECT_TRUE(e.frames[0].keyFrame);
    for (std::size_t i = 1; i < e.frames.size(); ++i)
        EXPECT_FALSE(e.frames[i].keyFrame);
    // Intra-only codecs make key frames whatever the rate.
    for (const CompressedFrame& f : encode(frames, codecType::photoJpeg, 0).frames)
        EXPECT_TRUE(f.keyFrame);
}

TEST(CompressionSequence, EightBitSequencesKeepIndicesAcrossDifferenceFrames)
{
    std::vector<OffscreenPicture> frames;
    for (int f = 0; f < 4; ++f) {
        OffscreenPicture p = test::hotSpotPicture(36, 20);
        for (int x = 0; x < 10; ++x)
            p.row8(5 + f)[x + f] = std::uint8_t(200 + f);
        frames.push_back(std::move(p));
    }
    const Encoded e = encode(frames, codecType::animation, 0);
    ASSERT_EQ(e.description.depth, 8);
    DecompressionSequence d;
    ASSERT_EQ(d.begin(e.description), err::noErr);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        OffscreenPicture out;
        ASSERT_EQ(d.decompressFrame(e.frames[i].data, PixelDepth::Indexed8, out), err::noErr);
        EXPECT_TRUE(out == frames[i]) << i;
    }
}

TEST(CompressionSequence, FramesThatDoNotFitTheSequenceAreRefused)
{
    SequenceCompressionParams p;
    p.image.codecType = codecType::animation;
    CompressionSequence seq;
    ASSERT_EQ(seq.begin(16, 16, PixelDepth::Argb32, p), err::noErr);
    CompressedFrame c;
    const OffscreenPicture small = test::naturalPicture(8, 8);
    EXPECT_EQ(seq.compressFrame(small, whole(small), c), err::paramErr);
    const OffscreenPicture indexed = test::hotSpotPicture(16, 16);
    EXPECT_EQ(seq.compressFrame(indexed, whole(indexed), c), err::paramErr);
    const OffscreenPicture big = test::naturalPicture(40, 40);
    EXPECT_EQ(seq.compressFrame(big, Rect{30, 30, 46, 46}, c), err::paramErr); // outside the picture
    EXPECT_EQ(seq.compressFrame(big, Rect{2, 3, 18, 19}, c), err::noErr);

    // An indexed sequence has one table: a frame with another is refused.
    p.image.depth = 8;
    ASSERT_EQ(seq.begin(16, 16, PixelDepth::Indexed8, p), err::noErr);
    EXPECT_EQ(seq.compressFrame(indexed, whole(indexed), c), err::noErr);
    const OffscreenPicture other = test::hotSpotPicture(16, 16, macColorTable(4));
    EXPECT_EQ(seq.compressFrame(other, whole(other), c), err::paramErr);

    EXPECT_EQ(CompressionSequence().compressFrame(big, whole(big), c), err::paramErr);
    EXPECT_EQ(seq.begin(0, 16, PixelDepth::Argb32, p), err::paramErr);
}

TEST(DecompressionSequence, ADamagedFrameDoesNotStopTheNextKeyFrame)
{
    const auto frames = movingSquare(32, 32, 4);
    const Encoded e = encode(frames, codecType::animation, 2);
    DecompressionSequence d;
    ASSERT_EQ(d.begin(e.description), err::noErr);
    OffscreenPicture out;
    const Bytes junk(e.frames[1].data.size(), 0xEE);
    EXPECT_NE(d.decompressFrame(junk, PixelDepth::Argb32, out), err::noErr);
    EXPECT_TRUE(out.isNull());
    ASSERT_EQ(d.decompressFrame(e.frames[2].data, PixelDepth::Argb32, out), err::noErr);
    EXPECT_TRUE(test::sameArgb(frames[2], out, true));
}

TEST(DecompressionSequence, ReducedDecodingShrinksJpegInTheTransformAndLeavesOtherCodecsWhole)
{
    // 203 x 101: sides that no reduction divides, so the rounding up shows.
    const OffscreenPicture source = test::naturalPicture(203, 101);
    const Encoded jpeg = encode({source}, codecType::photoJpeg, 1, codecQuality::high);
    ASSERT_GE(maxDecodeReduction(codecType::photoJpeg), 3);

    DecompressionSequence whole;
    ASSERT_EQ(whole.begin(jpeg.description), err::noErr);
    OffscreenPicture full;
    ASSERT_EQ(whole.decompressFrame(jpeg.frames[0].data, PixelDepth::Argb32, full), err::noErr);
    EXPECT_EQ(whole.reduction(), 0) << "no reduction unless asked";

    for (int r = 1; r <= 3; ++r) {
        DecompressionSequence seq;
        ASSERT_EQ(seq.begin(jpeg.description, r), err::noErr);
        EXPECT_EQ(seq.reduction(), r);
        const int step = 1 << r;
        EXPECT_EQ(seq.frameWidth(), (203 + step - 1) / step);
        EXPECT_EQ(seq.frameHeight(), (101 + step - 1) / step);
        OffscreenPicture small;
        ASSERT_EQ(seq.decompressFrame(jpeg.frames[0].data, PixelDepth::Argb32, small), err::noErr);
        ASSERT_EQ(small.width(), seq.frameWidth());
        ASSERT_EQ(small.height(), seq.frameHeight());
        // Each reduced pixel is about the mean of the step x step block of the full decode it
        // stands for (the reduced transform keeps the low frequencies).
        double total = 0;
        int count = 0;
        for (int y = 0; y + 1 < small.height(); ++y)
            for (int x = 0; x + 1 < small.width(); ++x) {
                for (int shift = 0; shift < 24; shift += 8) {
                    double mean = 0;
                    for (int v = 0; v < step; ++v)
                        for (int u = 0; u < step; ++u)
                            mean += double((full.pixel(x * step + u, y * step + v) >> shift) & 0xFF);
                    mean /= double(step * step);
                    total += std::abs(mean - double((small.pixel(x, y) >> shift) & 0xFF));
                    ++count;
                }
            }
        EXPECT_LT(total / count, 6.0) << "reduction " << r;
    }

    // Codecs without a reduced decode give the whole picture whatever is asked.
    const Encoded png = encode({source}, codecType::png, 1);
    EXPECT_EQ(maxDecodeReduction(codecType::png), 0);
    DecompressionSequence seq;
    ASSERT_EQ(seq.begin(png.description, 2), err::noErr);
    EXPECT_EQ(seq.reduction(), 0);
    OffscreenPicture same;
    ASSERT_EQ(seq.decompressFrame(png.frames[0].data, PixelDepth::Argb32, same), err::noErr);
    EXPECT_EQ(same.width(), 203);
    EXPECT_EQ(same.height(), 101);
    EXPECT_EQ(maxDecodeReduction(fourCC("none")), 0);
}
