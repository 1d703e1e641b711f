// Movies with tracks our codecs compressed, written by the movie layer and decoded by the ffmpeg
// program: an independent decoder must see what we encoded, and its demuxer must read our image
// descriptions (depths, colour tables) the way we meant them.
#include "quicktime/codec/codec.h"
#include "quicktime/codec/compression_sequence.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "quicktime/codec/codec_test_pictures.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

constexpr TimeScale kScale = 600;
constexpr TimeValue kFrameDuration = 40;

struct EncodedTrack {
    ImageDescription description;
    std::vector<CompressedFrame> frames;
};

Rect whole(const OffscreenPicture& p) { return p.bounds(); }

EncodedTrack encodeSequence(const std::vector<OffscreenPicture>& pictures, OSType type, std::int32_t keyFrameRate,
                     std::uint32_t quality = codecQuality::normal)
{
    SequenceCompressionParams p;
    p.image.codecType = type;
    p.image.spatialQuality = quality;
    p.temporalQuality = quality;
    p.keyFrameRate = keyFrameRate;
    CompressionSequence seq;
    EncodedTrack t;
    EXPECT_EQ(seq.begin(pictures[0].width(), pictures[0].height(), pictures[0].depth(), p), err::noErr);
    for (const OffscreenPicture& pic : pictures) {
        CompressedFrame f;
        EXPECT_EQ(seq.compressFrame(pic, whole(pic), f), err::noErr);
        t.frames.push_back(std::move(f));
    }
    t.description = seq.description();
    return t;
}

// One video track of the frames, each lasting kFrameDuration, difference frames marked.
void writeMovie(const EncodedTrack& t, const std::filesystem::path& file)
{
    std::unique_ptr<Movie> movie = Movie::create();
    ASSERT_EQ(movie->setTimeScale(kScale), err::noErr);
    Track* track = movie->newTrack(t.description.width << 16, t.description.height << 16, 0);
    ASSERT_NE(track, nullptr);
    Media* media = track->newMedia(videoMediaType, kScale);
    ASSERT_NE(media, nullptr);
    const SampleDescription description(t.description.build());
    for (const CompressedFrame& f : t.frames)
        ASSERT_GE(media->addSample(f.data, kFrameDuration, description, 1, f.keyFrame ? 0 : mediaSampleNotSync), 0);
    ASSERT_EQ(track->insertMedia(0, 0, media->duration()), err::noErr);
    ASSERT_EQ(movie->flatten(file), err::noErr);
}

// The frames ffmpeg decodes from the movie's video track, as raw pixels of the given format.
std::vector<Bytes> ffmpegFrames(const std::filesystem::path& movie, const char* pixelFormat, std::size_t frameBytes)
{
    const auto out = movie.parent_path() / "frames.raw";
    const std::string command = "ffmpeg -v error -nostdin -y -i '" + movie.string() +
                                "' -map 0:v:0 -vsync passthrough -c:v rawvideo -pix_fmt " + pixelFormat +
                                " -f rawvideo '" + out.string() + "'";
    std::string log;
    EXPECT_EQ(test::runCommand(command + " 2>&1", &log), 0) << log;
    EXPECT_EQ(log, "") << "ffmpeg complained";
    std::ifstream in(out, std::ios::binary);
    const Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at + frameBytes <= all.size(); at += frameBytes)
        frames.emplace_back(all.begin() + std::ptrdiff_t(at), all.begin() + std::ptrdiff_t(at + frameBytes));
    EXPECT_EQ(all.size() % frameBytes, 0u);
    return frames;
}

OffscreenPicture fromRgb24(const Bytes& rgb, int w, int h)
{
    OffscreenPicture p = test::makePicture(w, h, PixelDepth::Argb32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* c = rgb.data() + (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3;
            p.setPixel(x, y, argbPixel(c[0], c[1], c[2]));
        }
    return p;
}

std::vector<OffscreenPicture> decodeOurselves(const EncodedTrack& t, PixelDepth depth)
{
    DecompressionSequence d;
    EXPECT_EQ(d.begin(t.description), err::noErr);
    std::vector<OffscreenPicture> out;
    for (const CompressedFrame& f : t.frames) {
        OffscreenPicture p;
        EXPECT_EQ(d.decompressFrame(f.data, depth, p), err::noErr);
        out.push_back(std::move(p));
    }
    return out;
}

// A square moves over a still background: difference frames have something to leave out.
std::vector<OffscreenPicture> movingSquare(int w, int h, int frames)
{
    std::vector<OffscreenPicture> out;
    for (int f = 0; f < frames; ++f) {
        OffscreenPicture p = test::naturalPicture(w, h);
        for (int y = 8; y < 24 && y < h; ++y)
            for (int x = 4 + 5 * f; x < 20 + 5 * f && x < w; ++x)
                p.setPixel(x, y, argbPixel(0x20, 0x40, 0xE0));
        out.push_back(std::move(p));
    }
    return out;
}

class CodecOracle : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::runCommand("ffmpeg -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg not available";
    }
    test::TempDir m_dir;
};

} // namespace

TEST_F(CodecOracle, DirectColourTracksDecodeToWhatWeEncoded)
{
    struct Case {
        OSType type;
        int w, h;
        std::int32_t keyFrameRate;
        double minPsnr; // 0: lossless, every pixel exact
    };
    // Photo - JPEG at normal quality on a picture of hard colour edges; Cinepak and Road Pizza
    // with difference frames between key frames; the lossless codecs exact.
    const Case cases[] = {
        {codecType::photoJpeg, 96, 64, 1, 24.5}, {codecType::photoJpeg, 90, 61, 1, 24.5},
        {codecType::cinepak, 96, 64, 3, 24.0},   {codecType::cinepak, 90, 61, 3, 24.0},
        {codecType::roadPizza, 90, 61, 3, 34.0}, {codecType::animation, 90, 61, 3, 0},
        {codecType::raw, 90, 61, 1, 0},          {codecType::png, 90, 61, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(fourCCToString(c.type) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        const auto pictures = movingSquare(c.w, c.h, 5);
        const EncodedTrack t = encodeSequence(pictures, c.type, c.keyFrameRate);
        const auto file = m_dir / "movie.mov";
        writeMovie(t, file);
        const auto frames = ffmpegFrames(file, "rgb24", std::size_t(c.w) * std::size_t(c.h) * 3);
        ASSERT_EQ(frames.size(), pictures.size());
        const auto ours = decodeOurselves(t, PixelDepth::Argb32);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const OffscreenPicture theirs = fromRgb24(frames[i], c.w, c.h);
            if (c.minPsnr == 0) {
                EXPECT_TRUE(test::sameArgb(pictures[i], theirs, true)) << "frame " << i;
            } else {
                EXPECT_GE(test::psnr(pictures[i], theirs), c.minPsnr) << "frame " << i;
                // Two decoders of the same data agree far more closely than either with the
                // source. For JPEG they differ in widening the half-resolution colour (ffmpeg's
                // default is the coarser: ours is the nearer to the source).
                EXPECT_GE(test::psnr(ours[i], theirs), c.type == codecType::photoJpeg ? 32.0 : 38.0) << "frame " << i;
                EXPECT_GE(test::psnr(pictures[i], ours[i]), test::psnr(pictures[i], theirs) - 0.1) << "frame " << i;
            }
        }
    }
}

TEST_F(CodecOracle, GraphicsTrackKeepsEveryPaletteIndexAndItsColourTable)
{
    // An odd size, and a table whose colours repeat, so that an index cannot be recovered from
    // its colour: ffmpeg's indices must be ours.
    const int w = 101, h = 67;
    std::vector<RGBColor> colours(256);
    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = {std::uint16_t((i % 64) * 0x0404), std::uint16_t((i / 64) * 0x5555), std::uint16_t(0x8080)};
    const ColorTable table(colours);
    std::vector<OffscreenPicture> pictures;
    for (int f = 0; f < 4; ++f) {
        OffscreenPicture p = test::hotSpotPicture(w, h, table);
        for (int x = 0; x < 30; ++x)
            p.row8(10 + f)[x + 3 * f] = std::uint8_t(250 - f);
        pictures.push_back(std::move(p));
    }
    const EncodedTrack t = encodeSequence(pictures, codecType::graphics, 0, codecQuality::lossless);
    ASSERT_EQ(t.description.depth, 8);
    const auto file = m_dir / "hotspots.mov";
    writeMovie(t, file);

    // Raw 8-bit frames as ffmpeg writes them: the indices, then the 256-entry palette.
    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    const auto frames = ffmpegFrames(file, "pal8", pixels + 1024);
    ASSERT_EQ(frames.size(), pictures.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(pictures[i].row8(y), pictures[i].row8(y) + w,
                                   frames[i].begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(w))))
                << "frame " << i << " row " << y;
        for (int k = 0; k < 256; ++k) {
            std::uint32_t c = 0;
            std::memcpy(&c, frames[i].data() + pixels + std::size_t(k) * 4, 4); // native 0xAARRGGBB
            EXPECT_EQ(c & 0xFFFFFFu, table.argb(std::uint8_t(k)) & 0xFFFFFFu) << "palette entry " << k;
        }
    }
}

TEST_F(CodecOracle, KeyFramesAreTheSyncSamplesFfprobeReports)
{
    QM_REQUIRE_FFPROBE();
    const auto pictures = movingSquare(64, 48, 7);
    const EncodedTrack t = encodeSequence(pictures, codecType::cinepak, 3);
    const auto file = m_dir / "keys.mov";
    writeMovie(t, file);
    std::string out;
    ASSERT_EQ(test::runCommand("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" +
                                   file.string() + "'",
                               &out),
              0);
    std::string expected;
    for (const CompressedFrame& f : t.frames)
        expected += f.keyFrame ? "K_\n" : "__\n";
    EXPECT_EQ(out, expected);
}

TEST(CodecReducedDecode, ALosslessJpegTheDecoderCannotReduceFailsAndDecodesWhole)
{
    // Lossless JPEG (SOF3), which FFmpeg writes and whose decoder has no reduced transform: a
    // reduced decode must fail rather than give the top-left part of the whole picture.
    QM_REQUIRE_FFPROBE();
    test::TempDir dir;
    const auto file = dir / "lossless.jpg";
    ASSERT_EQ(test::runCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=96x64 -frames:v 1 -c:v ljpeg "
                               "-pix_fmt bgr24 -strict -1 '" + file.string() + "'"),
              0);
    std::ifstream in(file, std::ios::binary);
    const Bytes data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(data.empty());
    ImageDescription description;
    description.codecType = codecType::photoJpeg;
    description.width = 96;
    description.height = 64;
    description.depth = 24;
    description.dataSize = std::uint32_t(data.size());

    DecompressionSequence reduced;
    ASSERT_EQ(reduced.begin(description, 2), err::noErr);
    OffscreenPicture picture;
    EXPECT_NE(reduced.decompressFrame(data, PixelDepth::Argb32, picture), err::noErr);
    EXPECT_TRUE(picture.isNull());

    DecompressionSequence whole;
    ASSERT_EQ(whole.begin(description), err::noErr);
    ASSERT_EQ(whole.decompressFrame(data, PixelDepth::Argb32, picture), err::noErr);
    EXPECT_EQ(picture.width(), 96);
    EXPECT_EQ(picture.height(), 64);
}
