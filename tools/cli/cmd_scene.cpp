// quillmere-cli scene SUBCOMMAND ...: edits of a project's scene, dispatched through the table of
// scene_subcommands.h.
#include <iostream>

#include "appcore/error_table.h"
#include "appcore/interrupt.h"
#include "cli_project.h"
#include "command.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "scene_subcommands.h"

namespace qm::cli {

std::vector<SceneSubcommand>& sceneSubcommands()
{
    static std::vector<SceneSubcommand> all;
    return all;
}

bool registerSceneSubcommand(std::string name, std::string usage,
                             std::function<int(const std::vector<std::string>& args)> run)
{
    sceneSubcommands().push_back({std::move(name), std::move(usage), std::move(run)});
    return true;
}

int sceneUsageError(const std::string& name)
{
    for (const auto& s : sceneSubcommands())
        if (s.name == name)
            std::cerr << "usage: quillmere-cli scene " << s.name << " " << s.usage << "\n";
    return 2;
}

namespace {

std::string errorText(OSErr e, const std::string& detail)
{
    std::string text = std::string(errorMessage(e));
    if (!findErrorEntry(e))
        text += std::to_string(e);
    else
        text += " (" + std::to_string(e) + ")";
    if (!detail.empty())
        text += " " + detail;
    return text;
}

} // namespace

bool openSceneForEdit(const std::filesystem::path& project, bool createWhenMissing, Scene& scene)
{
    // Held until the process ends, so that no other writer changes the file between this
    // read and the save.
    if (!lockProjectForEdit(project.string()))
        return false;
    std::error_code ec;
    if (createWhenMissing && !std::filesystem::exists(project, ec)) {
        scene = makeNewScene();
        scene.projectFile = std::filesystem::absolute(project, ec);
        return true;
    }
    // Media that cannot be found now keep their references: an edit must not turn nodes into
    // generic ones behind the user's back.
    ProjectReadOptions options;
    options.resolveMedia = false;
    std::string detail;
    if (const OSErr e = openProject(project, scene, options, &detail)) {
        fail(project.string() + ": " + errorText(e, detail));
        return false;
    }
    scene.projectFile = std::filesystem::absolute(project, ec);
    return true;
}

bool saveEditedScene(Scene& scene)
{
    std::string detail;
    const std::filesystem::path file = scene.projectFile;
    ProjectWriteOptions options;
    options.progress = [](std::string_view, std::string_view, int) { return !interruptRequested(); };
    options.keepGoing = [] { return !interruptRequested(); };
    if (const OSErr e = saveProject(scene, file, options, &detail)) {
        fail(file.string() + ": " + errorText(e, detail));
        return false;
    }
    return true;
}

namespace {

int run(const std::vector<std::string>& args);

const Command kCommand{
    "scene",
    "SUBCOMMAND ARGS... (scene help lists them)",
    "Edit a project's scene: add media as nodes, and the other scene subcommands",
    run,
};
const CommandRegistration reg(kCommand);

int run(const std::vector<std::string>& args)
{
    const InterruptScope interrupts; // Ctrl-C cancels the save instead of cutting it short
    if (!args.empty()) {
        for (const auto& s : sceneSubcommands())
            if (s.name == args[0])
                return s.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    const bool help = !args.empty() && (args[0] == "help" || args[0] == "--help");
    std::ostream& out = help ? std::cout : std::cerr;
    if (!args.empty() && !help)
        out << "quillmere-cli: unknown scene subcommand \"" << args[0] << "\"\n";
    out << "usage:\n";
    for (const auto& s : sceneSubcommands())
        out << "  quillmere-cli scene " << s.name << " " << s.usage << "\n";
    return help ? 0 : 2;
}

} // namespace
} // namespace qm::cli
