#pragma once
// The QuickTime VR 2.x hot spot atoms of a node: per hot spot a 'hots' atom (ID = hot spot ID)
// holding its name and comment strings, a 'url ' or 'link' atom by type, and 'hsin'.
#include <optional>

#include "project/scene.h"
#include "quicktime/atoms/atom_container.h"

namespace qm {

// 'hsin', 68 bytes. rect: the hot spot's extent in hot spot image coordinates.
Bytes hotSpotInfoData(const HotSpot& hotSpot, const Rect& rect);

// 'link', 72 bytes. Without a custom link view the "to" view is the destination node's default
// view (pan 0, tilt 0, field of view 120 when the destination is unknown or has no media data).
Bytes linkHotSpotData(const Scene& scene, const HotSpot& hotSpot);

// The hot spot's extent mapped from the node's image rectangle to its hot spot image
// rectangle; for panoramas turned into the rotated tile coordinates of the hot spot image.
Rect hotSpotImageExtent(const Node& node, const HotSpot& hotSpot, const Rect& imageRect,
                        const Rect& hotSpotImageRect);

// The hot spot atoms of every hot spot of the node, in the node's order, under the container's
// root; none (and 0) when the node has no hot spots. Hot spots whose ID is outside 1..254 cannot
// be painted and are left out; a later record with an ID already written (the same hot spot in
// another view of an object) adds pixels but no atoms. A failed 'hots' or 'hsin' insertion ends the build with its error
// and `out` holds what was built up to it.
OSErr buildHotSpotAtoms(const Scene& scene, const Node& node, const Rect& imageRect, const Rect& hotSpotImageRect,
                        std::optional<AtomContainer>& out);

} // namespace qm
