#include "compose/hot_spot_view_render.h"

#include <algorithm>
#include <cstring>

#include "quicktime/raster/raster_geometry.h"

namespace qm {

Point ViewGeometry::toNative(Point view) const
{
    return mapPoint(mapPoint(view, display, source), workingRect, nativeRect);
}

Point ViewGeometry::toView(Point native) const
{
    return mapPoint(mapPoint(native, nativeRect, workingRect), source, display);
}

Rect ViewGeometry::toView(const Rect& native) const
{
    return mapRect(mapRect(native, nativeRect, workingRect), source, display);
}

Rect ViewGeometry::toNative(const Rect& view) const
{
    return mapRect(mapRect(view, display, source), workingRect, nativeRect);
}

ViewGeometry viewGeometry(const WorkingImage& image, const Rect& area, int scrollH, int scrollV)
{
    ViewGeometry g;
    g.nativeRect = image.nativeRect;
    g.workingRect = image.workingRect;
    if (image.isNull())
        return g;
    int left = area.left;
    int top = area.top;
    int width = area.width();
    int height = area.height();
    const int w = image.workingRect.width();
    const int h = image.workingRect.height();
    if (w < width) {
        left += (width - w) / 2;
        width = w;
    }
    if (h < height) {
        top += (height - h) / 2;
        height = h;
    }
    scrollH = std::clamp(scrollH, 0, std::max(0, w - width));
    scrollV = std::clamp(scrollV, 0, std::max(0, h - height));
    g.display = makeRect(top, left, top + height, left + width);
    g.source = makeRect(image.workingRect.top + scrollV, image.workingRect.left + scrollH,
                        image.workingRect.top + scrollV + height, image.workingRect.left + scrollH + width);
    return g;
}

OSErr renderHotSpotView(const WorkingImage& image, const Node& node, ViewIndex view, const HotSpotColors& colors,
                        const Rect& area, int scrollH, int scrollV, OffscreenPicture& out, ViewGeometry& geometry)
{
    if (out.isNull() || out.bounds() != area || out.depth() != PixelDepth::Argb32)
        if (OSErr e = out.allocate(PixelDepth::Argb32, area))
            return e;
    out.fill(out.valueFor(kViewBackground));
    geometry = viewGeometry(image, area, scrollH, scrollV);
    if (!geometry.valid())
        return 0;
    const Rect& d = geometry.display;
    const Rect& s = geometry.source;
    for (int y = 0; y < d.height(); ++y)
        std::memcpy(out.row32(d.top + y) + (d.left - area.left), image.picture.row32(s.top + y) + (s.left - image.picture.bounds().left),
                    std::size_t(d.width()) * 4);
    drawHotSpotOverlays(out, node, view, [&](const Rect& r) { return geometry.toView(r); }, colors, &d);
    return 0;
}

} // namespace qm
