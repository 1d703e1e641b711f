#pragma once
// Opening and saving projects for the compose command, which needs every node's media. Commands
// that only edit the scene open it through openSceneForEdit (scene_subcommands.h), which keeps
// unreachable media references as they are.
#include <cstdint>
#include <optional>
#include <string>

#include "project/scene.h"

namespace qm::cli {

// Opens a project; prints the reason and returns false when it cannot be opened. Media that
// cannot be found leave their nodes generic; the composed movie stays in the file unless
// withComposedMovie is set.
bool openProjectForEdit(const std::string& path, Scene& scene, bool withComposedMovie = true);
// Takes the edit lock on a project for the rest of the process, after checking that the file
// may be replaced; prints the reason (write-protected, another writer still busy after a short
// wait) and returns false when the project cannot be edited.
bool lockProjectForEdit(const std::string& path);
// Saves it back; prints the reason and returns false on failure. Ctrl-C before the new file is
// in place cancels the save (nothing changes).
bool saveEditedProject(Scene& scene, const std::string& path);
// A node ID argument ("7" or "007"); none when it is not a number of an existing node.
std::optional<std::int16_t> nodeIdArgument(const Scene& scene, const std::string& text);

} // namespace qm::cli
