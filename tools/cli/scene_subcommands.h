#pragma once
// Subcommands of `quillmere-cli scene` (add, link, move, delete, ...). Each lives in its own
// cmd_scene_*.cpp and registers itself with registerSceneSubcommand from a static initialiser;
// cmd_scene.cpp registers the one "scene" command that dispatches through this table.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "project/scene.h"

namespace qm::cli {

struct SceneSubcommand {
    std::string name;  // second word on the command line, e.g. "add"
    std::string usage; // arguments after the name
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<SceneSubcommand>& sceneSubcommands();

// Returns true so that a file can write `static const bool registered = registerSceneSubcommand(...)`.
bool registerSceneSubcommand(std::string name, std::string usage,
                             std::function<int(const std::vector<std::string>& args)> run);

// Prints the usage line of one subcommand on stderr; returns exit status 2.
int sceneUsageError(const std::string& name);

// Opens a project for editing. With createWhenMissing a file that does not exist gives a new
// scene with the default settings whose project file is that path. Prints the error and
// returns false on failure.
bool openSceneForEdit(const std::filesystem::path& project, bool createWhenMissing, Scene& scene);
// Saves the scene to its project file; prints the error and returns false on failure.
bool saveEditedScene(Scene& scene);

} // namespace qm::cli
