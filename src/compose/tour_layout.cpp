#include "compose/tour_layout.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <numbers>

#include "compose/scene_map_edit.h"

namespace qm {

namespace {

// Two scene units of 72 map pixels: well beyond the separation distance, so arrows show.
constexpr double kLinkLength = 144.0;
constexpr double kMargin = 72.0;

struct Spot {
    double h = 0;
    double v = 0;
};

Spot along(Spot from, float bearing, double length)
{
    const double r = double(bearing) * std::numbers::pi / 180.0;
    return Spot{from.h + length * std::sin(r), from.v - length * std::cos(r)};
}

} // namespace

std::optional<float> hotSpotBearing(const Scene& scene, const Node& node, const HotSpot& hotSpot)
{
    const Rect& d = node.displayBounds;
    const float centre = (float(hotSpot.bounds.left) + float(hotSpot.bounds.right)) * 0.5f;
    float pan = 0;
    const auto* pano = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (node.kind == NodeKind::kPanorama && pano) {
        // The unrolled width is the display bounds' height (they hold the stored, turned image).
        const float range = pano->maxPan - pano->minPan;
        if (range <= 0 || d.height() <= 0)
            return std::nullopt;
        pan = centre * range / float(d.height());
        const float o = scene.orientation == -1.0f ? pano->defaultPan : scene.orientation;
        float turned = 360.0f - o;
        turned = turned < 0 ? turned + 360.0f : turned >= 360.0f ? turned - 360.0f : turned;
        pan -= turned;
    } else {
        if (d.width() <= 0)
            return std::nullopt;
        pan = centre * 360.0f / float(d.width());
    }
    pan = std::fmod(pan, 360.0f);
    return pan < 0 ? pan + 360.0f : pan;
}

void layoutTourMap(Scene& scene)
{
    if (scene.nodes.empty())
        return;
    // Every link either way between two nodes, as (from, to, bearing seen from `from`).
    struct Edge {
        std::size_t from, to;
        float bearing;
    };
    std::map<std::int16_t, std::size_t> position;
    for (std::size_t i = 0; i < scene.nodes.size(); ++i)
        position[scene.nodes[i].id] = i;
    std::vector<std::vector<Edge>> edges(scene.nodes.size());
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        for (const HotSpot& h : scene.nodes[i].hotSpots) {
            const auto dest = position.find(h.destinationNodeId);
            if (h.type != HotSpotType::kLink || dest == position.end() || dest->second == i)
                continue;
            const auto bearing = hotSpotBearing(scene, scene.nodes[i], h);
            if (!bearing)
                continue;
            edges[i].push_back(Edge{i, dest->second, *bearing});
            edges[dest->second].push_back(Edge{dest->second, i, std::fmod(*bearing + 180.0f, 360.0f)});
        }
    }

    std::vector<std::optional<Spot>> spots(scene.nodes.size());
    std::size_t first = 0;
    for (std::size_t i = 0; i < scene.nodes.size(); ++i)
        if (scene.nodes[i].initial) {
            first = i;
            break;
        }
    double right = 0;
    auto placeGroup = [&](std::size_t start, Spot at) {
        spots[start] = at;
        std::deque<std::size_t> queue{start};
        std::vector<std::size_t> group{start};
        while (!queue.empty()) {
            const std::size_t a = queue.front();
            queue.pop_front();
            for (const Edge& e : edges[a]) {
                if (spots[e.to])
                    continue;
                spots[e.to] = along(*spots[a], e.bearing, kLinkLength);
                group.push_back(e.to);
                queue.push_back(e.to);
            }
        }
        // The next group starts right of everything placed so far.
        for (std::size_t n : group)
            right = std::max(right, spots[n]->h);
    };
    placeGroup(first, Spot{0, 0});
    for (std::size_t i = 0; i < scene.nodes.size(); ++i)
        if (!spots[i])
            placeGroup(i, Spot{right + kLinkLength, 0});

    double minH = spots[0]->h, minV = spots[0]->v, maxH = minH, maxV = minV;
    for (const auto& s : spots) {
        minH = std::min(minH, s->h);
        minV = std::min(minV, s->v);
        maxH = std::max(maxH, s->h);
        maxV = std::max(maxV, s->v);
    }
    // The map holds every node with a margin; its size is in scene units.
    const double pixelsPerUnit = std::max(1, mapPixelsPerUnit(scene));
    const double scale = std::max<std::int16_t>(1, scene.scaleFactor);
    auto unitsFor = [&](double pixels) {
        return std::int16_t(std::clamp(std::ceil(pixels / pixelsPerUnit * scale), 1.0, 32767.0));
    };
    scene.mapWidth = std::max(scene.mapWidth, unitsFor(maxH - minH + 2 * kMargin));
    scene.mapHeight = std::max(scene.mapHeight, unitsFor(maxV - minV + 2 * kMargin));
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        const Point p{std::int16_t(std::lround(spots[i]->v - minV + kMargin)),
                      std::int16_t(std::lround(spots[i]->h - minH + kMargin))};
        scene.nodes[i].mapPosition = snapToNodeGrid(scene, p);
    }
    for (const Node& n : scene.nodes)
        separateNode(scene, n.id);
}

} // namespace qm
