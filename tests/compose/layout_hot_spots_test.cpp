// Hot spots of panoramas in every layout: horizontal cylinders, cubes and QuickTime VR 1.x
// panoramas bring their hot spots along on add, and compose them back in the node's own layout.
#include <gtest/gtest.h>

#include "compose/composer.h"
#include "compose/tour_import.h"
#include "compose/working_copies.h"
#include "compose_test_scene.h"
#include "media/movie_hot_spots.h"
#include "media/node_import.h"
#include "project/scene_defaults.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"
#include "quicktime/vr/panorama_image.h"
#include "support/panorama_writer.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

NodeImportHooks keepingHotSpots()
{
    NodeImportHooks hooks;
    hooks.keepMovieHotSpots = true;
    return hooks;
}

// An 8-bit picture of IDs: a rectangle of 40 and a ring of 77 that both cross tile borders.
OffscreenPicture idPicture(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Indexed8, makeRect(0, 0, height, width));
    p.fill(0);
    for (int v = height / 8; v < height / 2; ++v)
        for (int h = width / 8; h < width * 5 / 8; ++h)
            p.row8(v)[h] = 40;
    for (int v = height / 2 + 1; v < height - 1; ++v)
        for (int h = width / 2; h < width - 2; ++h)
            if (v < height / 2 + 3 || v > height - 4 || h < width / 2 + 2 || h > width - 5)
                p.row8(v)[h] = 77;
    return p;
}

OffscreenPicture solidImage(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width));
    p.fill(0xFF446688);
    return p;
}

// The region a hot spot record stands for.
Region regionOf(const HotSpot& h)
{
    Region r = Region::fromRect(h.bounds);
    if (h.shape == HotSpotShape::kRegion)
        readRegion(h.regionData, r);
    return r;
}

std::map<int, Region> regionsById(const std::vector<HotSpot>& hotSpots)
{
    std::map<int, Region> out;
    for (const HotSpot& h : hotSpots)
        out[h.id] = regionOf(h);
    return out;
}

// The hot spot picture of a movie's panorama, unrolled in its own layout.
OffscreenPicture unrolledHotSpots(const std::filesystem::path& file, PanoramaLayout& layout)
{
    std::unique_ptr<Movie> movie;
    EXPECT_EQ(Movie::open(file, MovieOpenMode::read, movie), 0);
    PanoramaUnrollOptions options;
    options.image = false;
    options.hotSpots = true;
    UnrolledPanorama unrolled;
    EXPECT_EQ(UnrollPanorama(*movie, 0, options, unrolled), 0);
    layout = unrolled.layout;
    return std::move(unrolled.hotSpots);
}

bool samePixels(const OffscreenPicture& a, const OffscreenPicture& b)
{
    if (a.bounds() != b.bounds())
        return false;
    for (int v = 0; v < a.height(); ++v)
        if (!std::equal(a.row8(v), a.row8(v) + a.width(), b.row8(v)))
            return false;
    return true;
}

struct LayoutCase {
    const char* name;
    int width, height;
    TestPanoramaOptions options;
    PanoramaLayout layout;
};

} // namespace

TEST(LayoutHotSpots, CubesAndHorizontalCylindersKeepTheirHotSpotsThroughAddAndCompose)
{
    TestPanoramaOptions hcyl;
    hcyl.horizontal = true;
    hcyl.framesX = 2;
    hcyl.framesY = 2;
    TestPanoramaOptions cube;
    cube.cubeTilesPerSide = 2;
    const LayoutCase cases[] = {
        {"hcyl", 128, 96, hcyl, PanoramaLayout::HorizontalCylinder},
        {"cube", 6 * 32, 32, cube, PanoramaLayout::Cube},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const OffscreenPicture ids = idPicture(c.width, c.height);
        const auto source = dir / (std::string(c.name) + ".mov");
        ASSERT_EQ(writeTestPanorama(source, solidImage(c.width, c.height), &ids, c.options), 0);

        // Add: each ID's pixels exactly, in the layout's own image coordinates.
        Scene scene = baseScene();
        std::int16_t nodeId = 0;
        ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, source, false, keepingHotSpots(), &nodeId), 0);
        Node& node = *findNode(scene, nodeId);
        const auto traced = traceIndexedPicture(ids);
        ASSERT_EQ(node.hotSpots.size(), 2u);
        EXPECT_EQ(regionsById(node.hotSpots), traced);
        for (HotSpot& h : node.hotSpots) {
            h.name = "spot " + std::to_string(h.id);
            h.type = HotSpotType::kUrl;
            h.url = "http://example.org/" + std::to_string(h.id);
        }

        TestMedia media;
        media.files[nodeId] = source;
        WorkingCopies copies;
        NullProgress progress;
        ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);
        const auto composed = scene.composedMovieFile;

        // The composed hot spot track is the original picture in the same layout, pixel for pixel.
        PanoramaLayout layout = PanoramaLayout::VerticalCylinder;
        const OffscreenPicture back = unrolledHotSpots(composed, layout);
        EXPECT_EQ(layout, c.layout);
        EXPECT_TRUE(samePixels(back, ids));

        // Reading the composed movie gives the same records: IDs, shapes, names and URLs.
        std::vector<HotSpot> read;
        ASSERT_EQ(readMovieHotSpots(composed, read), 0);
        EXPECT_EQ(regionsById(read), traced);
        ASSERT_EQ(read.size(), 2u);
        for (const HotSpot& h : read) {
            EXPECT_EQ(h.name, "spot " + std::to_string(h.id));
            EXPECT_EQ(h.url, "http://example.org/" + std::to_string(h.id));
        }
        discardAllWorkingCopies(scene, copies);
        disposeScene(scene);
    }
}

TEST(LayoutHotSpots, ASmallerCubeHotSpotTrackMapsOntoTheFacesAtImageResolution)
{
    TempDir dir;
    TestPanoramaOptions cube;
    cube.cubeTilesPerSide = 1;
    // Faces of 32 pixels, hot spot faces of 16: an ID on the right face's top-left quarter.
    OffscreenPicture ids;
    ASSERT_EQ(ids.allocate(PixelDepth::Indexed8, makeRect(0, 0, 16, 96)), 0);
    ids.fill(0);
    for (int v = 0; v < 8; ++v)
        for (int h = 16; h < 24; ++h)
            ids.row8(v)[h] = 9;
    const auto file = dir / "cube.mov";
    ASSERT_EQ(writeTestPanorama(file, solidImage(192, 32), &ids, cube), 0);
    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(file, read), 0);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].shape, HotSpotShape::kRectangle);
    EXPECT_EQ(read[0].bounds, makeRect(0, 32, 16, 48));
}

TEST(LayoutHotSpots, Vr1PanoramaHotSpotsComeWithTheirTablesAndComposeAsTwoPointX)
{
    TempDir dir;
    Panorama1xFixture f;
    // The unrolled panorama is 128 wide (stored height) and 48 tall (stored width).
    f.hotSpotImage = idPicture(128, 48);
    f.nodeName = "Hall";
    Panorama1xFixture::HotSpotEntry door;
    door.id = 40;
    door.type = fourCC("link");
    door.name = "Door";
    door.toNodeId = 7;
    door.toPan = 90 << 16;
    door.toTilt = -(5 << 16);
    door.toZoom = 0;
    Panorama1xFixture::HotSpotEntry lamp;
    lamp.id = 77;
    lamp.type = fourCC("navg");
    lamp.name = "Lamp";
    lamp.mouseOverCursor = 131;
    Panorama1xFixture::HotSpotEntry far = door;
    far.id = 90; // described, but no pixel has it
    far.toNodeId = 8;
    f.hotSpots = {door, lamp, far};
    const auto source = dir / "vr1.mov";
    ASSERT_EQ(writePanorama1x(source, f), 0);

    Scene scene = baseScene();
    std::int16_t nodeId = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, source, false, keepingHotSpots(), &nodeId), 0);
    Node& node = *findNode(scene, nodeId);
    ASSERT_EQ(node.vrVersion, 0x100u);
    const auto traced = traceIndexedPicture(*f.hotSpotImage);
    ASSERT_EQ(node.hotSpots.size(), 2u);
    EXPECT_EQ(regionsById(node.hotSpots), traced);
    const HotSpot& link = node.hotSpots[0];
    EXPECT_EQ(link.id, 40);
    EXPECT_EQ(link.type, HotSpotType::kLink);
    EXPECT_EQ(link.name, "Door");
    EXPECT_EQ(link.destinationNodeId, 7); // found by its 'pLnk' ID, not its place
    EXPECT_TRUE(link.customLinkView);
    EXPECT_EQ(link.linkView, (LinkView{true, true, false, false, 90.0f, -5.0f, 0.0f, {}}));
    const HotSpot& nav = node.hotSpots[1];
    EXPECT_EQ(nav.type, HotSpotType::kNavigation);
    EXPECT_EQ(nav.name, "Lamp");
    EXPECT_TRUE(nav.customCursors);
    EXPECT_EQ(nav.mouseOverCursor, 131);

    TestMedia media;
    media.files[nodeId] = source;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);
    PanoramaLayout layout = PanoramaLayout::Cube;
    const OffscreenPicture back = unrolledHotSpots(scene.composedMovieFile, layout);
    EXPECT_EQ(layout, PanoramaLayout::VerticalCylinder);
    EXPECT_TRUE(samePixels(back, *f.hotSpotImage));
    // One hot spot track: the 1.x one is not carried along beside the new one.
    std::unique_ptr<Movie> composed;
    ASSERT_EQ(Movie::open(scene.composedMovieFile, MovieOpenMode::read, composed), 0);
    int eightBitTracks = 0;
    for (int i = 1; i <= composed->trackCount(); ++i) {
        const Track* t = composed->track(i);
        MediaSample sample;
        if (t->media() && t->media()->type() == videoMediaType && t->media()->getSample(0, sample) == 0 &&
            sample.description.bytes().size() > 8 && loadBE32(sample.description.bytes().data() + 4) == fourCC("smc "))
            ++eightBitTracks;
    }
    EXPECT_EQ(eightBitTracks, 1);
    composed.reset();
    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(scene.composedMovieFile, read), 0);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(regionsById(read), traced);
    EXPECT_EQ(read[0].name, "Door");
    EXPECT_EQ(read[0].destinationNodeId, 7);
    EXPECT_EQ(read[0].linkView, link.linkView);
    EXPECT_EQ(read[1].mouseOverCursor, 131);
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
}

TEST(LayoutHotSpots, Vr1HotSpotsAtHalfResolutionMapOntoTheUnrolledImage)
{
    TempDir dir;
    Panorama1xFixture f;
    OffscreenPicture half;
    ASSERT_EQ(half.allocate(PixelDepth::Indexed8, makeRect(0, 0, 24, 64)), 0);
    half.fill(0);
    for (int v = 4; v < 10; ++v)
        for (int h = 10; h < 30; ++h)
            half.row8(v)[h] = 12;
    f.hotSpotImage = half;
    const auto source = dir / "vr1half.mov";
    ASSERT_EQ(writePanorama1x(source, f), 0);
    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(source, read), 0);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].type, HotSpotType::kUndefined);
    EXPECT_EQ(read[0].bounds, makeRect(8, 20, 20, 60));
}

TEST(LayoutHotSpots, RealCubicPanoramaTakesNewHotSpotsOnItsFaces)
{
    const auto cuty = samplesDir() / "cuty_CuTy.mov";
    QM_REQUIRE_SAMPLE(cuty);
    TempDir dir;
    Scene scene = baseScene();
    std::int16_t nodeId = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, cuty, false, keepingHotSpots(), &nodeId), 0);
    Node& node = *findNode(scene, nodeId);
    EXPECT_TRUE(node.hotSpots.empty());
    // Faces of 3 x 170 pixels: a rectangle on the front face, an oval across left and top.
    HotSpot front;
    front.id = 3;
    front.type = HotSpotType::kUrl;
    front.url = "http://example.org/front";
    front.shape = HotSpotShape::kRectangle;
    front.bounds = makeRect(100, 120, 200, 300);
    HotSpot seam = front;
    seam.id = 4;
    seam.shape = HotSpotShape::kOval;
    seam.bounds = makeRect(200, 3 * 510 + 400, 400, 4 * 510 + 100);
    node.hotSpots = {front, seam};

    TestMedia media;
    media.files[nodeId] = cuty;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);
    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(scene.composedMovieFile, read), 0);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].bounds, front.bounds);
    EXPECT_EQ(read[0].url, front.url);
    EXPECT_EQ(read[1].bounds, seam.bounds);
    EXPECT_EQ(regionOf(read[1]), ovalRegion(seam.bounds));
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
}

TEST(LayoutHotSpots, ATourOfACubeAndAHorizontalCylinderImportsWithTheirHotSpots)
{
    const auto cuty = samplesDir() / "cuty_CuTy.mov";
    QM_REQUIRE_SAMPLE(cuty);
    TempDir dir;
    TestPanoramaOptions hcyl;
    hcyl.horizontal = true;
    hcyl.framesX = 2;
    hcyl.framesY = 2;
    const OffscreenPicture ids = idPicture(128, 96);
    const auto cylinder = dir / "hcyl.mov";
    ASSERT_EQ(writeTestPanorama(cylinder, solidImage(128, 96), &ids, hcyl), 0);

    Scene scene = baseScene();
    std::int16_t cubeId = 0, cylinderId = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, cuty, false, keepingHotSpots(), &cubeId), 0);
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 300}, cylinder, false, keepingHotSpots(), &cylinderId), 0);
    HotSpot door;
    door.id = 12;
    door.type = HotSpotType::kLink;
    door.destinationNodeId = cylinderId;
    door.shape = HotSpotShape::kOval;
    door.bounds = makeRect(30, 2 * 510 + 40, 300, 2 * 510 + 200); // on the back face
    findNode(scene, cubeId)->hotSpots = {door};
    for (HotSpot& h : findNode(scene, cylinderId)->hotSpots)
        h.type = HotSpotType::kMisc;
    TestMedia media;
    media.files[cubeId] = cuty;
    media.files[cylinderId] = cylinder;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);
    const auto tour = dir / "tour.mov";
    std::filesystem::copy_file(scene.composedMovieFile, tour);

    Scene back;
    ASSERT_EQ(importTour(tour, dir / "back.qmp", {}, progress, back), 0);
    ASSERT_EQ(back.nodes.size(), 2u);
    const Node& cube = *findNode(back, cubeId);
    ASSERT_EQ(cube.hotSpots.size(), 1u);
    EXPECT_EQ(cube.hotSpots[0].bounds, door.bounds);
    EXPECT_EQ(regionOf(cube.hotSpots[0]), ovalRegion(door.bounds));
    EXPECT_EQ(cube.hotSpots[0].destinationNodeId, cylinderId);
    const Node& cyl = *findNode(back, cylinderId);
    EXPECT_EQ(regionsById(cyl.hotSpots), traceIndexedPicture(ids));
    for (const HotSpot& h : cyl.hotSpots)
        EXPECT_EQ(h.type, HotSpotType::kMisc);
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
    disposeScene(back);
}
