#pragma once
// Writes a single-node QuickTime VR 2.x panorama movie from an unrolled picture known to the
// test, so that readers and the player can be checked against the picture itself.
#include <cstdint>
#include <filesystem>

#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/vr_records.h"

namespace qm::test {

struct TestPanoramaOptions {
    int framesX = 1;            // tiles across the stored image
    int framesY = 4;            // tiles down the stored image
    bool horizontal = false;    // 'hcyl': stored upright, left-most strip first
    // 'cube' when not 0: the picture is six square faces side by side (front, right, back,
    // left, top, bottom), each cut into cubeTilesPerSide x cubeTilesPerSide upright tiles
    // stored face by face, row by row; framesX and framesY are not used.
    int cubeTilesPerSide = 0;
    OSType codec = 0x706E6720;  // 'png ' (lossless); 'jpeg' for Photo-JPEG
    std::uint32_t nodeId = 1;
    float minPan = 0, maxPan = 360;
    float minTilt = 0, maxTilt = 0; // 0, 0: the tilt a 360-degree cylinder gives
    float minFieldOfView = 5, maxFieldOfView = 0;
    float defaultPan = 180, defaultTilt = 0, defaultFieldOfView = 0;
};

// image: 32-bit unrolled panorama; hotSpots: null or an 8-bit picture of hot spot IDs of the
// same size, stored as lossless 'smc ' tiles.
OSErr writeTestPanorama(const std::filesystem::path& file, const OffscreenPicture& image,
                        const OffscreenPicture* hotSpots, const TestPanoramaOptions& options = {},
                        PanoramaSampleRecord* recordOut = nullptr);

} // namespace qm::test
