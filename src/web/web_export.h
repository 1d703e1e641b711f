#pragma once
// Exporting a scene as a web tour: a folder that any static web server can serve, with the
// panorama viewer (Photo Sphere Viewer with its virtual tour, markers and map plugins), one
// image per panorama and still image, an image sequence per object node, an H.264 MP4 per
// linear movie, the floor plan, and tour.json describing the whole scene.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "appcore/progress.h"
#include "compose/compose_environment.h"
#include "project/scene.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm::web {

struct WebExportOptions {
    std::filesystem::path folder;
    int quality = 85;      // JPEG / video quality, 1..100
    int maxWidth = 8192;   // widest panorama band written (pixels); narrower panoramas keep theirs
    // Folder holding the viewer files (tour/ and node_modules/); empty: viewerFilesFolder().
    std::filesystem::path viewerFiles;
    // The floor plan as the program draws its map (32-bit, map pixels); null: a plain drawing
    // of the boundary and the background shapes.
    std::function<OSErr(const Scene&, OffscreenPicture&)> renderFloorPlan;
};

struct WebExportReport {
    int exportedNodes = 0;
    // "NNN name: reason" for each node left out because its media could not be read.
    std::vector<std::string> missingNodes;
    std::vector<std::filesystem::path> written; // files, relative to the folder
    std::string videoEncoder;                   // when a movie was written
};

// Progress units: 100 per node, 10 for the viewer files and the floor plan.
std::int32_t webExportProgressMaximum(const Scene& scene);

// Exports the scene. The folder is made when missing; files the export would write are replaced,
// others left alone. Nodes whose media cannot be read are left out of the tour and listed in the
// report (the result is then 0: the caller decides how to report them). A cancel (-128) or any
// failure removes every file and folder the export made. Errors: -1 when the scene has no node
// that can be shown; permErr/ioErr for a folder that cannot be made or written
// (detail says which); fnfErr when the viewer files are not installed; the codecs' errors.
OSErr exportWebTour(const Scene& scene, const WebExportOptions& options, const ComposeEnvironment& env,
                    Progress& progress, WebExportReport& report, std::string* detail = nullptr);

// Where the viewer files are: $QUILLMERE_WEB_DIR, then share/quillmere/web beside the program's
// installation, then the source tree's web/ folder the build was configured with. Empty when
// none holds them.
std::filesystem::path viewerFilesFolder();

} // namespace qm::web
