#include <gtest/gtest.h>

#include "app/core/progress.h"
#include "compose/composer.h"
#include "compose/scene_map_edit.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copy_conversions.h"
#include "compose_test_scene.h"
#include "quicktime/errors.h"
#include "quicktime/movie.h"
#include "quicktime/movie_vr.h"
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
    for (auto& s : probe.streams)
        std::cout << s << "\n";
}
