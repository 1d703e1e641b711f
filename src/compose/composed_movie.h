#pragma once
// The scene's composed movie file and the changes the preview makes to it in place.
#include <filesystem>
#include <string>

#include "project/scene.h"

namespace qm {

// Forgets the composed movie: composed-at becomes 0 and the scratch file, when there is one, is
// deleted. Returns 0.
OSErr clearComposedMovie(Scene& scene);

// Rewrites the VR world in every sample description of the composed movie's QTVR track from
// the scene as it stands now (its imaging settings) and updates the movie in its file.
// Errors: fnfErr without a composed movie, invalidTrack when it has no QTVR track, the movie
// layer's errors.
OSErr rewriteComposedWorld(const Scene& scene);

// The composed movie's name, copyright and description annotations.
struct MovieAnnotations {
    std::string name, copyright, description;
    friend bool operator==(const MovieAnnotations&, const MovieAnnotations&) = default;
};
OSErr readComposedAnnotations(const Scene& scene, MovieAnnotations& out);
// Empty texts remove their annotation.
OSErr writeComposedAnnotations(const Scene& scene, const MovieAnnotations& annotations);

// Gives every track of the composed movie the scene's playback hints as load settings: the
// whole track preloaded when bit 0x10000000 of the hints is set, the low 16 bits as default
// hints.
OSErr applyComposedPlaybackHints(const Scene& scene);

// Writes a copy of the composed movie to `destination` (replacing a file there only once the
// copy is complete). Errors: fnfErr without a composed movie, the file errors.
OSErr exportComposedMovie(const Scene& scene, const std::filesystem::path& destination);

} // namespace qm
