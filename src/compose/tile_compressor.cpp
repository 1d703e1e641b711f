#include "compose/tile_compressor.h"

#include <cstring>

#include "quicktime/codec.h"
#include "quicktime/errors.h"

namespace qm {

namespace {

void finish(CompressedImage& image, EncodedImage& out)
{
    image.description.dataSize = std::uint32_t(image.data.size());
    out.data = std::move(image.data);
    out.description = image.description.build();
}

} // namespace

OSErr compressHotSpotTile(const IndexedImage& image, const Rect& part, EncodedImage& out)
{
    if (part.empty() || part.left < 0 || part.top < 0 || part.right > image.width || part.bottom > image.height)
        return err::paramErr;
    PixelBuffer tile(part.width(), part.height(), PixelFormat::indexed8, ColorTable::macDefault(8));
    if (tile.empty())
        return err::memFullErr;
    for (int v = 0; v < part.height(); ++v)
        std::memcpy(tile.row(v),
                    image.pixels.data() + std::size_t(part.top + v) * std::size_t(image.width) + std::size_t(part.left),
                    std::size_t(part.width()));
    ImageCompressionParams params;
    params.codecType = codecType::graphics;
    params.depth = 8;
    params.spatialQuality = codecQuality::lossless;
    CompressedImage compressed;
    if (OSErr e = compressImage(tile, params, compressed))
        return e;
    finish(compressed, out);
    return 0;
}

OSErr recompressImage(std::span<const std::uint8_t> description, std::span<const std::uint8_t> data,
                      const CompressionSettings& settings, EncodedImage& out)
{
    ImageDescription source;
    if (OSErr e = ImageDescription::parse(description, source))
        return e;
    PixelBuffer picture;
    if (OSErr e = decompressImage(source, data, PixelFormat::argb32, picture))
        return e;
    ImageCompressionParams params;
    params.codecType = settings.codecType ? settings.codecType : codecType::photoJpeg;
    params.depth = settings.dialogDepth;
    params.spatialQuality = settings.spatialQuality;
    CompressedImage compressed;
    if (OSErr e = compressImage(picture, params, compressed))
        return e;
    finish(compressed, out);
    return 0;
}

OSErr compressStillImage(const PixelBuffer& picture, EncodedImage& out)
{
    ImageCompressionParams params;
    params.codecType = codecType::photoJpeg;
    params.depth = 0;
    params.spatialQuality = codecQuality::normal;
    CompressedImage compressed;
    if (OSErr e = compressImage(picture, params, compressed))
        return e;
    finish(compressed, out);
    return 0;
}

} // namespace qm
