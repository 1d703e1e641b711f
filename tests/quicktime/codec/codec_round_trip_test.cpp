#include "quicktime/codec/codec.h"
#include "quicktime/codec/codec_pixels.h"
#include "quicktime/codec/color_table_io.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

#include "quicktime/codec/codec_test_pictures.h"

using namespace qm;
using qm::test::naturalPicture;
using qm::test::psnr;

namespace {

struct Size {
    int w, h;
};
// Whole 4x4 blocks, ragged blocks on both edges, single rows and columns.
const Size kSizes[] = {{64, 48}, {101, 67}, {1, 1}, {7, 3}, {2, 9}, {130, 1}};

OffscreenPicture roundTrip(const OffscreenPicture& src, OSType type, std::int16_t depth, std::uint32_t quality,
                      PixelDepth want = PixelDepth::Argb32, CompressedImage* keep = nullptr)
{
    ImageCompressionParams p;
    p.codecType = type;
    p.depth = depth;
    p.spatialQuality = quality;
    CompressedImage c;
    EXPECT_EQ(compressImage(src, p, c), err::noErr) << fourCCToString(type) << " depth " << depth;
    OffscreenPicture out;
    EXPECT_EQ(decompressImage(c.description, c.data, want, out), err::noErr) << fourCCToString(type) << " depth " << depth;
    if (keep)
        *keep = std::move(c);
    return out;
}

// What a 16-bit codec keeps of a colour: five bits per component, widened as QuickDraw does.
OffscreenPicture to555(const OffscreenPicture& p)
{
    OffscreenPicture q = test::makePicture(p.width(), p.height(), PixelDepth::Argb32);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const std::uint32_t c = p.argb(x, y);
            auto w = [](std::uint32_t v) { return detail::expand5(detail::reduce5(v & 0xFF)); };
            q.setPixel(x, y, argbPixel(w(c >> 16), w(c >> 8), w(c)));
        }
    return q;
}

OffscreenPicture withAlphaRamp(OffscreenPicture p)
{
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            p.setPixel(x, y, (p.pixel(x, y) & 0x00FFFFFFu) | std::uint32_t(std::uint8_t(x * 7 + y * 3)) << 24);
    return p;
}

} // namespace

TEST(CodecRoundTrip, LosslessDirectColourCodecsGiveEveryPixelBack)
{
    for (const Size s : kSizes) {
        const OffscreenPicture pic = withAlphaRamp(naturalPicture(s.w, s.h));
        for (OSType type : {codecType::animation, codecType::raw, codecType::png}) {
            SCOPED_TRACE(fourCCToString(type) + " " + std::to_string(s.w) + "x" + std::to_string(s.h));
            // 24 bits: colour exact, alpha opaque.
            OffscreenPicture out = roundTrip(pic, type, 24, codecQuality::normal);
            EXPECT_TRUE(test::sameArgb(pic, out, true));
            EXPECT_EQ(out.argb(0, 0) >> 24, 0xFFu);
            // 32 bits: alpha too.
            out = roundTrip(pic, type, 32, codecQuality::normal);
            EXPECT_TRUE(test::sameArgb(pic, out, false));
            if (type == codecType::png)
                continue;
            // 16 bits: exactly the 5-bit components.
            out = roundTrip(pic, type, 16, codecQuality::normal);
            EXPECT_TRUE(test::sameArgb(to555(pic), out, false));
        }
    }
}

TEST(CodecRoundTrip, EightBitIndicesSurviveExactlyWithTheirTable)
{
    // A table of arbitrary colours with repeats: indices must not be merged by colour.
    std::vector<RGBColor> colours(256);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {std::uint16_t((i * 4099) & 0xFFFF), std::uint16_t(i % 3 ? 0x1234 : 0), std::uint16_t(i / 2 * 514)};
    for (const ColorTable& table : {ColorTable::standard8(), ColorTable(colours)}) {
        for (const Size s : kSizes) {
            const OffscreenPicture ids = test::hotSpotPicture(s.w, s.h, table);
            for (OSType type : {codecType::graphics, codecType::animation, codecType::raw, codecType::png}) {
                SCOPED_TRACE(fourCCToString(type) + " " + std::to_string(s.w) + "x" + std::to_string(s.h));
                CompressedImage c;
                const OffscreenPicture out = roundTrip(ids, type, 8, codecQuality::lossless, PixelDepth::Indexed8, &c);
                ASSERT_EQ(c.description.depth, 8);
                ASSERT_TRUE(c.description.colorTable);
                EXPECT_EQ(*c.description.colorTable, table);
                ASSERT_EQ(out.depth(), PixelDepth::Indexed8);
                EXPECT_TRUE(out == ids); // indices and table
                // Shown in colour, each pixel has its index's colour.
                const OffscreenPicture shown = roundTrip(ids, type, 8, codecQuality::lossless);
                EXPECT_TRUE(test::sameArgb(ids, shown, true));
            }
        }
    }
}

TEST(CodecRoundTrip, EverySmallSizeCompressesAndDecodes)
{
    // Partial and whole 4x4 blocks, one to three block rows (Cinepak strips): sizes where
    // encoders have edge cases.
    const int sides[] = {1, 2, 3, 4, 5, 7, 8, 9, 12, 13, 16, 17};
    for (int w : sides)
        for (int h : sides) {
            const OffscreenPicture pic = naturalPicture(w, h);
            const OffscreenPicture ids = test::hotSpotPicture(w, h);
            for (OSType type : compressorTypes()) {
                const bool eightBit = type == codecType::graphics;
                const OffscreenPicture out = roundTrip(eightBit ? ids : pic, type, 0, codecQuality::normal);
                ASSERT_EQ(out.width(), w) << fourCCToString(type) << " " << w << "x" << h;
                ASSERT_EQ(out.height(), h) << fourCCToString(type) << " " << w << "x" << h;
                if (eightBit) {
                    EXPECT_TRUE(test::sameArgb(ids, out, true)) << w << "x" << h;
                }
            }
        }
}

TEST(CodecRoundTrip, TrueColourToEightBitsMapsThroughTheTable)
{
    // Colours of the standard table come back as themselves; others as near table colours.
    OffscreenPicture pic = test::makePicture(40, 20, PixelDepth::Argb32);
    const ColorTable& t8 = ColorTable::standard8();
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            pic.setPixel(x, y, t8.argb(std::uint8_t(y * pic.width() + x)));
    CompressedImage c;
    const OffscreenPicture ids = roundTrip(pic, codecType::graphics, 0, codecQuality::normal, PixelDepth::Indexed8, &c);
    EXPECT_EQ(c.description.depth, 8);
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x)
            ASSERT_EQ(ids.pixel(x, y), std::uint32_t(y * pic.width() + x) % 256);

    // A table handed in is the one used and described.
    ImageCompressionParams p;
    p.codecType = codecType::animation;
    p.depth = 8;
    p.colorTable = ColorTable({{0, 0, 0}, {0xFFFF, 0, 0}, {0, 0, 0xFFFF}});
    OffscreenPicture rb = test::makePicture(4, 1, PixelDepth::Argb32);
    rb.setPixel(0, 0, 0xFFF00000u);
    rb.setPixel(1, 0, 0xFF0000F0u);
    rb.setPixel(2, 0, 0xFF101010u);
    rb.setPixel(3, 0, 0xFFFF0000u);
    ASSERT_EQ(compressImage(rb, p, c), err::noErr);
    EXPECT_EQ(*c.description.colorTable, *p.colorTable);
    OffscreenPicture out;
    ASSERT_EQ(decompressImage(c.description, c.data, PixelDepth::Indexed8, out), err::noErr);
    EXPECT_EQ(out.row8(0)[0], 1);
    EXPECT_EQ(out.row8(0)[1], 2);
    EXPECT_EQ(out.row8(0)[2], 0);
    EXPECT_EQ(out.row8(0)[3], 1);
}

TEST(CodecRoundTrip, LossyCodecsStayWithinTheirStatedPsnr)
{
    // The picture has hard colour edges and two-pixel stripes: harder than photographs.
    struct Case {
        OSType type;
        std::uint32_t quality;
        double minPsnr;
    };
    const Case cases[] = {
        {codecType::photoJpeg, codecQuality::low, 24.0},     {codecType::photoJpeg, codecQuality::normal, 25.0},
        {codecType::photoJpeg, codecQuality::high, 33.0},    {codecType::photoJpeg, codecQuality::lossless, 44.0},
        {codecType::cinepak, codecQuality::normal, 27.0},    {codecType::cinepak, codecQuality::lossless, 27.5},
        {codecType::roadPizza, codecQuality::normal, 35.0},  {codecType::roadPizza, codecQuality::min, 30.0},
    };
    for (const Size s : {Size{128, 96}, Size{101, 67}}) {
        const OffscreenPicture pic = naturalPicture(s.w, s.h);
        for (const Case& c : cases) {
            const OffscreenPicture out = roundTrip(pic, c.type, 0, c.quality);
            EXPECT_GE(psnr(pic, out), c.minPsnr) << fourCCToString(c.type) << " quality " << c.quality << " " << s.w;
            EXPECT_EQ(out.argb(s.w - 1, s.h - 1) >> 24, 0xFFu);
        }
    }
}

TEST(CodecRoundTrip, JpegQualityTradesSizeForFidelityMonotonically)
{
    const OffscreenPicture pic = naturalPicture(96, 64);
    std::size_t lastSize = 0;
    double lastPsnr = 0;
    for (std::uint32_t q : {0u, 128u, 256u, 384u, 512u, 640u, 768u, 896u, 1023u}) {
        CompressedImage c;
        const OffscreenPicture out = roundTrip(pic, codecType::photoJpeg, 0, q, PixelDepth::Argb32, &c);
        EXPECT_EQ(c.description.spatialQuality, q);
        EXPECT_GE(c.data.size(), lastSize) << q;
        EXPECT_GE(psnr(pic, out), lastPsnr - 0.05) << q;
        lastSize = c.data.size();
        lastPsnr = psnr(pic, out);
    }
}

TEST(CodecRoundTrip, IndexedPicturesFeedDirectColourCodecsThroughTheirTable)
{
    const OffscreenPicture ids = test::hotSpotPicture(48, 32);
    EXPECT_TRUE(test::sameArgb(ids, roundTrip(ids, codecType::animation, 24, codecQuality::normal), true));
    EXPECT_GE(psnr(ids, roundTrip(ids, codecType::photoJpeg, 0, codecQuality::lossless)), 30.0);
}

TEST(CodecRoundTrip, RegionCompressesLikeTheCroppedPicture)
{
    const OffscreenPicture big = naturalPicture(90, 70);
    const Rect r{10, 20, 50, 77}; // top, left, bottom, right
    OffscreenPicture crop = test::makePicture(r.width(), r.height(), PixelDepth::Argb32);
    for (int y = 0; y < crop.height(); ++y)
        for (int x = 0; x < crop.width(); ++x)
            crop.setPixel(x, y, big.argb(r.left + x, r.top + y));
    for (OSType type : compressorTypes()) {
        ImageCompressionParams p;
        p.codecType = type;
        CompressedImage a, b;
        ASSERT_EQ(compressImage(big, r, p, a), err::noErr) << fourCCToString(type);
        ASSERT_EQ(compressImage(crop, p, b), err::noErr) << fourCCToString(type);
        EXPECT_EQ(a.data, b.data) << fourCCToString(type);
        EXPECT_EQ(a.description.width, 57);
        EXPECT_EQ(a.description.height, 40);
    }
}

TEST(CodecDescription, DescribesWhatWasWritten)
{
    const OffscreenPicture pic = naturalPicture(33, 17);
    struct Expect {
        OSType type;
        std::int16_t request, depth;
        const char* name;
    };
    const Expect cases[] = {
        {codecType::photoJpeg, 0, 24, "Photo - JPEG"}, {codecType::photoJpeg, 8, 24, "Photo - JPEG"},
        {codecType::cinepak, 32, 24, "Cinepak"},       {codecType::graphics, 24, 8, "Graphics"},
        {codecType::animation, 0, 24, "Animation"},    {codecType::animation, 4, 8, "Animation"},
        {codecType::animation, 40, 24, "Animation"},   {codecType::roadPizza, 24, 16, "Video"},
        {codecType::raw, 32, 32, "None"},              {codecType::png, 16, 24, "PNG"},
    };
    for (const Expect& e : cases) {
        ImageCompressionParams p;
        p.codecType = e.type;
        p.depth = e.request;
        p.spatialQuality = 0x300;
        CompressedImage c;
        ASSERT_EQ(compressImage(pic, p, c), err::noErr);
        const ImageDescription& d = c.description;
        EXPECT_EQ(d.codecType, e.type);
        EXPECT_EQ(d.depth, e.depth) << fourCCToString(e.type) << " " << e.request;
        EXPECT_EQ(d.name, e.name);
        EXPECT_EQ(d.width, 33);
        EXPECT_EQ(d.height, 17);
        EXPECT_EQ(d.spatialQuality, 0x300u);
        EXPECT_EQ(d.temporalQuality, 0u);
        EXPECT_EQ(d.dataSize, c.data.size());
        EXPECT_EQ(d.dataRefIndex, 1);
        EXPECT_EQ(d.colorTable.has_value(), e.depth == 8);
        // What is written parses back the same.
        ImageDescription back;
        ASSERT_EQ(ImageDescription::parse(d.build(), back), err::noErr);
        EXPECT_EQ(back.build(), d.build());
    }
}

TEST(CodecMaxSize, BoundsTheWorstContentAtEveryDepth)
{
    for (const Size s : {Size{1, 1}, Size{3, 5}, Size{64, 48}, Size{101, 67}}) {
        for (PixelDepth f : {PixelDepth::Argb32, PixelDepth::Indexed8}) {
            const OffscreenPicture noise = test::noisePicture(s.w, s.h, f);
            for (OSType type : compressorTypes())
                for (std::int16_t depth : {8, 16, 24, 32}) {
                    if (compressionDepth(type, depth, f) != depth)
                        continue;
                    for (std::uint32_t q : {codecQuality::min, codecQuality::lossless}) {
                        ImageCompressionParams p;
                        p.codecType = type;
                        p.depth = depth;
                        p.spatialQuality = q;
                        CompressedImage c;
                        ASSERT_EQ(compressImage(noise, p, c), err::noErr);
                        std::size_t bound = 0;
                        ASSERT_EQ(getMaxCompressionSize(type, s.w, s.h, depth, bound), err::noErr);
                        EXPECT_LE(c.data.size(), bound) << fourCCToString(type) << " depth " << depth << " " << s.w
                                                        << "x" << s.h;
                    }
                }
        }
    }
    std::size_t bound = 1;
    EXPECT_EQ(getMaxCompressionSize(fourCC("xxxx"), 10, 10, 24, bound), err::noCodecErr);
    EXPECT_EQ(bound, 0u);
    EXPECT_EQ(getMaxCompressionSize(codecType::photoJpeg, 0, 10, 24, bound), err::paramErr);
}

TEST(CodecAvailability, EveryClassicCompressorIsPresentAndOthersAreRefused)
{
    const std::vector<OSType> expected = {codecType::photoJpeg, codecType::cinepak, codecType::graphics,
                                          codecType::animation, codecType::roadPizza, codecType::raw,
                                          codecType::png};
    EXPECT_EQ(compressorTypes(), expected);
    for (OSType t : expected)
        EXPECT_TRUE(canDecompress(t)) << fourCCToString(t);
    // Decoders FFmpeg has for other QuickTime types are found through its table.
    EXPECT_TRUE(canDecompress(fourCC("SVQ1")));
    EXPECT_TRUE(canDecompress(fourCC("mjpa")));
    EXPECT_FALSE(canCompress(fourCC("SVQ1")));
    EXPECT_FALSE(canDecompress(fourCC("zzzz")));

    const OffscreenPicture pic = naturalPicture(8, 8);
    ImageCompressionParams p;
    p.codecType = fourCC("zzzz");
    CompressedImage c;
    EXPECT_EQ(compressImage(pic, p, c), err::noCodecErr);
    ImageDescription d;
    d.codecType = fourCC("zzzz");
    d.width = d.height = 8;
    OffscreenPicture out;
    const std::uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(decompressImage(d, data, PixelDepth::Argb32, out), err::noCodecErr);
}

TEST(CodecParams, RectanglesOutsideThePictureAreRefused)
{
    const OffscreenPicture pic = naturalPicture(16, 16);
    ImageCompressionParams p;
    CompressedImage c;
    EXPECT_EQ(compressImage(pic, Rect{0, 0, 17, 16}, p, c), err::paramErr);
    EXPECT_EQ(compressImage(pic, Rect{-1, 0, 4, 4}, p, c), err::paramErr);
    EXPECT_EQ(compressImage(pic, Rect{4, 4, 4, 8}, p, c), err::paramErr);
    EXPECT_EQ(compressImage(OffscreenPicture(), p, c), err::paramErr);
    EXPECT_TRUE(c.data.empty());
}
