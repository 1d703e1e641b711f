// Old tours opened as scenes: a composed five-node tour imported and composed again gives the
// same movie; damaged tours are refused with nothing left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "compose/automatic_hot_spots.h"
#include "compose/compose_environment.h"
#include "compose/composer.h"
#include "compose/scene_map_edit.h"
#include "compose/tour_import.h"
#include "compose/tour_layout.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copies.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "media/node_import.h"
#include "project/project_reader.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

const std::filesystem::path kWyk = samplesDir() / "wyk_pano_8.mov";
const std::filesystem::path kOsu = samplesDir() / "osu_facilities-panorama-sm.mov";

class CancellingProgress : public Progress {
public:
    int cancelAt = -1;
protected:
    void poll() override
    {
        if (cancelAt >= 0 && current() >= cancelAt)
            cancel();
    }
};

HotSpot urlHotSpot(std::int16_t id, std::int16_t shape, Rect bounds, const char* url)
{
    HotSpot h;
    h.id = id;
    h.shape = shape;
    h.type = HotSpotType::kUrl;
    h.bounds = bounds;
    h.url = url;
    h.name = "Web " + std::to_string(id);
    return h;
}

// Five nodes of every kind, links both ways with a custom link view, URL hot spots, a hot spot
// across a panorama's seam; composed once into dir/tour.mov.
struct TourFixture {
    TempDir dir;
    std::filesystem::path tour = dir / "tour.mov";

    void build()
    {
        Scene s = baseScene();
        s.name = "Campus";
        TestMedia media;
        s.nodes.push_back(panoramaNodeFor(1, kWyk, "Path", {100, 100}));
        s.nodes.push_back(panoramaNodeFor(2, kOsu, "Facilities", {100, 400}));
        s.nodes.back().comment = "The main building";
        media.files[1] = kWyk;
        media.files[2] = kOsu;
        // Smaller than the playback size, so its node movie must keep its own frame size.
        Node object = objectNode(3, 240, 180, "Statue", {300, 100});
        Node maker = object;
        ASSERT_EQ(convertStillImage(testPicture(240, 180, 3), maker, dir / "object.mov"), 0);
        media.files[3] = dir / "object.mov";
        s.nodes.push_back(object);
        s.nodes.push_back(stillNode(4, 320, 240, "Plan", {300, 400}));
        s.nodes.back().initial = true;
        writeTestStill(dir / "still.img", 320, 240, 4);
        media.files[4] = dir / "still.img";
        s.nodes.push_back(movieNode(5, 160, 120, "Walk", {500, 250}));
        writeTestLinearMovie(dir / "walk.mov", 160, 120, 3);
        media.files[5] = dir / "walk.mov";

        ASSERT_EQ(createLink(s, 1, 2, {}), 0);
        ASSERT_EQ(createLink(s, 2, 1, {}), 0);
        ASSERT_EQ(createLink(s, 4, 1, {}), 0);
        ASSERT_EQ(createLink(s, 3, 5, {}), 0);
        HotSpot& back = s.nodes[1].hotSpots.back(); // 2 -> 1 with its own views
        back.customLinkView = true;
        back.linkView = LinkView{true, true, false, false, 90.0f, -5.0f, 0, {}};
        back.secondView = LinkView{true, false, false, false, 10.0f, 0, 0, {}};
        const int width = s.nodes[0].displayBounds.height();
        s.nodes[0].hotSpots.push_back(urlHotSpot(201, HotSpotShape::kRectangle,
                                                 Rect{100, std::int16_t(width - 40), 200, std::int16_t(width + 40)},
                                                 "http://example.org/seam"));
        s.nodes[2].hotSpots.push_back(urlHotSpot(7, HotSpotShape::kOval, Rect{20, 30, 120, 200}, "http://example.org/s"));

        WorkingCopies copies;
        NullProgress progress;
        ASSERT_EQ(composeScene(s, copies, media.environment(dir.path()), progress), 0);
        std::filesystem::copy_file(s.composedMovieFile, tour);
        discardAllWorkingCopies(s, copies);
        disposeScene(s);
    }

    OSErr import(const std::filesystem::path& from, const std::string& project, Scene& out, std::string* detail = nullptr,
                 Progress* progress = nullptr)
    {
        NullProgress none;
        return importTour(from, dir / project, {}, progress ? *progress : none, out, detail);
    }
};

// The node information with every hot spot rectangle cleared: a hot spot across the seam comes
// back as one region touching both ends, whose extent differs though its pixels do not.
Bytes withoutHotSpotRects(AtomContainer c)
{
    const AtomRef parent = c.findChild(AtomContainer::kRoot, vrAtom::kHotSpotParent);
    for (int i = 1; parent && i <= c.countChildren(parent, vrAtom::kHotSpot); ++i) {
        const AtomRef hsin = c.findChild(c.findChild(parent, vrAtom::kHotSpot, i), vrAtom::kHotSpotInfo);
        Bytes d(c.data(hsin).begin(), c.data(hsin).end());
        std::fill(d.begin() + 48, d.begin() + 56, 0);
        c.setData(hsin, d);
    }
    return c.serialize();
}

struct ShownBytes {
    TimeValue time = 0, duration = 0;
    Bytes data;
    Bytes description;
    std::string indices; // hot spot samples: the decoded pixels
};

std::vector<ShownBytes> samplesOf(const Track& track, bool decode)
{
    std::vector<ShownBytes> out;
    for (const ShownSample& s : shownSamples(track)) {
        MediaSample m;
        EXPECT_EQ(track.media()->getSample(s.mediaTime, m), 0);
        ShownBytes b{s.trackTime, s.trackDuration, m.data, m.description.bytes(), {}};
        if (decode) {
            ImageDescription d;
            OffscreenPicture p;
            EXPECT_EQ(ImageDescription::parse(m.description.bytes(), d), 0);
            EXPECT_EQ(decompressImage(d, m.data, PixelDepth::Indexed8, p), 0);
            for (int v = 0; v < p.height(); ++v)
                b.indices.append(reinterpret_cast<const char*>(p.row8(v)), std::size_t(p.width()));
            b.data.clear();
            b.description.clear();
        }
        out.push_back(std::move(b));
    }
    return out;
}

bool isHotSpotTrack(const Movie& movie, const Track& track)
{
    for (int i = 1; i <= movie.trackCount(); ++i)
        for (int k = 1; k <= movie.track(i)->referenceCount(vrAtom::kHotSpotTrackRef); ++k)
            if (movie.track(i)->reference(vrAtom::kHotSpotTrackRef, k) == &track)
                return true;
    return false;
}

// Field by field: the world, every node's information (headers, names, comments, hot spot and
// link atoms), panorama and object samples, image tiles byte for byte and hot spot pixels.
void expectEquivalent(const std::filesystem::path& aPath, const std::filesystem::path& bPath)
{
    std::unique_ptr<Movie> a, b;
    ASSERT_EQ(Movie::open(aPath, MovieOpenMode::read, a), 0);
    ASSERT_EQ(Movie::open(bPath, MovieOpenMode::read, b), 0);
    ASSERT_EQ(a->trackCount(), b->trackCount());
    for (int i = 1; i <= a->trackCount(); ++i) {
        const Track& ta = *a->track(i);
        const Track& tb = *b->track(i);
        ASSERT_EQ(ta.media()->type(), tb.media()->type()) << "track " << i;
        EXPECT_EQ(ta.references(), tb.references()) << "track " << i;
        const OSType type = ta.media()->type();
        if (type == vrNodeType::kQtvr) {
            SampleDescription da, db;
            ASSERT_EQ(ta.media()->sampleDescription(1, da), 0);
            ASSERT_EQ(tb.media()->sampleDescription(1, db), 0);
            EXPECT_EQ(da.bytes(), db.bytes()) << "VR world";
        }
        const bool hot = type == videoMediaType && isHotSpotTrack(*a, ta);
        const auto sa = samplesOf(ta, hot);
        const auto sb = samplesOf(tb, hot);
        ASSERT_EQ(sa.size(), sb.size()) << "track " << i;
        for (std::size_t k = 0; k < sa.size(); ++k) {
            EXPECT_EQ(sa[k].time, sb[k].time) << "track " << i << " sample " << k;
            EXPECT_EQ(sa[k].duration, sb[k].duration) << "track " << i << " sample " << k;
            EXPECT_EQ(sa[k].indices, sb[k].indices) << "hot spot pixels, track " << i << " sample " << k;
            EXPECT_EQ(sa[k].description, sb[k].description) << "track " << i << " sample " << k;
            if (type == vrNodeType::kQtvr) {
                AtomContainer ca, cb;
                ASSERT_EQ(AtomContainer::parse(sa[k].data, ca), 0);
                ASSERT_EQ(AtomContainer::parse(sb[k].data, cb), 0);
                EXPECT_EQ(withoutHotSpotRects(ca), withoutHotSpotRects(cb)) << "node information " << k;
            } else {
                EXPECT_TRUE(sa[k].data == sb[k].data) << "track " << i << " sample " << k;
            }
        }
    }
}

bool leftNothing(const TempDir& dir, const std::string& project)
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir.path(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(std::filesystem::path(project).stem().string(), 0) == 0)
            return false;
    }
    return true;
}

// Writes a changed copy of the tour: edit runs on the tour opened in memory.
template <class Edit>
std::filesystem::path damagedCopy(const TourFixture& t, const std::string& name, Edit edit)
{
    std::ifstream in(t.tour, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<Movie> movie;
    EXPECT_EQ(Movie::openMemory(bytes, movie), 0);
    edit(*movie);
    const auto out = t.dir / name;
    EXPECT_EQ(movie->flatten(out), 0);
    return out;
}

} // namespace

TEST(TourImport, FiveNodeTourComposesBackToAnEquivalentMovie)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    Scene scene;
    std::string detail;
    ASSERT_EQ(t.import(t.tour, "campus.qmp", scene, &detail), 0) << detail;

    EXPECT_EQ(scene.name, "Campus");
    std::vector<std::int16_t> ids;
    for (const Node& n : scene.nodes)
        ids.push_back(n.id);
    EXPECT_EQ(ids, (std::vector<std::int16_t>{4, 1, 2, 3, 5}));
    EXPECT_TRUE(scene.nodes[0].initial);
    EXPECT_EQ(scene.nodes[2].name, "Facilities");
    EXPECT_EQ(scene.nodes[2].comment, "The main building");
    EXPECT_EQ(scene.nodes[1].kind, NodeKind::kPanorama);
    EXPECT_EQ(scene.nodes[0].kind, NodeKind::kObject);
    for (const Node& n : scene.nodes)
        EXPECT_TRUE(std::filesystem::exists(t.dir / "campus Nodes" / tourNodeFileName(std::uint32_t(n.id))));
    const Node& facilities = scene.nodes[2];
    const auto custom = std::find_if(facilities.hotSpots.begin(), facilities.hotSpots.end(),
                                     [](const HotSpot& h) { return h.destinationNodeId == 1; });
    ASSERT_NE(custom, facilities.hotSpots.end());
    EXPECT_TRUE(custom->customLinkView);
    EXPECT_EQ(custom->linkView, (LinkView{true, true, false, false, 90.0f, -5.0f, 0, {}}));
    // A plain link (the destination's default view) comes back plain.
    const Node& path = scene.nodes[1];
    for (const HotSpot& h : path.hotSpots) {
        if (h.type == HotSpotType::kLink) {
            EXPECT_FALSE(h.customLinkView);
        }
    }

    // The project on disk is the scene, and composing it gives the tour again.
    Scene reopened;
    ASSERT_EQ(openProject(t.dir / "campus.qmp", reopened), 0);
    ComposeEnvironment env = standardComposeEnvironment();
    env.scratchFolder = t.dir.path();
    env.deterministic = true;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(reopened, copies, env, progress), 0);
    expectEquivalent(t.tour, reopened.composedMovieFile);
    discardAllWorkingCopies(reopened, copies);
    disposeScene(reopened);
}

TEST(TourImport, LinksPointWhereTheirHotSpotsLookAndNodesKeepTheirDistance)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    Scene scene;
    ASSERT_EQ(t.import(t.tour, "map.qmp", scene), 0);
    for (const Node& n : scene.nodes) {
        for (const Node& m : scene.nodes)
            if (&n != &m) {
                EXPECT_FALSE(std::abs(n.mapPosition.h - m.mapPosition.h) < kNodeSeparation &&
                             std::abs(n.mapPosition.v - m.mapPosition.v) < kNodeSeparation)
                    << n.id << " and " << m.id << " overlap";
            }
        for (const HotSpot& h : n.hotSpots) {
            const Node* dest = findNode(scene, h.destinationNodeId);
            if (h.type != HotSpotType::kLink || !dest || n.kind != NodeKind::kPanorama)
                continue;
            const auto looks = hotSpotBearing(scene, n, h);
            ASSERT_TRUE(looks);
            float diff = std::fabs(mapBearing(n.mapPosition, dest->mapPosition) - *looks);
            diff = std::min(diff, 360.0f - diff);
            EXPECT_LT(diff, 25.0f) << "link " << n.id << " -> " << dest->id;
        }
    }
    const std::int32_t wb = scene.mapWidth * 72 / scene.scaleFactor;
    const std::int32_t hb = scene.mapHeight * 72 / scene.scaleFactor;
    for (const Node& n : scene.nodes) {
        EXPECT_GT(n.mapPosition.h, 0);
        EXPECT_LT(n.mapPosition.h, wb);
        EXPECT_GT(n.mapPosition.v, 0);
        EXPECT_LT(n.mapPosition.v, hb);
    }
}

TEST(TourImport, AddStillRefusesTheTourAndANodeMovieKeepsLinksToNodesItLacks)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    Scene scene = baseScene();
    EXPECT_EQ(AddNodeFromFile(scene, Point{72, 72}, t.tour, true), err::multiNodeMovie);
    EXPECT_TRUE(scene.nodes.empty());

    Scene imported;
    ASSERT_EQ(t.import(t.tour, "nodes.qmp", imported), 0);
    // Node 2 alone: its link leads to node 1, which this scene lacks.
    NodeImportHooks hooks;
    hooks.keepMovieHotSpots = true;
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, t.dir / "nodes Nodes" / tourNodeFileName(2), true, hooks, &id), 0);
    const Node& node = *findNode(scene, id);
    ASSERT_FALSE(node.hotSpots.empty());
    EXPECT_TRUE(std::any_of(node.hotSpots.begin(), node.hotSpots.end(),
                            [](const HotSpot& h) { return h.type == HotSpotType::kLink && h.destinationNodeId == 1; }));
    layoutTourMap(scene);
    TestMedia media;
    media.files[id] = t.dir / "nodes Nodes" / tourNodeFileName(2);
    WorkingCopies copies;
    NullProgress progress;
    EXPECT_EQ(composeScene(scene, copies, media.environment(t.dir.path()), progress), 0);
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
}

TEST(TourImport, DamagedToursAreRefusedAndLeaveNothingBehind)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    Scene scene;
    std::string detail;

    // Cut short: the movie atom comes first, so the samples are what is missing.
    std::unique_ptr<Movie> whole;
    ASSERT_EQ(Movie::open(t.tour, MovieOpenMode::read, whole), 0);
    ASSERT_EQ(whole->flatten(t.dir / "fast.mov"), 0);
    whole.reset();
    const auto size = std::filesystem::file_size(t.dir / "fast.mov");
    std::filesystem::copy_file(t.dir / "fast.mov", t.dir / "cut.mov");
    std::filesystem::resize_file(t.dir / "cut.mov", size * 2 / 3);
    EXPECT_NE(t.import(t.dir / "cut.mov", "p_cut.qmp", scene, &detail), 0);
    EXPECT_TRUE(leftNothing(t.dir, "p_cut.qmp"));
    std::filesystem::copy_file(t.dir / "fast.mov", t.dir / "head.mov");
    std::filesystem::resize_file(t.dir / "head.mov", 600);
    EXPECT_NE(t.import(t.dir / "head.mov", "p_head.qmp", scene, &detail), 0);
    EXPECT_TRUE(leftNothing(t.dir, "p_head.qmp"));

    // Node 2's information sample gone (an empty stretch in its place).
    const auto missing = damagedCopy(t, "missing.mov", [](Movie& m) {
        Track* qtvr = m.track(1);
        const auto shown = shownSamples(*qtvr);
        ASSERT_EQ(shown.size(), 5u);
        ASSERT_EQ(qtvr->deleteSegment(shown[2].trackTime, shown[2].trackDuration), 0);
        ASSERT_EQ(qtvr->insertEmptySegment(shown[2].trackTime, shown[2].trackDuration), 0);
    });
    detail.clear();
    EXPECT_EQ(t.import(missing, "p_missing.qmp", scene, &detail), err::invalidMovie);
    EXPECT_NE(detail.find("node 2"), std::string::npos) << detail;
    EXPECT_TRUE(leftNothing(t.dir, "p_missing.qmp"));

    // The panorama hot spot track one tile short of the image track.
    const auto shortHot = damagedCopy(t, "short.mov", [](Movie& m) {
        Track* pano = m.track(2);
        ASSERT_EQ(pano->media()->type(), vrNodeType::kPanorama);
        Track* hot = pano->reference(vrAtom::kHotSpotTrackRef, pano->referenceCount(vrAtom::kHotSpotTrackRef));
        ASSERT_TRUE(hot);
        const auto shown = shownSamples(*hot);
        ASSERT_EQ(hot->deleteSegment(shown.back().trackTime, shown.back().trackDuration), 0);
    });
    detail.clear();
    EXPECT_EQ(t.import(shortHot, "p_short.qmp", scene, &detail), err::invalidMovie);
    EXPECT_NE(detail.find("hot spot track is shorter"), std::string::npos) << detail;
    EXPECT_TRUE(leftNothing(t.dir, "p_short.qmp"));

    // A project in a folder that does not exist: said, naming the folder, before the tour is read.
    detail.clear();
    EXPECT_EQ(t.import(t.tour, "none/p.qmp", scene, &detail), err::fnfErr);
    EXPECT_NE(detail.find((t.dir / "none").string() + " does not exist"), std::string::npos) << detail;
    EXPECT_FALSE(std::filesystem::exists(t.dir / "none"));

    // A project of that name is never overwritten.
    std::ofstream(t.dir / "taken.qmp") << "mine";
    EXPECT_EQ(t.import(t.tour, "taken.qmp", scene), err::dupFNErr);
    EXPECT_FALSE(std::filesystem::exists(t.dir / "taken Nodes"));
    EXPECT_EQ(std::filesystem::file_size(t.dir / "taken.qmp"), 4u);
}

TEST(TourImport, CancelLeavesNothingBehind)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    for (int at : {5, 60}) {
        CancellingProgress progress;
        progress.cancelAt = at;
        Scene scene;
        const std::string name = "cancel" + std::to_string(at) + ".qmp";
        EXPECT_EQ(t.import(t.tour, name, scene, nullptr, &progress), -128);
        EXPECT_TRUE(leftNothing(t.dir, name));
    }
}

TEST(TourImport, NodeFoldersLeftByDeadImportsGoAtTheNextImport)
{
    QM_REQUIRE_SAMPLE(kWyk);
    QM_REQUIRE_SAMPLE(kOsu);
    TourFixture t;
    ASSERT_NO_FATAL_FAILURE(t.build());
    // A process that has ended: its ID names the folders a crash would have left.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string alive = std::to_string(getpid());
    for (const std::string& name : {"old Nodes.importing-" + dead + "-1", "other Nodes.importing-" + dead + "-2",
                                    "running Nodes.importing-" + alive + "-1", std::string("mine Nodes.importing-x-1")}) {
        std::filesystem::create_directory(t.dir / name);
        std::ofstream(t.dir / name / "Node 1.mov") << "half";
    }
    // A link to a folder is never followed.
    std::filesystem::create_directory(t.dir / "keep");
    std::ofstream(t.dir / "keep" / "data") << "precious";
    std::filesystem::create_directory_symlink(t.dir / "keep", t.dir / ("link Nodes.importing-" + dead + "-3"));

    Scene scene;
    ASSERT_EQ(t.import(t.tour, "fresh.qmp", scene), 0);
    EXPECT_FALSE(std::filesystem::exists(t.dir / ("old Nodes.importing-" + dead + "-1")));
    EXPECT_FALSE(std::filesystem::exists(t.dir / ("other Nodes.importing-" + dead + "-2")));
    EXPECT_TRUE(std::filesystem::exists(t.dir / ("running Nodes.importing-" + alive + "-1") / "Node 1.mov"));
    EXPECT_TRUE(std::filesystem::exists(t.dir / "mine Nodes.importing-x-1" / "Node 1.mov"));
    EXPECT_TRUE(std::filesystem::exists(t.dir / "keep" / "data"));
    // The import's own staging folder became the node folder.
    EXPECT_TRUE(std::filesystem::is_directory(t.dir / "fresh Nodes"));
    for (const auto& e : std::filesystem::directory_iterator(t.dir.path()))
        EXPECT_EQ(e.path().filename().string().find("fresh Nodes.importing"), std::string::npos);
    EXPECT_EQ(removeStaleTourImports(t.dir.path()), 0);
}
