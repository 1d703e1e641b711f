#include "compose/demo_media.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "compose/working_copy_conversions.h"
#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm::demo {

namespace {

constexpr TimeScale kScale = 3600;

std::uint32_t rgb(double r, double g, double b)
{
    auto c = [](double v) { return std::uint32_t(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); };
    return 0xFF000000u | (c(r) << 16) | (c(g) << 8) | c(b);
}

// Smooth value noise in one dimension, repeating every `period` samples.
double noise1(double x, int period, int seed)
{
    auto hash = [&](int i) {
        std::uint32_t h = std::uint32_t(((i % period) + period) % period) * 2654435761u + std::uint32_t(seed) * 40503u;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        return double(h & 0xFFFF) / 65535.0;
    };
    const int i = int(std::floor(x));
    const double f = x - i;
    const double t = f * f * (3 - 2 * f);
    return hash(i) * (1 - t) + hash(i + 1) * t;
}

// The colour of a place at pan fraction u (0..1 round the circle) and height fraction v (0 top).
std::uint32_t placeColor(const PlaceStyle& s, double u, double v)
{
    const double horizon = 0.58;
    // Skyline height at this direction: hills far away, then buildings or trees.
    const double hills = 0.05 + 0.06 * noise1(u * 24, 24, s.seed);
    double feature = 0;
    bool window = false;
    bool trunk = false;
    if (s.town) {
        const int lots = 36;
        const int lot = int(u * lots);
        const double inLot = u * lots - lot;
        const double built = noise1(lot * 1.0, lots, s.seed + 7);
        if (built > 0.35 && inLot > 0.08 && inLot < 0.92) {
            feature = 0.1 + 0.25 * noise1(lot * 1.0 + 0.5, lots, s.seed + 3);
            const double wx = std::fmod(inLot * 6, 1.0);
            const double wy = std::fmod((horizon - v) * 60, 1.0);
            window = wx > 0.3 && wx < 0.7 && wy > 0.35 && wy < 0.75;
        }
    } else {
        const int trees = 48;
        const int tree = int(u * trees);
        const double inTree = u * trees - tree - 0.5;
        const double height = 0.12 + 0.15 * noise1(tree * 1.0, trees, s.seed + 5);
        const double crown = height * (1 - std::fabs(inTree) * 2.2);
        feature = std::max(0.0, crown);
        trunk = std::fabs(inTree) < 0.06;
    }
    const double top = horizon - std::max(hills, feature);
    if (v < horizon - hills && v < top) {
        // Sky: a gradient with a few soft clouds.
        const double t = v / horizon;
        double r = s.sunset ? 0.95 - 0.5 * (1 - t) : 0.35 + 0.4 * t;
        double g = s.sunset ? 0.55 + 0.2 * t - 0.3 * (1 - t) : 0.55 + 0.3 * t;
        double b = s.sunset ? 0.45 + 0.3 * (1 - t) : 0.95;
        const double cloud = noise1(u * 40, 40, s.seed + 11) * noise1(v * 30 + u * 7, 1 << 20, s.seed);
        if (cloud > 0.45 && v < horizon * 0.6) {
            r += 0.35;
            g += 0.35;
            b += 0.2;
        }
        return rgb(r, g, b);
    }
    if (v < horizon) {
        if (feature > hills && v >= top) {
            if (s.town)
                return window ? rgb(0.95, 0.85, 0.45) : rgb(0.55 + 0.1 * noise1(u * 36, 36, s.seed), 0.45, 0.4);
            return trunk && v > horizon - 0.04 ? rgb(0.35, 0.22, 0.1) : rgb(0.1, 0.35 + 0.15 * noise1(u * 200, 200, 3), 0.12);
        }
        return rgb(0.35, 0.45, 0.4); // distant hills
    }
    // Ground: grass or paving with a path running away from the viewer.
    const double d = (v - horizon) / (1 - horizon);
    const double path = std::fabs(std::fmod(u * 4 + 0.5, 1.0) - 0.5);
    if (path < 0.02 + 0.1 * d)
        return rgb(0.75, 0.7, 0.6);
    const double grain = noise1(u * 400, 400, s.seed) * 0.1;
    return s.town ? rgb(0.5 + grain, 0.5 + grain, 0.48) : rgb(0.2 + grain, 0.5 + d * 0.2, 0.15);
}

OSErr lastError(Movie& m) { return m.error() ? m.error() : err::memFullErr; }

Track* newTrack(Movie& movie, int width, int height, OSType mediaType)
{
    Track* t = movie.newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
    if (t && !t->newMedia(mediaType, kScale))
        return nullptr;
    return t;
}

OSErr addJpeg(Track& track, const OffscreenPicture& picture, TimeValue at)
{
    ImageCompressionParams params;
    params.spatialQuality = codecQuality::high;
    CompressedImage image;
    if (OSErr e = compressImage(picture, params, image))
        return e;
    image.description.dataSize = std::uint32_t(image.data.size());
    return appendSample(track, image.data, SampleDescription(image.description.build()), kScale, at);
}

OSErr writeNodeTracks(Movie& movie, OSType nodeType, int width, int height, TimeValue duration,
                      const Bytes& nodeSample, Track*& nodeTrack)
{
    if (OSErr e = movie.setTimeScale(kScale))
        return e;
    if (OSErr e = SetControllerType(&movie, kQTVR2ControllerType))
        return e;
    Track* qtvr = newTrack(movie, width, height, vrNodeType::kQtvr);
    nodeTrack = qtvr ? newTrack(movie, width, height, nodeType) : nullptr;
    if (!nodeTrack)
        return lastError(movie);
    if (OSErr e = qtvr->addReference(*nodeTrack, nodeType))
        return e;
    AtomContainer world;
    AtomContainer header;
    if (OSErr e = buildOneNodeWorld(nodeType, world))
        return e;
    if (OSErr e = buildOneNodeHeader(nodeType, header))
        return e;
    if (OSErr e = appendSample(*qtvr, header.serialize(), SampleDescription(qtvrSampleDescription(world)), duration, 0))
        return e;
    return appendSample(*nodeTrack, nodeSample, placeholderDescription(), duration, 0);
}

} // namespace

OSErr writePanorama(const std::filesystem::path& file, int width, int height, int tiles, const PlaceStyle& style)
{
    const int strip = width / tiles;
    PanoramaSampleRecord r;
    r.majorVersion = 2;
    r.imageRefTrackIndex = 1;
    r.minPan = 0;
    r.maxPan = 360;
    const float halfTilt = float(std::atan(M_PI * height / width) * 180.0 / M_PI);
    r.minTilt = -halfTilt;
    r.maxTilt = halfTilt;
    r.maxFieldOfView = 2 * halfTilt;
    r.minFieldOfView = 5;
    r.defaultFieldOfView = 1.6f * halfTilt;
    r.defaultPan = 180;
    r.imageSizeX = std::uint32_t(height);
    r.imageSizeY = std::uint32_t(strip * tiles);
    r.imageNumFramesX = 1;
    r.imageNumFramesY = std::uint16_t(tiles);
    r.panoType = fourCC("vcyl");
    AtomContainer sample;
    const auto bytes = r.toBytes();
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kPanoSample, 1, 0, bytes))
        return e;

    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::createFile(file, true, movie))
        return e;
    Track* pano = nullptr;
    const TimeValue duration = TimeValue(tiles) * kScale;
    if (OSErr e = writeNodeTracks(*movie, vrNodeType::kPanorama, 320, 240, duration, sample.serialize(), pano))
        return e;
    // Tiles are strips of the unrolled panorama turned a quarter anticlockwise, the right-most
    // strip first.
    Track* image = newTrack(*movie, height, strip, videoMediaType);
    if (!image)
        return lastError(*movie);
    image->setEnabled(false);
    if (OSErr e = pano->addReference(*image, vrAtom::kImageTrackRef))
        return e;
    OffscreenPicture tile;
    if (OSErr e = tile.allocate(PixelDepth::Argb32, makeRect(0, 0, strip, height)))
        return e;
    for (int k = 0; k < tiles; ++k) {
        const int left = (tiles - 1 - k) * strip;
        for (int row = 0; row < strip; ++row)
            for (int col = 0; col < height; ++col) {
                const int x = left + strip - 1 - row;
                tile.setPixel(col, row, placeColor(style, double(x) / (strip * tiles), double(col) / height));
            }
        if (OSErr e = addJpeg(*image, tile, TimeValue(k) * kScale))
            return e;
    }
    return movie->addMovieResource();
}

OSErr writeObjectMovie(const std::filesystem::path& file, int width, int height, int columns)
{
    Node shape;
    ObjectSampleRecord r = objectRecordOf(shape);
    r.columns = std::uint32_t(columns);
    r.viewDuration = kScale / 2;
    r.minPan = 0;
    r.maxPan = 360;
    r.controlSettings = 0x45; // wrap pan, can zoom, translation
    AtomContainer sample;
    const auto bytes = r.toBytes();
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kObjectSample, 1, 0, bytes))
        return e;
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::createFile(file, true, movie))
        return e;
    Track* object = nullptr;
    const TimeValue duration = TimeValue(columns) * r.viewDuration;
    if (OSErr e = writeNodeTracks(*movie, vrNodeType::kObject, width, height, duration, sample.serialize(), object))
        return e;
    Track* image = newTrack(*movie, width, height, videoMediaType);
    if (!image)
        return lastError(*movie);
    if (OSErr e = object->addReference(*image, vrAtom::kImageTrackRef))
        return e;
    // A square column turning once over the views, lit from the left, on a plinth.
    OffscreenPicture view;
    if (OSErr e = view.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width)))
        return e;
    for (int c = 0; c < columns; ++c) {
        const double turn = 2 * M_PI * c / columns;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double u = (x - width / 2.0) / (width * 0.25);
                const double v = double(y) / height;
                std::uint32_t colour = rgb(0.85, 0.85, 0.9 - 0.2 * v);
                if (v > 0.8 && std::fabs(u) < 1.6) {
                    colour = rgb(0.45, 0.42, 0.4);
                } else if (v > 0.15 && v <= 0.8 && std::fabs(u) < 1.0) {
                    // Which face of the turning square is seen at u.
                    const double a = std::asin(std::clamp(u, -1.0, 1.0)) + turn;
                    const double face = std::fmod(a + 8 * M_PI + M_PI / 4, M_PI / 2) / (M_PI / 2);
                    const double light = 0.45 + 0.45 * std::cos(a);
                    const bool stripe = face > 0.45 && face < 0.55;
                    colour = stripe ? rgb(0.2, 0.2, 0.25) : rgb(0.75 * light + 0.1, 0.55 * light + 0.1, 0.3 * light + 0.1);
                }
                view.setPixel(x, y, colour);
            }
        if (OSErr e = addJpeg(*image, view, TimeValue(c) * r.viewDuration))
            return e;
    }
    return movie->addMovieResource();
}

OSErr writePlanImage(const std::filesystem::path& file, int width, int height)
{
    OffscreenPicture plan;
    if (OSErr e = plan.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width)))
        return e;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool grid = x % 40 == 0 || y % 40 == 0;
            const bool road = std::abs(y - height / 2) < 12 || std::abs(x - width / 3) < 10;
            const bool block = !road && ((x / 80 + y / 60) % 3 == 0);
            plan.setPixel(x, y, road ? rgb(0.8, 0.78, 0.7) : block ? rgb(0.7, 0.5, 0.4) : grid ? rgb(0.8, 0.9, 0.8) : rgb(0.9, 0.96, 0.88));
        }
    ImageCompressionParams params;
    params.codecType = codecType::png;
    CompressedImage image;
    if (OSErr e = compressImage(plan, params, image))
        return e;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data.data()), std::streamsize(image.data.size()));
    out.close(); // a full disk may show only when the last bytes leave the buffer
    return out ? OSErr(0) : err::ioErr;
}

} // namespace qm::demo
