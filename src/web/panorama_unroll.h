#pragma once
// The unrolled picture of a QuickTime VR 2.x cylindrical panorama node: its image tiles decoded
// and put back together, left-most strip first, in the orientation a viewer sees.
#include "quicktime/movie/movie.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/vr_records.h"

namespace qm::web {

// Reads the first panorama node of a one-node QuickTime VR 2.x movie (a working copy): its
// 'pdat' record and the unrolled 32-bit panorama. Vertical cylinders (the stored image turned a
// quarter turn counter-clockwise, right-most strip first) are turned back; horizontal cylinders
// are taken as stored. Errors: invalidTrack when the movie lacks the panorama or image track,
// cannotFindAtomErr without 'pdat', paramErr for cube panoramas and tile counts that do not
// match the record, and the movie layer's and codecs' errors.
OSErr unrollPanorama(Movie& movie, PanoramaSampleRecord& record, OffscreenPicture& out);

// Whether a record describes a vertical cylinder (stored rotated).
bool isVerticalCylinder(const PanoramaSampleRecord& record);

} // namespace qm::web
