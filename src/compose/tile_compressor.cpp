#include "compose/tile_compressor.h"

#include <cstring>
#include <functional>
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

namespace {

struct BlankTiles {
    std::mutex mutex;
    std::map<std::pair<int, int>, EncodedImage> made;
};

BlankTiles& blankTiles()
{
    static BlankTiles blank;
    return blank;
}

} // namespace

bool findBlankHotSpotTile(int width, int height, EncodedImage& out)
{
    BlankTiles& b = blankTiles();
    std::lock_guard lock(b.mutex);
    if (auto it = b.made.find(std::pair{width, height}); it != b.made.end()) {
        out = it->second;
        return true;
    }
    return false;
}

OSErr compressBlankHotSpotTile(int width, int height, EncodedImage& out)
{
    if (findBlankHotSpotTile(width, height, out))
        return 0;
    BlankTiles& b = blankTiles();
    const std::pair size{width, height};
    OffscreenPicture blank;
    if (OSErr e = blank.allocate(PixelDepth::Indexed8, makeRect(0, 0, height, width)))
        return e;
    blank.fill(0);
    EncodedImage encoded;
    if (OSErr e = compressHotSpotTile(blank, blank.bounds(), encoded))
        return e;
    std::lock_guard lock(b.mutex);
    out = b.made.try_emplace(size, std::move(encoded)).first->second;
    return 0;
}

namespace {

struct SharedTile {
    SharedTileKey key;
    EncodedImage encoded;
};

// Tiles kept for sharing: bounded so that a long session holds at most this many pixel bytes.
constexpr std::size_t kMaxSharedPixelBytes = 32u << 20;

Bytes pixelsOf(const OffscreenPicture& picture)
{
    Bytes pixels;
    const auto width = std::size_t(picture.width());
    pixels.resize(width * std::size_t(picture.height()));
    std::uint8_t* to = pixels.data();
    for (int v = picture.bounds().top; v < picture.bounds().bottom; ++v, to += width)
        std::memcpy(to, picture.row8(v), width);
    return pixels;
}

std::uint64_t hashOf(const SharedTileKey& key)
{
    // FNV-1a over the sizes, then the pixels in 8-byte words.
    std::uint64_t h = 0xcbf29ce484222325ull;
    const auto mix = [&h](std::uint64_t word) {
        h = (h ^ word) * 0x100000001b3ull;
        h ^= h >> 29;
    };
    mix(std::uint64_t(std::uint32_t(key.width)) << 32 | std::uint32_t(key.height));
    mix(std::uint64_t(std::uint32_t(key.layout)));
    mix(std::uint64_t(std::uint16_t(key.content.top)) << 48 | std::uint64_t(std::uint16_t(key.content.left)) << 32 |
        std::uint64_t(std::uint16_t(key.content.bottom)) << 16 | std::uint16_t(key.content.right));
    std::size_t i = 0;
    for (; i + 8 <= key.pixels.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, key.pixels.data() + i, 8);
        mix(word);
    }
    for (; i < key.pixels.size(); ++i)
        mix(key.pixels[i]);
    return h;
}

bool operator==(const SharedTileKey& a, const SharedTileKey& b)
{
    return a.width == b.width && a.height == b.height && a.layout == b.layout && a.content == b.content &&
           a.pixels == b.pixels;
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
    {
        BlankTiles& b = blankTiles();
        std::lock_guard lock(b.mutex);
        b.made.clear();
    }
    SharedTiles& s = sharedTiles();
    std::lock_guard lock(s.mutex);
    s.tiles.clear();
    s.bytes = 0;
}

bool findSharedHotSpotTile(const SharedTileKey& key, EncodedImage& out)
{
    SharedTiles& s = sharedTiles();
    const std::uint64_t hash = hashOf(key);
    std::lock_guard lock(s.mutex);
    const auto [from, to] = s.tiles.equal_range(hash);
    for (auto it = from; it != to; ++it)
        if (it->second.key == key) {
            out = it->second.encoded;
            return true;
        }
    return false;
}

OSErr compressSharedHotSpotTile(SharedTileKey key, const std::function<OSErr(EncodedImage&)>& encode,
                                EncodedImage& out)
{
    if (findSharedHotSpotTile(key, out))
        return 0;
    SharedTiles& s = sharedTiles();
    const std::uint64_t hash = hashOf(key);
    EncodedImage encoded;
    if (OSErr e = encode(encoded))
        return e;
    out = encoded;
    std::lock_guard lock(s.mutex);
    if (s.bytes + key.pixels.size() > kMaxSharedPixelBytes) {
        s.tiles.clear();
        s.bytes = 0;
    }
    s.bytes += key.pixels.size();
    s.tiles.emplace(hash, SharedTile{std::move(key), std::move(encoded)});
    return 0;
}

OSErr compressSharedHotSpotTile(const OffscreenPicture& picture, EncodedImage& out)
{
    SharedTileKey key{picture.width(), picture.height(), 0, picture.bounds(), pixelsOf(picture)};
    return compressSharedHotSpotTile(
        std::move(key), [&](EncodedImage& encoded) { return compressHotSpotTile(picture, picture.bounds(), encoded); },
        out);
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
