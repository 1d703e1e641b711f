#pragma once
// The composed movie stored at the start of a project file, and the seam through which the
// reader brings it back into a scratch file. The movie layer plugs in its own extractor (a
// flatten into a self-contained file); the default copies the bytes, which works because the
// writer stores the composed movie file unchanged from offset 0, so its chunk offsets stay right.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

// Long file work reports here: texts for the progress display and the percentage done
// (0..100). Returns false once the user cancelled.
using ProgressCallback = std::function<bool(std::string_view title, std::string_view message, int percent)>;

struct EmbeddedMovie {
    std::filesystem::path projectFile;
    std::uint64_t movieOffset = 0;     // the 'moov' atom
    std::uint64_t containerOffset = 0; // the project container, which is not part of the movie
    std::uint64_t containerLength = 0;
    std::uint64_t trailerOffset = 0;   // where the 148-byte trailer starts
    std::filesystem::path scratchFile; // to be written (replaced when it exists)
    std::string progressTitle;
    std::string progressMessage;
    ProgressCallback progress; // may be empty
};

// 0, or an error; -128 when cancelled. On failure no scratch file is left.
using EmbeddedMovieExtractor = std::function<OSErr(const EmbeddedMovie&)>;

// Copies the file's bytes before the trailer (without the container) into the scratch file.
// err::noMovieFound when no 'moov' atom starts at the movie offset.
OSErr copyEmbeddedMovie(const EmbeddedMovie& movie);

// The offset of the first top-level 'moov' atom of a movie file. err::noMovieFound when
// the file has none.
OSErr findMovieAtom(const std::filesystem::path& movieFile, std::uint64_t& offset);

} // namespace qm
