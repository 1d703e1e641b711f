#pragma once
// Reads a movie atom into the model. Internal to the movie layer: callers use Movie::open*.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "quicktime/base/os_types.h"

namespace qm {

class Movie;
class Track;
class Media;

class MovieReader {
public:
    // The movie of movie.m_file: found by walking its top-level atoms, or at moovOffset.
    static OSErr readFile(Movie& movie, std::optional<std::uint64_t> moovOffset, std::string* detail);
    // The movie of movie.m_memory.
    static OSErr readMemory(Movie& movie, std::string* detail);
    // A whole 'moov' atom (header included).
    static OSErr readMovieAtom(Movie& movie, std::span<const std::uint8_t> moov, std::string* detail);

private:
    struct Context;
    static OSErr parseMovie(Movie& movie, std::span<const std::uint8_t> payload, bool allowCompressed, Context& cx);
    static OSErr parseMovieHeader(Movie& movie, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseTrack(Movie& movie, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseTrackHeader(Track& track, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseEdits(Track& track, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseMedia(Track& track, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseMediaInformation(Media& media, std::span<const std::uint8_t> payload, Context& cx);
    static OSErr parseSampleTable(Media& media, std::span<const std::uint8_t> payload, Context& cx);
};

} // namespace qm
