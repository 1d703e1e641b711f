#pragma once
// Editing a node's hot spots as the Hot Spots page does it: creating them from drawn shapes and
// polygons, selecting, hit testing, moving, resizing, reshaping and deleting. Bounds handed in
// and out are native image coordinates unless a function says otherwise.
//
// Every operation that acts on "the selected hot spots" acts on those of the current object
// view only (same column and same row): hot spots of other views are never shown, so they must
// never be changed behind the user's back.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "project/scene.h"

namespace qm {

struct ViewIndex {
    int column = 0;
    int row = 0;
};

bool isInView(const HotSpot& h, ViewIndex view);

// Adds a hot spot of the shape (3 to 6) with the normalised bounds, the next free ID, type
// 'link' and the name "Hot Spot <ID>", deselects the others and selects it. Answers its ID, 0
// when the node has no free ID (nothing is added).
std::int16_t createShapedHotSpot(Node& node, std::int16_t shape, const Rect& bounds, ViewIndex view);
// The same for a region made from a closed polygon; 0 also when the polygon covers no pixel.
std::int16_t createPolygonHotSpot(Node& node, std::span<const Point> points, ViewIndex view);

void deselectAllHotSpots(Node& node);
// Deselects the others and selects this one (of the view). False when there is no such hot spot.
bool selectHotSpot(Node& node, std::int16_t id, ViewIndex view);
int countSelectedHotSpots(const Node& node, ViewIndex view);
// Gives every selected hot spot of the view the shape, keeping its bounds. True when one changed.
bool reshapeSelectedHotSpots(Node& node, std::int16_t shape, ViewIndex view);
// True when something was deleted.
bool deleteSelectedHotSpots(Node& node, ViewIndex view);
// The hot spot with the ID in the view (the last one when IDs repeat), or null.
HotSpot* findHotSpot(Node& node, std::int16_t id, ViewIndex view);
const HotSpot* findHotSpot(const Node& node, std::int16_t id, ViewIndex view);

// New bounds for a hot spot: a region's outline is mapped from the old bounds onto the new ones.
// A hot spot the user moved or resized is no longer an automatic one.
void setHotSpotBounds(HotSpot& h, const Rect& bounds);

// Handles, in view coordinates, of a hot spot whose bounds appear as `viewBounds`: 7 x 7
// squares, 1 top-left, 2 bottom-left, 3 top-right, 4 bottom-right for rectangles, ovals and
// regions; 1 top, 2 bottom, 3 left, 4 right (side midpoints) for squares and circles.
inline constexpr int kHandleSize = 7;
std::array<Rect, 4> hotSpotHandles(std::int16_t shape, const Rect& viewBounds);

// Tries the view's hot spots from the last to the first: a selected one's handles first, then
// its body. Answers 0, the ID, or ID + 256 x handle. toView maps native bounds to the view.
int hitTestHotSpots(const Node& node, ViewIndex view, Point viewPoint, const std::function<Rect(const Rect&)>& toView);

// The square centre +- r with r = the integer part of the distance to the pointer.
Rect squareAround(Point centre, Point pointer);
// The outline while resizing from a handle: the rectangle spanned by the corner opposite the
// handle and the pointer, or for squares and circles the square around the centre.
Rect resizedOutline(std::int16_t shape, const Rect& start, int handle, Point pointer);

// Names of the Properties dialog's Kind list, in order, and the list item of a type (6 "Other:").
std::string hotSpotTypeText(OSType type);
int hotSpotKindItem(OSType type);
OSType hotSpotKindType(int item); // 0 for "Other:"

} // namespace qm
