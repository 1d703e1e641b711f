#include "project/scene.h"

#include <algorithm>
#include <system_error>

namespace qm {

const char* NodeKind::displayName(OSType kind)
{
    switch (kind) {
    case kPanorama: return "QTVR Panorama";
    case kObject: return "QTVR Object";
    case kStillImage: return "Still Image";
    case kLinearMovie: return "Linear Movie";
    default: return "Generic Node";
    }
}

bool isMetricUnit(std::int16_t unitIndex) { return unitIndex >= 10; }

const char* unitName(std::int16_t unitIndex)
{
    switch (unitIndex) {
    case 1: return "Inches";
    case 2: return "Feet";
    case 3: return "Yards";
    case 4: return "Miles";
    case 11: return "Millimeters";
    case 12: return "Centimeters";
    case 13: return "Meters";
    case 14: return "Kilometers";
    default: return "";
    }
}

std::int16_t nextFreeNodeId(const Scene& scene)
{
    std::vector<std::int16_t> used;
    used.reserve(scene.nodes.size());
    for (const Node& n : scene.nodes)
        if (n.id > 0)
            used.push_back(n.id);
    std::sort(used.begin(), used.end());
    int candidate = 1;
    for (std::int16_t id : used) {
        if (id == candidate)
            ++candidate;
        else if (id > candidate)
            break;
    }
    return candidate > INT16_MAX ? 0 : std::int16_t(candidate);
}

bool giveNodeIds(Scene& scene)
{
    bool allHadIds = true;
    for (Node& n : scene.nodes) {
        if (n.id == 0) {
            n.id = nextFreeNodeId(scene);
            allHadIds = false;
        }
    }
    return allHadIds;
}

Node* findNode(Scene& scene, std::int16_t id)
{
    auto it = std::find_if(scene.nodes.begin(), scene.nodes.end(), [&](const Node& n) { return n.id == id; });
    return it == scene.nodes.end() ? nullptr : &*it;
}

const Node* findNode(const Scene& scene, std::int16_t id) { return findNode(const_cast<Scene&>(scene), id); }

void markDirty(Scene& scene)
{
    scene.dirty = true;
    scene.untouchedNew = false;
}

void disposeScene(Scene& scene)
{
    if (!scene.composedMovieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(scene.composedMovieFile, ec);
    }
    scene = Scene{};
}

} // namespace qm
