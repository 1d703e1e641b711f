// quillmere-cli import-tour MOVIE -o PROJECT.qmp [--no-hot-spots]: opens a multi-node QuickTime
// VR movie as a scene: its nodes as single-node movies in "<PROJECT> Nodes" and a new project.
#include <iostream>

#include "appcore/error_table.h"
#include "appcore/terminal_progress.h"
#include "command.h"
#include "compose/tour_import.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "import-tour",
    "MOVIE -o PROJECT.qmp [--no-hot-spots]",
    "Open a multi-node QuickTime VR movie as a new project, each node its own movie beside it",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    qm::TourImportOptions options;
    options.keepHotSpots = !qm::cli::hasFlag(args, "--no-hot-spots");
    std::string out;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-o") {
            out = args[i + 1];
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
            break;
        }
    if (args.size() != 1 || out.empty())
        return qm::cli::usageError(kCommand);

    qm::Scene scene;
    std::string detail;
    qm::TerminalProgress progress;
    const qm::OSErr e = qm::importTour(args[0], out, options, progress, scene, &detail);
    if (e == -128) {
        std::cerr << "quillmere-cli: import cancelled; nothing written\n";
        return 130;
    }
    if (e) {
        std::string text = args[0] + ": " + std::string(qm::errorMessage(e));
        text += qm::findErrorEntry(e) ? " (" + std::to_string(e) + ")" : std::to_string(e);
        return qm::cli::fail(detail.empty() ? text : text + " " + detail);
    }
    std::cout << "imported " << scene.nodes.size() << " nodes into " << out << " (node movies in \""
              << qm::tourNodeFolder(scene.projectFile).string() << "\")\n";
    for (const qm::Node& n : scene.nodes)
        std::cout << "  node " << n.id << " \"" << n.name << "\" " << qm::NodeKind::displayName(n.kind) << " at "
                  << n.mapPosition.v << "," << n.mapPosition.h << ", " << n.hotSpots.size() << " hot spots"
                  << (n.initial ? ", the initial node" : "") << "\n";
    qm::disposeScene(scene);
    return 0;
}

} // namespace
