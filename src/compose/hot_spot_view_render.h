#pragma once
// The Hot Spots page's image view as pixels: the visible part of the working image, centred
// when it is smaller than the view, on the view background, with the hot spot overlays. The
// geometry that comes out is what the page maps pointer positions with.
#include "compose/hot_spot_overlay.h"
#include "compose/working_image.h"

namespace qm {

inline constexpr RGBColor kViewBackground{0xE665, 0xE665, 0xE665};

struct ViewGeometry {
    Rect display;     // where the shown part lies in the view (view coordinates)
    Rect source;      // the part of the working image shown (working coordinates)
    Rect nativeRect;  // of the working image
    Rect workingRect; // of the working image

    bool valid() const { return !display.empty() && !source.empty() && !nativeRect.empty() && !workingRect.empty(); }
    // View to native image coordinates and back.
    Point toNative(Point view) const;
    Point toView(Point native) const;
    Rect toView(const Rect& native) const;
    Rect toNative(const Rect& view) const;
};

// The display and source rectangles for a view area (view coordinates, usually from 0, 0) and
// scroll positions (working image pixels at the area's top-left).
ViewGeometry viewGeometry(const WorkingImage& image, const Rect& area, int scrollH, int scrollV);

// Renders the view area into out (32-bit, bounds = area): background, the picture, the
// overlays of the view's hot spots. Without a working image the area is only erased.
OSErr renderHotSpotView(const WorkingImage& image, const Node& node, ViewIndex view, const HotSpotColors& colors,
                        const Rect& area, int scrollH, int scrollV, OffscreenPicture& out, ViewGeometry& geometry);

} // namespace qm
