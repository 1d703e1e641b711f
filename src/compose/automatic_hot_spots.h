#pragma once
// Automatic link hot spots: 'link' hot spots the program places where the destination node lies
// as seen from the node on the scene map.
#include <cstdint>

#include "appcore/preferences_record.h"
#include "project/scene.h"

namespace qm {

// The "Auto-generated hot spots:" preferences.
struct AutoHotSpotStyle {
    std::int16_t shape = HotSpotShape::kRectangle; // 3 square, 4 rectangle, 5 circle or 6 oval
    int sizePercent = 50;                           // of the image height
};
AutoHotSpotStyle autoHotSpotStyle(const PreferencesRecord& prefs);

// Degrees clockwise from the top of the map (0 up, 90 right, 180 down, 270 left) from one map
// position to another. Two nodes at the same place give 0.
float mapBearing(Point from, Point to);

// The bounds of an automatic hot spot of the given shape in the node's image coordinates for a
// destination at `bearing` degrees.
Rect automaticHotSpotBounds(const Scene& scene, const Node& node, float bearing, const AutoHotSpotStyle& style,
                            std::int16_t shape);

// Appends an automatic link hot spot to the node (IDs 1..229). False, and nothing added, when
// the node has no free ID in that range or is not in the scene.
bool createAutomaticLinkHotSpot(Scene& scene, std::int16_t nodeId, float bearing, std::int16_t destinationId,
                                const AutoHotSpotStyle& style);

// Moves the node's automatic hot spots to where their destinations now lie; with alsoIncoming
// also the automatic hot spots of other nodes that lead to this node. True when one of the
// node's own hot spots moved.
bool repositionAutomaticHotSpots(Scene& scene, std::int16_t nodeId, bool alsoIncoming, const AutoHotSpotStyle& style);

} // namespace qm
