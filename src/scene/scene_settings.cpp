#include "scene/scene_settings.h"

#include "scene/settings_lists.h"

namespace qm {

SceneSettings SceneSettings::of(const Scene& scene)
{
    SceneSettings s;
    s.name = scene.name.str();
    s.width = scene.mapWidth;
    s.height = scene.mapHeight;
    s.unit = scene.unitIndex;
    s.scale = scene.scaleFactor;
    s.backgroundGrid = scene.backgroundGrid;
    s.nodeGrid = scene.nodeGrid;
    s.orientation = scene.orientation;
    s.masterWidth = scene.masterWidth;
    s.masterHeight = scene.masterHeight;
    s.playbackWidth = scene.playbackWidth;
    s.playbackHeight = scene.playbackHeight;
    return s;
}

void SceneSettings::applyTo(Scene& scene) const
{
    scene.name = name;
    scene.mapWidth = width;
    scene.mapHeight = height;
    scene.unitIndex = unit;
    scene.scaleFactor = scale;
    scene.backgroundGrid = backgroundGrid;
    scene.nodeGrid = nodeGrid;
    scene.orientation = orientation;
    scene.masterWidth = masterWidth;
    scene.masterHeight = masterHeight;
    scene.playbackWidth = playbackWidth;
    scene.playbackHeight = playbackHeight;
}

void changeUnit(SceneSettings& s, std::int16_t newUnit)
{
    const bool wasMetric = settings::isMetric(s.unit);
    const bool toMetric = settings::isMetric(newUnit);
    if (wasMetric != toMetric) {
        if (toMetric) {
            if (newUnit == 13 && s.width == 70 && s.height == 100) {
                s.width = 18;
                s.height = 28;
                s.scale = 1;
            }
            for (GridSettings* g : {&s.backgroundGrid, &s.nodeGrid})
                if (g->divisions == 8)
                    g->divisions = 4;
        } else {
            if (newUnit == 2 && s.width == 18 && s.height == 28) {
                s.width = 70;
                s.height = 100;
                s.scale = 10;
            }
            for (GridSettings* g : {&s.backgroundGrid, &s.nodeGrid})
                if (g->divisions == 4)
                    g->divisions = 8;
        }
    }
    s.unit = newUnit;
}

} // namespace qm
