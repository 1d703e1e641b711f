#pragma once
// The unrolled picture of one panorama node: its image tiles (and, on request, its hot spot
// tiles) decoded once and put together into the panorama as the viewer sees it.
//
// Vertical cylinders (QuickTime VR 1.x, and 2.x with panorama type 'vcyl' or 0 without the
// horizontal flag) store the panorama turned a quarter counter-clockwise, so the first tile is
// the right-most strip; they come back upright here. Horizontal cylinders are stored upright.
// Cubic panoramas give their six faces side by side (front, right, back, left, top, bottom).
//
// Hot spot pictures hold the 8-bit hot spot IDs of the hot spot track exactly (never through
// colour), 0 where no hot spot lies, at the hot spot track's own resolution.
#include <cstdint>

#include "quicktime/base/os_types.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

class Movie;
class Track;

enum class PanoramaLayout { VerticalCylinder, HorizontalCylinder, Cube };

struct PanoramaUnrollOptions {
    bool image = true;     // decode the image tiles
    bool hotSpots = false; // decode the hot spot tiles too
};

struct UnrolledPanorama {
    std::uint32_t nodeId = 0;
    // The node's panorama record in host order (for 1.x movies, the 2.x record built from the
    // 1.x description and node header: sizes, tile counts, limits and default view).
    PanoramaSampleRecord record;
    PanoramaLayout layout = PanoramaLayout::VerticalCylinder;
    // 32-bit, bounds (0, 0, height, width) of the unrolled panorama; null when not asked for.
    OffscreenPicture image;
    // 8-bit IDs, bounds from (0, 0); null when not asked for or the node has no hot spot track.
    OffscreenPicture hotSpots;
    int cubeFaceSize = 0; // cube only: the side of one face in pixels of `image`
};

// The layout a 2.x record stands for.
PanoramaLayout panoramaLayoutOf(const PanoramaSampleRecord& record);

// Unrolls panorama node nodeId (0: the movie's default node) of a QuickTime VR 2.x movie, a
// single-node panorama movie or a QuickTime VR 1.x panorama. Errors: invalidTrack (no QTVR or
// panorama track, or no image track), paramErr (no such panorama node), cannotFindAtomErr (a
// 2.x panorama sample without 'pdat'), invalidMedia (tile counts or sizes that do not fit the
// tiles found), the codec's errors for tiles that do not decode, memFullErr.
OSErr UnrollPanorama(const Movie& movie, std::uint32_t nodeId, const PanoramaUnrollOptions& options,
                     UnrolledPanorama& out);

// The track time span over which a QuickTime VR 2.x movie's QTVR track shows the sample of
// node nodeId (a movie of one sample without a node header stands for its one node).
// paramErr when no sample names the node.
OSErr QTVRNodeTimeSpan(const Track& qtvrTrack, std::uint32_t nodeId, TimeValue& start, TimeValue& duration);

} // namespace qm
