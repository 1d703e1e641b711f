#pragma once
// Preparing a node's working copy: its media copied (or converted) into a QuickTime VR 2.x movie
// in the scratch folder, with the node's hot spots drawn into it, then left open.
#include "compose/compose_environment.h"
#include "compose/working_copies.h"
#include "project/scene.h"

namespace qm {

// Does nothing when the node's working copy is open and its file still exists. A node without
// media fails with the resolution's error; a failed hot spot writer discards the working copy.
OSErr prepareWorkingCopy(const Scene& scene, Node& node, WorkingCopies& copies, const ComposeEnvironment& env);

// A new scratch file name in the environment's scratch folder (the file is not made).
OSErr newScratchFile(const ComposeEnvironment& env, std::filesystem::path& out);

} // namespace qm
