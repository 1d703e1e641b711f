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
#include "support/panorama_writer.h"
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

// The mean of one 8-bit channel (shift 16 red, 8 green, 0 blue) over a rectangle of a picture.
double meanChannel(const OffscreenPicture& p, int left, int top, int right, int bottom, int shift)
{
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            sum += double((p.pixel(x, y) >> shift) & 0xFF);
    return sum / (double(right - left) * double(bottom - top));
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
    EXPECT_LE(worst, 80) << "decoders differ only in chroma at sharp edges";

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

TEST(WorkingImage, TilesDecodedSmallStillSitWhereTheFilePutsThem)
{
    // Edited at 600 pixels wide the real panorama's 392 x 232 Photo-JPEG tiles take places of
    // 84 x 50 (stored orientation): they are decoded at a quarter size in the JPEG transform and
    // shrunk the rest of the way. The result must stay the assembled full picture, shrunk: the
    // reduced transform only rounds differently (it drops the high frequencies a shrink would
    // average away anyway).
    const std::filesystem::path file = test::samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    QM_REQUIRE_FFPROBE();
    Scene scene;
    const Node node = importNode(scene, file);
    const auto tiles = decodeRgb(file, 2, 392, 232);
    ASSERT_EQ(tiles.size(), 12u);
    OffscreenPicture assembled;
    ASSERT_EQ(assembled.allocate(PixelDepth::Argb32, makeRect(0, 0, 392, 12 * 232)), 0);
    for (int y = 0; y < 392; ++y)
        for (int x = 0; x < 12 * 232; ++x)
            assembled.setPixel(x, y, 0xFF000000u | assembledPixel(tiles, 392, 232, x, y));

    WorkingImage image;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), image, 600), 0);
    ASSERT_EQ(image.picture.width(), 600);
    ASSERT_EQ(image.picture.height(), 84);
    OffscreenPicture expected;
    ASSERT_EQ(expected.allocate(PixelDepth::Argb32, image.workingRect), 0);
    ASSERT_EQ(copyBits(assembled, assembled.bounds(), expected, expected.bounds(), CopyMode::Exact, ScaleFilter::Smooth), 0);
    // Compared pixel by pixel with the same picture and with it one strip (50 pixels) along,
    // which is what a tile out of place would give.
    long long total = 0, shifted = 0;
    int worst = 0;
    for (int y = 0; y < 84; ++y)
        for (int x = 0; x < 600; ++x) {
            const int d = channelDifference(image.picture.pixel(x, y), expected.pixel(x, y));
            total += d;
            worst = std::max(worst, d);
            shifted += channelDifference(image.picture.pixel(x, y), expected.pixel((x + 50) % 600, y));
        }
    const double mean = double(total) / (600.0 * 84);
    EXPECT_LT(mean, 6.0) << "the reduced transform rounds a little differently (a full decode gives about 1)";
    EXPECT_GT(double(shifted) / (600.0 * 84), 5 * mean) << "the comparison tells places apart";
    EXPECT_LE(worst, 96) << "only at sharp edges does it differ much";
}

TEST(WorkingImage, HorizontalCylinderIsShownUprightAndScaledToTheEditingWidth)
{
    // An upright 2400 x 400 panorama of four coloured quarters with a white bar in the second,
    // stored as a horizontal cylinder of four lossless tiles.
    OffscreenPicture picture;
    ASSERT_EQ(picture.allocate(PixelDepth::Argb32, makeRect(0, 0, 400, 2400)), 0);
    const std::uint32_t colours[] = {0xFFC02020u, 0xFF20C020u, 0xFF2020C0u, 0xFFC0C020u};
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 2400; ++x)
            picture.setPixel(x, y, (x >= 700 && x < 800 && y >= 100 && y < 200) ? 0xFFFFFFFFu : colours[x / 600]);
    test::TempDir dir;
    test::TestPanoramaOptions options;
    options.horizontal = true;
    options.framesX = 4;
    options.framesY = 1;
    ASSERT_EQ(test::writeTestPanorama(dir / "hcyl.mov", picture, nullptr, options), 0);
    Scene scene;
    const Node node = importNode(scene, dir / "hcyl.mov");
    ASSERT_EQ(node.kind, NodeKind::kPanorama);
    WorkingImage image;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), image), 0);
    EXPECT_EQ(image.nativeRect, makeRect(0, 0, 400, 2400)) << "the upright picture at full size";
    EXPECT_EQ(image.workingRect, makeRect(0, 0, 256, 1536));
    // Every working pixel away from an edge shows the native pixel it maps to.
    for (int y = 4; y < 252; y += 8)
        for (int x = 4; x < 1532; x += 8) {
            const Point n = image.toNative(Point{std::int16_t(y), std::int16_t(x)});
            const bool nearEdge = (n.h % 600 < 4 || n.h % 600 > 596) || (n.h >= 692 && n.h < 808 && n.v >= 92 && n.v < 208);
            if (!nearEdge) {
                EXPECT_LE(channelDifference(image.picture.pixel(x, y), picture.pixel(n.h, n.v)), 2) << x << "," << y;
            }
        }
    // A hot spot over the bar maps back onto the bar's native pixels.
    const Rect bar = image.toWorking(makeRect(100, 700, 200, 800));
    EXPECT_EQ(image.toNative(bar), makeRect(100, 700, 200, 800));
    // Without a cap the working picture is the native one.
    WorkingImage native;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), native, 0), 0);
    EXPECT_TRUE(native.picture == picture);
}

TEST(WorkingImage, CubeFacesLieSideBySideInTheirOrderWithTheirTilesInPlace)
{
    const std::filesystem::path file = test::samplesDir() / "cuty_CuTy.mov";
    QM_REQUIRE_SAMPLE(file);
    QM_REQUIRE_FFPROBE();
    Scene scene;
    const Node node = importNode(scene, file);
    ASSERT_EQ(node.kind, NodeKind::kPanorama);
    // 54 Photo-JPEG tiles of 170 x 170: six faces of 3 x 3 tiles each, face after face.
    const auto tiles = decodeRgb(file, 2, 170, 170);
    ASSERT_EQ(tiles.size(), 54u);
    WorkingImage image;
    ASSERT_EQ(loadWorkingImage(scene, node, {}, standardComposeEnvironment(), image), 0);
    EXPECT_EQ(image.nativeRect, makeRect(0, 0, 510, 6 * 510)) << "six faces of 510 at full size";
    ASSERT_EQ(image.workingRect, makeRect(0, 0, 256, 1536));
    // Each tile's mean colour is that of its place: face f from the left, row and column of the
    // face in reading order. Places are mapped from native coordinates, as hot spots are.
    for (int t = 0; t < 54; ++t) {
        const int face = t / 9, row = t % 9 / 3, column = t % 3;
        const Rect place = image.toWorking(makeRect(row * 170, face * 510 + column * 170, (row + 1) * 170,
                                                    face * 510 + (column + 1) * 170));
        for (int c = 0; c < 3; ++c) {
            double theirs = 0;
            const Bytes& tile = tiles[std::size_t(t)];
            for (std::size_t i = std::size_t(c); i < tile.size(); i += 3)
                theirs += tile[i];
            theirs /= double(tile.size() / 3);
            // Inset by a pixel: the shrink blends the tiles' edges.
            const double ours = meanChannel(image.picture, place.left + 1, place.top + 1, place.right - 1,
                                            place.bottom - 1, 16 - 8 * c);
            EXPECT_NEAR(ours, theirs, 4.0) << "tile " << t << " channel " << c;
        }
    }
}
