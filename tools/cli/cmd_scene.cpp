#include <algorithm>
#include <iostream>

#include "command.h"
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

} // namespace qm::cli

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "scene",
    "SUBCOMMAND PROJECT ...",
    "Edit a project's scene without a window (subcommands: see 'scene help')",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

void printSubcommands(std::ostream& out)
{
    auto all = qm::cli::sceneSubcommands();
    std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.name < b.name; });
    out << "usage: quillmere-cli scene SUBCOMMAND ...\n";
    for (const auto& s : all)
        out << "  scene " << s.name << " " << s.usage << "\n";
}

int run(const std::vector<std::string>& args)
{
    if (args.empty() || args[0] == "help" || args[0] == "--help") {
        printSubcommands(args.empty() ? std::cerr : std::cout);
        return args.empty() ? 2 : 0;
    }
    for (const auto& s : qm::cli::sceneSubcommands())
        if (s.name == args[0])
            return s.run(std::vector<std::string>(args.begin() + 1, args.end()));
    std::cerr << "quillmere-cli: unknown scene subcommand '" << args[0] << "'\n";
    printSubcommands(std::cerr);
    return 2;
}

} // namespace
