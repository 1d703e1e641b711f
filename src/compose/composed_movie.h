#pragma once
// The scene's composed movie file.
#include "project/scene.h"

namespace qm {

// Forgets the composed movie: composed-at becomes 0 and the scratch file, when there is one, is
// deleted. Returns 0.
OSErr clearComposedMovie(Scene& scene);

} // namespace qm
