#include "compose/working_copy_conversions.h"

#include <system_error>

#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/errors.h"
#include "quicktime/movie_vr.h"

namespace qm {

namespace {

constexpr TimeScale kScale = 3600;

struct ObjectSkeleton {
    std::unique_ptr<Movie> movie;
    Track* qtvr = nullptr;
    Track* object = nullptr;
};

Track* newMediaTrack(Movie& movie, int width, int height, OSType mediaType)
{
    Track* t = movie.newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
    if (t && !t->newMedia(mediaType, kScale))
        return nullptr;
    return t;
}

// A new working file with the QTVR track, the object track and their samples for a node of the
// given duration.
OSErr writeSkeleton(const Node& node, const std::filesystem::path& file, TimeValue duration, ObjectSkeleton& out)
{
    if (OSErr e = Movie::createFile(file, true, out.movie))
        return e;
    Movie& movie = *out.movie;
    if (OSErr e = movie.setTimeScale(kScale))
        return e;
    if (OSErr e = SetControllerType(&movie, kQTVR2ControllerType))
        return e;
    const int width = node.displayBounds.width();
    const int height = node.displayBounds.height();
    out.qtvr = newMediaTrack(movie, width, height, vrNodeType::kQtvr);
    out.object = newMediaTrack(movie, width, height, vrNodeType::kObject);
    if (!out.qtvr || !out.object)
        return movie.error() ? movie.error() : err::memFullErr;
    if (OSErr e = out.qtvr->addReference(*out.object, vrNodeType::kObject))
        return e;
    AtomContainer world;
    AtomContainer header;
    if (OSErr e = buildOneNodeWorld(vrNodeType::kObject, world))
        return e;
    if (OSErr e = buildOneNodeHeader(vrNodeType::kObject, header))
        return e;
    if (OSErr e = appendSample(*out.qtvr, header.serialize(), SampleDescription(qtvrSampleDescription(world)),
                               duration, 0))
        return e;
    ObjectSampleRecord record = objectRecordOf(node);
    record.viewDuration = std::uint32_t(duration);
    AtomContainer sample;
    const auto bytes = record.toBytes();
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kObjectSample, 1, 0, bytes))
        return e;
    return appendSample(*out.object, sample.serialize(), placeholderDescription(), duration, 0);
}

OSErr finish(ObjectSkeleton& skeleton, const std::filesystem::path& file, OSErr e)
{
    if (!e && skeleton.movie)
        e = skeleton.movie->addMovieResource();
    skeleton.movie.reset();
    if (e) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
    return e;
}

} // namespace

ObjectSampleRecord objectRecordOf(const Node& node)
{
    if (const auto* r = std::get_if<ObjectSampleRecord>(&node.mediaData))
        return *r;
    ObjectSampleRecord r;
    r.majorVersion = 2;
    r.movieType = 1;
    r.viewStateCount = 1;
    r.defaultViewState = 1;
    r.mouseDownViewState = 1;
    r.columns = 1;
    r.rows = 1;
    r.mouseMotionScale = 180.0f;
    r.minFieldOfView = 1.0f;
    r.fieldOfView = 180.0f;
    r.defaultFieldOfView = 180.0f;
    r.viewRate = 1.0f;
    r.frameRate = 1.0f;
    return r;
}

OSErr convertStillImage(const PixelBuffer& picture, Node& node, const std::filesystem::path& file)
{
    ObjectSkeleton skeleton;
    OSErr e = writeSkeleton(node, file, kScale, skeleton);
    int imageIndex = 0;
    if (!e) {
        Track* image = newMediaTrack(*skeleton.movie, picture.width(), picture.height(), videoMediaType);
        if (!image)
            e = err::memFullErr;
        if (!e)
            e = skeleton.object->addReference(*image, vrAtom::kImageTrackRef, &imageIndex);
        EncodedImage frame;
        if (!e)
            e = compressStillImage(picture, frame);
        if (!e)
            e = appendSample(*image, frame.data, SampleDescription(frame.description), kScale, 0);
    }
    e = finish(skeleton, file, e);
    if (!e)
        node.imageTrackReference = imageIndex;
    return e;
}

OSErr convertLinearMovie(const Movie& source, Node& node, const std::filesystem::path& file)
{
    const TimeValue duration = std::max<TimeValue>(convertTimeScale(source.duration(), source.timeScale(), kScale), 1);
    ObjectSkeleton skeleton;
    OSErr e = writeSkeleton(node, file, duration, skeleton);
    int imageIndex = 0;
    for (int i = 1; !e && i <= source.trackCount(); ++i) {
        const Track* track = source.track(i);
        if (!track || !track->media())
            continue;
        Track* copy = skeleton.movie->addEmptyTrackLike(*track);
        if (!copy) {
            e = skeleton.movie->error() ? skeleton.movie->error() : err::memFullErr;
            break;
        }
        e = insertTrackSegment(*track, 0, track->duration(), *copy, 0);
        if (!e && imageIndex == 0 && track->media()->type() == videoMediaType)
            e = skeleton.object->addReference(*copy, vrAtom::kImageTrackRef, &imageIndex);
    }
    e = finish(skeleton, file, e);
    if (!e)
        node.imageTrackReference = std::max(imageIndex, 1);
    return e;
}

} // namespace qm
