#pragma once
// Turning media files into nodes of a scene: the import of the node map's Add command and the
// analysis that runs again when a node is pointed at other media.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "project/scene.h"
#include "quicktime/base/os_types.h"

namespace qm {

// What an import asks of the layers above this one. Every hook may be left empty.
struct NodeImportHooks {
    // Moves a map position onto the node grid when the grid snaps.
    std::function<Point(const Scene&, Point)> snapToNodeGrid;
    // Moves the node with that ID away from the nodes it overlaps.
    std::function<void(Scene&, std::int16_t nodeId)> separateNode;
    // Discards the scene's composed movie. Empty: composed-at becomes 0 and the composed movie
    // file is deleted.
    std::function<void(Scene&)> clearComposedMovie;
    // Discards what was prepared from a node's previous media (its working copy).
    std::function<void(std::int16_t nodeId)> discardNodeWorkingCopy;
    // Whether an added QuickTime VR 2.x movie keeps its own hot spots (its hot spot atoms with
    // the pixels of its hot spot track). Unset: the program's preference decides.
    std::optional<bool> keepMovieHotSpots;
};

// The smallest positive node ID no node of the scene uses; 0 when every positive 16-bit ID is
// taken.
std::int16_t NewNodeID(const Scene& scene);

// The default view of a panorama or object node's record (degrees). Other kinds leave the
// outputs untouched.
void GetNodeDefaultView(const Node& node, float& pan, float& tilt, float& fieldOfView);

// Fills a node from its media: kind, version, bounds, media data, the kind's own values and the
// name. The media reference is resolved against the folder of projectFile (empty for a project
// never saved); a reference that had to be updated is stored back into the node. On error the
// node is unchanged.
OSErr AnalyzeNodeMedia(Node& node, const std::filesystem::path& projectFile, const NodeImportHooks& hooks = {},
                       std::string* detail = nullptr);

// Imports a file as a new node at a map position (map pixels): appended to the scene, the
// first node of a scene becoming its initial node, selected alone when select is set. The scene
// is marked modified and its composed movie discarded. On error the scene is unchanged.
// newNodeId, when given, receives the new node's ID.
OSErr AddNodeFromFile(Scene& scene, Point position, const std::filesystem::path& file, bool select,
                      const NodeImportHooks& hooks = {}, std::int16_t* newNodeId = nullptr,
                      std::string* detail = nullptr);

} // namespace qm
