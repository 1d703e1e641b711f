#pragma once
// An 8-bit image of hot spot IDs handed from the painter to the tile compressor: one byte per
// pixel, rows top to bottom without padding. (The raster and codec layers each have a picture
// type of their own; this plain form passes between them.)
#include <cstdint>

#include "quicktime/byte_io.h"

namespace qm {

struct IndexedImage {
    int width = 0;
    int height = 0;
    Bytes pixels;
    std::uint8_t at(int h, int v) const { return pixels[std::size_t(v) * std::size_t(width) + std::size_t(h)]; }
};

} // namespace qm
