// The composed movie of a scene full of hot spots, byte for byte: the hot spot tiles are painted
// and compressed only where hot spots lie and blank tiles share one encoding, which must give
// exactly the bytes of painting and compressing every tile whole.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/demo_media.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

std::uint64_t fnv1a(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return h;
}

HotSpot hotSpot(std::int16_t id, std::int16_t shape, Rect bounds, std::int16_t destination = 0)
{
    HotSpot h;
    h.id = id;
    h.shape = shape;
    h.bounds = bounds;
    h.name = "Spot " + std::to_string(id);
    if (destination) {
        h.type = HotSpotType::kLink;
        h.destinationNodeId = destination;
    }
    return h;
}

// Three generated panoramas linked in a ring (a hot spot across the seam, one on a tile border,
// ovals, a region, one covering a whole node) and an object made from a still image.
std::uint64_t composeHash(unsigned threads)
{
    TempDir dir;
    Scene scene = baseScene();
    TestMedia media;
    for (std::int16_t i = 1; i <= 3; ++i) {
        const auto file = dir / ("pano" + std::to_string(i) + ".mov");
        EXPECT_EQ(demo::writePanorama(file, 1024, 256, 8, demo::PlaceStyle{i, i != 2, i == 3}), 0);
        media.files[i] = file;
        Node n = panoramaNodeFor(i, file, "Place", Point{std::int16_t(100 * i), 100});
        const std::int16_t next = std::int16_t(i % 3 + 1);
        n.hotSpots.push_back(hotSpot(1, HotSpotShape::kRectangle, {40, 100, 120, 180}, next));
        n.hotSpots.push_back(hotSpot(2, HotSpotShape::kOval, {60, 990, 200, 1060}));           // across the seam
        n.hotSpots.push_back(hotSpot(3, HotSpotShape::kCircle, {100, 500, 160, 560}, next));   // on a tile border
        if (i == 2) {
            HotSpot r = hotSpot(7, HotSpotShape::kRegion, {10, 300, 90, 420});
            Bytes outline;
            EXPECT_EQ(writeRegion(ovalRegion(Rect{10, 300, 90, 420}), outline), 0);
            r.regionData = outline;
            n.hotSpots.push_back(r);
            // All of the image, under the others: no tile of this node is blank.
            n.hotSpots.insert(n.hotSpots.begin(), hotSpot(9, HotSpotShape::kRectangle, {0, 0, 256, 1024}));
        }
        scene.nodes.push_back(n);
    }
    Node object = objectNode(5, 160, 120, "Statue", {300, 300});
    Node maker = object;
    EXPECT_EQ(convertStillImage(testPicture(160, 120, 3), maker, dir / "object.mov"), 0);
    object.hotSpots.push_back(hotSpot(6, HotSpotShape::kOval, {10, 10, 60, 80}, 1));
    media.files[5] = dir / "object.mov";
    scene.nodes.push_back(object);

    ComposeEnvironment env = media.environment(dir.path());
    env.threads = threads;
    WorkingCopies copies;
    NullProgress progress;
    EXPECT_EQ(composeScene(scene, copies, env, progress), 0);
    return fnv1a(scene.composedMovieFile);
}

} // namespace

TEST(HotSpotOutput, ComposedBytesAreThoseOfPaintingEveryTileWhole)
{
    // Recorded from the composer that painted every hot spot strip whole and compressed every
    // tile of it.
    const std::uint64_t expected = 0xf6fb79a103ce697aull;
    const std::uint64_t one = composeHash(1);
    EXPECT_EQ(one, composeHash(4)) << "the number of threads changes nothing";
    EXPECT_EQ(one, expected) << std::hex << "0x" << one;
}
