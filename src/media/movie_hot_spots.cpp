#include "media/movie_hot_spots.h"

#include <algorithm>
#include <set>

#include "media/qtvr_structure.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/region_bytes.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/panorama_image.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {

constexpr OSType kHotSpotParent = fourCC("hspa");
constexpr OSType kHotSpotAtom = fourCC("hots");
constexpr OSType kHotSpotInfo = fourCC("hsin");
constexpr OSType kStringAtom = fourCC("vrsg");
constexpr OSType kLinkAtom = fourCC("link");
constexpr OSType kUrlAtom = fourCC("url ");
constexpr OSType kHotSpotTrackRef = fourCC("hott");
constexpr OSType kImageTrackRef = fourCC("imgt");

// The text of a string atom: its stored length, bounded by the payload.
std::string stringText(std::span<const std::uint8_t> data)
{
    if (data.size() < 4)
        return {};
    const std::size_t length = std::min<std::size_t>((std::size_t(data[2]) << 8) | data[3], data.size() - 4);
    std::string text(data.begin() + 4, data.begin() + 4 + std::ptrdiff_t(length));
    if (const auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

// A string atom named by an 'hsin': inside the 'hots' atom, or (older files) beside it.
std::string hotSpotString(const AtomContainer& c, AtomRef hots, AtomID id)
{
    if (id == 0)
        return {};
    AtomRef s = c.findChildById(hots, kStringAtom, id);
    if (!s)
        s = c.findChildById(c.parent(hots), kStringAtom, id);
    return s ? stringText(c.data(s)) : std::string();
}

LinkView readView(ByteReader& r)
{
    LinkView v;
    const std::uint32_t flags = r.u32();
    v.pan = r.f32();
    v.tilt = r.f32();
    v.fieldOfView = r.f32();
    r.skip(8); // view centre: the composer does not write it
    v.panSet = (flags & 1) != 0;
    v.tiltSet = (flags & 2) != 0;
    v.fieldOfViewSet = (flags & 4) != 0;
    return v;
}

void readLink(std::span<const std::uint8_t> data, HotSpot& h)
{
    ByteReader r(data);
    r.skip(4);
    const std::uint32_t toNode = r.u32();
    h.destinationNodeId = toNode <= 0x7FFF ? std::int16_t(toNode) : 0;
    h.secondView = readView(r);
    h.linkView = readView(r);
    h.customLinkView = true;
}

OSErr decodeIndexedSample(const Media& media, TimeValue mediaTime, OffscreenPicture& out)
{
    MediaSample sample;
    if (OSErr e = media.getSample(mediaTime, sample))
        return e;
    ImageDescription description;
    if (OSErr e = ImageDescription::parse(sample.description.bytes(), description))
        return e;
    return decompressImage(description, sample.data, PixelDepth::Indexed8, out);
}

std::set<int> idsOf(const std::vector<HotSpot>& hotSpots)
{
    std::set<int> ids;
    for (const HotSpot& h : hotSpots)
        ids.insert(h.id);
    return ids;
}

// Adds one record per traced ID of one view: the atoms' record when there is one, else an
// 'undf' hot spot.
void addTraced(const std::vector<HotSpot>& described, const std::map<int, Region>& traced, const Rect& from,
               const Rect& to, int column, int row, std::vector<HotSpot>& out)
{
    const bool map = from != to && !from.empty() && !to.empty();
    auto place = [&](HotSpot h, const Region& region) {
        h.viewColumn = std::int16_t(column);
        h.viewRow = std::int16_t(row);
        if (setHotSpotShape(h, map ? region.mapped(from, to) : region))
            out.push_back(std::move(h));
    };
    for (const HotSpot& h : described)
        if (auto it = traced.find(h.id); it != traced.end())
            place(h, it->second);
    const std::set<int> known = idsOf(described);
    for (const auto& [id, region] : traced) {
        if (known.count(id) || id < 1 || id > 254)
            continue;
        HotSpot h;
        h.id = std::int16_t(id);
        h.type = HotSpotType::kUndefined;
        place(std::move(h), region);
    }
}

OSErr panoramaHotSpots(const Movie& movie, const std::vector<HotSpot>& described, std::vector<HotSpot>& out)
{
    PanoramaSampleRecord stored;
    if (OSErr e = ReadPanoramaSample(&movie, stored))
        return e;
    if (stored.hotSpotRefTrackIndex == 0)
        return 0;
    PanoramaUnrollOptions options;
    options.image = false;
    options.hotSpots = true;
    UnrolledPanorama unrolled;
    if (OSErr e = UnrollPanorama(movie, 0, options, unrolled))
        return e;
    // Only vertical cylinders: the composer writes every panorama's hot spots in that form.
    const PanoramaSampleRecord& record = unrolled.record;
    if (unrolled.hotSpots.isNull() || unrolled.layout != PanoramaLayout::VerticalCylinder)
        return 0;
    const Rect from = makeRect(0, 0, unrolled.hotSpots.height(), unrolled.hotSpots.width());
    const Rect to = makeRect(0, 0, int(record.imageSizeX), int(record.imageSizeY));
    addTraced(described, traceIndexedPicture(unrolled.hotSpots), from, to, 0, 0, out);
    return 0;
}

OSErr objectHotSpots(const Movie& movie, const std::vector<HotSpot>& described, std::vector<HotSpot>& out)
{
    ObjectSampleRecord record;
    if (OSErr e = ReadObjectSample(&movie, record))
        return e;
    Track* object = nullptr;
    FindTrackByMediaType(&movie, qtvr::kObjectMediaType, &object, nullptr);
    if (!object)
        return 0;
    const ObjectTrackReferences refs = readObjectTrackReferences(&movie);
    const Track* hot = object->reference(kHotSpotTrackRef, std::max(1, int(refs.hotSpot)));
    const Track* image = object->reference(kImageTrackRef, std::max(1, int(refs.image)));
    if (!hot || !hot->media())
        return 0;
    const int columns = int(std::clamp<std::uint32_t>(record.columns, 1, 0x7FFF));
    const int rows = int(std::clamp<std::uint32_t>(record.rows, 1, 0x7FFF));
    const TimeValue viewDuration = record.viewDuration ? TimeValue(record.viewDuration) : hot->duration();
    const Track* frameTrack = image ? image : hot;
    const Rect to = makeRect(0, 0, int((frameTrack->height() + 0x8000) >> 16), int((frameTrack->width() + 0x8000) >> 16));
    for (int view = 0; view < rows * columns; ++view) {
        const TimeValue t = viewDuration * view;
        if (t >= hot->duration())
            break;
        const TimeValue mediaTime = hot->trackTimeToMediaTime(t);
        if (mediaTime < 0)
            continue;
        OffscreenPicture frame;
        if (OSErr e = decodeIndexedSample(*hot->media(), mediaTime, frame))
            return e;
        const Rect from = makeRect(0, 0, frame.height(), frame.width());
        addTraced(described, traceIndexedPicture(frame), from, to.empty() ? from : to, view % columns, view / columns,
                  out);
    }
    return 0;
}

} // namespace

std::vector<HotSpot> hotSpotsFromNodeInfo(const AtomContainer& c)
{
    std::vector<HotSpot> out;
    const AtomRef parent = c.findChild(AtomContainer::kRoot, kHotSpotParent);
    if (!parent)
        return out;
    const int count = c.countChildren(parent, kHotSpotAtom);
    for (int i = 1; i <= count; ++i) {
        const AtomRef hots = c.findChild(parent, kHotSpotAtom, i);
        const AtomID id = c.id(hots);
        if (id < 1 || id > 254)
            continue;
        HotSpot h;
        h.id = std::int16_t(id);
        h.type = HotSpotType::kUndefined;
        if (const AtomRef info = c.findChild(hots, kHotSpotInfo)) {
            ByteReader r(c.data(info));
            r.skip(4);
            const OSType type = r.type();
            const AtomID nameId = r.u32();
            const AtomID commentId = r.u32();
            const std::int32_t cursors[3] = {r.i32(), r.i32(), r.i32()};
            if (r.ok()) {
                h.type = type ? type : HotSpotType::kUndefined;
                h.name = hotSpotString(c, hots, nameId);
                h.comment = hotSpotString(c, hots, commentId);
                h.customCursors = cursors[0] || cursors[1] || cursors[2];
                h.mouseOverCursor = std::int16_t(cursors[0]);
                h.mouseDownCursor = std::int16_t(cursors[1]);
                h.mouseUpCursor = std::int16_t(cursors[2]);
            }
        } else if (c.findChild(hots, kLinkAtom)) {
            h.type = HotSpotType::kLink;
        } else if (c.findChild(hots, kUrlAtom)) {
            h.type = HotSpotType::kUrl;
        }
        if (const AtomRef url = c.findChild(hots, kUrlAtom)) {
            const auto data = c.data(url);
            h.url.assign(data.begin(), std::find(data.begin(), data.end(), std::uint8_t(0)));
        }
        if (const AtomRef link = c.findChild(hots, kLinkAtom))
            readLink(c.data(link), h);
        out.push_back(std::move(h));
    }
    return out;
}

std::map<int, Region> traceIndexedPicture(const OffscreenPicture& picture)
{
    std::map<int, Region> out;
    if (picture.isNull() || picture.depth() != PixelDepth::Indexed8)
        return out;
    std::map<int, RegionBuilder> builders;
    std::map<int, std::vector<std::int32_t>> runs;
    const Rect b = picture.bounds();
    for (int v = b.top; v < b.bottom; ++v) {
        const std::uint8_t* row = picture.row8(v);
        for (auto& [id, r] : runs)
            r.clear();
        const int width = b.width();
        for (int x = 0; x < width;) {
            const std::uint8_t value = row[x];
            int end = x + 1;
            while (end < width && row[end] == value)
                ++end;
            if (value != 0) {
                auto& r = runs[value];
                r.push_back(b.left + x);
                r.push_back(b.left + end);
            }
            x = end;
        }
        for (auto& [id, r] : runs)
            if (!r.empty())
                builders[id].addRuns(v, v + 1, r);
    }
    for (auto& [id, builder] : builders)
        out.emplace(id, builder.finish());
    return out;
}

bool setHotSpotShape(HotSpot& h, const Region& region)
{
    if (region.isEmpty())
        return false;
    h.bounds = region.bounds();
    h.regionData.clear();
    if (region.isRect()) {
        h.shape = HotSpotShape::kRectangle;
        return true;
    }
    Bytes outline;
    if (writeRegion(region, outline) == 0) {
        h.shape = HotSpotShape::kRegion;
        h.regionData = std::move(outline);
    } else {
        h.shape = HotSpotShape::kRectangle;
    }
    return true;
}

OSErr readMovieHotSpots(const Movie& movie, std::vector<HotSpot>& out, std::string* detail)
{
    out.clear();
    Track* qtvrTrack = QTVRGetQTVRTrack(movie, 1);
    if (!qtvrTrack || !qtvrTrack->media() || qtvrTrack->media()->type() != qtvr::kQTVRMediaType)
        return 0; // not a 2.x movie: nothing to keep
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = QTVRGetQTVRInstance(instance, qtvrTrack))
        return e;
    AtomContainer info;
    if (OSErr e = QTVRGetNodeInfo(instance.get(), 0, info))
        return e;
    const std::vector<HotSpot> described = hotSpotsFromNodeInfo(info);
    const OSErr e = IsPanoramaNode(instance.get()) ? panoramaHotSpots(movie, described, out)
                                                   : objectHotSpots(movie, described, out);
    if (e) {
        out.clear();
        if (detail)
            *detail = "the movie's hot spot track cannot be read";
    }
    return e;
}

OSErr readMovieHotSpots(const std::filesystem::path& file, std::vector<HotSpot>& out, std::string* detail)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(file, MovieOpenMode::read, movie, detail))
        return e;
    return readMovieHotSpots(*movie, out, detail);
}

} // namespace qm
