#pragma once
// Copying pixels between offscreen pictures (QuickDraw's CopyBits), and turning pictures by
// quarter turns.
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

// How colours reach an 8-bit destination from a 32-bit (or smoothed) source.
enum class CopyMode {
    Exact,  // each pixel takes the nearest colour of the destination's table
    Dither, // Floyd-Steinberg error diffusion over the destination's table, serpentine rows;
            // colours already in the table come out as their own indices
};

enum class ScaleFilter {
    Nearest, // each destination pixel takes the source pixel under its centre
    Smooth,  // area average when shrinking, bilinear when enlarging (per axis); channels are
             // averaged as stored (the pictures are taken to be opaque)
};

// Copies srcRect of src onto dstRect of dst, scaling when their sizes differ; the part of dstRect
// outside dst's bounds is left out. Between two 8-bit pictures the indices are copied unchanged
// and never blended (mode and filter do not apply), so hot spot IDs survive any copy and scale.
// An 8-bit source is read through its colour table when the destination is 32-bit or the copy
// is smoothed. srcRect must be non-empty and lie within src's bounds, else -50; src and dst may
// be the same picture.
OSErr copyBits(const OffscreenPicture& src, const Rect& srcRect, OffscreenPicture& dst, const Rect& dstRect,
               CopyMode mode = CopyMode::Exact, ScaleFilter filter = ScaleFilter::Nearest);

enum class Rotation {
    Clockwise,        // +90 degrees: the left column becomes the top row
    CounterClockwise, // -90 degrees: the top row becomes the left column
    HalfTurn,
};

// Makes dst a rotated copy of src with the same depth and colour table; dst's bounds start at
// (0, 0) and a quarter turn swaps width and height. dst may be src itself. -50 for a null src,
// -108 when dst cannot be allocated (dst is then null).
OSErr rotatePicture(const OffscreenPicture& src, Rotation rotation, OffscreenPicture& dst);

} // namespace qm
