#include "compose/composed_movie.h"

#include <system_error>

namespace qm {

OSErr clearComposedMovie(Scene& scene)
{
    scene.composedAt = 0;
    if (!scene.composedMovieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(scene.composedMovieFile, ec);
        scene.composedMovieFile.clear();
    }
    return 0;
}

} // namespace qm
