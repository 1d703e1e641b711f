#pragma once
// Opening a QuickTime VR 2.x tour (a multi-node movie whose sources are lost) as a scene: every
// node written out as its own single-node movie in a folder beside the project, and a project
// whose nodes are those movies with the tour's IDs, names, comments, default views and hot
// spots, placed on the map the way their links look.
#include <filesystem>
#include <string>

#include "appcore/progress.h"
#include "project/scene.h"

namespace qm {

struct TourImportOptions {
    // Whether the nodes keep the tour's hot spots (the "keep hot spots of added movies"
    // preference).
    bool keepHotSpots = true;
};

// The folder beside a project that holds the node movies of its tour: "<project name> Nodes".
std::filesystem::path tourNodeFolder(const std::filesystem::path& projectFile);
// The file name of one node's movie in that folder.
std::string tourNodeFileName(std::uint32_t nodeId);

// Removes the node folders in `folder` that imports left half written when their process died
// ("<project name> Nodes.importing-<pid>-<n>" whose process no longer runs, owned by this
// user). importTour does it in the project's folder before it starts. Returns how many went.
int removeStaleTourImports(const std::filesystem::path& folder);

// Imports the tour and saves it as the project. On success `out` is the saved scene. On any
// failure, a cancel (-128) included, nothing is left behind: no node folder and no project.
// Errors: err::dupFNErr when the project or its node folder already exists; err::invalidMovie
// for a damaged tour (detail says what is wrong); the movie, file and codec errors met.
OSErr importTour(const std::filesystem::path& movieFile, const std::filesystem::path& projectFile,
                 const TourImportOptions& options, Progress& progress, Scene& out, std::string* detail = nullptr);

} // namespace qm
