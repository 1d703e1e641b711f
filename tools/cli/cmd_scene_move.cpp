#include <charconv>
#include <iostream>

#include "cli_project.h"
#include "command.h"
#include "compose/scene_map_edit.h"
#include "scene_subcommands.h"

namespace {

bool coordinate(const std::string& text, int& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= INT16_MIN && out <= INT16_MAX;
}

int run(const std::vector<std::string>& args)
{
    if (args.size() != 4) {
        std::cerr << "usage: quillmere-cli scene move PROJECT NODE V H\n";
        return 2;
    }
    int v = 0;
    int h = 0;
    if (!coordinate(args[2], v) || !coordinate(args[3], h))
        return qm::cli::fail("V and H must be map coordinates (whole numbers)");
    qm::Scene scene;
    if (!qm::cli::openSceneForEdit(args[0], false, scene))
        return 1;
    int status = 0;
    const auto id = qm::cli::nodeIdArgument(scene, args[1]);
    if (!id) {
        status = qm::cli::fail("no node " + args[1] + " in the project");
    } else {
        for (qm::Node& n : scene.nodes)
            n.selected = n.id == *id;
        qm::Node* node = qm::findNode(scene, *id);
        const qm::Point from = node->mapPosition;
        const bool moved = qm::moveSelectedNodes(scene, h - from.h, v - from.v, qm::AutoHotSpotStyle{});
        node = qm::findNode(scene, *id);
        if (moved && !qm::cli::saveEditedScene(scene))
            status = 1;
        else
            std::cout << "node " << *id << " at " << node->mapPosition.v << "," << node->mapPosition.h
                      << (moved ? "" : " (unchanged)") << "\n";
    }
    qm::disposeScene(scene);
    return status;
}

const bool reg = qm::cli::registerSceneSubcommand(
    "move", "PROJECT NODE V H  (moves a node on the map, snapped and kept apart from the others)", run);

} // namespace
