#include "compose/tour_nodes.h"

#include <algorithm>
#include <map>
#include <optional>
#include <system_error>

#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/vr_instance.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

namespace {

constexpr OSType kTrackRefArray = fourCC("tref"); // low-resolution image tracks of a panorama
constexpr OSType kAppleImageRef = fourCC("imtr");
constexpr OSType kAppleHotSpotRef = fourCC("hstr");

struct Shown {
    TimeValue trackTime = 0;
    TimeValue mediaTime = 0;
    TimeValue duration = 0; // movie time, cut to the span
};

// The samples a track shows in [start, end) of movie time.
std::vector<Shown> shownIn(const Track& track, TimeValue start, TimeValue end)
{
    std::vector<Shown> out;
    if (!track.media())
        return out;
    end = std::min(end, track.duration());
    TimeValue t = start;
    while (t < end) {
        TimeValue next = track.nextInterestingTime(nextTimeMediaSample, t);
        if (next < 0 || next > end)
            next = end;
        if (next <= t)
            break;
        const TimeValue mediaTime = track.trackTimeToMediaTime(t);
        if (mediaTime >= 0)
            out.push_back(Shown{t, mediaTime, next - t});
        t = next;
    }
    return out;
}

TimeValue coveredUntil(const std::vector<Shown>& shown, TimeValue start)
{
    TimeValue until = start;
    for (const Shown& s : shown)
        if (s.trackTime <= until)
            until = std::max(until, s.trackTime + s.duration);
    return until;
}

std::uint32_t u32At(std::span<const std::uint8_t> d, std::size_t at)
{
    if (d.size() < at + 4)
        return 0;
    return (std::uint32_t(d[at]) << 24) | (std::uint32_t(d[at + 1]) << 16) | (std::uint32_t(d[at + 2]) << 8) | d[at + 3];
}

std::string stringById(const AtomContainer& c, AtomID id)
{
    if (id == 0)
        return {};
    const AtomRef s = c.findChildById(AtomContainer::kRoot, vrAtom::kString, id);
    return s ? stringAtomText(c.data(s)) : std::string();
}

OSErr damaged(std::string* detail, const std::string& text)
{
    if (detail)
        *detail = text;
    return err::invalidMovie;
}

std::string nodeText(const TourNode& n) { return "node " + std::to_string(n.id); }

// The sample a track shows at a movie time, as an atom container.
OSErr containerAt(const Track& track, TimeValue t, AtomContainer& out, MediaSample* sample = nullptr)
{
    if (!track.media())
        return err::invalidMedia;
    const TimeValue mediaTime = track.trackTimeToMediaTime(t);
    if (mediaTime < 0)
        return err::timeNotInMedia;
    MediaSample s;
    if (OSErr e = track.media()->getSample(mediaTime, s))
        return e;
    if (OSErr e = AtomContainer::parse(s.data, out))
        return e;
    if (sample)
        *sample = std::move(s);
    return 0;
}

// The index of a 10-byte track reference entry at the root of an object sample; 1 when absent.
int entryIndex(const AtomContainer& c, OSType type, OSType appleType)
{
    AtomRef a = c.findChild(AtomContainer::kRoot, type);
    if (!a)
        a = c.findChild(AtomContainer::kRoot, appleType);
    const auto d = a ? c.data(a) : std::span<const std::uint8_t>();
    const std::uint32_t index = u32At(d, 6);
    return d.size() >= 10 && index > 0 && index < 0x10000 ? int(index) : 1;
}

Track* vrTrackOf(const Movie& movie, const Track& qtvr, OSType type)
{
    if (Track* t = qtvr.reference(type, 1); t && t->media() && t->media()->type() == type)
        return t;
    Track* t = nullptr;
    FindTrackByMediaType(&movie, type, &t, nullptr);
    return t;
}

// Where one node's samples come from.
struct NodeSources {
    Track* vrTrack = nullptr; // panorama or object track
    AtomContainer sample;
    MediaSample vrSample;
    Track* image = nullptr;
    Track* hotSpots = nullptr;
    TimeValue hotSpotSpan = 0; // movie time the hot spot samples must cover
};

OSErr findSources(const Movie& movie, const Track& qtvr, const TourNode& node, NodeSources& out, std::string* detail)
{
    const bool pano = node.type == vrNodeType::kPanorama;
    out.vrTrack = vrTrackOf(movie, qtvr, pano ? vrNodeType::kPanorama : vrNodeType::kObject);
    if (!out.vrTrack)
        return damaged(detail, nodeText(node) + ": the movie has no " + (pano ? "panorama" : "object") + " track");
    if (containerAt(*out.vrTrack, node.start, out.sample, &out.vrSample) != 0)
        return damaged(detail, nodeText(node) + ": its " + (pano ? "panorama" : "object") + " sample is missing");
    if (pano) {
        const AtomRef pdat = out.sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample);
        if (!pdat)
            return damaged(detail, nodeText(node) + ": its panorama sample has no 'pdat' atom");
        const PanoramaSampleRecord record = PanoramaSampleRecord::fromBytes(out.sample.data(pdat));
        out.image = out.vrTrack->reference(vrAtom::kImageTrackRef, int(record.imageRefTrackIndex));
        if (record.hotSpotRefTrackIndex)
            out.hotSpots = out.vrTrack->reference(vrAtom::kHotSpotTrackRef, int(record.hotSpotRefTrackIndex));
        out.hotSpotSpan = node.duration;
    } else {
        const AtomRef obji = out.sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample);
        if (!obji)
            return damaged(detail, nodeText(node) + ": its object sample has no 'obji' atom");
        const ObjectSampleRecord record = ObjectSampleRecord::fromBytes(out.sample.data(obji));
        out.image = out.vrTrack->reference(vrAtom::kImageTrackRef,
                                           entryIndex(out.sample, vrAtom::kImageTrackRef, kAppleImageRef));
        out.hotSpots = out.vrTrack->reference(vrAtom::kHotSpotTrackRef,
                                              entryIndex(out.sample, vrAtom::kHotSpotTrackRef, kAppleHotSpotRef));
        out.hotSpotSpan = node.duration / std::max<TimeValue>(1, record.viewStateCount);
        // Object nodes share one hot spot track; a node without hot spots shows none of it.
        if (out.hotSpots && shownIn(*out.hotSpots, node.start, node.start + out.hotSpotSpan).empty())
            out.hotSpots = nullptr;
    }
    if (!out.image || !out.image->media())
        return damaged(detail, nodeText(node) + ": its image track is missing");
    return 0;
}

OSErr copySamples(const Track& from, const std::vector<Shown>& shown, TimeValue start, Track& to, Progress& progress)
{
    Media* media = to.media();
    for (const Shown& s : shown) {
        MediaSample sample;
        if (OSErr e = from.media()->getSample(s.mediaTime, sample))
            return e;
        const TimeValue at = media->addSample(sample.data, s.duration, sample.description, 1, sample.flags);
        if (at < 0)
            return to.movie().error() ? to.movie().error() : err::paramErr;
        if (OSErr e = to.insertMedia(s.trackTime - start, at, s.duration))
            return e;
        if (OSErr e = progress.step(std::nullopt, -1))
            return e;
    }
    return 0;
}

// The size of the first frame a track shows in [start, end) as its image description gives it
// (16.16); the track's own size when there is none.
std::pair<Fixed, Fixed> frameSize(const Track& track, TimeValue start, TimeValue end)
{
    const auto shown = shownIn(track, start, end);
    MediaSample sample;
    ImageDescription d;
    if (!shown.empty() && track.media()->getSample(shown.front().mediaTime, sample) == 0 &&
        ImageDescription::parse(sample.description.bytes(), d) == 0 && d.width > 0 && d.height > 0)
        return {Fixed(d.width) << 16, Fixed(d.height) << 16};
    return {track.width(), track.height()};
}

Track* newTrackLike(Movie& movie, const Track& like, OSType mediaType, std::optional<std::pair<Fixed, Fixed>> size = {})
{
    Track* t = movie.newTrack(size ? size->first : like.width(), size ? size->second : like.height(), 0);
    if (!t)
        return nullptr;
    t->setFlags(like.flags());
    t->setLayer(like.layer());
    if (!t->newMedia(mediaType, movie.timeScale()))
        return nullptr;
    return t;
}

OSErr addContainerSample(Track& track, const AtomContainer& c, const SampleDescription& description, TimeValue duration)
{
    const Bytes bytes = c.serialize();
    const TimeValue at = track.media()->addSample(bytes, duration, description);
    if (at < 0)
        return track.movie().error() ? track.movie().error() : err::paramErr;
    return track.insertMedia(0, at, duration);
}

// The tour's world cut down to one node, which becomes its default node.
OSErr oneNodeWorld(const Tour& tour, std::uint32_t nodeId, AtomContainer& out)
{
    out = tour.world;
    const AtomRef header = out.findChild(AtomContainer::kRoot, vrAtom::kWorldHeader);
    if (!header)
        return err::cannotFindAtomErr;
    Bytes bytes(out.data(header).begin(), out.data(header).end());
    if (bytes.size() < 12)
        return err::cannotFindAtomErr;
    for (int i = 0; i < 4; ++i)
        bytes[8 + std::size_t(i)] = std::uint8_t(nodeId >> (24 - 8 * i));
    if (OSErr e = out.setData(header, bytes))
        return e;
    const AtomRef parent = out.findChild(AtomContainer::kRoot, vrAtom::kNodeParent);
    if (!parent)
        return err::cannotFindAtomErr;
    for (int i = out.countChildren(parent, vrAtom::kNodeId); i >= 1; --i) {
        const AtomRef n = out.findChild(parent, vrAtom::kNodeId, i);
        if (out.id(n) != nodeId)
            if (OSErr e = out.removeAtom(n))
                return e;
    }
    return 0;
}

OSErr writeNodeMovie(const Movie& tourMovie, const Track& qtvr, const Tour& tour, const TourNode& node, Movie& movie,
                     Progress& progress, std::string* detail)
{
    NodeSources src;
    if (OSErr e = findSources(tourMovie, qtvr, node, src, detail))
        return e;
    if (OSErr e = movie.setTimeScale(tourMovie.timeScale()))
        return e;
    if (OSErr e = SetControllerType(&movie, vrNodeType::kQtvr))
        return e;
    const bool pano = node.type == vrNodeType::kPanorama;
    // A tour gives every object track the playback size; a single-node object movie is as large
    // as its frames, which is where its hot spots are drawn.
    std::optional<std::pair<Fixed, Fixed>> objectSize;
    if (!pano)
        objectSize = frameSize(*src.image, node.start, node.start + node.duration);
    Track* outQtvr = newTrackLike(movie, qtvr, vrNodeType::kQtvr, objectSize);
    Track* outVr = outQtvr ? newTrackLike(movie, *src.vrTrack, node.type, objectSize) : nullptr;
    Track* outImage = outVr ? newTrackLike(movie, *src.image, videoMediaType, objectSize) : nullptr;
    Track* outHot = outImage && src.hotSpots ? newTrackLike(movie, *src.hotSpots, videoMediaType, objectSize) : nullptr;
    if (!outImage || (src.hotSpots && !outHot))
        return movie.error() ? movie.error() : err::memFullErr;
    if (OSErr e = outQtvr->addReference(*outVr, node.type))
        return e;
    if (OSErr e = outVr->addReference(*outImage, vrAtom::kImageTrackRef))
        return e;
    if (outHot)
        if (OSErr e = outVr->addReference(*outHot, vrAtom::kHotSpotTrackRef))
            return e;

    AtomContainer world;
    if (OSErr e = oneNodeWorld(tour, node.id, world))
        return e;
    if (OSErr e = addContainerSample(*outQtvr, node.info, SampleDescription(qtvrSampleDescription(world)), node.duration))
        return e;
    if (OSErr e = progress.step(std::nullopt, -1))
        return e;

    // The node's own sample names its tracks by index 1 of each reference list now.
    AtomContainer sample = src.sample;
    if (pano) {
        const AtomRef pdat = sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample);
        PanoramaSampleRecord record = PanoramaSampleRecord::fromBytes(sample.data(pdat));
        record.imageRefTrackIndex = 1;
        record.hotSpotRefTrackIndex = outHot ? 1 : 0;
        const auto bytes = record.toBytes();
        if (OSErr e = sample.setData(pdat, bytes))
            return e;
        if (OSErr e = sample.removeChildren(AtomContainer::kRoot, kTrackRefArray))
            return e;
    } else {
        for (OSType t : {vrAtom::kImageTrackRef, vrAtom::kHotSpotTrackRef, kAppleImageRef, kAppleHotSpotRef})
            if (OSErr e = sample.removeChildren(AtomContainer::kRoot, t))
                return e;
    }
    if (OSErr e = addContainerSample(*outVr, sample, src.vrSample.description, node.duration))
        return e;
    if (OSErr e = progress.step(std::nullopt, -1))
        return e;

    const TimeValue end = node.start + node.duration;
    if (OSErr e = copySamples(*src.image, shownIn(*src.image, node.start, end), node.start, *outImage, progress))
        return e;
    if (outHot)
        if (OSErr e = copySamples(*src.hotSpots, shownIn(*src.hotSpots, node.start, node.start + src.hotSpotSpan),
                                  node.start, *outHot, progress))
            return e;
    return movie.addMovieResource();
}

} // namespace

OSErr readTour(const Movie& movie, Tour& out, std::string* detail)
{
    out = Tour();
    Track* qtvr = nullptr;
    if (FindTrackByMediaType(&movie, vrNodeType::kQtvr, &qtvr, nullptr) != 0 || !qtvr || !qtvr->media())
        return damaged(detail, "the movie is no QuickTime VR 2.x movie (it has no QTVR track)");
    out.playbackWidth = std::int16_t(std::clamp<Fixed>(qtvr->width() >> 16, 0, 0x7FFF));
    out.playbackHeight = std::int16_t(std::clamp<Fixed>(qtvr->height() >> 16, 0, 0x7FFF));
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = QTVRGetQTVRInstance(instance, qtvr)) {
        if (detail)
            *detail = "the movie's VR world cannot be read";
        return e;
    }
    if (OSErr e = QTVRGetVRWorld(instance.get(), out.world))
        return e;
    const AtomRef header = out.world.findChild(AtomContainer::kRoot, vrAtom::kWorldHeader);
    if (!header)
        return damaged(detail, "the VR world has no header");
    out.name = stringById(out.world, u32At(out.world.data(header), 4));
    out.defaultNodeId = u32At(out.world.data(header), 8);
    const AtomRef parent = out.world.findChild(AtomContainer::kRoot, vrAtom::kNodeParent);
    const int count = parent ? out.world.countChildren(parent, vrAtom::kNodeId) : 0;
    if (count == 0)
        return damaged(detail, "the VR world lists no nodes");

    // The QTVR track's samples by the node ID in their headers.
    std::map<std::uint32_t, Shown> spans;
    std::map<std::uint32_t, AtomContainer> infos;
    for (const Shown& s : shownIn(*qtvr, 0, qtvr->duration())) {
        AtomContainer info;
        MediaSample sample;
        if (OSErr e = qtvr->media()->getSample(s.mediaTime, sample)) {
            if (detail)
                *detail = "a node sample of the QTVR track cannot be read";
            return e;
        }
        if (AtomContainer::parse(sample.data, info) != 0)
            return damaged(detail, "a node sample of the QTVR track is damaged");
        const AtomRef ndhd = info.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader);
        if (!ndhd)
            continue;
        const std::uint32_t id = u32At(info.data(ndhd), 8);
        if (!spans.count(id)) {
            spans[id] = s;
            infos[id] = std::move(info);
        }
    }
    for (int i = 1; i <= count; ++i) {
        const AtomRef vrni = out.world.findChild(parent, vrAtom::kNodeId, i);
        TourNode node;
        node.id = out.world.id(vrni);
        if (node.id == 0 || node.id > 0x7FFF)
            return damaged(detail, "the VR world lists a node ID outside 1 to 32767");
        const AtomRef nloc = out.world.findChild(vrni, vrAtom::kNodeLocation);
        node.type = nloc ? u32At(out.world.data(nloc), 4) : 0;
        if (node.type != vrNodeType::kPanorama && node.type != vrNodeType::kObject)
            return damaged(detail, nodeText(node) + " is neither a panorama nor an object");
        if (nloc && u32At(out.world.data(nloc), 8) != 0)
            return damaged(detail, nodeText(node) + " lies in another file");
        const auto span = spans.find(node.id);
        if (span == spans.end())
            return damaged(detail, nodeText(node) + ": its node sample is missing from the QTVR track");
        node.start = span->second.trackTime;
        node.duration = span->second.duration;
        node.info = infos[node.id];
        const AtomRef ndhd = node.info.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader);
        node.name = stringById(node.info, u32At(node.info.data(ndhd), 12));
        node.comment = stringById(node.info, u32At(node.info.data(ndhd), 16));

        NodeSources src;
        if (OSErr e = findSources(movie, *qtvr, node, src, detail))
            return e;
        const TimeValue end = node.start + node.duration;
        const auto images = shownIn(*src.image, node.start, end);
        if (images.empty() || coveredUntil(images, node.start) < end)
            return damaged(detail, nodeText(node) + ": its image track ends before the node does");
        node.samples = std::int32_t(images.size());
        if (src.hotSpots) {
            const auto hot = shownIn(*src.hotSpots, node.start, node.start + src.hotSpotSpan);
            if (hot.empty() || coveredUntil(hot, node.start) < node.start + src.hotSpotSpan)
                return damaged(detail, nodeText(node) + ": its hot spot track is shorter than its image track");
            node.samples += std::int32_t(hot.size());
        }
        out.nodes.push_back(std::move(node));
    }
    return 0;
}

OSErr writeTourNodeMovie(const Movie& tourMovie, const Tour& tour, const TourNode& node,
                         const std::filesystem::path& file, Progress& progress, std::string* detail)
{
    Track* qtvr = nullptr;
    if (FindTrackByMediaType(&tourMovie, vrNodeType::kQtvr, &qtvr, nullptr) != 0 || !qtvr)
        return err::invalidMovie;
    OSErr e = 0;
    {
        std::unique_ptr<Movie> movie;
        e = Movie::createFile(file, true, movie);
        if (!e)
            e = writeNodeMovie(tourMovie, *qtvr, tour, node, *movie, progress, detail);
    }
    if (e) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
    return e;
}

} // namespace qm
