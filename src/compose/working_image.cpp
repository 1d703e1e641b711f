#include "compose/working_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/movie/movie_picture.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/panorama_image.h"

namespace qm {

Point WorkingImage::toWorking(Point native) const { return mapPoint(native, nativeRect, workingRect); }
Point WorkingImage::toNative(Point working) const { return mapPoint(working, workingRect, nativeRect); }
Rect WorkingImage::toWorking(const Rect& native) const { return mapRect(native, nativeRect, workingRect); }
Rect WorkingImage::toNative(const Rect& working) const { return mapRect(working, workingRect, nativeRect); }

void panoramaWorkingSize(int nativeWidth, int nativeHeight, int strips, int tilesPerStrip, int maxWidth,
                         int& workingWidth, int& workingHeight)
{
    workingWidth = nativeWidth;
    workingHeight = nativeHeight;
    if (maxWidth <= 0 || nativeWidth <= maxWidth)
        return;
    const float scale = float(maxWidth) / float(nativeWidth);
    workingWidth = int(float(nativeWidth) * scale);
    workingHeight = std::max(1, int(float(nativeHeight) * scale));
    while (strips > 0 && workingWidth % strips != 0)
        ++workingWidth;
    while (tilesPerStrip > 0 && workingHeight % tilesPerStrip != 0)
        ++workingHeight;
}

namespace {

OSErr decodeSample(const Media& media, TimeValue mediaTime, OffscreenPicture& out)
{
    MediaSample s;
    if (OSErr e = media.getSample(mediaTime, s))
        return e;
    ImageDescription description;
    if (OSErr e = ImageDescription::parse(s.description.bytes(), description))
        return e;
    return decompressImage(description, s.data, PixelDepth::Argb32, out);
}

} // namespace

namespace {

// Area-average weights of shrinking n pixels to m (m <= n): output i covers the input span
// [i n / m, (i + 1) n / m) and takes each input pixel by the length of their overlap. Weights of
// one output sum to kWeightOne.
constexpr std::uint32_t kWeightOne = 1u << 12;

struct ShrinkTaps {
    std::vector<int> first;          // per output: its first input
    std::vector<int> start;          // per output: where its weights begin in `weights`
    std::vector<std::uint32_t> weights;

    ShrinkTaps(int n, int m)
    {
        const double step = double(n) / double(m);
        for (int i = 0; i < m; ++i) {
            const double lo = i * step;
            const double hi = std::min(double(n), (i + 1) * step);
            const int a = int(lo);
            const int b = std::min(n, int(std::ceil(hi - 1e-9)));
            first.push_back(a);
            start.push_back(int(weights.size()));
            const std::size_t begin = weights.size();
            std::uint32_t sum = 0;
            for (int j = a; j < b; ++j) {
                const double overlap = std::min(double(j + 1), hi) - std::max(double(j), lo);
                weights.push_back(std::uint32_t(std::lround(overlap / step * kWeightOne)));
                sum += weights.back();
            }
            if (weights.size() == begin) {
                weights.push_back(kWeightOne); // a sliver at the end: the last input alone
                first.back() = std::min(a, n - 1);
            } else {
                // What rounding left over goes to the largest weight.
                *std::max_element(weights.begin() + std::ptrdiff_t(begin), weights.end()) += kWeightOne - sum;
            }
        }
        start.push_back(int(weights.size()));
    }
    int count(int i) const { return start[std::size_t(i) + 1] - start[std::size_t(i)]; }
};

// Shrinks src (stored on its side) to `place` turned a quarter clockwise, in one pass over the
// pixels: the stored tile's width becomes the place's height. Area average per axis, as
// copyBits' smooth filter does; only for shrinking (or keeping) on both axes.
void shrinkTurnedInto(const OffscreenPicture& src, OffscreenPicture& dst, const Rect& place,
                      std::vector<std::uint32_t>& rows)
{
    const int sw = src.width(), sh = src.height();
    const int tw = place.height(), th = place.width(); // the shrunk stored tile
    const ShrinkTaps across(sw, tw);
    const ShrinkTaps down(sh, th);
    // Across each stored row first: three channels per output, 8.4 fixed point.
    rows.assign(std::size_t(sh) * std::size_t(tw) * 3, 0);
    for (int y = 0; y < sh; ++y) {
        const std::uint32_t* s = src.row32(src.bounds().top + y);
        std::uint32_t* r = rows.data() + std::size_t(y) * std::size_t(tw) * 3;
        for (int u = 0; u < tw; ++u) {
            const std::uint32_t* w = across.weights.data() + across.start[std::size_t(u)];
            const std::uint32_t* p = s + across.first[std::size_t(u)];
            std::uint32_t red = 0, green = 0, blue = 0;
            for (int k = 0, n = across.count(u); k < n; ++k) {
                red += w[k] * ((p[k] >> 16) & 0xFF);
                green += w[k] * ((p[k] >> 8) & 0xFF);
                blue += w[k] * (p[k] & 0xFF);
            }
            r[3 * u] = (red + 128) >> 8;
            r[3 * u + 1] = (green + 128) >> 8;
            r[3 * u + 2] = (blue + 128) >> 8;
        }
    }
    // Then down, each finished stored row landing as a column of the place.
    std::vector<std::uint32_t> sums(std::size_t(tw) * 3);
    const Rect& db = dst.bounds();
    for (int v = 0; v < th; ++v) {
        std::fill(sums.begin(), sums.end(), 0u);
        const std::uint32_t* w = down.weights.data() + down.start[std::size_t(v)];
        for (int k = 0, n = down.count(v); k < n; ++k) {
            const std::uint32_t* r = rows.data() + std::size_t(down.first[std::size_t(v)] + k) * std::size_t(tw) * 3;
            for (std::size_t i = 0; i < sums.size(); ++i)
                sums[i] += w[k] * r[i];
        }
        const int column = place.left + th - 1 - v - db.left;
        constexpr std::uint32_t half = 1u << 15;
        for (int u = 0; u < tw; ++u)
            dst.row32(place.top + u)[column] = 0xFF000000u | (((sums[3 * std::size_t(u)] + half) >> 16) << 16) |
                                               (((sums[3 * std::size_t(u) + 1] + half) >> 16) << 8) |
                                               ((sums[3 * std::size_t(u) + 2] + half) >> 16);
    }
}

// Turns src a quarter clockwise into dst at (left, top): stored (x, y) lands on
// (left + height - 1 - y, top + x).
void copyTurnedClockwise(const OffscreenPicture& src, OffscreenPicture& dst, int left, int top)
{
    const int w = src.width();
    const int h = src.height();
    const Rect& sb = src.bounds();
    const Rect& db = dst.bounds();
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* s = src.row32(sb.top + y);
        const int column = left + h - 1 - y - db.left;
        for (int x = 0; x < w; ++x)
            dst.row32(top + x)[column] = s[x];
    }
}

// The largest decoding reduction (see DecompressionSequence::begin) after which a stored tile
// still covers at least width x height pixels, so that only shrinking is left to do.
int reductionFor(const ImageDescription& description, int width, int height)
{
    const int most = maxDecodeReduction(description.codecType);
    int r = 0;
    while (r < most) {
        const int next = r + 1;
        const int w = (description.width + (1 << next) - 1) >> next;
        const int h = (description.height + (1 << next) - 1) >> next;
        if (w < width || h < height)
            break;
        r = next;
    }
    return r;
}

} // namespace

OSErr unrollPanorama(const Track& imageTrack, const PanoramaSampleRecord& record, int maxWidth, WorkingImage& out)
{
    out = WorkingImage{};
    const int strips = record.imageNumFramesY;
    const int tilesPerStrip = record.imageNumFramesX;
    // Stored tiles are turned a quarter anticlockwise: the unrolled width is the stored height.
    const int nativeWidth = int(record.imageSizeY);
    const int nativeHeight = int(record.imageSizeX);
    // Vertical cylinders only: cubes and horizontal cylinders are laid out otherwise (see
    // loadWorkingImage).
    if (panoramaLayoutOf(record) != PanoramaLayout::VerticalCylinder)
        return err::paramErr;
    const Media* media = imageTrack.media();
    if (!media || strips <= 0 || tilesPerStrip <= 0 || nativeWidth <= 0 || nativeHeight <= 0 ||
        nativeWidth > kMaxImageDimension * 4 || nativeHeight > kMaxImageDimension)
        return err::invalidTrack;
    const auto samples = shownSamples(imageTrack);
    if (samples.size() < std::size_t(strips) * std::size_t(tilesPerStrip))
        return err::invalidTrack;
    int width = 0;
    int height = 0;
    panoramaWorkingSize(nativeWidth, nativeHeight, strips, tilesPerStrip, maxWidth, width, height);
    WorkingImage image;
    image.nativeRect = makeRect(0, 0, nativeHeight, nativeWidth);
    image.workingRect = makeRect(0, 0, height, width);
    if (OSErr e = image.picture.allocate(PixelDepth::Argb32, image.workingRect))
        return e;
    image.picture.fill(0xFF000000u);
    // The widest and tallest place a tile takes (edges are spread evenly, so places differ by
    // a pixel at most).
    const int placeWidth = (width + strips - 1) / strips;
    const int placeHeight = (height + tilesPerStrip - 1) / tilesPerStrip;
    // Tiles sharing a description share one decoder. Photo-JPEG tiles much larger than their
    // place are decoded at a reduced size straight from the JPEG transform: most of the cost of
    // a full decode (and of the colour conversion after it) goes on pixels the shrinking drops.
    DecompressionSequence sequence;
    Bytes currentDescription;
    OffscreenPicture tile;
    OffscreenPicture sized;
    std::vector<std::uint32_t> rows;
    std::size_t next = 0;
    for (int i = 0; i < strips; ++i) {
        for (int j = 0; j < tilesPerStrip; ++j) {
            MediaSample sample;
            if (OSErr e = media->getSample(samples[next++].mediaTime, sample))
                return e;
            if (sample.description.bytes() != currentDescription) {
                ImageDescription description;
                if (OSErr e = ImageDescription::parse(sample.description.bytes(), description))
                    return e;
                // Stored on its side: the stored width becomes the place's height.
                if (OSErr e = sequence.begin(description, reductionFor(description, placeHeight, placeWidth)))
                    return e;
                currentDescription = sample.description.bytes();
            }
            OSErr decoded = sequence.decompressFrame(sample.data, PixelDepth::Argb32, tile);
            if (decoded && sequence.reduction() > 0) {
                // A tile the decoder cannot reduce: this one and the rest at full size.
                ImageDescription description = sequence.description();
                if (OSErr e = sequence.begin(description))
                    return e;
                decoded = sequence.decompressFrame(sample.data, PixelDepth::Argb32, tile);
            }
            if (decoded)
                return decoded;
            // The first stored strip is the right-most one of the unrolled picture.
            const int strip = strips - 1 - i;
            const Rect place = makeRect(j * height / tilesPerStrip, strip * width / strips,
                                        (j + 1) * height / tilesPerStrip, (strip + 1) * width / strips);
            // Scaled while still stored on its side, then turned into its place: the turn moves
            // only the pixels that are kept.
            const OffscreenPicture* source = &tile;
            if (tile.width() >= place.height() && tile.height() >= place.width() &&
                (tile.width() != place.height() || tile.height() != place.width())) {
                shrinkTurnedInto(tile, image.picture, place, rows);
                continue;
            }
            if (tile.width() != place.height() || tile.height() != place.width()) {
                const Rect sizedBounds = makeRect(0, 0, place.width(), place.height());
                if (sized.bounds() != sizedBounds)
                    if (OSErr e = sized.allocate(PixelDepth::Argb32, sizedBounds))
                        return e;
                if (OSErr e = copyBits(tile, tile.bounds(), sized, sized.bounds(), CopyMode::Exact, ScaleFilter::Smooth))
                    return e;
                source = &sized;
            }
            copyTurnedClockwise(*source, image.picture, place.left, place.top);
        }
    }
    out = std::move(image);
    return 0;
}

namespace {

// The shown sample of a track at a time of its movie, decoded.
OSErr trackPictureAt(const Track& track, TimeValue movieTime, OffscreenPicture& out)
{
    const Media* media = track.media();
    if (!media)
        return err::invalidTrack;
    const auto samples = shownSamples(track);
    for (const ShownSample& s : samples) {
        if (movieTime >= s.trackTime && movieTime < s.trackTime + std::max<TimeValue>(s.trackDuration, 1)) {
            return decodeSample(*media, s.mediaTime, out);
        }
    }
    return err::invalidTime;
}

Track* firstVideoTrack(const Movie& movie)
{
    for (int i = 1; i <= movie.trackCount(); ++i) {
        Track* t = movie.track(i);
        if (t && t->media() && t->media()->type() == videoMediaType)
            return t;
    }
    return nullptr;
}

// Cubes and horizontal cylinders: the panorama as the movie layer unrolls it (a horizontal
// cylinder upright, a cube's six faces side by side: front, right, back, left, top, bottom) is
// the native picture, scaled to at most maxWidth wide (a cube's width kept divisible by its six
// faces).
OSErr loadUnrolledPanorama(const Movie& movie, int maxWidth, WorkingImage& out)
{
    UnrolledPanorama unrolled;
    if (OSErr e = UnrollPanorama(movie, 0, PanoramaUnrollOptions{}, unrolled))
        return e;
    const int nativeWidth = unrolled.image.width();
    const int nativeHeight = unrolled.image.height();
    if (nativeWidth <= 0 || nativeHeight <= 0 || nativeWidth > kMaxImageDimension * 4 || nativeHeight > kMaxImageDimension)
        return err::invalidTrack;
    const bool cube = unrolled.layout == PanoramaLayout::Cube;
    int width = 0, height = 0;
    panoramaWorkingSize(nativeWidth, nativeHeight, cube ? 6 : 0, 0, maxWidth, width, height);
    WorkingImage image;
    image.nativeRect = makeRect(0, 0, nativeHeight, nativeWidth);
    image.workingRect = makeRect(0, 0, height, width);
    if (width == nativeWidth && height == nativeHeight) {
        image.picture = std::move(unrolled.image);
        image.picture.setOrigin(0, 0);
    } else {
        if (OSErr e = image.picture.allocate(PixelDepth::Argb32, image.workingRect))
            return e;
        if (OSErr e = copyBits(unrolled.image, unrolled.image.bounds(), image.picture, image.workingRect,
                               CopyMode::Exact, ScaleFilter::Smooth))
            return e;
    }
    out = std::move(image);
    return 0;
}

OSErr loadPanorama(Movie& movie, const Node& node, int maxWidth, WorkingImage& out)
{
    const auto* record = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (!record)
        return err::paramErr;
    if (node.vrVersion != 0x100 && panoramaLayoutOf(*record) != PanoramaLayout::VerticalCylinder)
        return loadUnrolledPanorama(movie, maxWidth, out);
    const Track* image = nullptr;
    if (node.vrVersion == 0x100) {
        image = movie.trackByID(std::uint32_t(node.vr1VideoTrackId));
    } else if (Track* pano = vrTrack(movie, vrNodeType::kPanorama)) {
        image = pano->reference(vrAtom::kImageTrackRef, std::max(1, int(record->imageRefTrackIndex)));
    }
    if (!image)
        return err::invalidTrack;
    return unrollPanorama(*image, *record, maxWidth, out);
}

OSErr loadObjectView(Movie& movie, const Node& node, const WorkingImageView& view, WorkingImage& out)
{
    const Track* image = nullptr;
    if (node.vrVersion == 0x100) {
        image = movie.trackByID(std::uint32_t(node.vr1VideoTrackId));
    } else if (Track* object = vrTrack(movie, vrNodeType::kObject)) {
        image = object->reference(vrAtom::kImageTrackRef, std::max(1, int(node.imageTrackReference)));
        if (!image)
            image = object->reference(vrAtom::kImageTrackRef, 1);
    }
    if (!image)
        image = firstVideoTrack(movie);
    if (!image)
        return err::invalidTrack;
    const auto* record = std::get_if<ObjectSampleRecord>(&node.mediaData);
    const TimeValue columns = record ? std::max<TimeValue>(record->columns, 1) : 1;
    const TimeValue viewDuration = record && record->viewDuration ? TimeValue(record->viewDuration) : 0;
    const TimeValue time = (TimeValue(view.row) * columns + view.column) * viewDuration;
    OffscreenPicture frame;
    if (OSErr e = trackPictureAt(*image, time, frame))
        return e;
    const int width = int((image->width() + 0x8000) >> 16);
    const int height = int((image->height() + 0x8000) >> 16);
    WorkingImage result;
    result.nativeRect = width > 0 && height > 0 ? makeRect(0, 0, height, width) : frame.bounds();
    result.workingRect = result.nativeRect;
    if (result.nativeRect == frame.bounds()) {
        result.picture = std::move(frame);
    } else {
        if (OSErr e = result.picture.allocate(PixelDepth::Argb32, result.nativeRect))
            return e;
        if (OSErr e = copyBits(frame, frame.bounds(), result.picture, result.nativeRect, CopyMode::Exact,
                               ScaleFilter::Smooth))
            return e;
    }
    out = std::move(result);
    return 0;
}

OSErr loadMovieFrame(const Movie& movie, const WorkingImageView& view, WorkingImage& out)
{
    WorkingImage result;
    result.timeScale = movie.timeScale();
    result.movieDuration = movie.duration();
    if (const Track* video = firstVideoTrack(movie)) {
        const auto samples = shownSamples(*video);
        if (!samples.empty())
            result.frameDuration = std::max<TimeValue>(samples.front().trackDuration, 1);
    }
    if (result.frameDuration <= 0)
        result.frameDuration = std::max<TimeValue>(result.timeScale / 30, 1);
    TimeValue time = TimeValue(view.frameOffset) * result.frameDuration;
    if (time >= result.movieDuration && result.movieDuration > 0)
        time = result.movieDuration - 1;
    if (OSErr e = getMoviePicture(movie, time, result.picture))
        return e;
    result.nativeRect = result.picture.bounds();
    result.workingRect = result.nativeRect;
    out = std::move(result);
    return 0;
}

} // namespace

OSErr loadWorkingImage(const Scene& scene, const Node& node, const WorkingImageView& view,
                       const ComposeEnvironment& env, WorkingImage& out, int maxWidth)
{
    out = WorkingImage{};
    if (node.kind == NodeKind::kGeneric || node.mediaReference.empty() || !env.resolveMedia)
        return err::paramErr;
    std::filesystem::path media;
    if (OSErr e = env.resolveMedia(scene, node, media))
        return e;
    if (node.kind == NodeKind::kStillImage) {
        if (!env.readStillImage)
            return err::noCodecErr;
        WorkingImage result;
        if (OSErr e = env.readStillImage(media, result.picture))
            return e;
        const Rect b = result.picture.bounds();
        result.picture.setOrigin(0, 0);
        result.nativeRect = makeRect(0, 0, b.height(), b.width());
        result.workingRect = result.nativeRect;
        out = std::move(result);
        return 0;
    }
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(media, MovieOpenMode::read, movie))
        return e;
    switch (node.kind) {
    case NodeKind::kPanorama: return loadPanorama(*movie, node, maxWidth, out);
    case NodeKind::kObject: return loadObjectView(*movie, node, view, out);
    case NodeKind::kLinearMovie: return loadMovieFrame(*movie, view, out);
    default: return err::paramErr;
    }
}

std::string timeCodeText(TimeValue time, TimeValue frameDuration, TimeScale timeScale)
{
    if (timeScale == 0 || frameDuration <= 0)
        return "00:00:00:00";
    const double seconds = double(time) / double(timeScale);
    const long hours = long(seconds / 3600.0);
    const long minutes = long((seconds - double(hours) * 3600.0) / 60.0);
    const long secs = long(seconds - double(hours) * 3600.0 - double(minutes) * 60.0);
    const TimeValue perSecond = std::max<TimeValue>(TimeValue(timeScale) / frameDuration, 1);
    const long frames = long((time / frameDuration) % perSecond);
    char text[48];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld:%02ld", hours, minutes, secs, frames);
    return text;
}

} // namespace qm
