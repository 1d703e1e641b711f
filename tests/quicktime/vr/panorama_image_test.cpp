#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/panorama_image.h"
#include "support/panorama_writer.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// Every pixel a different colour, so any misplaced, mirrored or turned tile shows.
OffscreenPicture codedPicture(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, 0xFF000000u | std::uint32_t((x & 0xFF) << 16) | std::uint32_t(y << 8) | std::uint32_t(x >> 8) * 40);
    return p;
}

OffscreenPicture hotSpotPicture(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Indexed8, makeRect(0, 0, height, width));
    p.fill(0);
    for (int y = 10; y < 30; ++y)
        for (int x = 5; x < 40; ++x)
            p.setPixel(x, y, 7);
    for (int y = 0; y < height; ++y)
        for (int x = width - 20; x < width; ++x)
            p.setPixel(x, y, 200);
    return p;
}

OSErr unroll(const fs::path& file, std::uint32_t node, bool hotSpots, UnrolledPanorama& out)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(file, MovieOpenMode::read, movie))
        return e;
    return UnrollPanorama(*movie, node, PanoramaUnrollOptions{true, hotSpots}, out);
}

struct LayoutCase {
    bool horizontal;
    int framesX, framesY;
};

class PanoramaUnrollLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PanoramaUnrollLayouts, GivesBackTheUnrolledPictureExactly)
{
    const LayoutCase c = GetParam();
    // Taller than the unroller's turning squares and not a multiple of them.
    constexpr int kHeight = 136;
    test::TempDir dir;
    const OffscreenPicture image = codedPicture(320, kHeight);
    const OffscreenPicture hot = hotSpotPicture(320, kHeight);
    test::TestPanoramaOptions o;
    o.horizontal = c.horizontal;
    o.framesX = c.framesX;
    o.framesY = c.framesY;
    o.nodeId = 42;
    const fs::path file = dir.path() / "p.mov";
    ASSERT_EQ(test::writeTestPanorama(file, image, &hot, o), 0);
    UnrolledPanorama u;
    ASSERT_EQ(unroll(file, 0, true, u), 0);
    EXPECT_EQ(u.nodeId, 42u);
    EXPECT_EQ(u.layout, c.horizontal ? PanoramaLayout::HorizontalCylinder : PanoramaLayout::VerticalCylinder);
    ASSERT_EQ(u.image.width(), 320);
    ASSERT_EQ(u.image.height(), kHeight);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += u.image.pixel(x, y) != image.pixel(x, y);
    EXPECT_EQ(wrong, 0);
    ASSERT_FALSE(u.hotSpots.isNull());
    ASSERT_EQ(u.hotSpots.depth(), PixelDepth::Indexed8);
    wrong = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < 320; ++x)
            wrong += u.hotSpots.pixel(x, y) != hot.pixel(x, y);
    EXPECT_EQ(wrong, 0);

    // Asking for node 42 by its ID gives the same; another ID is refused.
    UnrolledPanorama again;
    EXPECT_EQ(unroll(file, 42, false, again), 0);
    EXPECT_TRUE(again.hotSpots.isNull());
    EXPECT_EQ(unroll(file, 43, false, again), err::paramErr);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PanoramaUnrollLayouts,
                         ::testing::Values(LayoutCase{false, 1, 4}, LayoutCase{false, 2, 5}, LayoutCase{true, 4, 1},
                                           LayoutCase{true, 2, 2}));

TEST(PanoramaUnroll, QuickTimeVR1xPanoramaComesBackUpright)
{
    test::TempDir dir;
    test::Panorama1xFixture f;
    f.nodeIds = {5, 9};
    const fs::path file = dir.path() / "old.mov";
    ASSERT_EQ(test::writePanorama1x(file, f), 0);
    UnrolledPanorama u;
    ASSERT_EQ(unroll(file, 9, false, u), 0);
    EXPECT_EQ(u.nodeId, 9u);
    EXPECT_EQ(u.image.width(), 128); // stored 48 x 128, turned
    EXPECT_EQ(u.image.height(), 48);
    EXPECT_FLOAT_EQ(u.record.defaultPan, 90.0f);
    EXPECT_EQ(unroll(file, 0, false, u), 0);
    EXPECT_EQ(u.nodeId, 5u);
    EXPECT_EQ(unroll(file, 6, false, u), err::paramErr);
}

TEST(PanoramaUnroll, ObjectMoviesAreNotPanoramas)
{
    test::TempDir dir;
    const fs::path file = dir.path() / "obj.mov";
    ASSERT_EQ(test::writeObject2x(file, test::Object2xFixture{}), 0);
    UnrolledPanorama u;
    EXPECT_NE(unroll(file, 0, false, u), 0);
}

fs::path sample(const char* name)
{
    return fs::path(QM_SAMPLES_DIR) / name;
}

TEST(PanoramaUnrollSamples, RealPanoramasUnroll)
{
    if (!fs::exists(sample("wyk_pano_8.mov")))
        GTEST_SKIP() << "no sample files";
    UnrolledPanorama u;
    ASSERT_EQ(unroll(sample("wyk_pano_8.mov"), 0, true, u), 0);
    EXPECT_EQ(u.nodeId, 127u);
    EXPECT_EQ(u.image.width(), int(u.record.imageSizeY));
    EXPECT_EQ(u.image.height(), int(u.record.imageSizeX));
    ASSERT_FALSE(u.hotSpots.isNull());
    std::set<std::uint32_t> ids;
    for (int y = 0; y < u.hotSpots.height(); ++y)
        for (int x = 0; x < u.hotSpots.width(); ++x)
            ids.insert(u.hotSpots.pixel(x, y));
    EXPECT_EQ(ids, (std::set<std::uint32_t>{0, 159, 220, 250}));

    ASSERT_EQ(unroll(sample("osu_facilities-panorama-sm.mov"), 0, true, u), 0);
    EXPECT_EQ(u.image.width(), 2592);
    EXPECT_EQ(u.image.height(), 314);
    EXPECT_TRUE(u.hotSpots.isNull());

    ASSERT_EQ(unroll(sample("cuty_CuTy.mov"), 0, false, u), 0);
    EXPECT_EQ(u.layout, PanoramaLayout::Cube);
    EXPECT_EQ(u.cubeFaceSize, 510);
    EXPECT_EQ(u.image.width(), 6 * 510);
    EXPECT_EQ(u.image.height(), 510);
}

} // namespace
} // namespace qm
