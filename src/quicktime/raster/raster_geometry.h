#pragma once
// Plane geometry of the QuickDraw coordinate grid.
//
// Coordinates name the grid lines between pixels: pixel (h, v) covers [h, h+1) x [v, v+1), so the
// rectangle (top, left, bottom, right) holds rows top..bottom-1 and columns left..right-1, and a
// rectangle whose bottom <= top or right <= left holds nothing.
#include <cstdint>

#include "quicktime/base/os_types.h"

namespace qm {

// Width and height of the drawing pen in pixels; the pen hangs below and to the right of the
// point it is drawn at. A pen with a side of 0 or less draws nothing.
struct PenSize {
    int h = 1;
    int v = 1;
    friend bool operator==(const PenSize&, const PenSize&) = default;
};

// Results outside the signed 16-bit range of Rect and Point are clamped to it.
Rect makeRect(int top, int left, int bottom, int right);
// The rectangle with the two points as opposite corners, whatever their order.
Rect rectFromCorners(Point a, Point b);
// Intersection; (0, 0, 0, 0) when the rectangles do not overlap.
Rect sectRect(const Rect& a, const Rect& b);
// Smallest rectangle holding both; an empty rectangle counts as nothing.
Rect unionRect(const Rect& a, const Rect& b);
Rect offsetRect(const Rect& r, int dh, int dv);
// Moves every side inwards by dh and dv (outwards for negative values); (0, 0, 0, 0) when
// nothing is left.
Rect insetRect(const Rect& r, int dh, int dv);
bool ptInRect(Point p, const Rect& r);

// The linear map that takes the rectangle `from` onto the rectangle `to` (QuickDraw's MapPt,
// MapRect and MapRgn): a horizontal coordinate x becomes
//   to.left + floor((x - from.left) * width(to) / width(from))
// in exact integer arithmetic, vertical coordinates likewise. Grid lines of `from` that fall on
// whole multiples of the scale map exactly, so mapping to a rectangle whose sides are whole
// multiples of the original's and back gives the original again. The mapping is defined only
// when both rectangles are non-empty; otherwise it leaves its input unchanged.
bool mappingDefined(const Rect& from, const Rect& to);
int mapCoordinate(int x, int from0, int fromLength, int to0, int toLength);
Point mapPoint(Point p, const Rect& from, const Rect& to);
Rect mapRect(const Rect& r, const Rect& from, const Rect& to);

} // namespace qm
