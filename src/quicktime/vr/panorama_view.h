#pragma once
// Perspective views of an unrolled panorama.
//
// Angles are degrees as QuickTime VR gives them: pan grows as the view turns left, tilt grows
// as it looks up, the field of view is the view's vertical angle. For a cylinder covering
// minPan..maxPan, pan p looks at column (maxPan - p) / (maxPan - minPan) of the unrolled width
// (for 0..360: (360 - p) / 360); rows run from maxTilt at the top to minTilt at the bottom,
// evenly in the tangent of the tilt as a cylinder's surface does.
#include <cstdint>

#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/panorama_image.h"

namespace qm {

enum class ImagingQuality { Nearest, Bilinear };

struct PanoramaViewAngles {
    float pan = 0;
    float tilt = 0;
    float fieldOfView = 60;
};

// The source geometry of an unrolled panorama.
struct PanoramaGeometry {
    PanoramaLayout layout = PanoramaLayout::VerticalCylinder;
    float minPan = 0, maxPan = 360;
    float minTilt = -30, maxTilt = 30;
    int cubeFaceSize = 0;
    bool wraps() const { return maxPan - minPan >= 359.99f; }

    static PanoramaGeometry of(const UnrolledPanorama& panorama);
};

// Where the ray through view pixel centre (x + 0.5, y + 0.5) of a width x height view meets the
// source picture of size sourceWidth x sourceHeight: fractional pixel coordinates (column, row),
// the column wrapped into 0..sourceWidth for panoramas that wrap. False when the ray misses the
// picture (above or below a cylinder, or beside a partial one).
bool viewToSource(const PanoramaGeometry& g, const PanoramaViewAngles& view, int width, int height, double x,
                  double y, int sourceWidth, int sourceHeight, double& column, double& row);

// Renders the view into out (32-bit, bounds (0, 0, height, width); reallocated when its size
// or depth differ). Rays that miss the picture show its nearest edge. The mapping is exact at
// every 8th pixel and linear between, which keeps within a small fraction of a pixel.
// Errors: paramErr for an empty size or a null source, memFullErr.
OSErr renderPanoramaView(const OffscreenPicture& source, const PanoramaGeometry& g, const PanoramaViewAngles& view,
                         int width, int height, ImagingQuality quality, OffscreenPicture& out);

// The horizontal field of view of a view of this aspect (width / height).
float horizontalFieldOfView(float verticalFieldOfView, double aspect);

} // namespace qm
