#include "project/scene.h"
#include "project/scene_defaults.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_paths.h"

using namespace qm;

namespace {

Scene sceneWithIds(std::initializer_list<std::int16_t> ids)
{
    Scene s;
    for (auto id : ids) {
        Node n;
        n.id = id;
        s.nodes.push_back(n);
    }
    return s;
}

} // namespace

TEST(SceneNodeIds, NextFreeIdIsTheSmallestUnusedPositiveId)
{
    EXPECT_EQ(nextFreeNodeId(Scene{}), 1);
    Scene s = sceneWithIds({1, 2, 4});
    EXPECT_EQ(nextFreeNodeId(s), 3);
    s.nodes.push_back(Node{});
    s.nodes.back().id = 3;
    EXPECT_EQ(nextFreeNodeId(s), 5);
    EXPECT_EQ(nextFreeNodeId(sceneWithIds({4, 3, 2, -7})), 1);
}

TEST(SceneNodeIds, NodesWithoutIdGetTheSmallestFreeIdsInArrayOrder)
{
    Scene s = sceneWithIds({0, 2, 0, 5});
    EXPECT_FALSE(giveNodeIds(s));
    EXPECT_EQ(s.nodes[0].id, 1);
    EXPECT_EQ(s.nodes[2].id, 3);
    EXPECT_TRUE(giveNodeIds(s));
    ASSERT_NE(findNode(s, 5), nullptr);
    EXPECT_EQ(findNode(s, 5), &s.nodes[3]);
    EXPECT_EQ(findNode(s, 4), nullptr);
}

TEST(SceneNodeIds, AllIdsTakenYieldsZero)
{
    Scene s;
    s.nodes.resize(INT16_MAX);
    for (int i = 0; i < INT16_MAX; ++i)
        s.nodes[std::size_t(i)].id = std::int16_t(i + 1);
    EXPECT_EQ(nextFreeNodeId(s), 0);
}

TEST(SceneDocument, MarkDirtyEndsTheUntouchedNewState)
{
    Scene s = makeNewScene();
    s.untouchedNew = true;
    markDirty(s);
    EXPECT_TRUE(s.dirty);
    EXPECT_FALSE(s.untouchedNew);
}

TEST(SceneDocument, DisposeDeletesOnlyTheComposedMovieFile)
{
    qm::test::TempDir dir;
    auto movie = dir / "t1234.tmp";
    auto other = dir / "other.mov";
    std::ofstream(movie) << "movie";
    std::ofstream(other) << "keep";
    Scene s = makeNewScene();
    s.composedMovieFile = movie;
    disposeScene(s);
    EXPECT_FALSE(std::filesystem::exists(movie));
    EXPECT_TRUE(s.composedMovieFile.empty());

    Scene none = makeNewScene();
    none.projectFile = other; // a scene without a composed movie deletes nothing
    disposeScene(none);
    EXPECT_TRUE(std::filesystem::exists(other));
}

TEST(SceneDefaults, NewSceneStartsFromTheFixedValues)
{
    Scene s = makeNewScene();
    EXPECT_EQ(s.name, "Untitled Scene");
    EXPECT_EQ(s.mapWidth, 70);
    EXPECT_EQ(s.mapHeight, 100);
    EXPECT_EQ(unitName(s.unitIndex), std::string("Feet"));
    EXPECT_EQ(s.scaleFactor, 10);
    EXPECT_EQ(s.backgroundGrid, (GridSettings{true, 8, true}));
    EXPECT_EQ(s.nodeGrid, (GridSettings{true, 8, true}));
    EXPECT_EQ(s.masterWidth, 320);
    EXPECT_EQ(s.masterHeight, 240);
    EXPECT_EQ(s.playbackWidth, 320);
    EXPECT_EQ(s.playbackHeight, 240);
    EXPECT_EQ(s.imaging, (ImagingSettings{1, 1, 3, 3, 1, 3}));
    EXPECT_TRUE(s.nodes.empty());
    EXPECT_TRUE(s.mapObjects.empty());
    EXPECT_EQ(s.composedAt, 0u);
    EXPECT_FALSE(s.dirty);
    EXPECT_TRUE(s.projectFile.empty());

    const auto& movies = s.compression[kMovieCompression];
    EXPECT_EQ(movies.codecType, fourCC("cvid"));
    EXPECT_EQ(movies.spatialQuality, 512u);
    EXPECT_EQ(movies.frameRate, 0x000C0000);
    EXPECT_EQ(movies.keyFrameRate, 24);
    const auto& stills = s.compression[kStillImageCompression];
    EXPECT_EQ(stills.codecType, fourCC("jpeg"));
    EXPECT_EQ(stills.spatialQuality, 768u);
    EXPECT_EQ(stills.frameRate, 0);
    for (const auto& c : s.compression) {
        EXPECT_FALSE(c.enabled);
        EXPECT_EQ(c.dialogDepth, 32);
        EXPECT_EQ(c.colorDepth, 32);
        EXPECT_EQ(c.codecComponent, 0u);
    }
}

TEST(SceneDefaults, TemplatesAreRecognisedByExtensionInAnyCase)
{
    EXPECT_TRUE(isTemplatePath("/x/Office.qmt"));
    EXPECT_TRUE(isTemplatePath("/x/Office.QmT"));
    EXPECT_FALSE(isTemplatePath("/x/Office.qmp"));
    EXPECT_FALSE(isTemplatePath("/x.qmt/Office"));
    EXPECT_FALSE(isTemplatePath("qmt"));
}

TEST(SceneText, NamesAndCommentsAreCutWhereTheyEnter)
{
    Node n;
    n.name = std::string(100, 'n');
    n.comment = std::string(300, 'c');
    EXPECT_EQ(n.name.size(), 63u);
    EXPECT_EQ(n.comment.size(), 255u);
    Scene s;
    s.name = std::string(62, 'a') + "\xC4\x81"; // stored as UTF-8: 2 bytes across the limit
    EXPECT_EQ(s.name.str(), std::string(62, 'a'));
    s.name = std::string(62, 'a') + "\xC3\xA9"; // stored as Windows-1252: 1 byte, it fits
    EXPECT_EQ(s.name.str(), std::string(62, 'a') + "\xC3\xA9");
    EXPECT_EQ(NodeKind::displayName(fourCC("PANO")), std::string("QTVR Panorama"));
    EXPECT_EQ(NodeKind::displayName(0), std::string("Generic Node"));
    EXPECT_EQ(NodeKind::displayName(NodeKind::kExamining), std::string("Generic Node"));
}
