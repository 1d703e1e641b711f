// Map rules without a window: hit testing, selection, finding links, and the background
// drawing's snapping, bounds, attributes and layers.
#include <gtest/gtest.h>

#include "compose/map_objects.h"
#include "compose/scene_map_edit.h"
#include "project/scene_defaults.h"

using namespace qm;

namespace {

Scene withNodes(std::initializer_list<Point> places)
{
    Scene s = makeNewScene();
    std::int16_t id = 1;
    for (Point p : places) {
        Node n;
        n.id = id++;
        n.mapPosition = p;
        s.nodes.push_back(n);
    }
    return s;
}

void link(Scene& s, std::int16_t from, std::int16_t to)
{
    HotSpot h;
    h.id = std::int16_t(findNode(s, from)->hotSpots.size() + 1);
    h.type = HotSpotType::kLink;
    h.destinationNodeId = to;
    findNode(s, from)->hotSpots.push_back(h);
}

} // namespace

TEST(MapHitTest, TheLastNodeIsOnTopAndIconsAre32Square)
{
    Scene s = withNodes({{100, 100}, {110, 110}});
    EXPECT_EQ(hitTestNode(s, {105, 105}), 2);
    EXPECT_EQ(hitTestNode(s, {84, 84}), 1);        // top-left pixel of node 1's icon
    EXPECT_EQ(hitTestNode(s, {83, 100}), 0);
    EXPECT_EQ(hitTestNode(s, {125, 125}), 2);      // bottom-right pixel of node 2's icon
    EXPECT_EQ(hitTestNode(s, {126, 126}), 0);
}

TEST(MapSelection, PlainClicksKeepASelectedGroupShiftToggles)
{
    Scene s = withNodes({{72, 72}, {72, 216}, {216, 72}});
    EXPECT_TRUE(selectNode(s, 1));
    EXPECT_TRUE(selectNode(s, 2, true));
    EXPECT_FALSE(selectNode(s, 2)) << "an already selected node keeps the group";
    EXPECT_EQ(countSelectedNodes(s), 2);
    EXPECT_TRUE(selectNode(s, 3));
    EXPECT_EQ(countSelectedNodes(s), 1);
    EXPECT_TRUE(selectNode(s, 3, true));
    EXPECT_EQ(countSelectedNodes(s), 0);
    EXPECT_FALSE(selectNode(s, 0));
    EXPECT_TRUE(selectAllNodes(s));
    EXPECT_FALSE(selectAllNodes(s));
    EXPECT_TRUE(selectNode(s, 0) || countSelectedNodes(s) == 0);
}

TEST(MapLinks, FoundWithinTheBandAndRectangleOnly)
{
    Scene s = withNodes({{100, 100}, {100, 300}, {300, 100}});
    link(s, 1, 2);
    link(s, 2, 1);
    link(s, 1, 3);
    std::int16_t a = 0, b = 0;
    EXPECT_TRUE(findLinkAt(s, {104, 200}, a, b));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_FALSE(findLinkAt(s, {105, 200}, a, b)) << "outside the rectangle of the two nodes grown by 4";
    // A slanting link: the band is 6 pixels across the main (horizontal) direction.
    Scene slant = withNodes({{0, 0}, {100, 200}});
    link(slant, 1, 2);
    EXPECT_TRUE(findLinkAt(slant, {56, 100}, a, b));
    EXPECT_FALSE(findLinkAt(slant, {57, 100}, a, b));
    EXPECT_FALSE(findLinkAt(s, {100, 305}, a, b)) << "beyond the end grown by 4";
    EXPECT_TRUE(findLinkAt(s, {100, 304}, a, b));
    // A vertical link: the band runs across its horizontal distance.
    EXPECT_TRUE(findLinkAt(s, {200, 96}, a, b));
    EXPECT_EQ(b, 3);
    // Deleting what is found until nothing is takes both directions.
    int deleted = 0;
    while (findLinkAt(s, {100, 200}, a, b) && deleteLink(s, a, b))
        ++deleted;
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(countLinks(s), 1);
    // A link to a node that no longer exists is neither drawn nor found.
    link(s, 2, 9);
    EXPECT_EQ(countLinks(s), 1);
}

TEST(MapBackground, GridSnappingAndDraggedBounds)
{
    Scene s = makeNewScene(); // background grid shown and active, 8 divisions: step 9
    s.backgroundGrid = {true, 8, true};
    EXPECT_EQ(snapToBackgroundGrid(s, 22, false), 18);
    EXPECT_EQ(snapToBackgroundGrid(s, 23, false), 27);
    EXPECT_EQ(snapToBackgroundGrid(s, 2, false), 9) << "0 gains a step";
    const int edge = int(s.mapWidth / double(s.scaleFactor) * 72);
    EXPECT_EQ(snapToBackgroundGrid(s, edge, false), edge - 9);
    s.backgroundGrid.active = false;
    EXPECT_EQ(snapToBackgroundGrid(s, 22, false), 22);
    EXPECT_EQ(draggedObjectBounds(s, MapObjectKind::kRectangle, {100, 100}, {60, 50}), (Rect{60, 50, 101, 101}));
    EXPECT_EQ(draggedObjectBounds(s, MapObjectKind::kLine, {100, 100}, {60, 50}), (Rect{100, 100, 60, 50}));
    EXPECT_EQ(draggedObjectBounds(s, MapObjectKind::kArc, {10, 20}, {30, 5}), (Rect{10, 20, 30, 5}));
}

TEST(MapBackground, NewObjectsAndAttributes)
{
    MapAttributes a;
    a.penColor = {0xFFFF, 0, 0};
    a.fillColor = {0, 0, 0xFFFF};
    a.penSize = 3;
    a.pattern = 4;
    a.fontNumber = 20;
    a.textSize = 18;
    a.textStyle = 2;
    const MapObject line = newMapObject(MapObjectKind::kLine, {1, 2, 3, 4}, a);
    EXPECT_EQ(line.penStyle, 1);
    EXPECT_EQ(line.fillStyle, 0);
    EXPECT_EQ(line.penColor, a.penColor);
    EXPECT_EQ(line.penSize, 3);
    EXPECT_EQ(line.drawingValues[0], 4);
    EXPECT_EQ(mapObjectLayer(line), kMapLayers);
    EXPECT_EQ(newMapObject(MapObjectKind::kFilledOval, {}, a).fillStyle, 1);

    MapObject text = newMapObject(MapObjectKind::kText, {0, 0, 20, 40}, a);
    ASSERT_TRUE(text.text.has_value());
    EXPECT_EQ(objectAttributes(text, MapAttributes{}), a);
    MapAttributes b = a;
    b.textSize = 24;
    applyMapAttribute(text, MapAttribute::TextSize, b);
    EXPECT_EQ(decodeMapTextStyle(text.text->styleData).size, 24);
    // Text attributes leave other kinds alone; a shape shows the defaults' text attributes.
    MapObject rect = newMapObject(MapObjectKind::kRectangle, {}, a);
    applyMapAttribute(rect, MapAttribute::Font, MapAttributes{});
    EXPECT_EQ(rect, newMapObject(MapObjectKind::kRectangle, {}, a));
    EXPECT_EQ(objectAttributes(rect, MapAttributes{}).fontNumber, MapAttributes{}.fontNumber);
    // A damaged style record reads as the default style.
    EXPECT_EQ(decodeMapTextStyle(Bytes{0, 1, 2}), MapTextStyle{});
}

TEST(MapBackground, LayersKeepTheListInLayerOrder)
{
    Scene s = makeNewScene();
    for (std::int16_t i = 0; i < 4; ++i) {
        MapObject o = newMapObject(MapObjectKind::kRectangle, {i, i, std::int16_t(i + 5), std::int16_t(i + 5)}, {});
        s.mapObjects.push_back(o);
    }
    s.mapObjects[0].secondValue = 0; // an old object: layer 1
    EXPECT_EQ(mapObjectLayer(s.mapObjects[0]), 1);
    s.mapObjects[2].selected = true;
    s.mapObjects[3].selected = true;
    EXPECT_EQ(selectedObjectsLayer(s), 3);
    EXPECT_TRUE(setSelectedObjectsLayer(s, 2));
    EXPECT_EQ(s.mapObjects[0].bounds.top, 0);
    EXPECT_EQ(s.mapObjects[1].bounds.top, 2);
    EXPECT_EQ(s.mapObjects[2].bounds.top, 3);
    EXPECT_EQ(s.mapObjects[3].bounds.top, 1);
    EXPECT_FALSE(setSelectedObjectsLayer(s, 2));
    s.mapObjects[3].selected = true;
    EXPECT_EQ(selectedObjectsLayer(s), 0) << "selected objects on different layers";
    EXPECT_EQ(hitMapObject(s, {4, 4}), 3);
    EXPECT_EQ(hitMapObject(s, {100, 100}), -1);
}
