#include "quicktime/codec/codec.h"

#include "quicktime/codec/codec_registry.h"
#include "quicktime/codec/compression_sequence.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/base/errors.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace qm {

std::int16_t compressionDepth(OSType type, std::int16_t requested, PixelDepth source)
{
    const std::int16_t natural = source == PixelDepth::Indexed8 ? 8 : 24;
    switch (type) {
    case codecType::photoJpeg:
    case codecType::cinepak:
        return 24;
    case codecType::graphics:
        return 8;
    case codecType::roadPizza:
        return 16;
    case codecType::animation:
    case codecType::raw:
    case codecType::png:
        switch (requested) {
        case 1:
        case 2:
        case 4:
        case 8:
            return 8;
        case 16:
            return type == codecType::png ? 24 : 16;
        case 24:
        case 32:
            return requested;
        default:
            return natural;
        }
    default:
        return requested;
    }
}

bool canCompress(OSType type)
{
    const detail::CodecInfo* c = detail::findCodec(type);
    return c && (c->ownEncoder || avcodec_find_encoder(AVCodecID(c->ffmpegId)));
}

bool canDecompress(OSType type)
{
    const int id = detail::decoderIdFor(type);
    return id && avcodec_find_decoder(AVCodecID(id));
}

std::vector<OSType> compressorTypes()
{
    std::vector<OSType> types;
    for (std::size_t i = 0; const detail::CodecInfo* c = detail::codecAt(i); ++i)
        if (canCompress(c->type))
            types.push_back(c->type);
    return types;
}

std::string compressorName(OSType type)
{
    const detail::CodecInfo* c = detail::findCodec(type);
    return c ? c->name : std::string();
}

OSErr compressImage(const OffscreenPicture& src, const Rect& srcRect, const ImageCompressionParams& params,
                    CompressedImage& out)
{
    out = CompressedImage();
    const Rect& b = src.bounds();
    if (src.isNull() || srcRect.empty() || srcRect.top < b.top || srcRect.left < b.left || srcRect.bottom > b.bottom ||
        srcRect.right > b.right)
        return err::paramErr;
    if (!canCompress(params.codecType))
        return err::noCodecErr;
    SequenceCompressionParams sequenceParams;
    sequenceParams.image = params;
    sequenceParams.keyFrameRate = 1;
    CompressionSequence sequence;
    if (const OSErr e = sequence.begin(srcRect.width(), srcRect.height(), src.depth(), sequenceParams); e != err::noErr)
        return e;
    CompressedFrame frame;
    if (const OSErr e = sequence.compressFrame(src, srcRect, frame); e != err::noErr)
        return e;
    out.description = sequence.description();
    out.description.dataSize = std::uint32_t(frame.data.size());
    out.data = std::move(frame.data);
    return err::noErr;
}

OSErr compressImage(const OffscreenPicture& src, const ImageCompressionParams& params, CompressedImage& out)
{
    return compressImage(src, src.bounds(), params, out);
}

OSErr decompressImage(const ImageDescription& description, std::span<const std::uint8_t> data, PixelDepth depth,
                      OffscreenPicture& out)
{
    out = OffscreenPicture();
    DecompressionSequence sequence;
    if (const OSErr e = sequence.begin(description); e != err::noErr)
        return e;
    return sequence.decompressFrame(data, depth, out);
}

int maxDecodeReduction(OSType type)
{
    const int id = detail::decoderIdFor(type);
    const AVCodec* codec = id ? avcodec_find_decoder(AVCodecID(id)) : nullptr;
    return codec ? std::min(int(codec->max_lowres), 3) : 0;
}

OSErr getMaxCompressionSize(OSType type, int width, int height, std::int16_t depth, std::size_t& size)
{
    size = 0;
    if (!detail::findCodec(type))
        return err::noCodecErr;
    if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension)
        return err::paramErr;
    const std::size_t w = std::size_t(width);
    const std::size_t h = std::size_t(height);
    const std::size_t bytesPerPixel = std::size_t(compressionDepth(type, depth, PixelDepth::Argb32) + 7) / 8;
    const std::size_t blocks = ((w + 3) / 4) * ((h + 3) / 4);
    switch (type) {
    case codecType::raw:
        size = w * h * bytesPerPixel;
        break;
    case codecType::graphics:
        // A chunk header, then at worst one opcode and sixteen indices per 4x4 block.
        size = 4 + blocks * 17;
        break;
    case codecType::animation: {
        // Header, per line a skip code, literal runs of at most 127 units each with a code, and
        // the end code; the 8-bit format codes units of four pixels.
        const std::size_t units = bytesPerPixel == 1 ? (w + 3) / 4 : w;
        const std::size_t unitBytes = bytesPerPixel == 1 ? 4 : bytesPerPixel;
        size = 16 + h * (3 + units * unitBytes + units / 127 + 1);
        break;
    }
    case codecType::roadPizza:
        // A chunk header, then at worst one opcode and sixteen 16-bit colours per block.
        size = 4 + blocks * 33;
        break;
    case codecType::cinepak: {
        // Frame header; per strip (at most 32) its header, three chunk headers and two
        // codebooks of 256 six-byte vectors; per block a flag bit and four codebook indices.
        const std::size_t perStrip = 12 + 3 * 4 + 2 * 256 * 6;
        size = 10 + 32 * perStrip + blocks * 4 + (blocks + 31) / 32 * 4 * 2;
        break;
    }
    case codecType::png:
        // Unfiltered rows with their filter byte, stored deflate blocks (5 bytes per 65535),
        // zlib, chunk headers, a palette, and room for the encoder's own chunks.
        size = h * (w * 4 + 1);
        size += size / 65535 * 5 + 4096;
        break;
    default: // Photo - JPEG
        // Baseline JPEG of 4:2:0 blocks: far below 6 bytes per pixel even for noise at the
        // finest quantiser, plus headers and Huffman tables.
        size = w * h * 6 + 4096;
        break;
    }
    return err::noErr;
}

} // namespace qm
