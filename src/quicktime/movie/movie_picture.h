#pragma once
// The picture a movie shows at a time, for callers that need the pixels of a still image or of
// a linear movie's frame.
#include "quicktime/movie/movie.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

// The frame that the first enabled video track showing one at movieTime (the movie's time
// scale) holds, decoded to 32-bit pixels at the frame's own size, bounds (0, 0, height, width). Errors: err::invalidTime when
// no enabled video track shows a frame then; the movie layer's and the codecs' errors.
OSErr getMoviePicture(const Movie& movie, TimeValue movieTime, OffscreenPicture& out);

} // namespace qm
