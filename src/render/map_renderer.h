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
#include <vector>

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

// Draws the map for a view that redraws often, such as the map pages while a node is dragged:
// the background (map objects, grid, the grey outside and the boundary frame) is kept in an
// image and drawn again only when something it shows differs from the last drawing (map
// objects, grids, boundary, scroll, size, options, pixel ratio); links and nodes are drawn over
// it every time. Gives the same pixels as renderMap.
class CachedMapRenderer {
public:
    void render(const Scene& scene, QPainter& painter, QSize size, QPoint scroll, const MapRenderOptions& options = {});
    // Forgets the kept background.
    void invalidate();
    // Whether the last render took the background from the kept image.
    bool backgroundReused() const { return m_reused; }

private:
    struct Key {
        std::vector<MapObject> objects;
        GridSettings grid;
        int pixelsPerUnit = 0;
        QSize boundary;
        QSize size;
        QPoint scroll;
        MapGrid gridKind = MapGrid::None;
        bool selectionMarks = false;
        qreal ratio = 0;
    };
    bool matches(const Scene& scene, QSize size, QPoint scroll, const MapRenderOptions& options, qreal ratio) const;

    Key m_key;
    QImage m_background;
    bool m_reused = false;
};

// Empties the renderer's kept drawings of map objects (for measuring a first drawing).
void clearMapRenderCaches();

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
