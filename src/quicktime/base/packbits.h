#pragma once
// PackBits, the run-length compression of Macintosh bitmaps (MacPaint pages, PICT rows): a
// count byte n, then n + 1 literal bytes for n in 0..127, or one byte repeated 1 - n times for n
// in -127..-1; -128 is skipped.
#include <cstddef>
#include <cstdint>

#include "quicktime/base/byte_io.h"

namespace qm {

// Unpacks exactly outBytes bytes from r. A run that would overshoot is cut to fit, as QuickDraw
// does. False when r ends first.
bool unpackBits(ByteReader& r, std::uint8_t* out, std::size_t outBytes);

// The same for PICT's 16-bit pixels: counts are in 2-byte units.
bool unpackBits16(ByteReader& r, std::uint8_t* out, std::size_t outBytes);

} // namespace qm
