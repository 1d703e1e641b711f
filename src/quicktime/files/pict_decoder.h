#pragma once
// QuickDraw pictures (PICT) as pixels: the bitmaps, pixel maps, direct pixels and
// QuickTime-compressed images a picture holds, drawn into a picture of its frame over white.
// Vector drawing (lines, shapes, text) is not rendered; a picture that holds nothing else gives
// err::noCodecErr.
#include <span>
#include <string>

#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/base/os_types.h"

namespace qm {

// A picture as stored in a file (with the 512-byte application header) or in a clipboard or
// resource (without it). Errors: err::codecErr for damaged data, err::noCodecErr for an opcode
// that cannot be stepped over, err::memFullErr for a frame beyond the codec layer's
// image limits.
OSErr decodePictFile(std::span<const std::uint8_t> bytes, OffscreenPicture& out, std::string* detail = nullptr);

} // namespace qm
