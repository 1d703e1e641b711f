#include "compose/node_writers.h"

#include <algorithm>

#include "compose/node_progress.h"
#include "compose/ordered_work.h"
#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/codec/compression_sequence.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/object_track_entries.h"

namespace qm {

namespace {

struct TileIn {
    Bytes data;
    SampleDescription description;
};

// Copies samples of a working-copy track into a scene track, on several threads when they are
// recompressed. placement(i) gives the i-th sample's start and duration in the composed movie.
OSErr copySamples(const Track& source, const std::vector<ShownSample>& samples, Track& target,
                  const CompressionSettings* recompress, const std::function<std::pair<TimeValue, TimeValue>(std::size_t)>& placement,
                  NodeProgress& progress, int progressBase, const ComposeEnvironment& env)
{
    const Media* media = source.media();
    if (!media)
        return err::invalidMedia;
    const unsigned threads = recompress ? compressionThreads(env) : 1;
    return OrderedWork<TileIn, TileIn>::run(
        samples.size(), threads,
        [&](std::size_t i, TileIn& in) {
            MediaSample s;
            if (OSErr e = media->getSample(samples[i].mediaTime, s))
                return e;
            in.data = std::move(s.data);
            in.description = std::move(s.description);
            return OSErr(0);
        },
        [&](TileIn& in, TileIn& out) {
            if (!recompress) {
                out = std::move(in);
                return OSErr(0);
            }
            EncodedImage encoded;
            if (OSErr e = recompressImage(in.description.bytes(), in.data, *recompress, encoded))
                return e;
            out.data = std::move(encoded.data);
            out.description = SampleDescription(std::move(encoded.description));
            return OSErr(0);
        },
        [&](std::size_t i, TileIn& out) {
            const auto [start, duration] = placement(i);
            if (OSErr e = appendSample(target, out.data, out.description, duration, start))
                return e;
            return progress.reach(progressBase, 50, double(i + 1) / double(samples.size()));
        });
}

OSErr findNodeTracks(Movie& movie, OSType nodeMediaType, Track*& qtvr, Track*& nodeTrack)
{
    qtvr = nullptr;
    nodeTrack = nullptr;
    FindTrackByMediaType(&movie, vrNodeType::kQtvr, &qtvr, nullptr);
    nodeTrack = vrTrack(movie, nodeMediaType);
    return qtvr && nodeTrack ? OSErr(0) : err::badTrackIndex;
}

// Steps shared by every writer: the node information sample, with the node's ID and names, into
// the scene QTVR track at S for `duration`.
OSErr writeNodeInfo(const Node& node, const Track& sourceQtvr, const AtomContainer& world, SceneTracks& tracks,
                    TimeValue start, TimeValue duration, NodeProgress& progress)
{
    AtomContainer info;
    if (OSErr e = readSampleContainer(sourceQtvr, info))
        return e;
    if (OSErr e = progress.advance(1))
        return e;
    if (OSErr e = updateNodeHeader(node, info))
        return e;
    const SampleDescription description(qtvrSampleDescription(world));
    if (OSErr e = appendSample(*tracks.qtvr, info.serialize(), description, duration, start))
        return e;
    return progress.advance(1);
}

// The track an object track references as `type` at the index its sample's entry names; the
// first such reference when that index names none (a damaged or hand-made sample).
Track* entryTrack(Track& object, OSType type, int index)
{
    if (Track* t = object.reference(type, index))
        return t;
    return object.reference(type, 1);
}

Bytes referenceEntry(OSType type, int index)
{
    ByteWriter w(10);
    w.type(type);
    w.u16(1);
    w.u32(std::uint32_t(index));
    return w.take();
}

struct ObjectNodeParts {
    Track* qtvr = nullptr;
    Track* object = nullptr;
    Track* image = nullptr;
    Track* hotSpot = nullptr;
    ObjectSampleRecord record;
    TimeValue start = 0;
    TimeValue duration = 0;       // N, composed movie time
    TimeValue viewDuration = 0;   // as the working copy holds it
};

enum class ObjectKind { object, movie };

OSErr writeObjectHead(const Node& node, Movie& wc, const AtomContainer& world, SceneTracks& tracks, ObjectKind kind,
                      NodeProgress& progress, ObjectNodeParts& parts)
{
    if (OSErr e = findNodeTracks(wc, vrNodeType::kObject, parts.qtvr, parts.object))
        return e;
    if (!tracks.qtvr || !tracks.object || !tracks.objectImage || !tracks.objectHotSpot)
        return err::paramErr;
    const TimeScale scale = wc.timeScale();
    const auto shownInfo = shownSamples(*parts.qtvr);
    const auto shownObject = shownSamples(*parts.object);
    if (shownInfo.empty() || shownObject.empty())
        return err::timeNotInMedia;
    parts.start = tracks.qtvr->duration();
    parts.duration = convertTimeScale(shownInfo.front().trackDuration, scale, kComposeTimeScale);
    if (OSErr e = writeNodeInfo(node, *parts.qtvr, world, tracks, parts.start, parts.duration, progress))
        return e;

    AtomContainer sample;
    MediaSample objectSample;
    if (OSErr e = readSampleContainer(*parts.object, sample, &objectSample))
        return e;
    const TimeValue objectDuration = convertTimeScale(shownObject.front().trackDuration, scale, kComposeTimeScale);
    const AtomRef obji = sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample);
    if (!obji)
        return err::cannotFindAtomErr;
    ObjectSampleRecord record = ObjectSampleRecord::fromBytes(sample.data(obji));
    const ObjectTrackEntries entries = readObjectTrackEntries(sample);
    removeObjectTrackEntries(sample);
    parts.image = entryTrack(*parts.object, vrAtom::kImageTrackRef, entries.image);
    parts.hotSpot = entryTrack(*parts.object, vrAtom::kHotSpotTrackRef, entries.hotSpot);

    if (record.defaultViewCenterH == 0.0f && record.defaultViewCenterV == 0.0f) {
        record.defaultViewCenterH = float(fixedToDouble(tracks.objectImage->width()) * 0.5);
        record.defaultViewCenterV = float(fixedToDouble(tracks.objectImage->height()) * 0.5);
    }
    parts.viewDuration = record.viewDuration;
    record.viewDuration = std::uint32_t(kind == ObjectKind::movie
                                            ? objectDuration
                                            : convertTimeScale(record.viewDuration, scale, kComposeTimeScale));
    parts.record = record;
    const auto bytes = record.toBytes();
    if (OSErr e = sample.setData(sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample), bytes))
        return e;
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kImageTrackRef, 1, 1,
                                     referenceEntry(vrAtom::kImageTrackRef, tracks.objectImageIndex)))
        return e;
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kHotSpotTrackRef, 1, 1,
                                     referenceEntry(vrAtom::kHotSpotTrackRef, tracks.objectHotSpotIndex)))
        return e;
    return appendSample(*tracks.object, sample.serialize(), objectSample.description, objectDuration, parts.start);
}

// The samples of a track that begin before `limit` (working-copy movie time), and where each
// lands in the composed movie: at S plus its own start, converted to the composed time scale.
std::vector<ShownSample> samplesBefore(const Track& track, TimeValue limit)
{
    auto shown = shownSamples(track);
    std::erase_if(shown, [&](const ShownSample& s) { return s.trackTime >= limit; });
    return shown;
}

// Like samplesBefore, but for media whose frames are stored out of display order: the track's
// edits select display times, so the places are cut where each frame's display starts (decode
// order would put the cuts elsewhere and lose the frames shown after the last decode time).
std::vector<ShownSample> framesBefore(const Track& track, TimeValue limit)
{
    const SampleTable& table = track.media()->samples();
    const bool plainRates = std::all_of(track.edits().begin(), track.edits().end(),
                                        [](const TrackEdit& e) { return e.rate == fixed1; });
    if (!table.hasCompositionOffsets() || !plainRates)
        return samplesBefore(track, limit);
    std::vector<TimeValue> starts(table.sampleCount()); // display starts, in media time
    for (std::uint32_t i = 0; i < table.sampleCount(); ++i)
        starts[i] = table.sampleTime(i) + table.compositionOffset(i);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    const TimeValue shownEnd = table.displayEnd();
    const TimeScale movieScale = track.movie().timeScale(), mediaScale = track.media()->timeScale();

    std::vector<ShownSample> out;
    TimeValue editStart = 0;
    for (const TrackEdit& e : track.edits()) {
        const TimeValue editEnd = editStart + e.trackDuration;
        if (e.mediaTime >= 0) {
            const TimeValue mediaEnd =
                std::min(e.mediaTime + convertTimeScale(e.trackDuration, movieScale, mediaScale), shownEnd);
            auto next = std::upper_bound(starts.begin(), starts.end(), e.mediaTime);
            for (TimeValue m = e.mediaTime; m < mediaEnd; ++next) {
                const TimeValue cut = next == starts.end() ? mediaEnd : std::min(*next, mediaEnd);
                const TimeValue from = editStart + convertTimeScale(m - e.mediaTime, mediaScale, movieScale);
                const TimeValue to =
                    std::min(editEnd, editStart + convertTimeScale(cut - e.mediaTime, mediaScale, movieScale));
                if (from >= limit)
                    return out;
                if (to > from)
                    out.push_back(ShownSample{m, from, to - from});
                m = cut;
                if (next == starts.end())
                    break;
            }
        }
        editStart = editEnd;
    }
    return out;
}

// Decompresses and compresses again every frame of a linear movie's video track in order, with
// temporal compression where the codec has it.
OSErr recompressVideoTrack(const Track& source, TimeValue sourceDuration, Track& target, TimeValue start,
                           const CompressionSettings& settings)
{
    const Media* media = source.media();
    Media* targetMedia = target.media();
    if (!media || !targetMedia)
        return err::invalidMedia;
    const TimeScale sourceScale = source.movie().timeScale();
    const TimeScale targetScale = target.movie().timeScale();
    const auto frames = framesBefore(source, sourceDuration);
    if (frames.empty())
        return 0;
    MediaSample first;
    if (OSErr e = media->getSample(frames.front().mediaTime, first))
        return e;
    ImageDescription description;
    if (OSErr e = ImageDescription::parse(first.description.bytes(), description))
        return e;
    DecompressionSequence decoder;
    if (OSErr e = decoder.begin(description))
        return e;
    SequenceCompressionParams params;
    params.image.codecType = settings.codecType ? settings.codecType : fourCC("jpeg");
    params.image.depth = settings.dialogDepth;
    params.image.spatialQuality = settings.spatialQuality;
    params.temporalQuality = settings.spatialQuality;
    params.keyFrameRate = settings.keyFrameRate;
    params.frameRate = settings.frameRate;
    CompressionSequence encoder;
    if (OSErr e = encoder.begin(description.width, description.height, PixelDepth::Argb32, params))
        return e;

    // The picture shown in frames[i], compressed at its place in the target.
    auto put = [&](const OffscreenPicture& picture, const ShownSample& frame) {
        CompressedFrame compressed;
        if (OSErr e = encoder.compressFrame(picture, picture.bounds(), compressed))
            return e;
        const TimeValue from = convertTimeScale(frame.trackTime, sourceScale, targetScale);
        const TimeValue to = convertTimeScale(frame.trackTime + frame.trackDuration, sourceScale, targetScale);
        return appendSample(target, compressed.data, SampleDescription(encoder.description().build()),
                            std::max<TimeValue>(to - from, 1), start + from, compressed.keyFrame ? 0 : mediaSampleNotSync);
    };

    const SampleTable& table = media->samples();
    if (!decoder.mayReorder() && !table.hasCompositionOffsets()) {
        // One frame in, one out: each shown sample decoded where the track shows it.
        for (const ShownSample& frame : frames) {
            MediaSample s;
            if (OSErr e = media->getSample(frame.mediaTime, s))
                return e;
            OffscreenPicture picture;
            if (OSErr e = decoder.decompressFrame(s.data, PixelDepth::Argb32, picture))
                return e;
            if (OSErr e = put(picture, frame))
                return e;
        }
        return 0;
    }

    // Frames decoded in their stored order from the key frame before the first one shown, coming
    // out in display order: each shown place takes the last picture displayed at or before its
    // media time (the first picture for places before it).
    std::uint32_t index = 0;
    if (!table.sampleAtTime(frames.front().mediaTime, index))
        return err::timeNotInMedia;
    while (index > 0 && !table.isSync(index))
        --index;
    std::size_t next = 0;
    OffscreenPicture held;
    bool holding = false;
    auto take = [&](OffscreenPicture& picture, std::int64_t displayTime) {
        while (next < frames.size() && frames[next].mediaTime < displayTime) {
            if (OSErr e = put(holding ? held : picture, frames[next]))
                return e;
            ++next;
        }
        held = std::move(picture);
        holding = true;
        return OSErr(0);
    };
    auto drain = [&] {
        for (;;) {
            OffscreenPicture picture;
            std::int64_t displayTime = 0;
            bool got = false;
            if (OSErr e = decoder.receiveFrame(PixelDepth::Argb32, picture, displayTime, got))
                return e;
            if (!got)
                return OSErr(0);
            if (OSErr e = take(picture, displayTime))
                return e;
        }
    };
    for (; index < table.sampleCount() && next < frames.size(); ++index) {
        Bytes data;
        if (OSErr e = media->readSample(index, data))
            return e;
        if (OSErr e = decoder.sendFrame(data, table.sampleTime(index) + table.compositionOffset(index)))
            return e;
        if (OSErr e = drain())
            return e;
    }
    if (OSErr e = decoder.sendFrame({}, 0))
        return e;
    if (OSErr e = drain())
        return e;
    if (!holding)
        return err::codecErr;
    for (; next < frames.size(); ++next)
        if (OSErr e = put(held, frames[next]))
            return e;
    return 0;
}

} // namespace

OSErr writePanoramaNode(const Node& node, Movie& wc, const AtomContainer& world, SceneTracks& tracks,
                        const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env)
{
    NodeProgress share(progress, kNodeWriterProgressUnits);
    Track* qtvr = nullptr;
    Track* pano = nullptr;
    if (OSErr e = findNodeTracks(wc, vrNodeType::kPanorama, qtvr, pano))
        return e;
    if (!tracks.qtvr || !tracks.panorama || !tracks.panoramaImage || !tracks.panoramaHotSpot)
        return err::paramErr;

    AtomContainer sample;
    MediaSample panoSample;
    if (OSErr e = readSampleContainer(*pano, sample, &panoSample))
        return e;
    const AtomRef pdat = sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample);
    if (!pdat)
        return err::cannotFindAtomErr;
    PanoramaSampleRecord record = PanoramaSampleRecord::fromBytes(sample.data(pdat));
    if (record.imageRefTrackIndex == 0)
        return err::invalidTrack;
    const Track* image = pano->reference(vrAtom::kImageTrackRef, int(record.imageRefTrackIndex));
    const Track* hotSpot =
        record.hotSpotRefTrackIndex ? pano->reference(vrAtom::kHotSpotTrackRef, int(record.hotSpotRefTrackIndex)) : nullptr;
    if (!image)
        return err::invalidTrack;
    const auto imageSamples = shownSamples(*image);
    if (imageSamples.empty())
        return err::invalidTrack;

    // One second per image tile, the tiles end to end from the node's start.
    const TimeValue start = tracks.qtvr->duration();
    const TimeValue duration = TimeValue(imageSamples.size()) * kComposeTimeScale;
    if (OSErr e = writeNodeInfo(node, *qtvr, world, tracks, start, duration, share))
        return e;

    int imageIndex = 0;
    if (OSErr e = tracks.panorama->addReference(*tracks.panoramaImage, vrAtom::kImageTrackRef, &imageIndex))
        return e;
    int hotSpotIndex = 0;
    if (hotSpot)
        if (OSErr e = tracks.panorama->addReference(*tracks.panoramaHotSpot, vrAtom::kHotSpotTrackRef, &hotSpotIndex))
            return e;
    record.imageRefTrackIndex = std::uint32_t(imageIndex);
    record.hotSpotRefTrackIndex = std::uint32_t(hotSpotIndex);
    const auto bytes = record.toBytes();
    if (OSErr e = sample.setData(pdat, bytes))
        return e;
    if (OSErr e = appendSample(*tracks.panorama, sample.serialize(), panoSample.description, duration, start))
        return e;

    if (OSErr e = copySamples(
            *image, imageSamples, *tracks.panoramaImage, settings.enabled ? &settings : nullptr,
            [&](std::size_t i) { return std::pair{start + TimeValue(i) * kComposeTimeScale, TimeValue(kComposeTimeScale)}; },
            share, 2, env))
        return e;

    if (hotSpot) {
        // Hot spot tiles cover the same span, whatever their number.
        const auto hotSamples = shownSamples(*hotSpot);
        const TimeValue count = TimeValue(hotSamples.size());
        if (OSErr e = copySamples(
                *hotSpot, hotSamples, *tracks.panoramaHotSpot, nullptr,
                [&](std::size_t i) {
                    const TimeValue from = duration * TimeValue(i) / count;
                    const TimeValue to = duration * TimeValue(i + 1) / count;
                    return std::pair{start + from, to - from};
                },
                share, 52, env))
            return e;
    }
    return share.finish();
}

OSErr writeObjectNode(const Node& node, Movie& wc, const AtomContainer& world, SceneTracks& tracks,
                      const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env)
{
    NodeProgress share(progress, kNodeWriterProgressUnits);
    ObjectNodeParts parts;
    if (OSErr e = writeObjectHead(node, wc, world, tracks, ObjectKind::object, share, parts))
        return e;
    const TimeScale scale = wc.timeScale();
    const TimeValue limit = convertTimeScale(parts.duration, kComposeTimeScale, scale);
    // Frames keep their own durations; their starts are converted as sums so that rounding
    // never adds up.
    auto placeIn = [&](const std::vector<ShownSample>& samples) {
        return [&samples, &parts, scale](std::size_t i) {
            const TimeValue from = convertTimeScale(samples[i].trackTime, scale, kComposeTimeScale);
            const TimeValue to =
                convertTimeScale(samples[i].trackTime + samples[i].trackDuration, scale, kComposeTimeScale);
            return std::pair{parts.start + from, std::max<TimeValue>(to - from, 1)};
        };
    };
    if (parts.image) {
        const auto frames = samplesBefore(*parts.image, limit);
        // Animated views keep their frames as they are: recompressing them could break their
        // frame-to-frame coding.
        const bool recompress = settings.enabled && !(parts.record.animationSettings & 1);
        if (OSErr e = copySamples(*parts.image, frames, *tracks.objectImage, recompress ? &settings : nullptr,
                                  placeIn(frames), share, 2, env))
            return e;
    }
    if (parts.hotSpot) {
        // Hot spot frames cover the first view state only.
        const TimeValue states = std::max<TimeValue>(parts.record.viewStateCount, 1);
        const auto frames = samplesBefore(*parts.hotSpot, limit / states);
        if (OSErr e = copySamples(*parts.hotSpot, frames, *tracks.objectHotSpot, nullptr, placeIn(frames), share, 52, env))
            return e;
    }
    return share.finish();
}

} // namespace qm

namespace qm {

OSErr writeMovieNode(const Node& node, Movie& wc, const AtomContainer& world, SceneTracks& tracks,
                     const CompressionSettings& settings, Progress& progress, const ComposeEnvironment& env)
{
    NodeProgress share(progress, kNodeWriterProgressUnits);
    ObjectNodeParts parts;
    if (OSErr e = writeObjectHead(node, wc, world, tracks, ObjectKind::movie, share, parts))
        return e;
    // The linear-movie conversion makes the view duration the whole movie: one span covers it.
    const TimeValue span = parts.viewDuration ? TimeValue(parts.viewDuration) : wc.duration();
    std::vector<Track*> sources;
    for (int i = 1; i <= wc.trackCount(); ++i) {
        Track* t = wc.track(i);
        if (t && t != parts.qtvr && t != parts.object && t != parts.hotSpot && t->media())
            sources.push_back(t);
    }
    Movie& composed = *tracks.movie;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        Track& source = *sources[k];
        Track* target = &source == parts.image ? tracks.objectImage : composed.addEmptyTrackLike(source);
        if (!target)
            return composed.error() ? composed.error() : err::memFullErr;
        OSErr e = 0;
        if (settings.enabled && source.media()->type() == videoMediaType)
            e = recompressVideoTrack(source, span, *target, parts.start, settings);
        else
            e = insertTrackSegment(source, 0, span, *target, parts.start);
        if (e)
            return e;
        if (OSErr pe = share.reach(2, 90, double(k + 1) / double(sources.size())))
            return pe;
    }
    // The node's hot spot frames go to the scene's object hot spot track like an object's, or
    // its hot spots could never be clicked.
    if (parts.hotSpot) {
        const TimeScale scale = wc.timeScale();
        const auto frames = samplesBefore(*parts.hotSpot, span);
        if (OSErr e = copySamples(
                *parts.hotSpot, frames, *tracks.objectHotSpot, nullptr,
                [&](std::size_t i) {
                    const TimeValue from = convertTimeScale(frames[i].trackTime, scale, kComposeTimeScale);
                    const TimeValue to =
                        convertTimeScale(frames[i].trackTime + frames[i].trackDuration, scale, kComposeTimeScale);
                    return std::pair{parts.start + from, std::max<TimeValue>(to - from, 1)};
                },
                share, 92, env))
            return e;
    }
    return share.finish();
}

} // namespace qm
