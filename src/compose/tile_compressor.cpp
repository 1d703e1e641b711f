#include "compose/tile_compressor.h"

#include <cstring>
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

OSErr compressBlankHotSpotTile(int width, int height, EncodedImage& out)
{
    BlankTiles& b = blankTiles();
    const std::pair size{width, height};
    {
        std::lock_guard lock(b.mutex);
        if (auto it = b.made.find(size); it != b.made.end()) {
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
    std::lock_guard lock(b.mutex);
    out = b.made.try_emplace(size, std::move(encoded)).first->second;
    return 0;
}

namespace {

// A picture compressed before: its size, the part of it that may hold non-zero pixels (all
// others are zero) and that part's pixels.
struct SharedTile {
    int width = 0;
    int height = 0;
    Rect content;
    Bytes pixels;
    EncodedImage encoded;
};

// Tiles kept for sharing: bounded so that a long session holds at most this many pixel bytes.
constexpr std::size_t kMaxSharedPixelBytes = 32u << 20;

Bytes pixelsOf(const OffscreenPicture& picture, const Rect& part)
{
    Bytes pixels;
    const auto width = std::size_t(part.width());
    pixels.resize(width * std::size_t(part.height()));
    std::uint8_t* to = pixels.data();
    for (int v = part.top; v < part.bottom; ++v, to += width)
        std::memcpy(to, picture.row8(v) + (part.left - picture.bounds().left), width);
    return pixels;
}

std::uint64_t hashOf(const Bytes& bytes)
{
    // FNV-1a over 8-byte words, then the remaining bytes.
    std::uint64_t h = 0xcbf29ce484222325ull;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ word) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < bytes.size(); ++i)
        h = (h ^ bytes[i]) * 0x100000001b3ull;
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

OSErr compressSharedHotSpotTile(const OffscreenPicture& picture, const Rect& content, EncodedImage& out)
{
    const Rect part = sectRect(content, picture.bounds());
    if (part.empty())
        return compressBlankHotSpotTile(picture.width(), picture.height(), out);
    SharedTiles& s = sharedTiles();
    Bytes pixels = pixelsOf(picture, part);
    const std::uint64_t key = hashOf(pixels) ^ (std::uint64_t(std::uint16_t(part.top)) << 48 |
                                                std::uint64_t(std::uint16_t(part.left)) << 32 |
                                                std::uint64_t(picture.width()) << 16 | std::uint64_t(picture.height()));
    {
        std::lock_guard lock(s.mutex);
        const auto [from, to] = s.tiles.equal_range(key);
        for (auto it = from; it != to; ++it) {
            const SharedTile& t = it->second;
            if (t.width == picture.width() && t.height == picture.height() && t.content == part && t.pixels == pixels) {
                out = t.encoded;
                return 0;
            }
        }
    }
    EncodedImage encoded;
    if (OSErr e = compressHotSpotTile(picture, picture.bounds(), encoded))
        return e;
    out = encoded;
    std::lock_guard lock(s.mutex);
    if (s.bytes + pixels.size() > kMaxSharedPixelBytes) {
        s.tiles.clear();
        s.bytes = 0;
    }
    s.bytes += pixels.size();
    s.tiles.emplace(key, SharedTile{picture.width(), picture.height(), part, std::move(pixels), std::move(encoded)});
    return 0;
}

OSErr compressSharedHotSpotTile(const OffscreenPicture& picture, EncodedImage& out)
{
    return compressSharedHotSpotTile(picture, picture.bounds(), out);
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
