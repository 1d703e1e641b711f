#include <iostream>

#include "cli_project.h"
#include "command.h"
#include "compose/compose_errors.h"
#include "compose/scene_map_edit.h"
#include "scene_subcommands.h"

namespace {

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    const bool both = qm::cli::hasFlag(args, "--both");
    if (args.size() != 3) {
        std::cerr << "usage: quillmere-cli scene link PROJECT SOURCE DEST [--both]\n";
        return 2;
    }
    qm::Scene scene;
    if (!qm::cli::openSceneForEdit(args[0], false, scene))
        return 1;
    const auto source = qm::cli::nodeIdArgument(scene, args[1]);
    const auto dest = qm::cli::nodeIdArgument(scene, args[2]);
    int status = 0;
    if (!source || !dest || *source == *dest) {
        status = qm::cli::fail("SOURCE and DEST must be two different node IDs of the project");
    } else {
        const qm::AutoHotSpotStyle style;
        std::string report; // printed once the project is saved
        for (int pass = 0; pass < (both ? 2 : 1) && status == 0; ++pass) {
            const std::int16_t from = pass == 0 ? *source : *dest;
            const std::int16_t to = pass == 0 ? *dest : *source;
            bool made = false;
            if (const qm::OSErr e = qm::createLink(scene, from, to, style, nullptr, &made)) {
                status = qm::cli::fail("node " + std::to_string(from) + ": " +
                                       std::string(qm::composeErrorMessage(e)));
                break;
            }
            report += (made ? "linked " : "already linked ") + std::to_string(from) + " -> " + std::to_string(to) + "\n";
        }
        if (status == 0 && !qm::cli::saveEditedScene(scene))
            status = 1;
        if (status == 0)
            std::cout << report;
    }
    qm::disposeScene(scene);
    return status;
}

const bool reg = qm::cli::registerSceneSubcommand(
    "link", "PROJECT SOURCE DEST [--both]  (a link hot spot from SOURCE to DEST, and back with --both)", run);

} // namespace
