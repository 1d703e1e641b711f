#pragma once
// Image compression and decompression: single images (this header) and sequences
// (compression_sequence.h, decompression_sequence.h), on top of FFmpeg.
//
// Every function here is reentrant: each call works on its own codec state, so tiles can be
// compressed on several threads at once.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quicktime/codec/image_description.h"
#include "quicktime/base/os_types.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

namespace codecType {
constexpr OSType photoJpeg = fourCC("jpeg");
constexpr OSType cinepak = fourCC("cvid");
constexpr OSType graphics = fourCC("smc ");
constexpr OSType animation = fourCC("rle ");
constexpr OSType roadPizza = fourCC("rpza");
constexpr OSType raw = fourCC("raw ");
constexpr OSType png = fourCC("png ");
} // namespace codecType

// The QuickTime quality scale of spatial and temporal quality.
namespace codecQuality {
constexpr std::uint32_t min = 0x000;
constexpr std::uint32_t low = 0x100;
constexpr std::uint32_t normal = 0x200;
constexpr std::uint32_t high = 0x300;
constexpr std::uint32_t max = 0x3FF;
constexpr std::uint32_t lossless = 0x400;
} // namespace codecQuality

// Images larger than this on either side, or in pixels, are refused.
inline constexpr int kMaxImageDimension = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t(1) << 26;

struct ImageCompressionParams {
    OSType codecType = codecType::photoJpeg;
    // Requested bits per pixel; 0 asks for the codec's natural depth for the source. A depth the
    // codec cannot produce is replaced by the nearest one it can (see compressionDepth).
    std::int16_t depth = 0;
    std::uint32_t spatialQuality = codecQuality::normal;
    // The palette for depth 8 output from a 32-bit picture (default: the standard Macintosh
    // table), each pixel taking its nearest colour. An indexed picture always keeps its own
    // indices and table.
    std::optional<ColorTable> colorTable;
};

struct CompressedImage {
    Bytes data;
    ImageDescription description;
};

// Compresses the part srcRect (in the picture's coordinates, inside its bounds) of src. The
// description carries the codec type, the rectangle's size, the depth used, the spatial quality
// (temporal 0), the data size and, for depth 8, the colour table. A 32-bit picture's alpha is
// kept by the 32-bit depths of 'rle ', 'raw ' and 'png ' and ignored otherwise.
// Errors: noCodecErr (no encoder for the type), paramErr (empty or outside rectangle, null
// picture, image too large), codecErr (the encoder failed), memFullErr.
OSErr compressImage(const OffscreenPicture& src, const Rect& srcRect, const ImageCompressionParams& params,
                    CompressedImage& out);
OSErr compressImage(const OffscreenPicture& src, const ImageCompressionParams& params, CompressedImage& out);

// Decompresses one image into a picture of the description's size with bounds (0, 0, height,
// width). Argb32 gives colours (alpha 0xFF unless the format has alpha); Indexed8 gives the pixel
// values of depths of 8 bits or less (a hot spot image's IDs, never through colour) with the
// description's effective colour table, and fails with paramErr for direct-colour images.
// Errors: noCodecErr (no decoder for the type), badImageDescription (size outside the limits
// above), codecErr (broken data), paramErr, memFullErr.
OSErr decompressImage(const ImageDescription& description, std::span<const std::uint8_t> data, PixelDepth depth,
                      OffscreenPicture& out);

// The largest size reduction (as a power of two: 1 halves each side, 3 gives an eighth) the
// decoder of the type can apply while decoding; 0 when it decodes at full size only. See
// DecompressionSequence::begin.
int maxDecodeReduction(OSType codecType);

// An upper bound of the compressed size of one width x height image at the depth
// (compressionDepth applies) for any content and quality. Errors: noCodecErr, paramErr.
OSErr getMaxCompressionSize(OSType codecType, int width, int height, std::int16_t depth, std::size_t& size);

// The depth compressImage uses for a request: 'jpeg' and 'cvid' 24; 'smc ' 8; 'rpza' 16;
// 'rle ' and 'raw ' 8, 16, 24 or 32; 'png ' 8, 24 or 32. Depth 0, grey depths and depths a codec
// lacks become 8 for an indexed source and 24 otherwise when the codec has them; 1, 2 and 4
// become 8; 16 becomes 24 for 'png '.
std::int16_t compressionDepth(OSType codecType, std::int16_t requested, PixelDepth source);

bool canCompress(OSType codecType);
bool canDecompress(OSType codecType);
// The compression types this build can write, in a fixed order.
std::vector<OSType> compressorTypes();
// The conventional compressor name ("Photo - JPEG", "Cinepak", "Graphics", "Animation", "Video",
// "None", "PNG"); empty for other types.
std::string compressorName(OSType codecType);

} // namespace qm
