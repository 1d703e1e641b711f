#pragma once
// Conversions from offscreen pictures to the packed pixel layouts that encoders take.
#include <cstddef>
#include <cstdint>

#include "quicktime/raster/offscreen_picture.h"

namespace qm::detail {

enum class PlaneFormat : std::uint8_t {
    argb,      // A R G B bytes (QuickTime 32-bit pixels)
    rgba,      // R G B A bytes
    native32,  // 0xAARRGGBB native-endian words (FFmpeg's AV_PIX_FMT_RGB32)
    rgb24,     // R G B bytes
    rgb555be,  // 16-bit 0RRRRRGGGGGBBBBB, big-endian (QuickTime 16-bit pixels)
    rgb555le,  // the same, little-endian
    indices,   // one palette index per byte
};

int planeBytesPerPixel(PlaneFormat f);

// Writes the part r (picture coordinates, inside the bounds) of src into dst, rows dstStride
// bytes apart, as outWidth x outHeight pixels: columns and rows beyond the rectangle repeat its
// last column and row (codecs that work on 4x4 blocks get whole blocks). A 32-bit picture
// becomes indices through the nearest colours of table; an indexed picture's indices are copied
// as they are.
void writePlane(const OffscreenPicture& src, const Rect& r, PlaneFormat f, const ColorTable& table, std::uint8_t* dst,
                std::size_t dstStride, int outWidth, int outHeight);

// 5-bit component <-> 8-bit component. Widening repeats the high bits, as QuickDraw does, so 31
// becomes 255 and every 5-bit value survives a round trip.
inline std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }
inline unsigned reduce5(unsigned c) { return (c * 31 + 127) / 255; }

} // namespace qm::detail
