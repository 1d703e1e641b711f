#pragma once
// The node writers: they copy a prepared node from its working copy into the composed movie,
// appending its samples at the current end of the scene's QTVR track.
#include "appcore/progress.h"
#include "compose/compose_environment.h"
#include "project/scene.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/movie/movie.h"

namespace qm {

// The scene-wide tracks of a composed movie (absent ones null) and the object track's 'imgt'
// and 'hott' reference indices.
struct SceneTracks {
    Movie* movie = nullptr;
    Track* qtvr = nullptr;
    Track* panorama = nullptr;
    Track* object = nullptr;
    Track* panoramaImage = nullptr;
    Track* panoramaHotSpot = nullptr;
    Track* objectImage = nullptr;
    Track* objectHotSpot = nullptr;
    int objectImageIndex = 0;   // I
    int objectHotSpotIndex = 0; // H
};

// Every node writer gives the progress exactly this many units.
inline constexpr int kNodeWriterProgressUnits = 102;
inline constexpr TimeScale kComposeTimeScale = 3600;

// A panorama node: one QTVR sample and one panorama sample lasting one second per image tile,
// the image tiles laid end to end (recompressed when the settings ask for it) and the hot spot
// tiles spread over the same span.
OSErr writePanoramaNode(const Node& node, Movie& workingCopy, const AtomContainer& world, SceneTracks& tracks,
                        const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env);

// An object, still-image or linear-movie node: QTVR and object samples for the node's duration,
// then its image frames and (for the first view state) hot spot frames. Linear movies copy every
// track of the working copy instead.
OSErr writeObjectNode(const Node& node, Movie& workingCopy, const AtomContainer& world, SceneTracks& tracks,
                      const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env);
OSErr writeMovieNode(const Node& node, Movie& workingCopy, const AtomContainer& world, SceneTracks& tracks,
                     const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env);

} // namespace qm
