#include "compose/hot_spot_painter.h"

#include <algorithm>
#include <cstring>

#include "compose/hot_spot_ids.h"
#include "quicktime/errors.h"
#include "quicktime/raster_shapes.h"
#include "quicktime/region_bytes.h"

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

// Hot spot images are painted straight from the shapes' regions: every covered pixel takes the
// hot spot's ID. (The raster layer's offscreen pictures are not used here because their colour
// table class clashes with the codec layer's in one program.)
void fillRegion(const Region& region, std::uint8_t value, const Rect& area, IndexedImage& image)
{
    for (std::size_t b = 0; b < region.bandCount(); ++b) {
        const Region::Band band = region.band(b);
        const int top = std::max<int>(band.top, area.top);
        const int bottom = std::min<int>(band.bottom, area.bottom);
        for (std::size_t k = 0; k + 1 < band.edges.size(); k += 2) {
            const int left = std::max<int>(band.edges[k], area.left);
            const int right = std::min<int>(band.edges[k + 1], area.right);
            if (left >= right)
                continue;
            for (int v = top; v < bottom; ++v)
                std::memset(image.pixels.data() + std::size_t(v - area.top) * std::size_t(image.width) +
                                std::size_t(left - area.left),
                            value, std::size_t(right - left));
        }
    }
}

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

void paintInto(const Node& node, int column, int row, const HotSpotGeometry& g, const Rect& area, IndexedImage& image)
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
        const std::uint8_t id = std::uint8_t(h.id);
        fillRegion(shape, id, area, image);
        if (wrap != 0) {
            fillRegion(shape.offset(wrap, 0), id, area, image);
            fillRegion(shape.offset(-wrap, 0), id, area, image);
        }
    }
}

OSErr blankImage(const Rect& area, IndexedImage& out)
{
    if (area.empty())
        return err::paramErr;
    out.width = area.width();
    out.height = area.height();
    out.pixels.assign(std::size_t(out.width) * std::size_t(out.height), 0);
    return 0;
}

} // namespace

OSErr paintHotSpots(const Node& node, int column, int row, const HotSpotGeometry& geometry, const Rect& area,
                    IndexedImage& out)
{
    if (OSErr e = blankImage(area, out))
        return e;
    paintInto(node, column, row, geometry, area, out);
    return 0;
}

OSErr paintRotatedPanoramaStrip(const Node& node, const HotSpotGeometry& geometry, const Rect& strip,
                                IndexedImage& out)
{
    IndexedImage upright;
    if (OSErr e = paintHotSpots(node, 0, 0, geometry, strip, upright))
        return e;
    // A quarter turn anticlockwise: the top row becomes the left column, read bottom to top.
    out.width = upright.height;
    out.height = upright.width;
    out.pixels.resize(upright.pixels.size());
    for (int v = 0; v < upright.height; ++v)
        for (int h = 0; h < upright.width; ++h)
            out.pixels[std::size_t(upright.width - 1 - h) * std::size_t(out.width) + std::size_t(v)] = upright.at(h, v);
    return 0;
}

} // namespace qm
