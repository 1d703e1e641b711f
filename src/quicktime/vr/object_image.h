#pragma once
// The views of an object node: where its frames lie in the image track and their decoding.
//
// A QuickTime VR 2.x object node lays its views out row by row (columns across, rows from the
// record's minTilt row to its maxTilt row), view state after view state, each view lasting
// viewDuration and holding one or more animation frames. A QuickTime VR 1.x object movie holds
// loopSize frames per view, frameDuration apart; it is shown as one view state.
#include <cstdint>
#include <vector>

#include "quicktime/base/os_types.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

class Movie;
class Track;

struct ObjectNode {
    std::uint32_t nodeId = 0;
    ObjectSampleRecord record;
    const Track* image = nullptr;
    const Track* hotSpots = nullptr; // null when the node has none
    TimeValue start = 0;             // track time of the node's first view
    TimeValue viewSpan = 0;          // track time per view
    int viewStates = 1;
    int frameWidth = 0, frameHeight = 0;
};

// Errors: invalidTrack (no object or image track), paramErr (no such object node),
// cannotFindAtomErr (no 'obji'), invalidMedia (a damaged 1.x record).
OSErr FindObjectNode(const Movie& movie, std::uint32_t nodeId, ObjectNode& out);

// The track times of the frames of one view (column, row, 0-based view state), in order.
std::vector<TimeValue> objectViewFrames(const ObjectNode& node, int column, int row, int viewState);

// Decodes the sample a track shows at track time t: Argb32 colours or Indexed8 hot spot IDs.
OSErr decodeTrackFrame(const Track& track, TimeValue t, PixelDepth depth, OffscreenPicture& out);

} // namespace qm
