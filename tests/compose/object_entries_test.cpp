// Object movies whose sample names its image and hot spot tracks with entry atoms: import, the
// working copy's hot spot writer and the node writer read the same entries.
#include <gtest/gtest.h>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose_test_scene.h"
#include "media/node_import.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/object_track_entries.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

Bytes entry(OSType type, std::uint32_t index)
{
    ByteWriter w(10);
    w.type(type);
    w.u16(1);
    w.u32(index);
    return w.take();
}

} // namespace

TEST(ObjectTrackEntries, BothNamesInBothPlacesAreReadAndRemoved)
{
    AtomContainer root;
    root.insertChild(AtomContainer::kRoot, fourCC("obji"), 1, 0, Bytes(88, 0));
    root.insertChild(AtomContainer::kRoot, fourCC("imtr"), 1, 0, entry(fourCC("imgt"), 3));
    root.insertChild(AtomContainer::kRoot, fourCC("hstr"), 1, 0, entry(fourCC("hott"), 2));
    EXPECT_EQ(readObjectTrackEntries(root).image, 3);
    EXPECT_EQ(readObjectTrackEntries(root).hotSpot, 2);
    removeObjectTrackEntries(root);
    EXPECT_EQ(root.countChildren(AtomContainer::kRoot), 1);
    EXPECT_EQ(readObjectTrackEntries(root).image, 1);

    // Inside 'obji' when that atom is a parent; a short or zero entry means index 1.
    AtomContainer nested;
    AtomRef obji;
    nested.insertChild(AtomContainer::kRoot, fourCC("obji"), 1, 0, {}, &obji);
    nested.insertChild(obji, fourCC("imgt"), 1, 0, entry(fourCC("imgt"), 2));
    nested.insertChild(obji, fourCC("hott"), 1, 0, Bytes(6, 1));
    EXPECT_EQ(readObjectTrackEntries(nested).image, 2);
    EXPECT_EQ(readObjectTrackEntries(nested).hotSpot, 1);
    removeObjectTrackEntries(nested);
    EXPECT_EQ(nested.countChildren(nested.findChild(AtomContainer::kRoot, fourCC("obji"))), 0);
}

TEST(ObjectTrackEntries, DocumentedNamesChooseTheImageTrackWhenComposed)
{
    TempDir dir;
    Object2xFixture f;
    f.decoyImageTrack = true;
    f.documentedEntryNames = true;
    f.imageTrackRefIndex = 2;
    f.hotSpotTrackRefIndex = 1;
    const auto file = dir / "object.mov";
    ASSERT_EQ(writeObject2x(file, f), 0);

    Scene scene = baseScene();
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{100, 100}, file, false, {}, &id), 0);
    Node& node = scene.nodes.back();
    EXPECT_EQ(node.imageTrackReference, 2);
    HotSpot h;
    h.id = 5;
    h.shape = HotSpotShape::kRectangle;
    h.bounds = Rect{2, 2, 20, 30};
    node.hotSpots.push_back(h);

    TestMedia media;
    media.files[id] = file;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    Track* object = vrTrack(*movie, vrNodeType::kObject);
    ASSERT_TRUE(object);
    AtomContainer sample;
    ASSERT_EQ(readSampleContainer(*object, sample), 0);
    EXPECT_FALSE(sample.findChild(AtomContainer::kRoot, fourCC("imtr"))) << "the old entries are removed";
    EXPECT_FALSE(sample.findChild(AtomContainer::kRoot, fourCC("hstr")));
    EXPECT_EQ(sample.countChildren(AtomContainer::kRoot, vrAtom::kImageTrackRef), 1);
    const ObjectTrackEntries entries = readObjectTrackEntries(sample);

    // The composed image frames are the named track's (40 x 30), not the decoy's (20 x 15), and
    // the hot spot frames were painted at that size.
    for (const auto& [type, index] : {std::pair{vrAtom::kImageTrackRef, entries.image},
                                      std::pair{vrAtom::kHotSpotTrackRef, entries.hotSpot}}) {
        Track* t = object->reference(type, index);
        ASSERT_TRUE(t);
        const auto frames = shownSamples(*t);
        ASSERT_FALSE(frames.empty());
        MediaSample m;
        ASSERT_EQ(t->media()->getSample(frames[0].mediaTime, m), 0);
        ImageDescription d;
        ASSERT_EQ(ImageDescription::parse(m.description.bytes(), d), 0);
        EXPECT_EQ(d.width, 40);
        EXPECT_EQ(d.height, 30);
    }
}
