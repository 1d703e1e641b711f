#pragma once
// Exact, deterministic scan conversion of QuickDraw shapes into regions.
//
// Every filled shape covers the pixels whose centres (h + 0.5, v + 0.5) lie inside the ideal
// shape drawn on the grid lines, so a shape never leaves the rectangle that bounds it and a
// rectangle, whether given as a Rect or as a four-point polygon, covers rows top..bottom-1 and
// columns left..right-1. A centre exactly on the outline of an oval counts as inside; one exactly
// on a polygon edge counts as inside when the inside lies to its right. Everything is integer
// arithmetic except the boundary rays of arcs at angles that are not multiples of 90 degrees.
//
// Framed shapes are drawn inside the shape with the pen's width and height, as QuickDraw frames
// them; lines hang the pen below and to the right of each point of the line.
#include <span>

#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/region.h"

namespace qm {

// The oval inscribed in r: the pixels whose centres satisfy
//   ((x - cx) / (w / 2))^2 + ((y - cy) / (h / 2))^2 <= 1
// with (cx, cy) the centre of r and w, h its width and height. Symmetric about both axes.
Region ovalRegion(const Rect& r);
bool ovalContains(const Rect& r, int h, int v);

// The closed polygon through the points (the last joined to the first), filled by the even-odd
// rule: a pixel is inside when a ray from its centre crosses the outline an odd number of times.
Region polygonRegion(std::span<const Point> points);

// QuickDraw's PaintArc: the wedge of the oval inscribed in r from startAngle through arcAngle
// degrees, clockwise from 12 o'clock (negative arcs run anticlockwise). Angles are relative to
// the rectangle, as QuickDraw's are: 45 degrees points at the top-right corner of r whatever its
// proportions. A pixel belongs to the wedge when the angle of its centre lies in
// [start, start + arc); an arc of 360 degrees or more is the whole oval.
Region arcRegion(const Rect& r, int startAngle, int arcAngle);

// A line from one point to the other drawn with the pen, both end points included. The pixels
// the pen's corner visits are, along the longer axis, one per step, with the other coordinate
// rounded half up; the result does not depend on the direction in which the line is drawn.
Region lineRegion(Point from, Point to, PenSize pen);

Region frameRectRegion(const Rect& r, PenSize pen);
Region frameOvalRegion(const Rect& r, PenSize pen);
Region frameArcRegion(const Rect& r, int startAngle, int arcAngle, PenSize pen);
// The polygon's outline as lines between successive points, closed back to the first point.
Region framePolygonRegion(std::span<const Point> points, PenSize pen);
// The part of the region within the pen's size of its outside (QuickDraw's FrameRgn).
Region frameRegion(const Region& region, PenSize pen);

} // namespace qm
