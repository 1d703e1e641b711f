#pragma once
// Conversions between PixelBuffer and the packed pixel layouts that encoders take and decoders
// give.
#include <cstddef>
#include <cstdint>

#include "quicktime/inverse_color_table.h"
#include "quicktime/pixel_buffer.h"

namespace qm::detail {

enum class PlaneFormat : std::uint8_t {
    argb,      // A R G B bytes
    rgba,      // R G B A bytes
    rgb24,     // R G B bytes
    rgb555be,  // 16-bit 0RRRRRGGGGGBBBBB, big-endian (QuickTime 16-bit pixels)
    rgb555le,  // the same, little-endian
    indices,   // one palette index per byte
};

int planeBytesPerPixel(PlaneFormat f);

// Writes the part r of src (inside src) into dst, rows dstStride bytes apart, as outWidth x
// outHeight pixels: columns and rows beyond the rectangle repeat its last column and row (codecs
// that work on 4x4 blocks get whole blocks). Direct colour to indices needs inverse; indices
// from an indexed picture are copied as they are.
void writePlane(const PixelBuffer& src, const Rect& r, PlaneFormat f, const InverseColorTable* inverse,
                std::uint8_t* dst, std::size_t dstStride, int outWidth, int outHeight);

// 5-bit component <-> 8-bit component. Expansion repeats the high bits, so 31 becomes 255 and
// every 5-bit value survives a round trip.
inline std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }
inline unsigned reduce5(unsigned c) { return (c * 31 + 127) / 255; }

} // namespace qm::detail
