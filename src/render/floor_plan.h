#pragma once
// The floor plan of a web tour: the scene map's background drawing and boundary as the map pages
// draw them, without grid, links or node icons (the tour's map marks the nodes itself). Needs a
// QGuiApplication.
#include "project/scene.h"
#include "quicktime/base/os_types.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

// 32-bit, one pixel per map pixel, (boundary width + 1) x (boundary height + 1). memFullErr
// for a map too large to draw.
OSErr renderFloorPlan(const Scene& scene, OffscreenPicture& out);

} // namespace qm
