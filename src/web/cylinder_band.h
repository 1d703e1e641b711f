#pragma once
// The equirectangular band a web panorama viewer shows, made from a cylindrical panorama.
//
// Geometry (the player's, quicktime/vr/panorama_view.h): the unrolled panorama is W pixels wide
// and covers pan maxPan at its left edge down to minPan at its right edge, so pan angles grow as
// the view turns left; its rows run from maxTilt at the top to minTilt at the bottom, evenly in
// the tangent of the tilt. The band keeps the unrolled columns in order, from its left edge,
// inside a full sphere image 360/range times as wide; the viewer's yaw is therefore
//     yaw = (maxPan - 180) - pan   (degrees, folded into -180..180)
// and its pitch is the tilt. A hot spot at column x of the unrolled panorama lands at yaw
// x / W * range - 180.
#include <cstdint>

#include "quicktime/base/os_types.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm::web {

struct CylinderGeometry {
    int width = 0;  // unrolled pixels
    int height = 0;
    double minPan = 0; // degrees
    double maxPan = 360;
    double minTilt = 0; // degrees; when maxTilt <= minTilt, the tilt a cylinder of the
    double maxTilt = 0; // picture's proportions spans over the pan range (see normalised())

    // Usable limits: a pan range that is empty or reversed becomes 0..360, tilt limits that are
    // empty or reversed those of the cylinder's proportions.
    CylinderGeometry normalised() const;
    double range() const { return maxPan - minPan; }
    bool wraps() const { return range() >= 359.99; }
    // Where a point of the unrolled panorama (pixel coordinates) lies; on a normalised geometry.
    double panOfColumn(double x) const;
    double tiltOfRow(double y) const;
    // The viewer's yaw (degrees, -180..180) of a pan angle.
    double yawOfPan(double pan) const;
};

// Where the band lies in the full sphere image (the viewer's cropped area), in band pixels.
struct BandLayout {
    int fullWidth = 0;
    int fullHeight = 0;
    int croppedX = 0;
    int croppedY = 0;
    int croppedWidth = 0;
    int croppedHeight = 0;
    double minPitch = 0; // degrees, of the band's bottom and top edges
    double maxPitch = 0;
};

// The band of an unrolled panorama scaled to outWidth columns (at most the panorama's width).
BandLayout bandLayout(const CylinderGeometry& geometry, int outWidth);

// Reprojects the unrolled 32-bit panorama into its band: each band row takes the source row at
// its pitch (linear between rows), each band column the average of the source columns it covers.
// paramErr for a null or mismatched picture, memFullErr.
OSErr reprojectToBand(const OffscreenPicture& unrolled, const CylinderGeometry& geometry, int outWidth,
                      OffscreenPicture& band, BandLayout& layout);

} // namespace qm::web
