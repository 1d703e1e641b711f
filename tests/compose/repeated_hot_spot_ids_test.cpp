// Scenes whose nodes hold hot spots sharing an ID compose; the first such hot spot describes it.
#include <gtest/gtest.h>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/vr_atoms.h"
#include "compose_test_scene.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_instance.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

TEST(RepeatedHotSpotIds, ComposeKeepsGoingWithTheFirstOfEachId)
{
    TempDir dir;
    const auto file = dir / "pano.mov";
    ASSERT_EQ(writePanorama2x(file, Panorama2xFixture{}), 0);
    Scene scene = baseScene();
    Node n = panoramaNodeFor(1, file, "Hall", Point{100, 100});
    for (int k = 0; k < 3; ++k) {
        HotSpot h;
        h.id = 4;
        h.shape = HotSpotShape::kRectangle;
        h.bounds = Rect{std::int16_t(2 + 10 * k), 2, std::int16_t(8 + 10 * k), 20};
        h.name = "Door " + std::to_string(k);
        n.hotSpots.push_back(h);
    }
    scene.nodes.push_back(n);
    TestMedia media;
    media.files[1] = file;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    std::unique_ptr<QTVRInstance> instance;
    ASSERT_EQ(QTVRGetQTVRInstance(instance, QTVRGetQTVRTrack(*movie, 1)), 0);
    AtomContainer info;
    ASSERT_EQ(QTVRGetNodeInfo(instance.get(), 1, info), 0);
    const AtomRef parent = info.findChild(AtomContainer::kRoot, fourCC("hspa"));
    ASSERT_TRUE(parent);
    ASSERT_EQ(info.countChildren(parent, vrAtom::kHotSpot), 1);
    const AtomRef hots = info.findChildById(parent, vrAtom::kHotSpot, 4);
    const auto name = info.data(info.findChildById(hots, vrAtom::kString, 1));
    ASSERT_GE(name.size(), 10u);
    EXPECT_EQ(std::string(name.begin() + 4, name.begin() + 10), "Door 0");
}
