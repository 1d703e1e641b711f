#include <charconv>
#include <iostream>

#include "appcore/terminal_progress.h"
#include "cli_project.h"
#include "command.h"
#include "compose/compose_environment.h"
#include "compose/compose_errors.h"
#include "web/web_export.h"

#ifdef QM_HAVE_MAP_RENDERER
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <memory>

#include "render/floor_plan.h"
#endif

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "export-web",
    "PROJECT -o DIR [--quality Q] [--max-width W]",
    "Export the scene as a web tour (Photo Sphere Viewer) in DIR; Ctrl-C cancels and removes what was written",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

// Takes "-o VALUE" style options out of args.
bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value)
{
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name) {
            value = args[i + 1];
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
            return true;
        }
    return false;
}

#ifdef QM_HAVE_MAP_RENDERER
// The map renderer draws with QtGui: an offscreen application for the length of the command.
std::unique_ptr<QGuiApplication> offscreenApplication()
{
    if (QGuiApplication::instance())
        return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string folder = "/tmp/runtime-quillmere-" + std::to_string(getuid());
        mkdir(folder.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    static int argc = 1;
    static char name[] = "quillmere-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}
#endif

bool number(const std::string& text, int low, int high, int& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    std::string out, quality, maxWidth;
    takeOption(args, "-o", out);
    const bool hasQuality = takeOption(args, "--quality", quality);
    const bool hasWidth = takeOption(args, "--max-width", maxWidth);
    if (args.size() != 1 || out.empty())
        return qm::cli::usageError(kCommand);
    qm::web::WebExportOptions options;
    options.folder = out;
    if (hasQuality && !number(quality, 1, 100, options.quality))
        return qm::cli::fail("--quality takes a number from 1 to 100");
    if (hasWidth && !number(maxWidth, 256, 16384, options.maxWidth))
        return qm::cli::fail("--max-width takes a number from 256 to 16384");

    qm::Scene scene;
    if (!qm::cli::openProjectForEdit(args[0], scene, false))
        return 1;
#ifdef QM_HAVE_MAP_RENDERER
    const auto app = offscreenApplication();
    options.renderFloorPlan = [](const qm::Scene& s, qm::OffscreenPicture& plan) { return qm::renderFloorPlan(s, plan); };
#endif
    const qm::ComposeEnvironment env = qm::standardComposeEnvironment();
    qm::TerminalProgress progress;
    qm::web::WebExportReport report;
    std::string detail;
    const qm::OSErr e = qm::web::exportWebTour(scene, options, env, progress, report, &detail);
    qm::disposeScene(scene);
    if (e == -128) {
        std::cerr << "quillmere-cli: export cancelled; the files written were removed\n";
        return 130;
    }
    if (e == -1)
        return qm::cli::fail(args[0] + ": the scene has no node whose media can be shown" +
                             (report.missingNodes.empty() ? "" : " (media missing)"));
    if (e)
        return qm::cli::fail((detail.empty() ? args[0] : detail) + " (" + std::to_string(e) + ")");
    for (const std::string& m : report.missingNodes)
        std::cerr << "quillmere-cli: left out node " << m << "\n";
    std::cout << "exported " << report.exportedNodes << " of " << report.exportedNodes + int(report.missingNodes.size())
              << " nodes into " << out << (report.videoEncoder.empty() ? "" : " (movies: H.264, " + report.videoEncoder + ")")
              << "\n";
    std::cout << "Serve the folder with any static web server, e.g. `python3 -m http.server` in " << out
              << ", and open http://localhost:8000/ (opening index.html as a file does not work)\n";
    return report.missingNodes.empty() ? 0 : 1;
}

} // namespace
