#include "quicktime/vr/object_image.h"

#include <algorithm>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/panorama_image.h"
#include "quicktime/vr/vr1_records.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {

constexpr OSType kObjectData = fourCC("obji");
constexpr OSType kImageTrackRef = fourCC("imgt");
constexpr OSType kHotSpotTrackRef = fourCC("hott");

// The reference index an 'imgt'/'hott' entry of an object sample names, else 1.
int referenceIndex(const AtomContainer& sample, OSType type)
{
    const auto d = sample.data(sample.findChild(AtomContainer::kRoot, type));
    return d.size() >= 10 ? int(loadBE32(d.data() + 6)) : 1;
}

} // namespace

OSErr FindObjectNode(const Movie& movie, std::uint32_t nodeId, ObjectNode& out)
{
    const Track* qtvr = QTVRGetQTVRTrack(movie, 1);
    if (!qtvr || !qtvr->media())
        return err::invalidTrack;
    ObjectNode node;
    if (qtvr->media()->type() != qtvr::kQTVRMediaType) {
        if (GetControllerType(&movie) != kQTVR1ObjectControllerType || (nodeId != 0 && nodeId != 1))
            return err::paramErr;
        Bytes item;
        if (OSErr e = movie.userData().getItem(fourCC("NAVG"), 1, item))
            return e;
        ObjectRecord1x navg;
        if (OSErr e = ObjectRecord1x::parse(item, navg))
            return e;
        node.nodeId = 1;
        node.image = qtvr;
        node.frameWidth = int(qtvr->width() >> 16);
        node.frameHeight = int(qtvr->height() >> 16);
        node.record = objectRecordFrom1x(navg, Rect{0, 0, std::int16_t(node.frameHeight), std::int16_t(node.frameWidth)});
        // Loop frames follow one another within each view.
        node.viewSpan = TimeValue(std::max<std::int16_t>(navg.loopSize, 1)) * std::max<std::int16_t>(navg.frameDuration, 1);
        node.viewStates = 1;
        out = node;
        return err::noErr;
    }
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = QTVRInstance::openStructure(*qtvr, instance))
        return e;
    const std::uint32_t target = nodeId ? nodeId : instance->currentNodeId();
    if (instance->getNodeType(target) != qtvr::kObjectNodeType)
        return err::paramErr;
    TimeValue start = 0, duration = 0;
    if (OSErr e = QTVRNodeTimeSpan(*qtvr, target, start, duration))
        return e;
    Track* object = qtvr->reference(qtvr::kObjectMediaType, 1);
    if (!object)
        FindTrackByMediaType(&movie, qtvr::kObjectMediaType, &object, nullptr);
    if (!object || !object->media())
        return err::invalidTrack;
    const TimeValue mediaTime = object->trackTimeToMediaTime(start);
    MediaSample sample;
    if (mediaTime < 0)
        return err::paramErr;
    if (OSErr e = object->media()->getSample(mediaTime, sample))
        return e;
    AtomContainer container;
    if (OSErr e = AtomContainer::parse(sample.data, container))
        return e;
    const AtomRef obji = container.findChild(AtomContainer::kRoot, kObjectData);
    if (!obji)
        return err::cannotFindAtomErr;
    node.nodeId = target;
    node.record = ObjectSampleRecord::fromBytes(container.data(obji));
    node.image = object->reference(kImageTrackRef, referenceIndex(container, kImageTrackRef));
    if (!node.image)
        node.image = object->reference(kImageTrackRef, 1);
    node.hotSpots = object->reference(kHotSpotTrackRef, referenceIndex(container, kHotSpotTrackRef));
    if (!node.hotSpots)
        node.hotSpots = object->reference(kHotSpotTrackRef, 1);
    if (!node.image)
        return err::invalidTrack;
    node.start = start;
    node.frameWidth = int(node.image->width() >> 16);
    node.frameHeight = int(node.image->height() >> 16);
    node.viewStates = std::max<int>(1, node.record.viewStateCount);
    const TimeValue views = TimeValue(std::max<std::uint32_t>(node.record.columns, 1)) *
                            TimeValue(std::max<std::uint32_t>(node.record.rows, 1)) * node.viewStates;
    node.viewSpan = node.record.viewDuration ? TimeValue(node.record.viewDuration) : std::max<TimeValue>(1, duration / views);
    out = node;
    return err::noErr;
}

std::vector<TimeValue> objectViewFrames(const ObjectNode& node, int column, int row, int viewState)
{
    std::vector<TimeValue> frames;
    const int columns = int(std::max<std::uint32_t>(node.record.columns, 1));
    const int rows = int(std::max<std::uint32_t>(node.record.rows, 1));
    column = std::clamp(column, 0, columns - 1);
    row = std::clamp(row, 0, rows - 1);
    viewState = std::clamp(viewState, 0, node.viewStates - 1);
    const TimeValue begin = node.start + (TimeValue(viewState * rows + row) * columns + column) * node.viewSpan;
    const TimeValue end = begin + node.viewSpan;
    if (!node.image)
        return frames;
    TimeValue t = begin;
    while (t < end && t < node.image->duration()) {
        frames.push_back(t);
        const TimeValue next = node.image->nextInterestingTime(nextTimeMediaSample, t);
        if (next <= t)
            break;
        t = next;
    }
    if (frames.empty())
        frames.push_back(begin);
    return frames;
}

OSErr decodeTrackFrame(const Track& track, TimeValue t, PixelDepth depth, OffscreenPicture& out)
{
    const Media* media = track.media();
    if (!media)
        return err::invalidMedia;
    const TimeValue mediaTime = track.trackTimeToMediaTime(t);
    if (mediaTime < 0)
        return err::timeNotInTrack;
    MediaSample sample;
    if (OSErr e = media->getSample(mediaTime, sample))
        return e;
    ImageDescription description;
    if (OSErr e = ImageDescription::parse(sample.description.bytes(), description))
        return e;
    return decompressImage(description, sample.data, depth, out);
}

} // namespace qm
