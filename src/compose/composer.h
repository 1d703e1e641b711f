#pragma once
// Composing a scene into one multi-node QuickTime VR 2.x movie in the scratch folder.
#include "appcore/progress.h"
#include "compose/compose_environment.h"
#include "compose/working_copies.h"
#include "project/scene.h"

namespace qm {

// Progress units of a compose: 103 per node and 1 for the scene tracks.
std::int32_t composeProgressMaximum(const Scene& scene);

// Composes the scene. On success the scene records the new movie file and the time; on any
// failure (or a cancel: -128) no movie file is left and composed-at is 0. Errors: -1 when the
// scene has no panorama, object, still-image or linear-movie node; err::genericNodeInScene,
// before anything is changed, when a node has no usable media kind; the movie, file and codec
// errors that stopped it. The scene is marked dirty once the work begins.
OSErr composeScene(Scene& scene, WorkingCopies& copies, const ComposeEnvironment& env, Progress& progress);

// Discards every working copy and the composed movie (a closing scene).
void discardAllWorkingCopies(Scene& scene, WorkingCopies& copies);

} // namespace qm
