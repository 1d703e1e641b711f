#pragma once
// The hot spot writers of working copies: they rebuild a working copy's hot spot track and hot
// spot atoms from the node's hot spot records.
#include "compose/compose_environment.h"
#include "project/scene.h"
#include "quicktime/movie/movie.h"

namespace qm {

// Panorama working copy: the hot spot image is the unrolled panorama cut into rotated tiles like
// the image track's, spread over the panorama's whole duration. A node without hot spots loses
// its hot spot track, its 'hott' reference and its hot spot atoms. The working copy's 'pdat'
// record is updated; node's media data takes the new record.
OSErr writePanoramaHotSpots(const Scene& scene, Node& node, Movie& workingCopy, const ComposeEnvironment& env);

// Object working copy: one hot spot frame per view of the first view state (row by row), each
// lasting the view duration.
OSErr writeObjectHotSpots(const Scene& scene, Node& node, Movie& workingCopy, const ComposeEnvironment& env);

} // namespace qm
