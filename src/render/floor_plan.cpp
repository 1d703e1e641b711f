#include "render/floor_plan.h"

#include <algorithm>
#include <cstring>

#include "quicktime/base/errors.h"
#include "render/map_renderer.h"

namespace qm {

OSErr renderFloorPlan(const Scene& scene, OffscreenPicture& out)
{
    const QSize boundary = mapBoundarySize(scene);
    const int width = std::clamp(boundary.width() + 1, 1, 8192);
    const int height = std::clamp(boundary.height() + 1, 1, 8192);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return err::memFullErr;
    MapRenderOptions options;
    options.grid = MapGrid::None;
    options.nodes = false;
    options.selectionMarks = false;
    renderMap(scene, image, QPoint(0, 0), options);
    if (OSErr e = out.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)}))
        return e;
    // Both hold 0xAARRGGBB words in native order.
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        std::uint32_t* dst = out.row32(y);
        for (int x = 0; x < width; ++x)
            dst[x] = 0xFF000000u | src[x];
    }
    return 0;
}

} // namespace qm
