#include <gtest/gtest.h>

#include <fstream>

#include "compose/scene_map_edit.h"
#include "compose/working_copies.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

Scene imperialScene()
{
    Scene s;
    s.unitIndex = 2; // feet
    s.scaleFactor = 1;
    s.mapWidth = 20;
    s.mapHeight = 10; // boundary 1440 x 720
    s.nodeGrid = GridSettings{true, 8, true};
    return s;
}

Node node(std::int16_t id, Point at, bool initial = false)
{
    Node n;
    n.id = id;
    n.kind = NodeKind::kStillImage;
    n.name = "N" + std::to_string(id);
    n.mapPosition = at;
    n.initial = initial;
    n.displayBounds = Rect{0, 0, 240, 360};
    return n;
}

} // namespace

TEST(SceneMap, SnapsToTheNodeGridOnlyWhileShownAndActive)
{
    Scene s = imperialScene();
    EXPECT_EQ(snapToNodeGrid(s, Point{40, 50}), (Point{36, 54})); // 9-pixel cells
    EXPECT_EQ(snapToNodeGrid(s, Point{40, 0}), (Point{36, 9}));
    EXPECT_EQ(snapToNodeGrid(s, Point{720, 1440}), (Point{711, 1431})) << "not on the boundary's edge";
    s.nodeGrid.active = false;
    EXPECT_EQ(snapToNodeGrid(s, Point{40, 50}), (Point{40, 50}));
}

TEST(SceneMap, SeparationMovesRightThenDownThenBack)
{
    Scene s = imperialScene();
    s.nodeGrid.shown = false;
    s.nodes = {node(1, {72, 72}), node(2, {72, 72})};
    separateNode(s, 2);
    EXPECT_EQ(s.nodes[1].mapPosition, (Point{72, 152}));

    // Against the right edge the node steps down instead.
    s.nodes = {node(1, {72, 1400}), node(2, {72, 1400})};
    separateNode(s, 2);
    EXPECT_EQ(s.nodes[1].mapPosition.h, 1400);
    EXPECT_GE(s.nodes[1].mapPosition.v, 72 + kNodeSeparation);

    // In the bottom-right corner it can go neither way and turns back to the left.
    s.nodes = {node(1, {700, 1400}), node(2, {700, 1400})};
    separateNode(s, 2);
    EXPECT_LE(s.nodes[1].mapPosition.h, 1400 - kNodeSeparation);
    EXPECT_EQ(s.nodes[1].mapPosition.v, 700);
}

TEST(SceneMap, SeparationGivesUpInACrowdedMap)
{
    Scene s = imperialScene();
    s.mapWidth = 2;
    s.mapHeight = 2; // 144 x 144: no room for two nodes 72 apart inside the margins
    s.nodeGrid.shown = false;
    s.nodes = {node(1, {72, 72}), node(2, {80, 80})};
    separateNode(s, 2);
    EXPECT_EQ(s.nodes[1].mapPosition, (Point{72, 72}));
}

TEST(SceneMap, LinksAreMadeOncePerDirection)
{
    Scene s = imperialScene();
    s.nodes = {node(1, {100, 100}), node(2, {100, 300})};
    bool made = false;
    EXPECT_EQ(createLink(s, 1, 2, {}, nullptr, &made), 0);
    EXPECT_TRUE(made);
    EXPECT_EQ(s.nodes[0].hotSpots.size(), 1u);
    EXPECT_EQ(createLink(s, 1, 2, {}, nullptr, &made), 0);
    EXPECT_FALSE(made) << "an existing link is not made again";
    EXPECT_EQ(createLink(s, 2, 1, {}, nullptr, &made), 0);
    EXPECT_TRUE(made);
    EXPECT_EQ(countLinks(s), 2);
    EXPECT_EQ(createLink(s, 1, 1, {}, nullptr, &made), err::paramErr);
    EXPECT_EQ(createLink(s, 1, 7, {}, nullptr, &made), err::paramErr);

    EXPECT_TRUE(deleteLink(s, 2, 1));
    EXPECT_FALSE(deleteLink(s, 2, 1));
    EXPECT_EQ(countLinks(s), 1);
}

TEST(SceneMap, LinkRefusedWithAClearErrorWhenTheNodeIsFull)
{
    Scene s = imperialScene();
    s.nodes = {node(1, {100, 100}), node(2, {100, 300})};
    for (int id = 1; id <= 229; ++id)
        s.nodes[0].hotSpots.push_back(HotSpot{.id = std::int16_t(id)});
    EXPECT_EQ(createLink(s, 1, 2, {}), err::noFreeHotSpotId);
    EXPECT_EQ(s.nodes[0].hotSpots.size(), 229u);
}

TEST(SceneMap, DeletingTheInitialNodeMovesTheFlagAndRemovesIncomingLinks)
{
    test::TempDir dir;
    Scene s = imperialScene();
    s.composedAt = 1234;
    s.composedMovieFile = dir / "composed.mov";
    std::ofstream(s.composedMovieFile) << "movie";
    s.nodes = {node(1, {100, 100}, true), node(2, {100, 300}), node(3, {300, 300})};
    ASSERT_EQ(createLink(s, 2, 1, {}), 0);
    ASSERT_EQ(createLink(s, 3, 2, {}), 0);
    WorkingCopies copies;
    copies.setFile(2, dir / "w2.mov");
    std::ofstream(dir / "w2.mov") << "w";

    EXPECT_TRUE(deleteNode(s, 1, &copies));
    ASSERT_EQ(s.nodes.size(), 2u);
    EXPECT_TRUE(s.nodes[0].initial);
    EXPECT_TRUE(s.nodes[0].hotSpots.empty()) << "the link to the deleted node is gone";
    EXPECT_EQ(s.nodes[1].hotSpots.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "w2.mov")) << "its drawn hot spots changed";
    EXPECT_EQ(s.composedAt, 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "composed.mov"));
    EXPECT_TRUE(s.dirty);
    EXPECT_FALSE(deleteNode(s, 1));

    s.nodes[0].selected = s.nodes[1].selected = true;
    EXPECT_EQ(deleteSelectedNodes(s), 2);
    EXPECT_TRUE(s.nodes.empty());
}

TEST(SceneMap, MovingSelectedNodesSnapsAndMovesTheirLinks)
{
    Scene s = imperialScene();
    s.nodes = {node(1, {99, 99}), node(2, {99, 306})};
    ASSERT_EQ(createLink(s, 1, 2, {}), 0);
    const Rect before = s.nodes[0].hotSpots[0].bounds;
    s.composedAt = 5;
    s.nodes[1].selected = true;
    EXPECT_TRUE(moveSelectedNodes(s, -200, 200, {}));
    EXPECT_EQ(s.nodes[1].mapPosition, (Point{297, 108})) << "moved and snapped to the 9-pixel grid";
    EXPECT_NE(s.nodes[0].hotSpots[0].bounds, before) << "the link from node 1 turns to the new place";
    EXPECT_EQ(s.composedAt, 0u);
    EXPECT_FALSE(moveSelectedNodes(s, 0, 0, {}));
}
