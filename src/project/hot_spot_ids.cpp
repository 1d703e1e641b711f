#include "project/hot_spot_ids.h"

#include <bitset>
#include <vector>

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

bool giveHotSpotsUniqueIds(Scene& scene)
{
    bool unchanged = true;
    for (Node& node : scene.nodes) {
        std::bitset<256> seen;
        std::vector<HotSpot*> repeats;
        for (HotSpot& h : node.hotSpots) {
            if (!isUsableHotSpotId(h.id))
                continue;
            if (seen.test(std::size_t(h.id)))
                repeats.push_back(&h);
            seen.set(std::size_t(h.id));
        }
        for (HotSpot* h : repeats) {
            h->id = 0; // out of the way while the free IDs are looked for
            h->id = nextFreeHotSpotId(node);
            unchanged = false;
        }
    }
    return unchanged;
}

} // namespace qm
