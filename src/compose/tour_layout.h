#pragma once
// Placing an imported tour's nodes on the scene map so that each link arrow points the way its
// link hot spot looks from its node.
#include <optional>

#include "project/scene.h"

namespace qm {

// The map bearing (degrees clockwise from the top of the map) in which a hot spot lies as seen
// from its node: the inverse of where an automatic hot spot for that bearing is placed (the
// hot spot's centre, the panorama's pan range and the scene's orientation). None for a node
// without a usable record or image size.
std::optional<float> hotSpotBearing(const Scene& scene, const Node& node, const HotSpot& hotSpot);

// Places every node: from the initial node outwards, a node reached by a link lies two map
// units from its source in the link's bearing (links either way round count); groups of nodes
// that no link reaches are laid out beside the others. The map grows to hold them all, and the
// node grid and the separation distance are applied last.
void layoutTourMap(Scene& scene);

} // namespace qm
