#pragma once
// Compression of the composer's tiles and frames through the codec layer. Every function is
// reentrant: tiles are compressed on several threads at once.
#include <span>

#include "compose/indexed_image.h"
#include "project/scene.h"
#include "quicktime/pixel_buffer.h"

namespace qm {

struct EncodedImage {
    Bytes data;
    Bytes description; // image description bytes ('stsd' entry form)
};

// A part of a hot spot image as one lossless 8-bit 'smc ' tile (quality 1024): every pixel keeps
// its hot spot ID.
OSErr compressHotSpotTile(const IndexedImage& image, const Rect& part, EncodedImage& out);

// Decompresses an image sample and compresses it again with the settings' codec type, depth
// (0: the codec's natural depth) and spatial quality.
OSErr recompressImage(std::span<const std::uint8_t> description, std::span<const std::uint8_t> data,
                      const CompressionSettings& settings, EncodedImage& out);

// A still image as one Photo-JPEG frame at normal quality.
OSErr compressStillImage(const PixelBuffer& picture, EncodedImage& out);

} // namespace qm
