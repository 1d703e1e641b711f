#pragma once
// Still image files as pictures: what a graphics importer gives for the still-image file types
// of file_types.h. JPEG, PNG, BMP, GIF, TIFF, Photoshop, SGI and Targa files decode through
// FFmpeg's image decoders; MacPaint, PICT (bitmaps, pixel maps, direct pixels and
// QuickTime-compressed images) and QuickTime Image files are read here, their compressed images
// through the codec layer.
#include <filesystem>
#include <span>
#include <string>

#include "quicktime/codec/codec.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/base/os_types.h"

namespace qm {

// Files larger than this are refused (err::memFullErr) rather than read into memory.
inline constexpr std::uintmax_t kMaxImageFileBytes = 512u << 20;

// Decodes an image file of the given file type into a 32-bit picture with bounds (0, 0, height,
// width). Transparent pixels are composed over white, so every pixel of the result is opaque.
// Errors: the file's own; err::noCodecErr for a type nothing here reads ('qdgx'); err::codecErr
// for data the decoder rejects; err::memFullErr for pictures beyond the codec layer's
// kMaxImageDimension and kMaxImagePixels.
OSErr readImageFile(const std::filesystem::path& file, OSType fileType, OffscreenPicture& out,
                    std::string* detail = nullptr);
OSErr decodeImage(std::span<const std::uint8_t> bytes, OSType fileType, OffscreenPicture& out,
                  std::string* detail = nullptr);

} // namespace qm
