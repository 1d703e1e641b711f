// The VR structure queries over QuickTime VR instances of real and fixture movies.
#include <gtest/gtest.h>

#include "media/qtvr_structure.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_instance.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

struct Opened {
    std::unique_ptr<Movie> movie;
    std::unique_ptr<QTVRInstance> instance;
};

Opened openVR(const std::filesystem::path& file)
{
    Opened o;
    EXPECT_EQ(Movie::open(file, MovieOpenMode::read, o.movie), 0);
    if (!o.movie)
        return o;
    const Track* track = QTVRGetQTVRTrack(*o.movie, 1);
    EXPECT_TRUE(track);
    EXPECT_EQ(QTVRGetQTVRInstance(o.instance, track), 0);
    return o;
}

AtomContainer stringAtoms()
{
    AtomContainer c;
    const std::uint8_t five[] = {0x12, 0x34, 0, 5, 'H', 'a', 'l', 'l', 's', 'X'};
    const std::uint8_t empty[] = {0, 1, 0, 0};
    const std::uint8_t overlong[] = {0, 1, 0, 9, 'a', 'b'};
    c.insertChild(AtomContainer::kRoot, fourCC("vrsg"), 1, 0, five);
    c.insertChild(AtomContainer::kRoot, fourCC("vrsg"), 2, 0, empty);
    c.insertChild(AtomContainer::kRoot, fourCC("vrsg"), 3, 0, overlong);
    return c;
}

TEST(GetStringAtom, LengthFieldGovernsAndUsageIsIgnored)
{
    const AtomContainer c = stringAtoms();
    EXPECT_EQ(GetStringAtom(&c, AtomContainer::kRoot, 1), std::optional<std::string>("Halls"));
    EXPECT_EQ(GetStringAtom(&c, AtomContainer::kRoot, 2), std::nullopt); // length 0: no string
    EXPECT_EQ(GetStringAtom(&c, AtomContainer::kRoot, 3), std::nullopt); // longer than its atom
    EXPECT_EQ(GetStringAtom(&c, AtomContainer::kRoot, 4), std::nullopt);
    EXPECT_EQ(GetStringAtom(nullptr, AtomContainer::kRoot, 1), std::nullopt);
}

TEST(QTVRInstance, WithoutAnInstanceQueriesGiveTheirPlaceholders)
{
    AtomContainer c;
    EXPECT_EQ(QTVRGetVRWorld(nullptr, c), err::qtvrUninitialized);
    EXPECT_EQ(QTVRGetNodeType(nullptr, 0), fourCC("????"));
    EXPECT_FALSE(IsPanoramaNode(nullptr));
    EXPECT_EQ(CountNodes(nullptr), 0);
    EXPECT_EQ(GetDefaultNodeID(nullptr), 0u);
    EXPECT_EQ(GetNodeName(nullptr, 0), std::nullopt);
    std::unique_ptr<QTVRInstance> none;
    EXPECT_EQ(QTVRGetQTVRInstance(none, nullptr), err::qtvrUninitialized);
}

TEST(QTVRInstance, RealPanoramaWithJunkInTheWorldHeader)
{
    const auto file = test::samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    Opened o = openVR(file);
    ASSERT_TRUE(o.instance);
    EXPECT_EQ(CountNodes(o.instance.get()), 1);
    EXPECT_FALSE(IsMultiNodeMovie(o.instance.get()));
    EXPECT_TRUE(IsPanoramaNode(o.instance.get()));
    EXPECT_EQ(GetDefaultNodeID(o.instance.get()), 127u);
    EXPECT_EQ(QTVRGetCurrentNodeID(o.instance.get()), 127u);
    WorldHeaderBytes world;
    ASSERT_EQ(GetWorldHeader(o.instance.get(), world), 0);
    EXPECT_EQ(loadBE32(world.data() + 12), 0x160334D0u); // flags as stored
    NodeHeaderBytes node;
    ASSERT_EQ(GetNodeHeader(o.instance.get(), 127, node), 0);
    EXPECT_EQ(loadBE32(node.data() + 4), fourCC("pano"));
    EXPECT_EQ(GetNodeName(o.instance.get(), 127), std::nullopt);
    // The world is named "8" (a string atom beside the header).
    AtomContainer c;
    ASSERT_EQ(QTVRGetVRWorld(o.instance.get(), c), 0);
    EXPECT_EQ(GetStringAtom(&c, AtomContainer::kRoot, loadBE32(world.data() + 4)), std::optional<std::string>("8"));
    EXPECT_EQ(GetNodeHeader(o.instance.get(), 5, node), err::paramErr);
    EXPECT_EQ(QTVRGetNodeType(o.instance.get(), 5), fourCC("????"));
}

TEST(QTVRInstance, NodesOfAMultiNodeMovie)
{
    TempDir dir;
    ASSERT_EQ(test::writeMultiNode2x(dir / "two.mov", 2), 0);
    Opened o = openVR(dir / "two.mov");
    ASSERT_TRUE(o.instance);
    EXPECT_EQ(CountNodes(o.instance.get()), 2);
    EXPECT_TRUE(IsMultiNodeMovie(o.instance.get()));
    EXPECT_EQ(GetNodeName(o.instance.get(), 1), std::optional<std::string>("First"));
    EXPECT_EQ(GetNodeName(o.instance.get(), 2), std::optional<std::string>("Second"));
    EXPECT_EQ(GetNodeName(o.instance.get(), 0), std::optional<std::string>("First")); // the current node
}

TEST(QTVRInstance, ObjectNodeAndItsSample)
{
    TempDir dir;
    test::Object2xFixture f;
    f.nodeId = 9;
    f.nodeName = "Vase";
    ASSERT_EQ(test::writeObject2x(dir / "obj.mov", f), 0);
    Opened o = openVR(dir / "obj.mov");
    ASSERT_TRUE(o.instance);
    EXPECT_FALSE(IsPanoramaNode(o.instance.get()));
    EXPECT_EQ(QTVRGetNodeType(o.instance.get(), 9), fourCC("obje"));
    EXPECT_EQ(GetNodeName(o.instance.get(), GetDefaultNodeID(o.instance.get())), std::optional<std::string>("Vase"));
    ObjectSampleRecord record;
    ASSERT_EQ(ReadObjectSample(o.movie.get(), record), 0);
    EXPECT_EQ(record, f.record);
    PanoramaSampleRecord none;
    EXPECT_EQ(ReadPanoramaSample(o.movie.get(), none), err::badTrackIndex);
}

TEST(QTVRInstance, Version1xMoviesArePresentedIn2xForm)
{
    TempDir dir;
    test::Panorama1xFixture p;
    p.nodeIds = {4, 4, 0};
    p.nodeName = "Gate";
    ASSERT_EQ(test::writePanorama1x(dir / "p1.mov", p), 0);
    Opened o = openVR(dir / "p1.mov");
    ASSERT_TRUE(o.instance);
    EXPECT_EQ(o.instance->vrMajorVersion(), 1);
    EXPECT_EQ(CountNodes(o.instance.get()), 3);
    // Repeated and zero IDs are replaced by free ones, so every node can be addressed.
    AtomContainer world;
    ASSERT_EQ(QTVRGetVRWorld(o.instance.get(), world), 0);
    const AtomRef nodes = world.findChild(AtomContainer::kRoot, fourCC("vrnp"));
    EXPECT_EQ(world.id(world.findChild(nodes, fourCC("vrni"), 1)), 4u);
    EXPECT_EQ(world.id(world.findChild(nodes, fourCC("vrni"), 2)), 2u);
    EXPECT_EQ(world.id(world.findChild(nodes, fourCC("vrni"), 3)), 3u);
    EXPECT_EQ(GetDefaultNodeID(o.instance.get()), 4u);
    EXPECT_EQ(GetNodeName(o.instance.get(), 4), std::optional<std::string>("Gate"));
    EXPECT_TRUE(IsPanoramaNode(o.instance.get()));

    ASSERT_EQ(test::writeObject1x(dir / "o1.mov", {}), 0);
    Opened object = openVR(dir / "o1.mov");
    ASSERT_TRUE(object.instance);
    EXPECT_EQ(CountNodes(object.instance.get()), 1);
    EXPECT_EQ(QTVRGetNodeType(object.instance.get(), 0), fourCC("obje"));
}

TEST(QTVRInstance, OrdinaryMovieHasNoQTVRTrack)
{
    TempDir dir;
    ASSERT_EQ(test::writeLinearMovie(dir / "m.mov", {}), 0);
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(dir / "m.mov", MovieOpenMode::read, movie), 0);
    EXPECT_EQ(QTVRGetQTVRTrack(*movie, 1), nullptr);
}

} // namespace
} // namespace qm
