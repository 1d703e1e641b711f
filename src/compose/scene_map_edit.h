#pragma once
// Scene map operations that need no window: snapping to the node grid, keeping nodes apart,
// moving and deleting nodes, and making and removing links between nodes.
//
// Map coordinates are map pixels from the top-left of the scene boundary, vertical axis down.
#include <cstdint>

#include "compose/automatic_hot_spots.h"
#include "project/scene.h"

namespace qm {

class WorkingCopies;

// Map pixels per scene unit: 72 for imperial units, 29 for metric ones.
int mapPixelsPerUnit(const Scene& scene);
// Nodes closer than this on both axes overlap.
inline constexpr int kNodeSeparation = 72;

// The point moved to the nearest node-grid crossing while the node grid is shown and active;
// unchanged otherwise. Crossings on the boundary's edges are avoided.
Point snapToNodeGrid(const Scene& scene, Point point);

// Moves the node until no other node lies within kNodeSeparation pixels of it, staying 24 pixels
// inside the boundary; after 1024 tries it is put at (72, 72).
void separateNode(Scene& scene, std::int16_t nodeId);

// Moves every selected node by (dh, dv), snaps and separates it and moves the automatic hot
// spots that lead from and to it. When any node moved, the composed movie is cleared and the
// scene marked dirty. True when any node moved.
bool moveSelectedNodes(Scene& scene, int dh, int dv, const AutoHotSpotStyle& style,
                       WorkingCopies* workingCopies = nullptr);

// Deletes the node, its working copy and every hot spot of other nodes that leads to it; when it
// was the initial node the first remaining node becomes initial. Clears the composed movie and
// marks the scene dirty. False when there is no such node.
bool deleteNode(Scene& scene, std::int16_t nodeId, WorkingCopies* workingCopies = nullptr);
// Deletes the selected nodes, first selected first; returns how many.
int deleteSelectedNodes(Scene& scene, WorkingCopies* workingCopies = nullptr);

// Whether a hot spot of the source leads to the destination.
bool linkExists(const Scene& scene, std::int16_t sourceId, std::int16_t destinationId);

// Adds an automatic link hot spot to the source, placed at the destination's bearing on the map,
// unless a hot spot of the source already leads there (made is then false). Errors: paramErr
// for unknown nodes or a link from a node to itself, err::noFreeHotSpotId when the source has no
// free ID for an automatic hot spot.
OSErr createLink(Scene& scene, std::int16_t sourceId, std::int16_t destinationId, const AutoHotSpotStyle& style,
                 WorkingCopies* workingCopies = nullptr, bool* made = nullptr);

// Removes every hot spot of the source that leads to the destination. True when any was.
bool deleteLink(Scene& scene, std::int16_t sourceId, std::int16_t destinationId,
                WorkingCopies* workingCopies = nullptr);

// Links whose destination exists (each such hot spot counts once).
int countLinks(const Scene& scene);
int countSelectedNodes(const Scene& scene);

// The topmost node (the last in the list) whose 32 x 32 icon contains the point; 0 for none.
std::int16_t hitTestNode(const Scene& scene, Point point);

// Map selection. Without toggle: a node already selected keeps the selection as it is (so that
// several selected nodes can be dragged together), otherwise it becomes the only selected node;
// node ID 0 clears the selection. With toggle the node's flag flips and the others keep theirs.
// True when the selection changed.
bool selectNode(Scene& scene, std::int16_t nodeId, bool toggle = false);
// Selects every node; true when the selection changed.
bool selectAllNodes(Scene& scene);

// A link drawn at the point: within the rectangle spanned by its two nodes grown by 4 pixels,
// and no more than 6 pixels across its main direction from the line. The first found, in node
// and hot spot order; false when none.
bool findLinkAt(const Scene& scene, Point point, std::int16_t& sourceId, std::int16_t& destinationId);

} // namespace qm
