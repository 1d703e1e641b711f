#pragma once
// The working image of a node: the picture the Hot Spots page edits over. A panorama is shown
// unrolled (its rotated tiles turned back and laid side by side, the first tile right-most) and
// scaled to at most kMaxWorkingWidth pixels wide; an object movie shows one view, a linear movie
// one frame, a still image itself.
//
// Coordinate spaces: native image coordinates are those of the node's media (the unrolled
// panorama at full size), in which hot spot bounds are stored; working image coordinates are the
// picture's own. The two differ only for panoramas wider than kMaxWorkingWidth.
#include <cstdint>
#include <string>

#include "compose/compose_environment.h"
#include "project/scene.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

inline constexpr int kMaxWorkingWidth = 1536;

struct WorkingImage {
    OffscreenPicture picture; // 32-bit, bounds = workingRect
    Rect nativeRect;          // (0, 0, native height, native width)
    Rect workingRect;         // (0, 0, working height, working width)
    // Linear movies: the frame stepping values, in the movie's time scale.
    TimeValue frameDuration = 0;
    TimeValue movieDuration = 0;
    TimeScale timeScale = 0;

    bool isNull() const { return picture.isNull(); }
    // Native to working coordinates and back (linear maps between the two rectangles).
    Point toWorking(Point native) const;
    Point toNative(Point working) const;
    Rect toWorking(const Rect& native) const;
    Rect toNative(const Rect& working) const;
};

// Which view of the node: object movies use column and row, linear movies the frame offset.
struct WorkingImageView {
    int column = 0;
    int row = 0;
    std::int32_t frameOffset = 0;
};

// The working size of an unrolled panorama: the native size scaled to maxWidth when wider (in
// single precision), then widened until the strips divide it and heightened until the tiles of
// a strip do.
void panoramaWorkingSize(int nativeWidth, int nativeHeight, int strips, int tilesPerStrip, int maxWidth,
                         int& workingWidth, int& workingHeight);

// Unrolls the panorama whose stored tiles the image track holds (the record gives the stored
// size and tile counts). maxWidth 0 keeps the native size.
OSErr unrollPanorama(const Track& imageTrack, const PanoramaSampleRecord& record, int maxWidth, WorkingImage& out);

// Loads the working image of the node's view from its media file. Errors: those of resolving
// and reading the media; paramErr for a node without media or a kind without a picture. On
// failure out is null.
OSErr loadWorkingImage(const Scene& scene, const Node& node, const WorkingImageView& view,
                       const ComposeEnvironment& env, WorkingImage& out, int maxWidth = kMaxWorkingWidth);

// "%02ld:%02ld:%02ld:%02ld": hours, minutes, seconds and frames of a movie time.
std::string timeCodeText(TimeValue time, TimeValue frameDuration, TimeScale timeScale);

} // namespace qm
