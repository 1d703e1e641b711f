#include "compose/working_copy_conversions.h"

#include <system_error>

#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"

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

OSErr convertStillImage(const OffscreenPicture& picture, Node& node, const std::filesystem::path& file)
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

namespace qm {

namespace {

constexpr OSType kNavigationItem = fourCC("NAVG");

// The QTVR track of a converted 1.x movie: the one-node world and header as one sample lasting
// the whole movie, and the node track it refers to.
OSErr addVrTracks(Movie& movie, OSType nodeType, Track*& nodeTrack)
{
    const Rect box = movie.box();
    const Fixed width = Fixed(box.width()) << 16;
    const Fixed height = Fixed(box.height()) << 16;
    const TimeValue duration = std::max<TimeValue>(movie.duration(), 1);
    Track* qtvr = movie.newTrack(width, height, 0);
    if (!qtvr || !qtvr->newMedia(vrNodeType::kQtvr, movie.timeScale()))
        return movie.error() ? movie.error() : err::memFullErr;
    AtomContainer world;
    AtomContainer header;
    if (OSErr e = buildOneNodeWorld(nodeType, world))
        return e;
    if (OSErr e = buildOneNodeHeader(nodeType, header))
        return e;
    if (OSErr e = appendSample(*qtvr, header.serialize(), SampleDescription(qtvrSampleDescription(world)), duration, 0))
        return e;
    nodeTrack = movie.newTrack(width, height, 0);
    if (!nodeTrack || !nodeTrack->newMedia(nodeType, movie.timeScale()))
        return movie.error() ? movie.error() : err::memFullErr;
    return qtvr->addReference(*nodeTrack, nodeType);
}

OSErr addNodeSample(Movie& movie, Track& nodeTrack, OSType atomType, std::span<const std::uint8_t> record)
{
    AtomContainer sample;
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, atomType, 1, 0, record))
        return e;
    return appendSample(nodeTrack, sample.serialize(), placeholderDescription(), std::max<TimeValue>(movie.duration(), 1), 0);
}

} // namespace

OSErr convertPanorama1x(Node& node, Movie& movie)
{
    const auto* stored = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (!stored)
        return err::paramErr;
    PanoramaSampleRecord record = *stored;
    // The 1.x panorama track and anything else that is not video have no place in 2.x.
    if (movie.userData().removeItem(kControllerTypeItem, 1) == 0) {
        for (int i = movie.trackCount(); i >= 1; --i) {
            Track* t = movie.track(i);
            if (t && (!t->media() || t->media()->type() != videoMediaType))
                movie.disposeTrack(t);
        }
    }
    if (OSErr e = SetControllerType(&movie, kQTVR2ControllerType))
        return e;
    Track* image = movie.trackByID(std::uint32_t(node.vr1VideoTrackId));
    Track* pano = nullptr;
    if (OSErr e = addVrTracks(movie, vrNodeType::kPanorama, pano))
        return e;
    record.hotSpotRefTrackIndex = 0;
    if (image) {
        int index = 0;
        if (OSErr e = pano->addReference(*image, vrAtom::kImageTrackRef, &index))
            return e;
        record.imageRefTrackIndex = std::uint32_t(index);
    }
    const auto bytes = record.toBytes();
    if (OSErr e = addNodeSample(movie, *pano, vrAtom::kPanoSample, bytes))
        return e;
    if (OSErr e = movie.updateMovieResource())
        return e;
    node.mediaData = record;
    return 0;
}

OSErr convertObject1x(Node& node, Movie& movie)
{
    const ObjectSampleRecord record = objectRecordOf(node);
    movie.userData().removeItem(kControllerTypeItem, 1);
    movie.userData().removeItem(kNavigationItem, 1);
    if (OSErr e = SetControllerType(&movie, kQTVR2ControllerType))
        return e;
    Track* image = movie.trackByID(std::uint32_t(node.vr1VideoTrackId));
    Track* object = nullptr;
    if (OSErr e = addVrTracks(movie, vrNodeType::kObject, object))
        return e;
    if (image) {
        int index = 0;
        if (OSErr e = object->addReference(*image, vrAtom::kImageTrackRef, &index))
            return e;
        node.imageTrackReference = index;
    }
    const auto bytes = record.toBytes();
    if (OSErr e = addNodeSample(movie, *object, vrAtom::kObjectSample, bytes))
        return e;
    if (OSErr e = movie.updateMovieResource())
        return e;
    node.mediaData = record;
    return 0;
}

} // namespace qm
