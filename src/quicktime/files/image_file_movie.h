#pragma once
// A still image file opened as a one-frame movie, the way QuickTime opens importable files: one
// video track of the image's size holding the picture as one uncompressed 32-bit frame of one
// second (time scale 600).
#include <filesystem>
#include <memory>
#include <string>

#include "quicktime/movie/movie.h"
#include "quicktime/base/os_types.h"

namespace qm {

inline constexpr TimeScale kImageMovieTimeScale = 600;

// Errors: those of readImageFile; err::memFullErr when the frame cannot be made.
OSErr openImageFileAsMovie(const std::filesystem::path& file, OSType fileType, std::unique_ptr<Movie>& out,
                           std::string* detail = nullptr);

} // namespace qm
