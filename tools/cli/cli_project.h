#pragma once
// Opening and saving projects for the commands that edit them.
#include <cstdint>
#include <optional>
#include <string>

#include "project/scene.h"

namespace qm::cli {

// Opens a project; prints the reason and returns false when it cannot be opened. Media that
// cannot be found leave their nodes generic; the composed movie stays in the file unless
// withComposedMovie is set.
bool openProjectForEdit(const std::string& path, Scene& scene, bool withComposedMovie = true);
// Saves it back; prints the reason and returns false on failure.
bool saveEditedProject(Scene& scene, const std::string& path);
// A node ID argument ("7" or "007"); none when it is not a number of an existing node.
std::optional<std::int16_t> nodeIdArgument(const Scene& scene, const std::string& text);

} // namespace qm::cli
