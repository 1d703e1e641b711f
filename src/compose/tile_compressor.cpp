#include "compose/tile_compressor.h"

#include <map>
#include <mutex>
#include <unordered_map>
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

namespace {

struct SharedTile {
    int width = 0;
    int height = 0;
    Bytes pixels;
    EncodedImage encoded;
};

// Tiles kept for sharing: bounded so that a long session holds at most this many pixel bytes.
constexpr std::size_t kMaxSharedPixelBytes = 32u << 20;

Bytes pixelsOf(const OffscreenPicture& picture)
{
    Bytes pixels;
    pixels.reserve(std::size_t(picture.width()) * std::size_t(picture.height()));
    for (int v = picture.bounds().top; v < picture.bounds().bottom; ++v)
        pixels.insert(pixels.end(), picture.row8(v), picture.row8(v) + picture.width());
    return pixels;
}

std::uint64_t hashOf(const Bytes& bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}

struct SharedTiles {
    std::mutex mutex;
    std::unordered_multimap<std::uint64_t, SharedTile> tiles;
    std::size_t bytes = 0;
};

SharedTiles& sharedTiles()
{
    static SharedTiles shared;
    return shared;
}

} // namespace

void forgetSharedHotSpotTiles()
{
    SharedTiles& s = sharedTiles();
    std::lock_guard lock(s.mutex);
    s.tiles.clear();
    s.bytes = 0;
}

OSErr compressSharedHotSpotTile(const OffscreenPicture& picture, EncodedImage& out)
{
    SharedTiles& s = sharedTiles();
    std::mutex& mutex = s.mutex;
    auto& shared = s.tiles;
    std::size_t& sharedBytes = s.bytes;
    Bytes pixels = pixelsOf(picture);
    const std::uint64_t key = hashOf(pixels);
    {
        std::lock_guard lock(mutex);
        const auto [from, to] = shared.equal_range(key);
        for (auto it = from; it != to; ++it)
            if (it->second.width == picture.width() && it->second.height == picture.height() && it->second.pixels == pixels) {
                out = it->second.encoded;
                return 0;
            }
    }
    EncodedImage encoded;
    if (OSErr e = compressHotSpotTile(picture, picture.bounds(), encoded))
        return e;
    out = encoded;
    std::lock_guard lock(mutex);
    if (sharedBytes + pixels.size() > kMaxSharedPixelBytes) {
        shared.clear();
        sharedBytes = 0;
    }
    sharedBytes += pixels.size();
    shared.emplace(key, SharedTile{picture.width(), picture.height(), std::move(pixels), std::move(encoded)});
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
