#pragma once
// Value types of the movie layer: times and time scales, matrices, edits, sample descriptions and
// the flag sets of the movie operations.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

// Times are counted in the units of a time scale (units per second). Files store 32-bit values
// (64-bit in version 1 headers); the model keeps 64 bits so that sums cannot overflow.
using TimeValue = std::int64_t;
using TimeScale = std::uint32_t;

constexpr Fixed fixed1 = 0x00010000;

// value converted from one time scale to another, rounded to the nearest unit.
TimeValue convertTimeScale(TimeValue value, TimeScale from, TimeScale to);

// 3 x 3 transformation matrix as stored in movie and track headers: a b u / c d v / x y w, with
// a, b, c, d, x, y in 16.16 fixed and u, v, w in 2.30 fixed.
using Matrix = std::array<std::int32_t, 9>;
constexpr Matrix identityMatrix = {fixed1, 0, 0, 0, fixed1, 0, 0, 0, 0x40000000};

// One entry of a track's edit list. trackDuration is in the movie's time scale, mediaTime in the
// media's; mediaTime -1 is an empty edit (nothing is shown for its duration).
struct TrackEdit {
    TimeValue trackDuration = 0;
    TimeValue mediaTime = 0;
    Fixed rate = fixed1;
    friend bool operator==(const TrackEdit&, const TrackEdit&) = default;
};

// A sample description exactly as stored in a 'stsd' entry (and as QuickTime hands it out):
// size (4), data format (4), reserved (6), data reference index (2), then the format's own
// fields. For video this is the whole image description including colour table and extensions.
class SampleDescription {
public:
    SampleDescription() = default;
    explicit SampleDescription(Bytes bytes) : m_bytes(std::move(bytes)) {}
    // A description of the given format whose format-specific payload follows the 16-byte header.
    static SampleDescription make(OSType format, std::span<const std::uint8_t> payload = {},
                                  std::uint16_t dataRefIndex = 1);

    const Bytes& bytes() const { return m_bytes; }
    bool empty() const { return m_bytes.empty(); }
    // 0 when the entry is too short to hold the field.
    OSType format() const;
    std::uint16_t dataRefIndex() const;
    void setDataRefIndex(std::uint16_t index);
    // Bytes after the 16-byte header.
    std::span<const std::uint8_t> payload() const;

    friend bool operator==(const SampleDescription&, const SampleDescription&) = default;

private:
    Bytes m_bytes;
};

// Sample flags of addSample/getSample (QuickTime's media sample flags).
constexpr std::uint32_t mediaSampleNotSync = 1;

// Flags of the next-interesting-time queries.
enum NextTimeFlags : std::uint16_t {
    nextTimeMediaSample = 1 << 0,
    nextTimeMediaEdit = 1 << 1,
    nextTimeTrackEdit = 1 << 2,
    nextTimeSyncSample = 1 << 3,
    nextTimeEdgeOK = 1 << 14,
};

// Media characteristics for the movie-level next-interesting-time query.
constexpr OSType visualMediaCharacteristic = fourCC("eyes");
constexpr OSType audioMediaCharacteristic = fourCC("ears");
bool mediaHasCharacteristic(OSType mediaType, OSType characteristic);

// Track header flags.
constexpr std::uint32_t trackEnabled = 0x1;
constexpr std::uint32_t trackInMovie = 0x2;
constexpr std::uint32_t trackInPreview = 0x4;
constexpr std::uint32_t trackInPoster = 0x8;

// Common media types.
constexpr OSType videoMediaType = fourCC("vide");
constexpr OSType soundMediaType = fourCC("soun");

// Seconds since 1904-01-01 for new creation and modification times. Tests fix it so that
// written movies are byte-for-byte reproducible.
std::uint32_t movieClockNow();
void setFixedMovieClock(std::optional<std::uint32_t> seconds);

// Progress of a long movie operation (flatten): open, then updates with the fraction done (0..1),
// then close; the values are QuickTime's movie progress messages. A non-zero result of an
// update stops the operation with that code (the program returns -128 for a cancel).
enum class MovieProgressStep : std::int16_t { open = 0, update = 1, close = 2 };
using MovieProgressProc = std::function<OSErr(MovieProgressStep, double fraction)>;

} // namespace qm
