#include "compose/tile_compressor.h"

#include <map>
#include <mutex>
#include <utility>

#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {

namespace {

void finish(CompressedImage& image, EncodedImage& out)
{
    image.description.dataSize = std::uint32_t(image.data.size());
    out.data = std::move(image.data);
    out.description = image.description.build();
}

} // namespace

OSErr compressHotSpotTile(const OffscreenPicture& picture, const Rect& part, EncodedImage& out)
{
    ImageCompressionParams params;
    params.codecType = codecType::graphics;
    params.depth = 8;
    params.spatialQuality = codecQuality::lossless;
    CompressedImage compressed;
    if (OSErr e = compressImage(picture, part, params, compressed))
        return e;
    finish(compressed, out);
    return 0;
}

OSErr compressBlankHotSpotTile(int width, int height, EncodedImage& out)
{
    static std::mutex mutex;
    static std::map<std::pair<int, int>, EncodedImage> made;
    const std::pair size{width, height};
    {
        std::lock_guard lock(mutex);
        if (auto it = made.find(size); it != made.end()) {
            out = it->second;
            return 0;
        }
    }
    OffscreenPicture blank;
    if (OSErr e = blank.allocate(PixelDepth::Indexed8, makeRect(0, 0, height, width)))
        return e;
    blank.fill(0);
    EncodedImage encoded;
    if (OSErr e = compressHotSpotTile(blank, blank.bounds(), encoded))
        return e;
    std::lock_guard lock(mutex);
    out = made.try_emplace(size, std::move(encoded)).first->second;
    return 0;
}

OSErr recompressImage(std::span<const std::uint8_t> description, std::span<const std::uint8_t> data,
                      const CompressionSettings& settings, EncodedImage& out)
{
    ImageDescription source;
    if (OSErr e = ImageDescription::parse(description, source))
        return e;
    OffscreenPicture picture;
    if (OSErr e = decompressImage(source, data, PixelDepth::Argb32, picture))
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

OSErr compressStillImage(const OffscreenPicture& picture, EncodedImage& out)
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
