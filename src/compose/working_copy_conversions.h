#pragma once
// Working copies written from scratch: a still image becomes a one-view object movie, a linear
// movie an object whose frames play as one view.
#include <filesystem>

#include "project/scene.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

// One-view object of one second whose image track holds the picture as one Photo-JPEG frame.
// A failed conversion deletes the half-written file. The node's image track reference becomes
// the working copy's.
OSErr convertStillImage(const OffscreenPicture& picture, Node& node, const std::filesystem::path& workingFile);

// An object of the source's duration holding a copy of every track of the source; the first
// video track is its image track.
OSErr convertLinearMovie(const Movie& source, Node& node, const std::filesystem::path& workingFile);

// The node's object record, or the record of a single still view when it has none.
ObjectSampleRecord objectRecordOf(const Node& node);

} // namespace qm

namespace qm {

// Rewrites an open working copy of a QuickTime VR 1.x panorama in the 2.x layout: a QTVR track
// with a one-node world, and a panorama track whose 'pdat' (the node's record) refers to the
// 1.x scene track as its image track. The node's media data takes the record.
OSErr convertPanorama1x(Node& node, Movie& workingCopy);

// The same for a 1.x object movie: QTVR and object tracks, the object track referring to the
// movie's video track.
OSErr convertObject1x(Node& node, Movie& workingCopy);

} // namespace qm
