#include <iostream>

#include "cli_project.h"
#include "command.h"
#include "compose/scene_map_edit.h"
#include "scene_subcommands.h"

namespace {

int run(const std::vector<std::string>& args)
{
    if (args.size() != 2) {
        std::cerr << "usage: quillmere-cli scene delete PROJECT NODE\n";
        return 2;
    }
    qm::Scene scene;
    if (!qm::cli::openSceneForEdit(args[0], false, scene))
        return 1;
    int status = 0;
    const auto id = qm::cli::nodeIdArgument(scene, args[1]);
    if (!id) {
        status = qm::cli::fail("no node " + args[1] + " in the project");
    } else {
        qm::deleteNode(scene, *id);
        if (!qm::cli::saveEditedScene(scene))
            status = 1;
        else
            std::cout << "deleted node " << *id << "\n";
    }
    qm::disposeScene(scene);
    return status;
}

const bool reg = qm::cli::registerSceneSubcommand(
    "delete", "PROJECT NODE  (deletes a node and every link that leads to it)", run);

} // namespace
