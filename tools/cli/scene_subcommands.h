#pragma once
// Subcommands of `quillmere-cli scene`: each lives in its own cmd_scene_*.cpp and registers
// itself here with a static registration, as commands do with the command table.
#include <functional>
#include <string>
#include <vector>

namespace qm::cli {

struct SceneSubcommand {
    std::string name;  // e.g. "link"
    std::string usage; // arguments after the name
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<SceneSubcommand>& sceneSubcommands();
// Returns true so that it can initialise a static.
bool registerSceneSubcommand(std::string name, std::string usage,
                             std::function<int(const std::vector<std::string>& args)> run);

} // namespace qm::cli
