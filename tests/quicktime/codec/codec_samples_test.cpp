// The image and hot spot tiles of real QuickTime VR files made by other tools decode.
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "quicktime/codec/codec_test_pictures.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

struct Tiles {
    ImageDescription description;
    std::vector<Bytes> samples;
};

// The samples of every video track whose description names the codec.
Tiles readTiles(const std::filesystem::path& file, OSType codec)
{
    std::unique_ptr<Movie> movie;
    EXPECT_EQ(Movie::open(file, MovieOpenMode::read, movie), err::noErr);
    Tiles tiles;
    if (!movie)
        return tiles;
    for (int i = 1; i <= movie->trackCount(); ++i) {
        const Media* media = movie->track(i)->media();
        if (!media || media->type() != videoMediaType)
            continue;
        SampleDescription sd;
        if (media->sampleDescription(1, sd) != err::noErr || sd.format() != codec)
            continue;
        EXPECT_EQ(ImageDescription::parse(sd.bytes(), tiles.description), err::noErr);
        for (std::uint32_t k = 0; k < media->sampleCount(); ++k) {
            Bytes data;
            EXPECT_EQ(media->readSample(k, data), err::noErr);
            tiles.samples.push_back(std::move(data));
        }
    }
    return tiles;
}

} // namespace

TEST(CodecSamples, HotSpotTilesGiveTheHotSpotIdsAsPixelValues)
{
    const auto file = test::samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    const Tiles tiles = readTiles(file, codecType::graphics);
    ASSERT_EQ(tiles.samples.size(), 12u);
    EXPECT_EQ(tiles.description.depth, 8);
    DecompressionSequence d;
    ASSERT_EQ(d.begin(tiles.description), err::noErr);
    std::set<int> values;
    for (const Bytes& s : tiles.samples) {
        OffscreenPicture p;
        ASSERT_EQ(d.decompressFrame(s, PixelDepth::Indexed8, p), err::noErr);
        ASSERT_EQ(p.width(), 392);
        ASSERT_EQ(p.height(), 232);
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                values.insert(p.row8(y)[x]);
    }
    EXPECT_EQ(values, (std::set<int>{0, 159, 220, 250}));
}

TEST(CodecSamples, JpegTilesDecodeAsFfmpegDecodesThem)
{
    struct Sample {
        const char* name;
        std::size_t tiles;
        int w, h;
    };
    for (const Sample& s : {Sample{"wyk_pano_8.mov", 12, 392, 232}, Sample{"osu_facilities-panorama-sm.mov", 24, 314, 108},
                            Sample{"cuty_CuTy.mov", 54, 170, 170}}) {
        const auto file = test::samplesDir() / s.name;
        if (!std::filesystem::exists(file)) {
            std::printf("real sample not available: %s\n", file.c_str());
            continue;
        }
        SCOPED_TRACE(s.name);
        const Tiles tiles = readTiles(file, codecType::photoJpeg);
        ASSERT_EQ(tiles.samples.size(), s.tiles);
        ASSERT_EQ(tiles.description.width, s.w);
        ASSERT_EQ(tiles.description.height, s.h);
        for (std::size_t k = 0; k < tiles.samples.size(); ++k) {
            OffscreenPicture ours;
            ASSERT_EQ(decompressImage(tiles.description, tiles.samples[k], PixelDepth::Argb32, ours), err::noErr) << k;
            if (k != tiles.samples.size() / 2)
                continue;
            // One tile also through the ffmpeg program, from a file of its own.
            test::TempDir dir;
            {
                std::ofstream out(dir / "tile.jpg", std::ios::binary);
                out.write(reinterpret_cast<const char*>(tiles.samples[k].data()), std::streamsize(tiles.samples[k].size()));
            }
            ASSERT_EQ(test::runCommand("ffmpeg -v error -nostdin -y -i '" + (dir / "tile.jpg").string() +
                                       "' -f rawvideo -pix_fmt rgb24 '" + (dir / "tile.rgb").string() + "'"),
                      0);
            std::ifstream in(dir / "tile.rgb", std::ios::binary);
            const Bytes rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ASSERT_EQ(rgb.size(), std::size_t(s.w) * std::size_t(s.h) * 3);
            OffscreenPicture theirs = test::makePicture(s.w, s.h, PixelDepth::Argb32);
            for (int y = 0; y < s.h; ++y)
                for (int x = 0; x < s.w; ++x) {
                    const std::uint8_t* c = rgb.data() + (std::size_t(y) * std::size_t(s.w) + std::size_t(x)) * 3;
                    theirs.setPixel(x, y, argbPixel(c[0], c[1], c[2]));
                }
            EXPECT_GE(test::psnr(ours, theirs), 35.0);
        }
    }
}
