#include <gtest/gtest.h>

#include <fstream>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "media/node_import.h"
#include "support/ffprobe_oracle.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

class CancellingProgress : public Progress {
public:
    int cancelAt = -1;
    int openCount = 0;

protected:
    void opened() override { ++openCount; }
    void poll() override
    {
        if (cancelAt >= 0 && current() >= cancelAt)
            cancel();
    }
};

struct Fixture {
    TempDir dir;
    Scene scene = baseScene();
    TestMedia media;
    WorkingCopies copies;
    CancellingProgress progress;

    ComposeEnvironment env() const { return media.environment(dir.path()); }
    OSErr compose() { return composeScene(scene, copies, env(), progress); }

    void addStill(std::int16_t id, int seed, bool initial = false)
    {
        scene.nodes.push_back(stillNode(id, 320, 240, ("Still " + std::to_string(id)).c_str(), {100, 100}));
        scene.nodes.back().initial = initial;
        const auto file = dir / ("still" + std::to_string(id) + ".img");
        writeTestStill(file, 320, 240, seed);
        media.files[id] = file;
    }
    // An object movie node: a 2.x object movie of one frame with the given record.
    void addObject(std::int16_t id, const ObjectSampleRecord& record)
    {
        Node n = objectNode(id, 320, 240, "Object", {200, 200});
        n.mediaData = record;
        const auto file = dir / ("object" + std::to_string(id) + ".mov");
        Node maker = n;
        ASSERT_EQ(convertStillImage(testPicture(320, 240, id), maker, file), 0);
        scene.nodes.push_back(n);
        media.files[id] = file;
    }
    std::size_t scratchFiles() const
    {
        std::size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            n += e.path().extension() == ".tmp";
        return n;
    }
};

Bytes fileBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(ComposeEdges, ObjectOnlySceneHasFourTracksAndProgressRunsOverItsMaximum)
{
    Fixture f;
    f.addStill(1, 1);
    f.addStill(2, 2, true);
    f.addStill(3, 3);
    ASSERT_EQ(f.compose(), 0);
    EXPECT_EQ(f.progress.maximum(), 310) << "103 units per node and 1";
    EXPECT_EQ(f.progress.current(), 310);
    EXPECT_EQ(f.progress.title(), "Composing Scene...");
    EXPECT_TRUE(f.scene.dirty);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(f.scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    ASSERT_EQ(movie->trackCount(), 4);
    EXPECT_EQ(movie->track(2)->media()->type(), fourCC("obje"));
    EXPECT_TRUE(movie->track(3)->enabled()) << "object image track";
    EXPECT_FALSE(movie->track(4)->enabled()) << "object hot spot track";
    EXPECT_EQ(movie->track(4)->layer(), -1);
    // A still image becomes one Photo-JPEG frame lasting its whole node.
    const auto frames = shownSamples(*movie->track(3));
    ASSERT_EQ(frames.size(), 3u);
    MediaSample m;
    ASSERT_EQ(movie->track(3)->media()->getSample(frames[0].mediaTime, m), 0);
    EXPECT_EQ(m.description.format(), fourCC("jpeg"));
    EXPECT_EQ(frames[0].trackDuration, 3600);

    std::string annotation;
    EXPECT_EQ(movie->userData().getText(fourCC("\xA9nam"), 1, 0, annotation), 0);
    EXPECT_EQ(annotation, std::string("Test scene") + '\0') << "stored with its zero byte";
    EXPECT_EQ(movie->userData().getText(fourCC("\xA9" "cpy"), 1, 0, annotation), 0);
    EXPECT_EQ(annotation, std::string(1, '\0')) << "an empty text is one zero byte";
}

TEST(ComposeEdges, CancelInTheSecondNodeLeavesNoMovie)
{
    Fixture f;
    f.addStill(1, 1);
    f.addStill(2, 2);
    f.scene.composedAt = 99;
    f.progress.cancelAt = 1 + 103 + 50; // inside the second node
    EXPECT_EQ(f.compose(), -128);
    EXPECT_EQ(f.scene.composedAt, 0u);
    EXPECT_TRUE(f.scene.composedMovieFile.empty());
    EXPECT_EQ(f.scratchFiles(), 2u) << "only the two working copies remain";
    EXPECT_TRUE(std::filesystem::exists(f.copies.file(1)));
    EXPECT_TRUE(f.scene.dirty);
}

TEST(ComposeEdges, GenericNodesAreRefusedBeforeAnythingChanges)
{
    Fixture f;
    f.addStill(1, 1);
    Node generic;
    generic.id = 2;
    generic.name = "Nothing";
    f.scene.nodes.push_back(generic);
    f.scene.composedAt = 77;
    f.scene.composedMovieFile = f.dir / "old.mov";
    std::ofstream(f.scene.composedMovieFile) << "old";
    EXPECT_EQ(f.compose(), err::genericNodeInScene);
    EXPECT_EQ(f.scene.composedAt, 77u);
    EXPECT_TRUE(std::filesystem::exists(f.dir / "old.mov"));
    EXPECT_EQ(f.scratchFiles(), 0u);
    EXPECT_EQ(f.progress.openCount, 0);
}

TEST(ComposeEdges, EmptySceneAnswersMinusOneAndLosesItsOldMovie)
{
    Fixture f;
    f.scene.composedAt = 77;
    f.scene.composedMovieFile = f.dir / "old.mov";
    std::ofstream(f.scene.composedMovieFile) << "old";
    EXPECT_EQ(f.compose(), -1);
    EXPECT_EQ(f.scene.composedAt, 0u);
    EXPECT_FALSE(std::filesystem::exists(f.dir / "old.mov"));
    EXPECT_EQ(f.progress.openCount, 0);
}

TEST(ComposeEdges, DeterministicComposeGivesIdenticalBytes)
{
    Fixture f;
    f.addStill(1, 1);
    ObjectSampleRecord record = objectRecordOf(Node{});
    f.addObject(2, record);
    ASSERT_EQ(f.compose(), 0);
    const Bytes first = fileBytes(f.scene.composedMovieFile);
    ASSERT_EQ(f.compose(), 0);
    EXPECT_EQ(fileBytes(f.scene.composedMovieFile), first);
    EXPECT_EQ(f.scene.composedAt, 1u);
    QM_REQUIRE_FFPROBE();
    EXPECT_EQ(probeMovie(f.scene.composedMovieFile).errors, "") << "a hot spot track without hot spots still reads";
}

TEST(ComposeEdges, RecompressionChangesImageFramesButNotAnimatedOnesOrHotSpots)
{
    Fixture plain;
    ObjectSampleRecord still = objectRecordOf(Node{});
    plain.addObject(1, still);
    ObjectSampleRecord animated = still;
    animated.animationSettings = 1;
    plain.addObject(2, animated);
    plain.scene.nodes[0].hotSpots.push_back(HotSpot{.shape = HotSpotShape::kRectangle, .id = 5, .bounds = {10, 10, 50, 50}});
    ASSERT_EQ(plain.compose(), 0);

    auto frameBytes = [](const std::filesystem::path& file, int track) {
        std::unique_ptr<Movie> movie;
        EXPECT_EQ(Movie::open(file, MovieOpenMode::read, movie), 0);
        std::vector<Bytes> out;
        for (const auto& s : shownSamples(*movie->track(track))) {
            MediaSample m;
            EXPECT_EQ(movie->track(track)->media()->getSample(s.mediaTime, m), 0);
            out.push_back(m.data);
        }
        return out;
    };
    const auto before = frameBytes(plain.scene.composedMovieFile, 3);
    const auto hotBefore = frameBytes(plain.scene.composedMovieFile, 4);

    auto& settings = plain.scene.compression[kObjectCompression];
    settings.enabled = true;
    settings.codecType = fourCC("jpeg");
    settings.spatialQuality = 256;
    ASSERT_EQ(plain.compose(), 0);
    const auto after = frameBytes(plain.scene.composedMovieFile, 3);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NE(after[0], before[0]) << "recompressed at another quality";
    EXPECT_EQ(after[1], before[1]) << "an animated object keeps its frames";
    EXPECT_EQ(frameBytes(plain.scene.composedMovieFile, 4), hotBefore) << "hot spot frames are never recompressed";
    QM_REQUIRE_FFPROBE();
    EXPECT_EQ(probeMovie(plain.scene.composedMovieFile).errors, "");
}

TEST(ComposeEdges, QuickTimeVr1MoviesAreConvertedAndComposed)
{
    Fixture f;
    const auto panoFile = f.dir / "pano1x.mov";
    const auto objectFile = f.dir / "object1x.mov";
    ASSERT_EQ(writePanorama1x(panoFile, Panorama1xFixture{}), 0);
    ASSERT_EQ(writeObject1x(objectFile, Object1xFixture{}), 0);
    std::int16_t panoId = 0;
    std::int16_t objectId = 0;
    ASSERT_EQ(AddNodeFromFile(f.scene, {100, 100}, panoFile, false, {}, &panoId), 0);
    ASSERT_EQ(AddNodeFromFile(f.scene, {300, 300}, objectFile, false, {}, &objectId), 0);
    ASSERT_EQ(f.scene.nodes[0].vrVersion, 0x100u);
    ASSERT_EQ(f.scene.nodes[1].vrVersion, 0x100u);
    f.media.files[panoId] = panoFile;
    f.media.files[objectId] = objectFile;
    f.scene.nodes[0].hotSpots.push_back(HotSpot{.shape = HotSpotShape::kRectangle, .id = 4, .bounds = {5, 5, 20, 30}});
    ASSERT_EQ(f.compose(), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(f.scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    ASSERT_EQ(movie->trackCount(), 7);
    EXPECT_EQ(shownSamples(*movie->track(1)).size(), 2u);
    EXPECT_EQ(shownSamples(*movie->track(4)).size(), 4u) << "the four 1.x scene tiles";
    EXPECT_EQ(shownSamples(*movie->track(5)).size(), 4u) << "hot spot tiles drawn for the node";
    EXPECT_EQ(shownSamples(*movie->track(6)).size(), 12u) << "6 x 2 object views";
    QM_REQUIRE_FFPROBE();
    EXPECT_EQ(probeMovie(f.scene.composedMovieFile).errors, "");
}

TEST(ComposeEdges, ObjectWithThreeViewStatesHasHotSpotFramesForTheFirstStateOnly)
{
    Fixture f;
    Object2xFixture object;
    object.record.viewStateCount = 3;
    object.record.viewDuration = 300; // 8 views x 3 states x 300 = the fixture's 7200 units
    object.record.defaultViewCenterH = 20.0f;
    object.record.defaultViewCenterV = 15.0f;
    const auto file = f.dir / "states.mov";
    ASSERT_EQ(writeObject2x(file, object), 0);
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(f.scene, {100, 100}, file, false, {}, &id), 0);
    f.media.files[id] = file;
    Node& node = f.scene.nodes[0];
    node.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kOval, .id = 11, .bounds = {2, 2, 20, 30}});
    node.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kRectangle, .id = 12, .bounds = {5, 5, 25, 35},
                                    .viewColumn = 3, .viewRow = 1});
    ASSERT_EQ(f.compose(), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(f.scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    const auto info = shownSamples(*movie->track(1));
    ASSERT_EQ(info.size(), 1u);
    const TimeValue span = info[0].trackDuration;
    EXPECT_EQ(span, 7200);
    EXPECT_EQ(shownSamples(*movie->track(3)).size(), 24u) << "every frame of every state";
    const auto hot = shownSamples(*movie->track(4));
    ASSERT_EQ(hot.size(), 8u) << "one hot spot frame per view of the first state";
    EXPECT_EQ(hot.back().trackTime + hot.back().trackDuration, span / 3);

    // The stored default view centre is kept; each view's hot spots are in its own frame.
    MediaSample m;
    ASSERT_EQ(movie->track(2)->media()->getSample(shownSamples(*movie->track(2))[0].mediaTime, m), 0);
    AtomContainer sample;
    ASSERT_EQ(AtomContainer::parse(m.data, sample), 0);
    const auto record = ObjectSampleRecord::fromBytes(sample.data(sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample)));
    EXPECT_EQ(record.defaultViewCenterH, 20.0f);
    EXPECT_EQ(record.viewDuration, 300u);
    QM_REQUIRE_FFPROBE();
    EXPECT_EQ(probeMovie(f.scene.composedMovieFile).errors, "");
}
