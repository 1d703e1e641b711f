#pragma once
// Writes the model as a movie atom, and flattens a movie into a new self-contained file.
// Internal to the movie layer: callers use Movie::addMovieResource, updateMovieResource,
// flatten and movieAtom.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

class Movie;
class Track;
class Media;
struct FlattenOptions;
struct FlattenResult;

class MovieWriter {
public:
    // Where a flattened movie's chunks go. With a layout every media gets a single self data
    // reference and its descriptions point at it.
    struct Layout {
        std::vector<std::vector<std::uint64_t>> chunkOffsets;  // per track, per chunk
        bool co64 = false;
        std::optional<std::uint32_t> stampTime;                 // replaces creation/modification times
    };

    static OSErr buildMovieAtom(const Movie& movie, const Layout* layout, Bytes& out);
    static OSErr flatten(const Movie& movie, const std::filesystem::path& dest, const FlattenOptions& options,
                         FlattenResult* result);
    static OSErr flattenToMemory(const Movie& movie, Bytes& out);

private:
    class Sink;
    class FileSink;
    class MemorySink;
    static OSErr flattenInto(const Movie& movie, Sink& sink, bool keepTimes, FlattenResult* result);
    static void writeTrack(const Movie& movie, const Track& track, const Layout* layout, std::size_t trackIndex,
                           ByteWriter& w);
    static void writeMedia(const Media& media, const Layout* layout, std::size_t trackIndex, ByteWriter& w);
};

} // namespace qm
