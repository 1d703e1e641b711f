// quillmere-cli scene add PROJECT MEDIA [--at V,H] [--no-hot-spots]: imports a media file as a node
// of a project (creating the project when it does not exist) and saves the project. A QuickTime VR
// movie keeps its own hot spots unless --no-hot-spots is given.
#include <iostream>

#include "appcore/error_table.h"
#include "command.h"
#include "compose/composed_movie.h"
#include "compose/scene_map_edit.h"
#include "media/node_import.h"
#include "scene_subcommands.h"

namespace qm::cli {
namespace {

// The map position the Add button uses.
constexpr Point kDefaultPosition{72, 72};

bool parsePoint(const std::string& text, Point& out)
{
    const auto comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    try {
        std::size_t used = 0;
        const int v = std::stoi(text.substr(0, comma), &used);
        if (used != comma)
            return false;
        const std::string hText = text.substr(comma + 1);
        const int h = std::stoi(hText, &used);
        if (used != hText.size() || v < INT16_MIN || v > INT16_MAX || h < INT16_MIN || h > INT16_MAX)
            return false;
        out = Point{std::int16_t(v), std::int16_t(h)};
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    Point position = kDefaultPosition;
    const bool dropHotSpots = hasFlag(args, "--no-hot-spots");
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it == "--at") {
            if (it + 1 == args.end() || !parsePoint(*(it + 1), position))
                return sceneUsageError("add");
            args.erase(it, it + 2);
            break;
        }
    }
    if (args.size() != 2)
        return sceneUsageError("add");
    Scene scene;
    if (!openSceneForEdit(args[0], true, scene))
        return 1;
    NodeImportHooks hooks;
    hooks.snapToNodeGrid = [](const Scene& s, Point p) { return snapToNodeGrid(s, p); };
    hooks.separateNode = [](Scene& s, std::int16_t nodeId) { separateNode(s, nodeId); };
    hooks.clearComposedMovie = [](Scene& s) { clearComposedMovie(s); };
    if (dropHotSpots)
        hooks.keepMovieHotSpots = false;
    std::int16_t id = 0;
    std::string detail;
    if (const OSErr e = AddNodeFromFile(scene, position, args[1], true, hooks, &id, &detail)) {
        std::string text = args[1] + ": " + std::string(errorMessage(e));
        text += findErrorEntry(e) ? " (" + std::to_string(e) + ")" : std::to_string(e);
        return fail(detail.empty() ? text : text + " " + detail);
    }
    if (!saveEditedScene(scene))
        return 1;
    const Node& node = *findNode(scene, id);
    std::cout << "added node " << id << " \"" << node.name << "\" (" << NodeKind::displayName(node.kind) << ") at "
              << node.mapPosition.v << "," << node.mapPosition.h << (node.initial ? ", the initial node" : "");
    if (!node.hotSpots.empty())
        std::cout << ", " << node.hotSpots.size() << " hot spots kept";
    std::cout << "\n";
    return 0;
}

const bool registered = registerSceneSubcommand("add", "PROJECT MEDIA [--at V,H] [--no-hot-spots]", run);

} // namespace
} // namespace qm::cli
