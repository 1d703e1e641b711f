#pragma once
// The scene fields that the settings page edits, as one value: an edit of the page is a change
// from one such value to another, which is what its undo step keeps.
#include <cstdint>
#include <string>

#include "project/scene.h"

namespace qm {

struct SceneSettings {
    std::string name;
    std::int16_t width = 0, height = 0; // map dimensions in map units
    std::int16_t unit = 2;              // unit code: 1-4 imperial, 11-14 metric
    std::int16_t scale = 10;            // 1, 10, 100 or 1000
    GridSettings backgroundGrid, nodeGrid;
    float orientation = 0.0f; // degrees; -1 for the initial view
    std::int16_t masterWidth = 0, masterHeight = 0;
    std::int16_t playbackWidth = 0, playbackHeight = 0;

    friend bool operator==(const SceneSettings&, const SceneSettings&) = default;

    static SceneSettings of(const Scene& scene);
    void applyTo(Scene& scene) const;
};

// A new unit code. Crossing between imperial and metric carries the defaults over: to Meters,
// 70 x 100 becomes 18 x 28 at scale 1 and 8 grid divisions become 4; back to Feet, 18 x 28
// becomes 70 x 100 at scale 10 and 4 divisions become 8. Everything else keeps its value.
void changeUnit(SceneSettings& settings, std::int16_t newUnit);

} // namespace qm
