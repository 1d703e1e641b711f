#include "compose/hot_spot_ids.h"

#include <bitset>

namespace qm {

bool isUsableHotSpotId(std::int16_t id) { return id >= 1 && id <= kMaxHotSpotId; }

std::int16_t nextFreeHotSpotId(const Node& node, std::int16_t maxId)
{
    std::bitset<256> used;
    for (const HotSpot& h : node.hotSpots)
        if (isUsableHotSpotId(h.id))
            used.set(std::size_t(h.id));
    for (std::int16_t id = 1; id <= maxId && id <= kMaxHotSpotId; ++id)
        if (!used.test(std::size_t(id)))
            return id;
    return 0;
}

} // namespace qm
