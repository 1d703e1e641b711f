#pragma once
// The hot spot overlays of the Hot Spots page, drawn into a 32-bit picture: each hot spot of the
// view framed in black and tinted with its colour by the arithmetic minimum (each component of a
// pixel becomes the smaller of the colour's and the picture's, so the image shows through), and
// the four handles of selected ones. Labels are drawn by the caller, which has the fonts.
#include <functional>

#include "appcore/preferences_record.h"
#include "compose/hot_spot_edits.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/raster/region.h"

namespace qm {

struct HotSpotColors {
    RGBColor autoColor;   // hot spots the program placed
    RGBColor manualColor; // hot spots the user drew or changed
};

// The node's colours: its own overrides where set, else the preferences'.
HotSpotColors hotSpotColorsOf(const Node& node, const PreferencesRecord& prefs);

// toPicture maps native bounds to picture coordinates (the page's native-to-view mapping).
// Nothing is drawn outside clip (default: the whole picture).
void drawHotSpotOverlays(OffscreenPicture& picture, const Node& node, ViewIndex view,
                         const std::function<Rect(const Rect&)>& toPicture, const HotSpotColors& colors,
                         const Rect* clip = nullptr);

// The region a hot spot covers once its bounds are mapped to `viewBounds`.
Region hotSpotViewRegion(const HotSpot& h, const Rect& viewBounds);

} // namespace qm
