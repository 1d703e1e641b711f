#include "compose/hot_spot_painter.h"

#include <algorithm>

#include "compose/hot_spot_ids.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/raster_painter.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"

namespace qm {

int hotSpotWrapDistance(const Node& node)
{
    const auto* pano = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (node.kind != NodeKind::kPanorama || !pano || pano->minPan != 0.0f || pano->maxPan != 360.0f)
        return 0;
    // Panorama display bounds hold the unrolled image a quarter turned: its height is the width.
    return node.displayBounds.height();
}

namespace {

Region shapeOf(const HotSpot& h)
{
    switch (h.shape) {
    case HotSpotShape::kCircle:
    case HotSpotShape::kOval: return ovalRegion(h.bounds);
    case HotSpotShape::kRegion: {
        // A region whose outline cannot be read falls back to its bounds.
        Region r;
        if (readRegion(h.regionData, r) == 0)
            return r;
        return Region::fromRect(h.bounds);
    }
    default: return Region::fromRect(h.bounds);
    }
}

// Calls paint(id, region) for every region paintHotSpots paints for the view, in painting order.
template <class Paint>
void forEachPaintedShape(const Node& node, int column, int row, const HotSpotGeometry& g, Paint paint)
{
    const bool scale = g.imageRect != g.hotSpotImageRect && !g.imageRect.empty() && !g.hotSpotImageRect.empty();
    const int wrap = scale && g.wrapDistance
                         ? mapCoordinate(g.wrapDistance, 0, g.imageRect.width(), 0, g.hotSpotImageRect.width())
                         : g.wrapDistance;
    for (const HotSpot& h : node.hotSpots) {
        if (h.viewColumn != column || h.viewRow != row || !isUsableHotSpotId(h.id))
            continue;
        Region shape = shapeOf(h);
        if (scale)
            shape = shape.mapped(g.imageRect, g.hotSpotImageRect);
        paint(h.id, shape);
        if (wrap != 0) {
            paint(h.id, shape.offset(wrap, 0));
            paint(h.id, shape.offset(-wrap, 0));
        }
    }
}

} // namespace

OSErr paintHotSpots(const Node& node, int column, int row, const HotSpotGeometry& g, const Rect& area,
                    OffscreenPicture& out)
{
    if (OSErr e = out.allocate(PixelDepth::Indexed8, area))
        return e;
    // allocate() leaves every pixel 0 (no hot spot)
    RasterPainter painter(out);
    forEachPaintedShape(node, column, row, g, [&](std::int16_t id, const Region& shape) {
        painter.setForeValue(std::uint32_t(id));
        painter.paintRegion(shape);
    });
    return 0;
}

std::vector<PaintedShape> hotSpotShapes(const Node& node, int column, int row, const HotSpotGeometry& geometry)
{
    std::vector<PaintedShape> shapes;
    forEachPaintedShape(node, column, row, geometry,
                        [&](std::int16_t id, const Region& shape) { shapes.push_back(PaintedShape{id, shape}); });
    return shapes;
}

OSErr paintHotSpotShapes(const std::vector<PaintedShape>& shapes, const Rect& area, OffscreenPicture& out)
{
    if (OSErr e = out.allocate(PixelDepth::Indexed8, area)) // every pixel 0 (no hot spot)
        return e;
    RasterPainter painter(out);
    for (const PaintedShape& s : shapes) {
        painter.setForeValue(std::uint32_t(s.id));
        painter.paintRegion(s.shape);
    }
    return 0;
}

OSErr turnHotSpotTile(const OffscreenPicture& part, const Rect& tile, OffscreenPicture& out)
{
    // Turned a quarter anticlockwise, the tile's pixel (h, v) lands on column v - tile.top and
    // row tile.right - 1 - h.
    if (OSErr e = out.allocate(PixelDepth::Indexed8, makeRect(0, 0, tile.width(), tile.height()))) // all 0
        return e;
    const Rect from = sectRect(part.bounds(), tile);
    // In squares of kBlock x kBlock pixels, so that the rows read and written stay in the cache.
    constexpr int kBlock = 32;
    const std::size_t rowBytes = part.rowBytes();
    for (int v0 = from.top; v0 < from.bottom; v0 += kBlock) {
        const int rows = std::min(v0 + kBlock, int(from.bottom)) - v0;
        for (int h0 = from.left; h0 < from.right; h0 += kBlock) {
            const int h1 = std::min(h0 + kBlock, int(from.right));
            for (int h = h0; h < h1; ++h) {
                std::uint8_t* to = out.row8(tile.right - 1 - h) + (v0 - tile.top);
                const std::uint8_t* column = part.row8(v0) + (h - part.bounds().left);
                for (int i = 0; i < rows; ++i)
                    to[i] = column[std::size_t(i) * rowBytes];
            }
        }
    }
    return 0;
}

} // namespace qm
