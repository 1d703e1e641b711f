#pragma once
// Media of the demo scene, made entirely by the program: panoramas of imaginary places, an
// object movie of a turning sculpture and a still image of the site plan.
#include <filesystem>

#include "quicktime/base/os_types.h"

namespace qm::demo {

struct PlaceStyle {
    int seed = 1;
    bool town = true;   // buildings; otherwise a wood
    bool sunset = false;
};

// A single-node QuickTime VR 2.x cylindrical panorama, width x height unrolled pixels cut into
// `tiles` Photo-JPEG tiles. Rendered tile by tile; no whole panorama is held.
OSErr writePanorama(const std::filesystem::path& file, int width, int height, int tiles, const PlaceStyle& style);

// A single-node QuickTime VR 2.x object movie: `columns` views of a sculpture turning once.
OSErr writeObjectMovie(const std::filesystem::path& file, int width, int height, int columns);

// A PNG image of a site plan.
OSErr writePlanImage(const std::filesystem::path& file, int width, int height);

} // namespace qm::demo
