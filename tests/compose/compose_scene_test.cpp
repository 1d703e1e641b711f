#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/scene_map_edit.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

const std::filesystem::path kHotSpotPano = samplesDir() / "wyk_pano_8.mov";
const std::filesystem::path kPlainPano = samplesDir() / "osu_facilities-panorama-sm.mov";

class RecordingProgress : public Progress {
public:
    int cancelAt = -1; // cancel when the bar reaches this value
protected:
    void poll() override
    {
        if (cancelAt >= 0 && current() >= cancelAt)
            cancel();
    }
};

struct ComposedScene {
    TempDir dir;
    Scene scene = baseScene();
    TestMedia media;
    WorkingCopies copies;
    RecordingProgress progress;

    OSErr compose() { return composeScene(scene, copies, media.environment(dir.path()), progress); }
};

HotSpot rectHotSpot(std::int16_t id, Rect bounds, OSType type = HotSpotType::kMisc)
{
    HotSpot h;
    h.id = id;
    h.shape = HotSpotShape::kRectangle;
    h.type = type;
    h.bounds = bounds;
    return h;
}

// Five nodes of every kind, links both ways between the panoramas, the still image initial.
void buildFullScene(ComposedScene& c)
{
    Scene& s = c.scene;
    s.nodes.push_back(panoramaNodeFor(1, kHotSpotPano, "Path", {100, 100}));
    s.nodes.push_back(panoramaNodeFor(2, kPlainPano, "Facilities", {100, 400}));
    c.media.files[1] = kHotSpotPano;
    c.media.files[2] = kPlainPano;

    Node object = objectNode(3, 320, 240, "Statue", {300, 100});
    const auto objectFile = c.dir / "object.mov";
    Node maker = object;
    ASSERT_EQ(convertStillImage(testPicture(320, 240, 3), maker, objectFile), 0);
    c.media.files[3] = objectFile;
    s.nodes.push_back(object);

    s.nodes.push_back(stillNode(4, 320, 240, "Plan", {300, 400}));
    s.nodes.back().initial = true;
    writeTestStill(c.dir / "still.img", 320, 240, 4);
    c.media.files[4] = c.dir / "still.img";

    s.nodes.push_back(movieNode(5, 160, 120, "Walk", {500, 250}));
    writeTestLinearMovie(c.dir / "walk.mov", 160, 120, 3);
    c.media.files[5] = c.dir / "walk.mov";

    ASSERT_EQ(createLink(s, 1, 2, {}), 0);
    ASSERT_EQ(createLink(s, 2, 1, {}), 0);
    ASSERT_EQ(createLink(s, 4, 1, {}), 0);
    // A hot spot of the first panorama that crosses its seam.
    const int width = s.nodes[0].displayBounds.height();
    s.nodes[0].hotSpots.push_back(rectHotSpot(200, Rect{100, std::int16_t(width - 40), 200, std::int16_t(width + 40)}));
}

struct NodeSample {
    std::uint32_t nodeId = 0;
    std::string name;
    TimeValue time = 0;
    TimeValue duration = 0;
    AtomContainer info;
};

std::vector<NodeSample> nodeSamples(Movie& movie)
{
    std::vector<NodeSample> out;
    Track* qtvr = movie.track(1);
    for (const ShownSample& s : shownSamples(*qtvr)) {
        MediaSample m;
        EXPECT_EQ(qtvr->media()->getSample(s.mediaTime, m), 0);
        NodeSample n;
        EXPECT_EQ(AtomContainer::parse(m.data, n.info), 0);
        const auto header = NodeHeader::fromBytes(n.info.data(n.info.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader)));
        n.nodeId = header.nodeId;
        if (header.nameAtomId)
            n.name = stringAtomText(n.info.data(n.info.findChildById(AtomContainer::kRoot, vrAtom::kString, header.nameAtomId)));
        n.time = s.trackTime;
        n.duration = s.trackDuration;
        out.push_back(std::move(n));
    }
    return out;
}

AtomContainer vrWorldOf(Movie& movie)
{
    SampleDescription d;
    EXPECT_EQ(movie.track(1)->media()->sampleDescription(1, d), 0);
    AtomContainer world;
    EXPECT_EQ(AtomContainer::parse(d.payload(), world), 0);
    return world;
}

std::vector<std::uint32_t> worldNodeIds(const AtomContainer& world)
{
    std::vector<std::uint32_t> ids;
    const AtomRef parent = world.findChild(AtomContainer::kRoot, vrAtom::kNodeParent);
    for (int i = 1; i <= world.countChildren(parent, vrAtom::kNodeId); ++i)
        ids.push_back(world.id(world.findChild(parent, vrAtom::kNodeId, i)));
    return ids;
}

std::vector<ShownSample> samplesOf(Movie& movie, int track) { return shownSamples(*movie.track(track)); }

std::set<std::string> packetHashes(const ProbeResult& probe, int stream)
{
    std::set<std::string> hashes;
    const std::string prefix = std::to_string(stream) + ",";
    for (const auto& p : probe.packets)
        if (p.rfind(prefix, 0) == 0)
            hashes.insert(p.substr(p.rfind(',') + 1));
    return hashes;
}

} // namespace

TEST(Compose, FullSceneHasSevenTracksOneSamplePerNodeAndPassesFfprobe)
{
    QM_REQUIRE_SAMPLE(kHotSpotPano);
    QM_REQUIRE_SAMPLE(kPlainPano);
    ComposedScene c;
    buildFullScene(c);
    ASSERT_EQ(c.compose(), 0);
    ASSERT_FALSE(c.scene.composedMovieFile.empty());
    EXPECT_NE(c.scene.composedAt, 0u);
    EXPECT_EQ(c.progress.current(), c.progress.maximum());

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(c.scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    ASSERT_EQ(movie->trackCount(), 7);
    const OSType expected[] = {fourCC("qtvr"), fourCC("pano"), fourCC("obje"), fourCC("vide"),
                               fourCC("vide"), fourCC("vide"), fourCC("vide")};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(movie->track(i + 1)->media()->type(), expected[i]) << "track " << i + 1;

    QM_REQUIRE_FFPROBE();
    const ProbeResult probe = probeMovie(c.scene.composedMovieFile);
    EXPECT_EQ(probe.exitStatus, 0);
    EXPECT_EQ(probe.errors, "");
    ASSERT_EQ(probe.streams.size(), 7u);
    EXPECT_NE(probe.streams[3].find("jpeg,392,232,36"), std::string::npos) << probe.streams[3];
    EXPECT_NE(probe.streams[4].find("smc ,"), std::string::npos) << probe.streams[4];
    EXPECT_NE(probe.streams[4].find(",36"), std::string::npos) << probe.streams[4];
}

TEST(Compose, FullSceneNodesFollowTheWorldInComposingOrder)
{
    QM_REQUIRE_SAMPLE(kHotSpotPano);
    QM_REQUIRE_SAMPLE(kPlainPano);
    ComposedScene c;
    buildFullScene(c);
    ASSERT_EQ(c.compose(), 0);
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(c.scene.composedMovieFile, MovieOpenMode::read, movie), 0);

    const std::vector<std::uint32_t> order = {4, 1, 2, 3, 5};
    const AtomContainer world = vrWorldOf(*movie);
    EXPECT_EQ(worldNodeIds(world), order);
    EXPECT_EQ(loadBE32(world.data(world.findChild(AtomContainer::kRoot, vrAtom::kWorldHeader)).data() + 8), 4u);

    const auto nodes = nodeSamples(*movie);
    ASSERT_EQ(nodes.size(), 5u);
    const char* names[] = {"Plan", "Path", "Facilities", "Statue", "Walk"};
    TimeValue expectedStart = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i].nodeId, order[i]);
        EXPECT_EQ(nodes[i].name, names[i]);
        EXPECT_EQ(nodes[i].time, expectedStart) << "nodes lie end to end";
        expectedStart += nodes[i].duration;
    }
    EXPECT_EQ(nodes[0].duration, 3600) << "a still image lasts one second";
    EXPECT_EQ(nodes[1].duration, 43200) << "1 x 12 tiles, one second each";
    EXPECT_EQ(nodes[2].duration, 24 * 3600);
    EXPECT_EQ(nodes[4].duration, 3 * 3600) << "three frames of a second";

    // Panorama samples sit exactly at their nodes' times and name the scene-wide tracks.
    const auto pano = samplesOf(*movie, 2);
    ASSERT_EQ(pano.size(), 2u);
    EXPECT_EQ(pano[0].trackTime, nodes[1].time);
    EXPECT_EQ(pano[0].trackDuration, nodes[1].duration);
    EXPECT_EQ(pano[1].trackTime, nodes[2].time);
    for (const auto& p : pano) {
        MediaSample m;
        ASSERT_EQ(movie->track(2)->media()->getSample(p.mediaTime, m), 0);
        AtomContainer sample;
        ASSERT_EQ(AtomContainer::parse(m.data, sample), 0);
        const auto r = PanoramaSampleRecord::fromBytes(sample.data(sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample)));
        EXPECT_EQ(r.imageRefTrackIndex, 1u);
        EXPECT_EQ(r.hotSpotRefTrackIndex, 1u);
        EXPECT_EQ(movie->track(2)->reference(vrAtom::kImageTrackRef, 1), movie->track(4));
        EXPECT_EQ(movie->track(2)->reference(vrAtom::kHotSpotTrackRef, 1), movie->track(5));
    }
    // Image tiles of a node: end to end, one second each, inside the node's span.
    const auto tiles = samplesOf(*movie, 4);
    ASSERT_EQ(tiles.size(), 36u);
    for (std::size_t k = 0; k < 12; ++k) {
        EXPECT_EQ(tiles[k].trackTime, nodes[1].time + TimeValue(k) * 3600);
        EXPECT_EQ(tiles[k].trackDuration, 3600);
    }
    const auto hotTiles = samplesOf(*movie, 5);
    ASSERT_EQ(hotTiles.size(), 36u);
    EXPECT_EQ(hotTiles[12].trackTime, nodes[2].time);
    EXPECT_EQ(hotTiles.back().trackTime + hotTiles.back().trackDuration, nodes[2].time + nodes[2].duration);

    // Object samples carry the scene-wide reference entries and a centred default view.
    const auto objects = samplesOf(*movie, 3);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].trackTime, nodes[0].time);
    MediaSample m;
    ASSERT_EQ(movie->track(3)->media()->getSample(objects[0].mediaTime, m), 0);
    AtomContainer object;
    ASSERT_EQ(AtomContainer::parse(m.data, object), 0);
    const auto imgt = object.data(object.findChild(AtomContainer::kRoot, vrAtom::kImageTrackRef));
    ASSERT_EQ(imgt.size(), 10u);
    EXPECT_EQ(loadBE32(imgt.data()), vrAtom::kImageTrackRef);
    EXPECT_EQ(loadBE16(imgt.data() + 4), 1);
    EXPECT_EQ(loadBE32(imgt.data() + 6), 1u);
    EXPECT_TRUE(object.findChild(AtomContainer::kRoot, vrAtom::kHotSpotTrackRef));
    const auto obji = ObjectSampleRecord::fromBytes(object.data(object.findChild(AtomContainer::kRoot, vrAtom::kObjectSample)));
    EXPECT_EQ(obji.defaultViewCenterH, 160.0f);
    EXPECT_EQ(obji.defaultViewCenterV, 120.0f);
    EXPECT_EQ(obji.viewDuration, 3600u);

    // Link atoms carry their destinations and views.
    auto linkOf = [&](const NodeSample& n, std::uint32_t hotSpotId) {
        const AtomRef parent = n.info.findChild(AtomContainer::kRoot, vrAtom::kHotSpotParent);
        const AtomRef hots = n.info.findChildById(parent, vrAtom::kHotSpot, hotSpotId);
        const auto d = n.info.data(n.info.findChild(hots, vrAtom::kLink));
        return Bytes(d.begin(), d.end());
    };
    const Bytes fromPlan = linkOf(nodes[0], 1);
    ASSERT_EQ(fromPlan.size(), 72u);
    EXPECT_EQ(loadBE32(fromPlan.data() + 4), 1u);
    EXPECT_EQ(loadBE32(fromPlan.data() + 32), 7u);
    const auto& pathRecord = std::get<PanoramaSampleRecord>(c.scene.nodes[0].mediaData);
    float fov = 0;
    const std::uint32_t fovBits = loadBE32(fromPlan.data() + 44);
    std::memcpy(&fov, &fovBits, 4);
    EXPECT_EQ(fov, pathRecord.defaultFieldOfView);
    EXPECT_EQ(loadBE32(linkOf(nodes[1], 1).data() + 4), 2u);
    EXPECT_EQ(loadBE32(linkOf(nodes[2], 1).data() + 4), 1u);
}

namespace {

// Decodes one video stream of a movie to palette indices with ffmpeg: one frame of width x height
// bytes (the palette after each frame is dropped).
std::vector<Bytes> decodeIndexed(const std::filesystem::path& file, int stream, int width, int height)
{
    std::string raw;
    const int status = runCommand("ffmpeg -v error -i '" + file.string() + "' -map 0:" + std::to_string(stream) +
                                      " -f rawvideo -pix_fmt pal8 - 2>/dev/null",
                                  &raw);
    EXPECT_EQ(status, 0);
    const std::size_t frame = std::size_t(width) * std::size_t(height);
    const std::size_t stride = frame + 1024;
    std::vector<Bytes> frames;
    for (std::size_t at = 0; at + stride <= raw.size(); at += stride)
        frames.emplace_back(raw.begin() + std::ptrdiff_t(at), raw.begin() + std::ptrdiff_t(at + frame));
    EXPECT_EQ(raw.size() % stride, 0u);
    return frames;
}

} // namespace

TEST(Compose, PanoramaHotSpotTilesDecodeToTheNodesIdsAcrossTheSeam)
{
    QM_REQUIRE_SAMPLE(kHotSpotPano);
    QM_REQUIRE_FFPROBE();
    ComposedScene c;
    c.scene.nodes.push_back(panoramaNodeFor(1, kHotSpotPano, "Path", {100, 100}));
    c.media.files[1] = kHotSpotPano;
    Node& n = c.scene.nodes[0];
    const int width = n.displayBounds.height(); // 2784: unrolled width
    ASSERT_EQ(width, 12 * 232);
    n.hotSpots.push_back(rectHotSpot(200, Rect{100, std::int16_t(width - 40), 200, std::int16_t(width + 40)}));
    n.hotSpots.push_back(rectHotSpot(7, Rect{10, 500, 60, 700}));
    HotSpot oval = rectHotSpot(9, Rect{150, 1000, 300, 1300});
    oval.shape = HotSpotShape::kOval;
    n.hotSpots.push_back(oval);
    n.hotSpots.push_back(rectHotSpot(3, Rect{40, 650, 80, 660})); // over hot spot 7: the later one wins
    ASSERT_EQ(c.compose(), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(c.scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    ASSERT_EQ(movie->trackCount(), 4) << "a panorama-only scene has four tracks";

    const auto tiles = decodeIndexed(c.scene.composedMovieFile, 3, 392, 232);
    ASSERT_EQ(tiles.size(), 12u);
    std::set<int> values;
    for (const Bytes& t : tiles)
        values.insert(t.begin(), t.end());
    EXPECT_EQ(values, (std::set<int>{0, 3, 7, 9, 200}));

    // Tile k holds unrolled strip 11 - k turned anticlockwise: unrolled (x, y) is at column y,
    // row 231 - (x - strip left).
    auto unrolled = [&](int x, int y) {
        const int strip = x / 232;
        const Bytes& t = tiles[std::size_t(11 - strip)];
        return int(t[std::size_t(231 - (x - strip * 232)) * 392 + std::size_t(y)]);
    };
    EXPECT_EQ(unrolled(width - 1, 150), 200) << "right end of the seam hot spot";
    EXPECT_EQ(unrolled(0, 150), 200) << "and its wrapped left end";
    EXPECT_EQ(unrolled(39, 150), 200);
    EXPECT_EQ(unrolled(40, 150), 0);
    EXPECT_EQ(unrolled(width - 41, 150), 0);
    EXPECT_EQ(unrolled(600, 30), 7);
    EXPECT_EQ(unrolled(655, 50), 3);
    EXPECT_EQ(unrolled(1150, 225), 9);
    EXPECT_EQ(unrolled(1001, 151), 0) << "outside the oval's curve";

    // Image tiles are the source's compressed tiles, unchanged.
    const ProbeResult composed = probeMovie(c.scene.composedMovieFile);
    const ProbeResult source = probeMovie(kHotSpotPano);
    EXPECT_EQ(packetHashes(composed, 2), packetHashes(source, 2)) << "image tiles copied byte for byte";
}
