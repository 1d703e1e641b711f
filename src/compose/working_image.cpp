#include "compose/working_image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/movie/movie_picture.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"

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

OSErr unrollPanorama(const Track& imageTrack, const PanoramaSampleRecord& record, int maxWidth, WorkingImage& out)
{
    out = WorkingImage{};
    const int strips = record.imageNumFramesY;
    const int tilesPerStrip = record.imageNumFramesX;
    // Stored tiles are turned a quarter anticlockwise: the unrolled width is the stored height.
    const int nativeWidth = int(record.imageSizeY);
    const int nativeHeight = int(record.imageSizeX);
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
    std::size_t next = 0;
    for (int i = 0; i < strips; ++i) {
        for (int j = 0; j < tilesPerStrip; ++j) {
            OffscreenPicture tile;
            if (OSErr e = decodeSample(*media, samples[next++].mediaTime, tile))
                return e;
            // The first stored strip is the right-most one of the unrolled picture. Strip and
            // tile edges are spread evenly, for pictures whose size the counts do not divide.
            const int strip = strips - 1 - i;
            const Rect place = makeRect(j * height / tilesPerStrip, strip * width / strips,
                                        (j + 1) * height / tilesPerStrip, (strip + 1) * width / strips);
            // Scaled while still stored on its side, then turned: the turn moves only the
            // pixels that are kept.
            OffscreenPicture sized;
            const OffscreenPicture* source = &tile;
            if (tile.width() != place.height() || tile.height() != place.width()) {
                if (OSErr e = sized.allocate(PixelDepth::Argb32, makeRect(0, 0, place.width(), place.height())))
                    return e;
                if (OSErr e = copyBits(tile, tile.bounds(), sized, sized.bounds(), CopyMode::Exact, ScaleFilter::Smooth))
                    return e;
                source = &sized;
            }
            OffscreenPicture turned;
            if (OSErr e = rotatePicture(*source, Rotation::Clockwise, turned))
                return e;
            if (OSErr e = copyBits(turned, turned.bounds(), image.picture, place))
                return e;
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

OSErr loadPanorama(Movie& movie, const Node& node, int maxWidth, WorkingImage& out)
{
    const auto* record = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (!record)
        return err::paramErr;
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
