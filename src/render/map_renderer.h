#pragma once
// The one drawing of the scene map: background objects, grid, boundary, links and nodes. The
// node map page, the background page and `quillmere-cli map` all draw through it, so the same
// scene gives the same pixels everywhere. QtGui only (QPainter); no widgets.
//
// Coordinates: map pixels from the top-left of the scene boundary. The scroll position is the
// map point drawn at the painter's (0, 0); every map point (h, v) lands on pixel
// (h - scroll.x, v - scroll.y).
#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include "project/scene.h"

class QPainter;

namespace qm {

enum class MapGrid { None, Node, Background };

struct MapRenderOptions {
    MapGrid grid = MapGrid::Node; // which of the scene's grids is drawn (when the scene shows it)
    bool nodes = true;            // links and node icons
    bool selectionMarks = true;   // the squares on selected map objects
};

// The scene boundary in map pixels, (0, 0) to (width, height); the fraction is dropped.
QSize mapBoundarySize(const Scene& scene);

// Draws the map into the painter's area `size` (pixels, from the painter's origin).
void renderMap(const Scene& scene, QPainter& painter, QSize size, QPoint scroll,
               const MapRenderOptions& options = {});
// Draws the map over the whole image.
void renderMap(const Scene& scene, QImage& image, QPoint scroll, const MapRenderOptions& options = {});

// Parts used by the pages for their own marks.
QSize nodeIconSize();          // 32 x 32
// The icon of a node in its current state (kind, selected, initial), at the painter's pixel
// ratio. Null only when the icons cannot be read.
QImage nodeIcon(const Node& node, qreal devicePixelRatio = 1.0);
// The ellipse box and start angle (degrees clockwise from 12 o'clock) of a quarter-ellipse arc
// object; false when the arc is a straight line between its corners.
bool mapArcGeometry(const Rect& bounds, QRectF& box, int& startDegrees);
// Colours of the map, 8-bit.
inline constexpr QRgb kMapLightBlue = 0xFF9999FF;
inline constexpr QRgb kMapSubdivision = 0xFFCCCCFF; // halfway between white and light blue
inline constexpr QRgb kMapLightGrey = 0xFFC0C0C0;
inline constexpr QRgb kMapMidGrey = 0xFF808080;

} // namespace qm
