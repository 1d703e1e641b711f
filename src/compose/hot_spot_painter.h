#pragma once
// Paints a node's hot spots into 8-bit hot spot images: each pixel holds the ID of the hot spot
// that covers it (the later one in the node's list where two overlap), 0 where none does.
#include <vector>

#include "project/scene.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/raster/region.h"

namespace qm {

struct HotSpotGeometry {
    Rect imageRect;        // the node's image, in which hot spot bounds are given
    Rect hotSpotImageRect; // the hot spot image; bounds are mapped onto it when it differs
    // For a full-circle panorama the unrolled width in image coordinates: a hot spot is painted
    // once more a turn to either side, so that one crossing the seam shows at both ends.
    int wrapDistance = 0;
};

// The hot spots of view (column, row) into a new 8-bit picture whose bounds are `area` (hot spot
// image coordinates). Hot spots with IDs outside 1..254 are not painted.
OSErr paintHotSpots(const Node& node, int column, int row, const HotSpotGeometry& geometry, const Rect& area,
                    OffscreenPicture& out);

// A region paintHotSpots paints and the hot spot ID it paints there.
struct PaintedShape {
    std::int16_t id = 0;
    Region shape;
};

// The regions paintHotSpots paints for view (column, row), in painting order: made once, they
// paint any number of parts of the hot spot image with paintHotSpotShapes.
std::vector<PaintedShape> hotSpotShapes(const Node& node, int column, int row, const HotSpotGeometry& geometry);

// The shapes painted into a new 8-bit picture whose bounds are `area`: the same pixels as
// paintHotSpots over that area.
OSErr paintHotSpotShapes(const std::vector<PaintedShape>& shapes, const Rect& area, OffscreenPicture& out);

// A panorama tile turned a quarter turn anticlockwise as tiles are stored (bounds from 0, 0):
// `part` holds the tile's pixels within its bounds, and every other pixel of `tile` is 0.
OSErr turnHotSpotTile(const OffscreenPicture& part, const Rect& tile, OffscreenPicture& out);

// The wrap distance of a node: the unrolled width for a panorama of 0 to 360 degrees, else 0.
int hotSpotWrapDistance(const Node& node);

} // namespace qm
