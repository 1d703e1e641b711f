#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "compose/compose_environment.h"
#include "compose/hot_spot_view_render.h"
#include "compose/working_image.h"
#include "media/node_import.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"
#include "support/ffprobe_oracle.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

// A scene holding one node made from the file, as the import makes it.
Node importNode(Scene& scene, const std::filesystem::path& file)
{
    std::int16_t id = 0;
    std::string detail;
    EXPECT_EQ(AddNodeFromFile(scene, Point{100, 100}, file, false, {}, &id, &detail), 0) << detail;
    return *findNode(scene, id);
}

// Decodes one video stream to RGB frames with ffmpeg (an oracle independent of our decoders).
std::vector<Bytes> decodeRgb(const std::filesystem::path& file, int stream, int width, int height)
{
    std::string raw;
    const int status = test::runCommand("ffmpeg -v error -i '" + file.string() + "' -map 0:" + std::to_string(stream) +
                                            " -vsync 0 -f rawvideo -pix_fmt rgb24 - 2>/dev/null",
                                        &raw);
    EXPECT_EQ(status, 0);
    const std::size_t frame = std::size_t(width) * std::size_t(height) * 3;
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at + frame <= raw.size(); at += frame)
        frames.emplace_back(raw.begin() + std::ptrdiff_t(at), raw.begin() + std::ptrdiff_t(at + frame));
    return frames;
}

// Unrolled (x, y) of a vertical cylinder whose stored tiles are width x height (stored) and come
// first right-most: stored tile k holds strip (strips - 1 - k) turned a quarter anticlockwise.
std::uint32_t assembledPixel(const std::vector<Bytes>& tiles, int tileW, int tileH, int x, int y)
{
    const int strips = int(tiles.size());
    const int strip = x / tileH;
    const int k = strips - 1 - strip;
    const int sx = y;                              // stored column = unrolled row
    const int sy = tileH - 1 - (x - strip * tileH); // stored row from the right edge of the strip
    const std::uint8_t* p = tiles[std::size_t(k)].data() + (std::size_t(sy) * std::size_t(tileW) + std::size_t(sx)) * 3;
    return (std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2];
}

int channelDifference(std::uint32_t a, std::uint32_t b)
{
    int d = 0;
    for (int s = 0; s < 24; s += 8)
        d = std::max(d, std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)));
    return d;
}

} // namespace

TEST(WorkingImage, PanoramaWorkingSizeIsCappedAndDividesByTheTiles)
{
    int w = 0, h = 0;
    panoramaWorkingSize(4096, 768, 24, 1, kMaxWorkingWidth, w, h);
    EXPECT_EQ(w, 1536);
    EXPECT_EQ(h, 288);
    panoramaWorkingSize(1000, 200, 7, 3, kMaxWorkingWidth, w, h);
    EXPECT_EQ(w, 1000) << "a panorama within the cap keeps its size";
    EXPECT_EQ(h, 200);
    // 2784 x 232 from 12 strips: scale 0.5517 gives 1536 x 128, which 12 divides.
    panoramaWorkingSize(2784, 392, 12, 1, kMaxWorkingWidth, w, h);
    EXPECT_EQ(w % 12, 0);
    EXPECT_GE(w, 1536);
    panoramaWorkingSize(5000, 1000, 7, 3, kMaxWorkingWidth, w, h);
    EXPECT_EQ(w % 7, 0) << "raised until the strips divide it";
    EXPECT_EQ(h % 3, 0);
}

TEST(WorkingImage, A4096By768PanoramaIsEditedAt1536By288AndMapsBackTo4096)
{
    test::TempDir dir;
    test::Panorama2xFixture f;
    f.record.imageSizeX = 768;  // stored width = unrolled height
    f.record.imageSizeY = 4096; // stored height = unrolled width
    f.record.imageNumFramesX = 1;
    f.record.imageNumFramesY = 24;
    f.tileWidth = 768;
    f.tileHeight = 171;
    ASSERT_EQ(test::writePanorama2x(dir / "wide.mov", f), 0);
    Scene scene;
    const Node node = importNode(scene, dir / "wide.mov");
    WorkingImage image;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), image), 0);
    EXPECT_EQ(image.picture.width(), 1536);
    EXPECT_EQ(image.picture.height(), 288);
    EXPECT_EQ(image.nativeRect, makeRect(0, 0, 768, 4096));
    // A hot spot drawn over the whole working width is 4096 native pixels wide.
    const Rect native = image.toNative(makeRect(10, 0, 100, 1536));
    EXPECT_EQ(native.left, 0);
    EXPECT_EQ(native.right, 4096);
    EXPECT_EQ(native.width(), 4096);
    // Through the view: a view showing the picture from scroll 0 maps its display back the same.
    const ViewGeometry g = viewGeometry(image, makeRect(0, 0, 300, 2000), 0, 0);
    EXPECT_EQ(g.display.width(), 1536) << "a narrower picture is centred";
    EXPECT_EQ(g.display.left, (2000 - 1536) / 2);
    EXPECT_EQ(g.toNative(makeRect(g.display.top, g.display.left, g.display.bottom, g.display.right)).width(), 4096);
}

TEST(WorkingImage, RealPanoramaTilesSitWhereTheFilePutsThem)
{
    const std::filesystem::path file = test::samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    QM_REQUIRE_FFPROBE();
    Scene scene;
    const Node node = importNode(scene, file);
    ASSERT_EQ(node.kind, NodeKind::kPanorama);
    const auto tiles = decodeRgb(file, 2, 392, 232); // the Photo-JPEG image track
    ASSERT_EQ(tiles.size(), 12u);

    // At native size every pixel matches the tiles ffmpeg decoded, turned and laid out here.
    WorkingImage image;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), image, 0), 0);
    ASSERT_EQ(image.picture.width(), 12 * 232);
    ASSERT_EQ(image.picture.height(), 392);
    long long total = 0;
    int worst = 0;
    for (int y = 0; y < 392; ++y)
        for (int x = 0; x < 12 * 232; ++x) {
            const int d = channelDifference(image.picture.pixel(x, y), assembledPixel(tiles, 392, 232, x, y));
            total += d;
            worst = std::max(worst, d);
        }
    EXPECT_LT(double(total) / (392.0 * 12 * 232), 2.0) << "tiles out of place give large differences";
    EXPECT_LE(worst, 40);

    // The editing picture is that one scaled to at most 1536 wide: each strip's mean colour is
    // the mean colour of its tile.
    WorkingImage working;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), working), 0);
    ASSERT_LE(working.picture.width(), 1536 + 11);
    const int strip = working.picture.width() / 12;
    for (int s = 0; s < 12; ++s) {
        double ours = 0, theirs = 0;
        for (int y = 0; y < working.picture.height(); ++y)
            for (int x = s * strip; x < (s + 1) * strip; ++x)
                ours += double((working.picture.pixel(x, y) >> 8) & 0xFF);
        ours /= double(strip) * working.picture.height();
        const Bytes& t = tiles[std::size_t(11 - s)];
        for (std::size_t i = 1; i < t.size(); i += 3)
            theirs += t[i];
        theirs /= double(t.size() / 3);
        EXPECT_NEAR(ours, theirs, 3.0) << "strip " << s;
    }
}

TEST(WorkingImage, ObjectViewsLinearMovieFramesAndStills)
{
    test::TempDir dir;
    Scene scene;
    test::Object2xFixture object;
    ASSERT_EQ(test::writeObject2x(dir / "object.mov", object), 0);
    const Node obj = importNode(scene, dir / "object.mov");
    WorkingImage first, last, again;
    const ComposeEnvironment env = standardComposeEnvironment();
    ASSERT_EQ(loadWorkingImage(scene, obj, {0, 0, 0}, env, first), 0);
    ASSERT_EQ(loadWorkingImage(scene, obj, {3, 1, 0}, env, last), 0);
    ASSERT_EQ(loadWorkingImage(scene, obj, {0, 0, 0}, env, again), 0);
    EXPECT_EQ(first.nativeRect, makeRect(0, 0, 30, 40));
    EXPECT_FALSE(first.picture == last.picture) << "another view shows another frame";
    EXPECT_TRUE(first.picture == again.picture);

    test::LinearMovieFixture movie;
    movie.frames = 5;
    ASSERT_EQ(test::writeLinearMovie(dir / "movie.mov", movie), 0);
    const Node lin = importNode(scene, dir / "movie.mov");
    WorkingImage frame0, frame3;
    ASSERT_EQ(loadWorkingImage(scene, lin, {0, 0, 0}, env, frame0), 0);
    ASSERT_EQ(loadWorkingImage(scene, lin, {0, 0, 3}, env, frame3), 0);
    EXPECT_EQ(frame0.frameDuration, 60);
    EXPECT_EQ(frame0.movieDuration, 300);
    EXPECT_EQ(frame0.timeScale, 600);
    EXPECT_FALSE(frame0.picture == frame3.picture);
    EXPECT_EQ(timeCodeText(3 * 60, 60, 600), "00:00:00:03");
    EXPECT_EQ(timeCodeText(3600 * 600 + 61 * 600 + 7 * 60, 60, 600), "01:01:01:07");
    EXPECT_EQ(timeCodeText(100, 60, 0), "00:00:00:00");

    ASSERT_TRUE(test::writeStillImage(dir / "still.png", fourCC("PNGf"), 50, 20));
    const Node still = importNode(scene, dir / "still.png");
    WorkingImage picture;
    ASSERT_EQ(loadWorkingImage(scene, still, {}, env, picture), 0);
    EXPECT_EQ(picture.nativeRect, makeRect(0, 0, 20, 50));

    Node generic;
    EXPECT_NE(loadWorkingImage(scene, generic, {}, env, picture), 0);
    EXPECT_TRUE(picture.isNull());
}
