// Adding media files to a scene as nodes, and analysing a node's media again.
#include <gtest/gtest.h>

#include <fstream>

#include "media/node_import.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

Node nodeWithId(std::int16_t id)
{
    Node n;
    n.id = id;
    return n;
}

TEST(NewNodeID, SmallestUnusedPositiveId)
{
    Scene s;
    EXPECT_EQ(NewNodeID(s), 1);
    s.nodes = {nodeWithId(1), nodeWithId(2), nodeWithId(4)};
    EXPECT_EQ(NewNodeID(s), 3);
    s.nodes = {nodeWithId(3), nodeWithId(2)};
    EXPECT_EQ(NewNodeID(s), 1);
}

TEST(GetNodeDefaultView, PanoramaAndObjectRecordsGiveTheirDefaults)
{
    Node pano;
    pano.kind = NodeKind::kPanorama;
    PanoramaSampleRecord p;
    p.defaultPan = 10, p.defaultTilt = -5, p.defaultFieldOfView = 40;
    pano.mediaData = p;
    float pan = 99, tilt = 99, fov = 99;
    GetNodeDefaultView(pano, pan, tilt, fov);
    EXPECT_EQ(pan, 10);
    EXPECT_EQ(tilt, -5);
    EXPECT_EQ(fov, 40);

    Node object;
    object.kind = NodeKind::kObject;
    ObjectSampleRecord o;
    o.defaultPan = 30, o.defaultTilt = 15, o.defaultFieldOfView = 128;
    o.minPan = 1, o.maxTilt = 2, o.fieldOfView = 3;
    object.mediaData = o;
    GetNodeDefaultView(object, pan, tilt, fov);
    EXPECT_EQ(pan, 30);
    EXPECT_EQ(tilt, 15);
    EXPECT_EQ(fov, 128);

    Node still;
    still.kind = NodeKind::kStillImage;
    still.mediaData = o;
    pan = tilt = fov = 7;
    GetNodeDefaultView(still, pan, tilt, fov);
    EXPECT_EQ(pan, 7);
    EXPECT_EQ(tilt, 7);
    EXPECT_EQ(fov, 7);
}

class AddNodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::writePanorama2x(dir / "pano.mov", {}), 0);
        ASSERT_EQ(test::writeObject2x(dir / "object.mov", {}), 0);
        ASSERT_EQ(test::writeMultiNode2x(dir / "two.mov", 2), 0);
        scene.projectFile = dir / "Scene.qmp";
    }
    TempDir dir;
    Scene scene;
};

TEST_F(AddNodeTest, FirstNodeIsInitialAndIdsCount)
{
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, dir / "pano.mov", true, {}, &id), 0);
    EXPECT_EQ(id, 1);
    ASSERT_EQ(AddNodeFromFile(scene, Point{100, 200}, dir / "object.mov", true, {}, &id), 0);
    EXPECT_EQ(id, 2);
    ASSERT_EQ(scene.nodes.size(), 2u);
    EXPECT_TRUE(scene.nodes[0].initial);
    EXPECT_FALSE(scene.nodes[1].initial);
    EXPECT_EQ(scene.nodes[0].kind, NodeKind::kPanorama);
    EXPECT_EQ(scene.nodes[1].kind, NodeKind::kObject);
    EXPECT_EQ(scene.nodes[1].mapPosition, (Point{100, 200}));
    // Selection moves to the newest node alone.
    EXPECT_FALSE(scene.nodes[0].selected);
    EXPECT_TRUE(scene.nodes[1].selected);
    EXPECT_TRUE(scene.dirty);
    EXPECT_EQ(scene.nodes[0].name, "pano.mov");

    // The media reference finds the file again, relative to the project's folder.
    FileAlias alias;
    ASSERT_EQ(FileAlias::parse(scene.nodes[0].mediaReference, alias), 0);
    EXPECT_EQ(alias.relativePath(), "pano.mov");
}

TEST_F(AddNodeTest, GapInIdsIsFilled)
{
    scene.nodes = {nodeWithId(1), nodeWithId(2), nodeWithId(4)};
    std::int16_t id = 0;
    ASSERT_EQ(AddNodeFromFile(scene, Point{0, 0}, dir / "pano.mov", false, {}, &id), 0);
    EXPECT_EQ(id, 3);
    EXPECT_FALSE(scene.nodes.back().initial);
    EXPECT_FALSE(scene.nodes.back().selected);
}

TEST_F(AddNodeTest, HooksPlaceTheNodeAndDiscardTheComposedMovie)
{
    NodeImportHooks hooks;
    int separated = 0, cleared = 0;
    hooks.snapToNodeGrid = [](const Scene&, Point p) { return Point{std::int16_t(p.v / 10 * 10), std::int16_t(p.h / 10 * 10)}; };
    hooks.separateNode = [&](Scene& s, std::int16_t nodeId) {
        ++separated;
        EXPECT_EQ(s.nodes.back().id, nodeId);
    };
    hooks.clearComposedMovie = [&](Scene&) { ++cleared; };
    ASSERT_EQ(AddNodeFromFile(scene, Point{73, 88}, dir / "pano.mov", true, hooks), 0);
    EXPECT_EQ(scene.nodes[0].mapPosition, (Point{70, 80}));
    EXPECT_EQ(separated, 1);
    EXPECT_EQ(cleared, 1);
}

TEST_F(AddNodeTest, DefaultDiscardDeletesTheComposedMovie)
{
    std::ofstream(dir / "composed.mov") << "movie";
    scene.composedMovieFile = dir / "composed.mov";
    scene.composedAt = 12345;
    ASSERT_EQ(AddNodeFromFile(scene, Point{0, 0}, dir / "pano.mov", false), 0);
    EXPECT_EQ(scene.composedAt, 0u);
    EXPECT_TRUE(scene.composedMovieFile.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "composed.mov"));
}

TEST_F(AddNodeTest, RefusedFilesLeaveTheSceneUnchanged)
{
    ASSERT_EQ(AddNodeFromFile(scene, Point{72, 72}, dir / "pano.mov", true), 0);
    scene.dirty = false;
    std::ofstream(dir / "notes.txt") << "not media at all";
    ASSERT_EQ(test::writeMovieWithoutTracks(dir / "empty.mov"), 0);
    std::filesystem::copy_file(dir / "object.mov", dir / "cut.mov");
    std::filesystem::resize_file(dir / "cut.mov", std::filesystem::file_size(dir / "cut.mov") / 2);
    const Scene before = scene;
    std::string detail;
    EXPECT_EQ(AddNodeFromFile(scene, Point{1, 1}, dir / "two.mov", true, {}, nullptr, &detail), err::multiNodeMovie);
    EXPECT_EQ(scene, before);
    for (const char* name : {"notes.txt", "empty.mov", "cut.mov", "absent.mov"}) {
        EXPECT_NE(AddNodeFromFile(scene, Point{1, 1}, dir / name, true), 0) << name;
        EXPECT_EQ(scene, before) << name;
    }
}

TEST_F(AddNodeTest, AnalysisFollowsNewMediaAndKeepsTheNodeOnError)
{
    ASSERT_EQ(AddNodeFromFile(scene, Point{0, 0}, dir / "object.mov", false), 0);
    Node node = scene.nodes[0];
    int discarded = 0;
    NodeImportHooks hooks;
    hooks.discardNodeWorkingCopy = [&](std::int16_t) { ++discarded; };

    node.mediaReference = FileAlias::forFile(dir / "pano.mov", dir.path()).serialize();
    ASSERT_EQ(AnalyzeNodeMedia(node, scene.projectFile, hooks), 0);
    EXPECT_EQ(node.kind, NodeKind::kPanorama);
    EXPECT_TRUE(std::holds_alternative<PanoramaSampleRecord>(node.mediaData));
    EXPECT_EQ(discarded, 1);

    const Node kept = node;
    node.mediaReference = FileAlias::forFile(dir / "two.mov", dir.path()).serialize();
    EXPECT_EQ(AnalyzeNodeMedia(node, scene.projectFile, hooks), err::multiNodeMovie);
    node.mediaReference = kept.mediaReference;
    EXPECT_EQ(node, kept);

    node.mediaReference = FileAlias::forFile(dir / "gone.mov", dir.path()).serialize();
    EXPECT_EQ(AnalyzeNodeMedia(node, scene.projectFile, hooks), err::fnfErr);
}

TEST_F(AddNodeTest, MovedProjectFindsMediaByRelativePath)
{
    ASSERT_EQ(AddNodeFromFile(scene, Point{0, 0}, dir / "pano.mov", false), 0);
    std::filesystem::create_directory(dir / "moved");
    std::filesystem::rename(dir / "pano.mov", dir / "moved" / "pano.mov");
    Node node = scene.nodes[0];
    node.mediaReference = FileAlias::forFile(dir / "moved" / "pano.mov", dir / "moved").serialize();
    ASSERT_EQ(AnalyzeNodeMedia(node, dir / "moved" / "Scene.qmp"), 0);
    EXPECT_EQ(node.kind, NodeKind::kPanorama);
}

} // namespace
} // namespace qm
