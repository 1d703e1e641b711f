// Hot spots that added QuickTime VR movies bring with them: traced from the hot spot track,
// kept through save and reopen, and composed back at the same pixels with the same atoms.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "compose/composer.h"
#include "compose/demo_media.h"
#include "compose/hot_spot_atoms.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copies.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "media/movie_hot_spots.h"
#include "media/node_import.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/region_bytes.h"
#include "support/ffprobe_oracle.h"
#include "support/panorama_writer.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

const std::filesystem::path kWyk = samplesDir() / "wyk_pano_8.mov";

NodeImportHooks keeping(bool keep)
{
    NodeImportHooks hooks;
    hooks.keepMovieHotSpots = keep;
    return hooks;
}

// The first stream of a movie whose codec tag is 'smc ' (the hot spot track), or -1.
int hotSpotStream(const std::filesystem::path& movie)
{
    std::string out;
    runCommand("ffprobe -v error -show_entries stream=index,codec_tag_string -of csv=p=0 '" + movie.string() + "'",
               &out);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (line.find("smc ") != std::string::npos)
            return std::stoi(line);
    return -1;
}

// FFmpeg's own decoding of a stream to palette indices, frame by frame (each raw pal8 frame is
// followed by its 1024-byte palette).
std::vector<std::string> decodePal8(const std::filesystem::path& movie, int stream, int width, int height)
{
    std::string raw;
    runCommand("ffmpeg -v error -i '" + movie.string() + "' -map 0:" + std::to_string(stream) +
                   " -pix_fmt pal8 -f rawvideo - 2>/dev/null",
               &raw);
    const std::size_t frame = std::size_t(width) * std::size_t(height);
    std::vector<std::string> frames;
    for (std::size_t at = 0; at + frame <= raw.size(); at += frame + 1024)
        frames.push_back(raw.substr(at, frame));
    return frames;
}

std::map<int, std::string> urlsById(const std::vector<HotSpot>& hotSpots)
{
    std::map<int, std::string> out;
    for (const HotSpot& h : hotSpots)
        out[h.id] = h.url;
    return out;
}

const std::map<int, std::string> kWykUrls = {
    {159, "http://plato.wyk.edu.hk/~path/new/trail/f01/index.html"},
    {220, "http://plato.wyk.edu.hk/~path/new/trail/f03/index.html"},
    {250, "http://plato.wyk.edu.hk/~path/new/trail/f02/index.html"},
};

} // namespace

TEST(MovieHotSpots, TracingGivesOneExactRegionPerIdAndRectanglesStayRectangles)
{
    OffscreenPicture p;
    ASSERT_EQ(p.allocate(PixelDepth::Indexed8, Rect{0, 0, 20, 30}), 0);
    p.fill(0);
    for (int v = 2; v < 8; ++v) // ID 7: a plain rectangle
        for (int h = 3; h < 12; ++h)
            p.row8(v)[h] = 7;
    for (int v = 10; v < 18; ++v) // ID 9: a ring with a hole, plus a far-away dot
        for (int h = 10; h < 20; ++h)
            if (v < 12 || v > 15 || h < 12 || h > 17)
                p.row8(v)[h] = 9;
    p.row8(0)[29] = 9;

    const auto traced = traceIndexedPicture(p);
    ASSERT_EQ(traced.size(), 2u);
    EXPECT_TRUE(traced.at(7).isRect());
    EXPECT_EQ(traced.at(7).bounds(), (Rect{2, 3, 8, 12}));
    const Region& ring = traced.at(9);
    EXPECT_EQ(ring.area(), 8u * 10u - 4u * 6u + 1u);
    EXPECT_FALSE(ring.contains(14, 13));
    EXPECT_TRUE(ring.contains(29, 0));

    HotSpot rect;
    ASSERT_TRUE(setHotSpotShape(rect, traced.at(7)));
    EXPECT_EQ(rect.shape, HotSpotShape::kRectangle);
    EXPECT_TRUE(rect.regionData.empty());
    HotSpot region;
    ASSERT_TRUE(setHotSpotShape(region, ring));
    EXPECT_EQ(region.shape, HotSpotShape::kRegion);
    EXPECT_EQ(region.bounds, (Rect{0, 10, 18, 30}));
    Region back;
    ASSERT_EQ(readRegion(region.regionData, back), 0);
    EXPECT_EQ(back, ring);
    EXPECT_FALSE(setHotSpotShape(region, Region()));
}

TEST(MovieHotSpots, AnOutlineTooLargeToStoreIsCoarsenedRatherThanReplacedByItsRectangle)
{
    // A 600 x 600 square with a 200 x 200 hole in the middle and 2 x 2 holes every 5 pixels
    // around it: far more than 64 KB of outline.
    OffscreenPicture p;
    ASSERT_EQ(p.allocate(PixelDepth::Indexed8, Rect{0, 0, 600, 600}), 0);
    for (int v = 0; v < 600; ++v)
        for (int h = 0; h < 600; ++h) {
            const bool middle = v >= 200 && v < 400 && h >= 200 && h < 400;
            const bool pore = v % 5 >= 1 && v % 5 < 3 && h % 5 >= 1 && h % 5 < 3;
            p.row8(v)[h] = middle || pore ? 0 : 5;
        }
    const Region traced = traceIndexedPicture(p).at(5);
    Bytes whole;
    ASSERT_EQ(writeRegion(traced, whole), err::rgnTooBigErr);
    EXPECT_EQ(coarsenedRegion(traced, 1), traced);

    HotSpot h;
    ASSERT_TRUE(setHotSpotShape(h, traced));
    ASSERT_EQ(h.shape, HotSpotShape::kRegion);
    EXPECT_LE(h.regionData.size(), 65535u);
    EXPECT_EQ(h.bounds, traced.bounds());
    Region stored;
    ASSERT_EQ(readRegion(h.regionData, stored), 0);
    EXPECT_EQ(stored.intersected(traced), traced); // every pixel still covered
    EXPECT_FALSE(stored.contains(300, 300));        // the large hole stays a hole
    EXPECT_FALSE(stored.contains(201, 398));
    // The coarser cells fill pores (so the outline fits) and nothing beyond them.
    EXPECT_GT(stored.area(), traced.area());
    EXPECT_LE(stored.area(), 600u * 600u - 200u * 200u);

    // Cells not aligned with a hole's edges keep it covered outwards, never inwards.
    const Region eight = coarsenedRegion(traced, 16);
    EXPECT_EQ(eight.intersected(traced), traced);
    EXPECT_EQ(eight.bounds(), traced.bounds());
    EXPECT_TRUE(eight.contains(300, 300) == false && eight.contains(202, 300));
}

TEST(MovieHotSpots, AtomsGiveTypeStringsUrlCursorsAndLinkViewsAsStored)
{
    Scene scene = baseScene();
    Node node = stillNode(1, 100, 100, "N", {72, 72});
    HotSpot link;
    link.id = 12;
    link.type = HotSpotType::kLink;
    link.name = "Door";
    link.comment = "to the hall";
    link.destinationNodeId = 40; // not in the scene
    link.customLinkView = true;
    link.linkView = LinkView{true, false, true, false, 33.5f, 0, 61.0f, {}};
    link.secondView = LinkView{false, true, false, false, 0, -7.25f, 0, {}};
    link.customCursors = true;
    link.mouseOverCursor = 3;
    HotSpot url;
    url.id = 200;
    url.type = HotSpotType::kUrl;
    url.url = "http://example.org/";
    node.hotSpots = {link, url};
    std::optional<AtomContainer> atoms;
    ASSERT_EQ(buildHotSpotAtoms(scene, node, Rect{0, 0, 100, 100}, Rect{0, 0, 100, 100}, atoms), 0);
    AtomContainer info;
    AtomRef parent;
    ASSERT_EQ(info.insertChild(AtomContainer::kRoot, vrAtom::kHotSpotParent, 1, 0, {}, &parent), 0);
    ASSERT_EQ(info.copyChildren(*atoms, AtomContainer::kRoot, parent), 0);

    const auto read = hotSpotsFromNodeInfo(info);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].id, 12);
    EXPECT_EQ(read[0].type, HotSpotType::kLink);
    EXPECT_EQ(read[0].name, "Door");
    EXPECT_EQ(read[0].comment, "to the hall");
    EXPECT_EQ(read[0].destinationNodeId, 40);
    EXPECT_TRUE(read[0].customLinkView);
    EXPECT_EQ(read[0].linkView, (LinkView{true, false, true, false, 33.5f, 0, 61.0f, {}}));
    EXPECT_EQ(read[0].secondView, (LinkView{false, true, false, false, 0, -7.25f, 0, {}}));
    EXPECT_TRUE(read[0].customCursors);
    EXPECT_EQ(read[0].mouseOverCursor, 3);
    EXPECT_EQ(read[0].mouseDownCursor, 0);
    EXPECT_FALSE(read[1].customCursors);
    EXPECT_EQ(read[1].type, HotSpotType::kUrl);
    EXPECT_EQ(read[1].url, "http://example.org/");
    // The atoms the records compose into are the atoms they came from.
    node.hotSpots = read;
    std::optional<AtomContainer> again;
    ASSERT_EQ(buildHotSpotAtoms(scene, node, Rect{0, 0, 100, 100}, Rect{0, 0, 100, 100}, again), 0);
    EXPECT_EQ(again->serialize(), atoms->serialize());
}

TEST(MovieHotSpots, WykPanoramaKeepsItsUrlHotSpotsThroughAddSaveReopenAndCompose)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_FFPROBE();
    TempDir dir;
    Scene scene = makeNewScene();
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, kWyk, true, keeping(true), &id), 0);
    const Node& added = *findNode(scene, id);
    EXPECT_EQ(urlsById(added.hotSpots), kWykUrls);
    for (const HotSpot& h : added.hotSpots) {
        EXPECT_EQ(h.type, HotSpotType::kUrl);
        EXPECT_FALSE(h.autoGenerated);
        EXPECT_TRUE(h.shape == HotSpotShape::kRegion || h.shape == HotSpotShape::kRectangle);
    }

    const auto project = dir / "wyk.qmp";
    ASSERT_EQ(saveProject(scene, project), 0);
    Scene reopened;
    ASSERT_EQ(openProject(project, reopened), 0);
    ASSERT_EQ(reopened.nodes.size(), 1u);
    EXPECT_EQ(reopened.nodes[0].hotSpots, findNode(scene, id)->hotSpots);

    TestMedia media;
    media.files[reopened.nodes[0].id] = kWyk;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(reopened, copies, media.environment(dir.path()), progress), 0);
    const std::filesystem::path composed = reopened.composedMovieFile;

    // Each ID sits at the pixels where the original had it. Tracing is exact here: the hot spot
    // image has the image's size, so no border pixel may differ either.
    const int originalStream = hotSpotStream(kWyk);
    const int composedStream = hotSpotStream(composed);
    ASSERT_GE(originalStream, 0);
    ASSERT_GE(composedStream, 0);
    const auto before = decodePal8(kWyk, originalStream, 392, 232);
    const auto after = decodePal8(composed, composedStream, 392, 232);
    ASSERT_EQ(before.size(), 12u);
    ASSERT_EQ(after.size(), before.size());
    std::map<int, std::size_t> pixels;
    for (std::size_t f = 0; f < before.size(); ++f) {
        EXPECT_EQ(after[f], before[f]) << "hot spot tile " << f;
        for (unsigned char c : before[f])
            if (c)
                ++pixels[c];
    }
    EXPECT_EQ(pixels.size(), 3u);

    // The composed atoms carry the same IDs and URLs.
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(composed, MovieOpenMode::read, movie), 0);
    AtomContainer info;
    ASSERT_EQ(readSampleContainer(*movie->track(1), info), 0);
    EXPECT_EQ(urlsById(hotSpotsFromNodeInfo(info)), kWykUrls);
    discardAllWorkingCopies(reopened, copies);
    disposeScene(reopened);
}

TEST(MovieHotSpots, TheSettingOffImportsNoHotSpotsAndComposesNone)
{
    QM_REQUIRE_SAMPLE(kWyk);
    Scene scene = makeNewScene();
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, kWyk, true, keeping(false), &id), 0);
    EXPECT_TRUE(findNode(scene, id)->hotSpots.empty());
}

TEST(MovieHotSpots, ObjectMovieHotSpotsComeBackPerViewAndShareOneAtomPerId)
{
    TempDir dir;
    // A four-view object whose hot spot 5 shows in two views and 6 only in the second.
    const auto source = dir / "object.mov";
    ASSERT_EQ(demo::writeObjectMovie(source, 64, 48, 4), 0);
    Scene scene = baseScene();
    // The composed tracks take the playback size; hot spot frames map onto it.
    scene.playbackWidth = 64;
    scene.playbackHeight = 48;
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, source, false, keeping(true), &id), 0);
    Node& object = *findNode(scene, id);
    ASSERT_EQ(std::get<ObjectSampleRecord>(object.mediaData).columns, 4u);
    HotSpot a;
    a.id = 5;
    a.type = HotSpotType::kMisc;
    a.name = "Handle";
    a.shape = HotSpotShape::kOval;
    a.bounds = Rect{4, 4, 30, 40};
    HotSpot b = a;
    b.viewColumn = 1;
    b.bounds = Rect{10, 10, 20, 20};
    b.shape = HotSpotShape::kRectangle;
    HotSpot c = b;
    c.id = 6;
    c.name = "Foot";
    c.bounds = Rect{30, 30, 40, 60};
    object.hotSpots = {a, b, c};
    TestMedia media;
    media.files[id] = source;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);

    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(scene.composedMovieFile, read), 0);
    ASSERT_EQ(read.size(), 3u);
    std::map<std::pair<int, int>, HotSpot> where;
    for (const HotSpot& h : read)
        where[{h.id, h.viewColumn}] = h;
    EXPECT_EQ(where.at({5, 0}).bounds, a.bounds);
    EXPECT_EQ(where.at({5, 0}).shape, HotSpotShape::kRegion);
    EXPECT_EQ(where.at({5, 1}).bounds, b.bounds);
    EXPECT_EQ(where.at({5, 1}).shape, HotSpotShape::kRectangle);
    EXPECT_EQ(where.at({5, 1}).name, "Handle");
    EXPECT_EQ(where.at({6, 1}).bounds, c.bounds);
    EXPECT_EQ(where.at({6, 1}).name, "Foot");
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
}

TEST(MovieHotSpots, PixelsWithoutAtomsBecomeUndefinedHotSpotsOfExactlyThosePixels)
{
    TempDir dir;
    OffscreenPicture image;
    ASSERT_EQ(image.allocate(PixelDepth::Argb32, Rect{0, 0, 64, 256}), 0);
    image.fill(0xFF336699);
    OffscreenPicture ids;
    ASSERT_EQ(ids.allocate(PixelDepth::Indexed8, Rect{0, 0, 64, 256}), 0);
    ids.fill(0);
    for (int v = 10; v < 50; ++v) // a triangle across two tiles
        for (int h = 40; h < 40 + (v - 10) * 2; ++h)
            ids.row8(v)[h] = 17;
    for (int v = 0; v < 8; ++v) // a strip along the top; 255 is the painter's own value
        for (int h = 200; h < 256; ++h)
            ids.row8(v)[h] = v < 4 ? 30 : 255;
    const auto file = dir / "pano.mov";
    ASSERT_EQ(writeTestPanorama(file, image, &ids), 0);

    std::vector<HotSpot> read;
    ASSERT_EQ(readMovieHotSpots(file, read), 0);
    ASSERT_EQ(read.size(), 2u);
    const auto traced = traceIndexedPicture(ids);
    for (const HotSpot& h : read) {
        EXPECT_EQ(h.type, HotSpotType::kUndefined);
        Region r = Region::fromRect(h.bounds);
        if (h.shape == HotSpotShape::kRegion) {
            ASSERT_EQ(readRegion(h.regionData, r), 0);
        }
        EXPECT_EQ(r, traced.at(h.id)) << h.id;
    }
    EXPECT_EQ(read[1].shape, HotSpotShape::kRectangle);
    EXPECT_EQ(read[1].bounds, (Rect{0, 200, 4, 256}));
}
