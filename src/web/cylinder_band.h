#pragma once
// The equirectangular band a web panorama viewer shows, made from a cylindrical panorama.
//
// Geometry (the same as the program's player): the unrolled panorama is W pixels wide and covers
// pan maxPan at its left edge down to minPan at its right edge, so pan angles grow as the view
// turns left. Row y lies at tilt atan((H/2 - y) / r) on a cylinder of radius r = W / range
// (range in radians). The band keeps the unrolled columns in order, from its left edge, inside
// a full sphere image 360/range times as wide; the viewer's yaw is therefore
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

    // The pan range in degrees; a record without a usable range (0, negative or past 360) is
    // taken as a whole turn.
    double range() const;
    bool wraps() const { return range() >= 360.0 - 1e-6; }
    // Half of the vertical field of the cylinder, degrees.
    double maxTilt() const;
    // Where a point of the unrolled panorama (pixel coordinates) lies.
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
