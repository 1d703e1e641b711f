#pragma once
// Hot spot IDs of a node. An ID is also the pixel value that marks the hot spot in the node's
// hot spot image, so only 1..254 can be used: 0 marks "no hot spot" and 255 is the painter's
// drawing value.
#include <cstdint>

#include "project/scene.h"

namespace qm {

inline constexpr std::int16_t kMaxHotSpotId = 254;
// Automatic link hot spots take their IDs from 1..229 only, leaving the rest for the user.
inline constexpr std::int16_t kMaxAutomaticHotSpotId = 229;

bool isUsableHotSpotId(std::int16_t id);

// The smallest ID from 1 to maxId that no hot spot of the node uses; 0 when every one is taken
// (the node cannot hold another hot spot).
std::int16_t nextFreeHotSpotId(const Node& node, std::int16_t maxId = kMaxHotSpotId);

// Gives every hot spot whose usable ID repeats an earlier one's in its node a free ID (0 when the
// node has none left: the hot spot is kept but not composed). Files written when every ID was in
// use hold such repeats. False when any hot spot was changed.
bool giveHotSpotsUniqueIds(Scene& scene);

} // namespace qm
