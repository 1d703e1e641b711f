#pragma once
// Compression of the composer's tiles and frames through the codec layer. Every function is
// reentrant: tiles are compressed on several threads at once.
#include <functional>
#include <span>

#include "project/scene.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

struct EncodedImage {
    Bytes data;
    Bytes description; // image description bytes ('stsd' entry form)
};

// A part (picture coordinates) of an 8-bit hot spot picture as one lossless 'smc ' tile
// (quality 1024): every pixel keeps its hot spot ID.
OSErr compressHotSpotTile(const OffscreenPicture& picture, const Rect& part, EncodedImage& out);

// An all-zero 8-bit picture of width x height compressed as compressHotSpotTile does it: the
// bytes are made once per size and process, then copied.
OSErr compressBlankHotSpotTile(int width, int height, EncodedImage& out);

// A whole 8-bit hot spot picture compressed as compressHotSpotTile does it, the bytes shared
// between identical pictures (the same hot spots over the same tile of several nodes): a
// picture compressed before in this process is looked up by its pixels instead.
OSErr compressSharedHotSpotTile(const OffscreenPicture& picture, EncodedImage& out);

// What makes a hot spot picture: its size, how it is laid out from the pixels (0: as they are;
// other values are the caller's own layouts), the part of it they fill (every other pixel is 0)
// and those pixels, row after row.
struct SharedTileKey {
    int width = 0;
    int height = 0;
    int layout = 0;
    Rect content;
    Bytes pixels;
};

// The bytes of the picture `key` describes: those kept for an equal key, else what encode()
// makes, kept for the next one.
OSErr compressSharedHotSpotTile(SharedTileKey key, const std::function<OSErr(EncodedImage&)>& encode,
                                EncodedImage& out);

// Whether the bytes for `key`, or of the blank tile of a size, are known: then they are in out.
bool findSharedHotSpotTile(const SharedTileKey& key, EncodedImage& out);
bool findBlankHotSpotTile(int width, int height, EncodedImage& out);

// Forgets the encodings compressBlankHotSpotTile and compressSharedHotSpotTile keep: the next
// compose pays for every tile, as the first one of a process does.
void forgetSharedHotSpotTiles();

// Decompresses an image sample and compresses it again with the settings' codec type, depth
// (0: the codec's natural depth) and spatial quality.
OSErr recompressImage(std::span<const std::uint8_t> description, std::span<const std::uint8_t> data,
                      const CompressionSettings& settings, EncodedImage& out);

// A still image as one Photo-JPEG frame at normal quality.
OSErr compressStillImage(const OffscreenPicture& picture, EncodedImage& out);

} // namespace qm
