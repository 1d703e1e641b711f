#include "media/movie_hot_spots.h"

#include <algorithm>
#include <cmath>
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
#include "quicktime/vr/vr1_records.h"
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

// A single-node cube's image rectangle from its image track's tile size and count, without
// decoding a tile; empty when the track does not tell.
Rect cubeImageRect(const Movie& movie, const PanoramaSampleRecord& record)
{
    Track* pano = nullptr;
    FindTrackByMediaType(&movie, qtvr::kPanoramaMediaType, &pano, nullptr);
    const Track* image = pano ? pano->reference(kImageTrackRef, std::max(1, int(record.imageRefTrackIndex))) : nullptr;
    if (!image || !image->media())
        return {};
    const std::size_t count = shownSamples(*image).size();
    const int perSide = int(std::lround(std::sqrt(double(count / 6))));
    const SampleDescription* description = image->media()->sampleDescriptionPtr(1);
    ImageDescription d;
    if (count < 6 || std::size_t(perSide) * std::size_t(perSide) * 6 != count || !description ||
        ImageDescription::parse(description->bytes(), d) || d.width <= 0 || d.height <= 0)
        return {};
    return makeRect(0, 0, d.height * perSide, d.width * perSide * 6);
}

// The hot spots of a panorama's hot spot track: unrolled (a cube's faces side by side) and
// mapped onto the node's image coordinates. Those are the unrolled image for cylinders, and for
// cubes the six faces at the image track's own resolution, whatever the hot spot tiles' size.
OSErr panoramaHotSpots(const Movie& movie, bool vr1, const std::vector<HotSpot>& described, std::vector<HotSpot>& out)
{
    PanoramaUnrollOptions options;
    options.image = false;
    options.hotSpots = true;
    Rect cubeRect;
    if (!vr1) {
        PanoramaSampleRecord stored;
        if (OSErr e = ReadPanoramaSample(&movie, stored))
            return e;
        if (stored.hotSpotRefTrackIndex == 0)
            return 0;
        if (panoramaLayoutOf(stored) == PanoramaLayout::Cube) {
            cubeRect = cubeImageRect(movie, stored);
            options.image = cubeRect.empty(); // the faces' size from decoding them after all
        }
    }
    UnrolledPanorama unrolled;
    if (OSErr e = UnrollPanorama(movie, 0, options, unrolled))
        return e;
    if (unrolled.hotSpots.isNull())
        return 0;
    const PanoramaSampleRecord& record = unrolled.record;
    Rect to;
    switch (unrolled.layout) {
    case PanoramaLayout::VerticalCylinder: to = makeRect(0, 0, int(record.imageSizeX), int(record.imageSizeY)); break;
    case PanoramaLayout::HorizontalCylinder: to = makeRect(0, 0, int(record.imageSizeY), int(record.imageSizeX)); break;
    case PanoramaLayout::Cube: to = cubeRect.empty() ? unrolled.image.bounds() : cubeRect; break;
    }
    addTraced(described, traceIndexedPicture(unrolled.hotSpots), unrolled.hotSpots.bounds(), to, 0, 0, out);
    return 0;
}

// The hot spot records a 1.x panorama's first node describes in its sample's tables.
std::vector<HotSpot> hotSpotsFrom1x(const Track& panoramaTrack)
{
    std::vector<HotSpot> out;
    Bytes sample;
    if (!panoramaTrack.media() || panoramaTrack.media()->readSample(0, sample))
        return out;
    for (const PanoramaHotSpot1x& entry : PanoramaHotSpot1x::parseAll(sample)) {
        if (entry.id < 1 || entry.id > 254)
            continue;
        HotSpot h;
        h.id = std::int16_t(entry.id);
        h.type = entry.type ? entry.type : HotSpotType::kUndefined;
        h.name = entry.name;
        h.comment = entry.comment;
        h.customCursors = entry.mouseOverCursor || entry.mouseDownCursor || entry.mouseUpCursor;
        h.mouseOverCursor = std::int16_t(entry.mouseOverCursor);
        h.mouseDownCursor = std::int16_t(entry.mouseDownCursor);
        h.mouseUpCursor = std::int16_t(entry.mouseUpCursor);
        if (entry.link) {
            h.destinationNodeId = entry.toNodeId <= 0x7FFF ? std::int16_t(entry.toNodeId) : 0;
            h.customLinkView = true;
            h.linkView.panSet = true;
            h.linkView.pan = fixedToFloat(entry.toPan);
            h.linkView.tiltSet = true;
            h.linkView.tilt = fixedToFloat(entry.toTilt);
            // A zoom of 0 leaves the field of view to the player.
            h.linkView.fieldOfViewSet = entry.toZoom != 0;
            h.linkView.fieldOfView = fixedToFloat(entry.toZoom);
        }
        out.push_back(std::move(h));
    }
    return out;
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

Region coarsenedRegion(const Region& region, int cell)
{
    if (region.isEmpty() || cell <= 1)
        return region;
    const int top = region.top(), left = region.left(), bottom = region.bottom(), right = region.right();
    std::map<int, std::vector<std::int32_t>> rows; // cell row -> runs
    for (std::size_t i = 0; i < region.bandCount(); ++i) {
        const Region::Band band = region.band(i);
        const int first = (band.top - top) / cell;
        const int last = (band.bottom - 1 - top) / cell;
        for (std::size_t k = 0; k + 1 < band.edges.size(); k += 2) {
            const std::int32_t l = left + (band.edges[k] - left) / cell * cell;
            const std::int32_t r = std::min<std::int32_t>(right, left + (band.edges[k + 1] - left + cell - 1) / cell * cell);
            for (int row = first; row <= last; ++row) {
                auto& runs = rows[row];
                runs.push_back(l);
                runs.push_back(r);
            }
        }
    }
    RegionBuilder builder;
    std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
    std::vector<std::int32_t> sorted;
    for (auto& [row, runs] : rows) {
        pairs.clear();
        for (std::size_t k = 0; k + 1 < runs.size(); k += 2)
            pairs.emplace_back(runs[k], runs[k + 1]);
        std::sort(pairs.begin(), pairs.end());
        sorted.clear();
        for (const auto& [l, r] : pairs) {
            sorted.push_back(l);
            sorted.push_back(r);
        }
        const int rowTop = top + row * cell;
        builder.addRuns(rowTop, std::min(bottom, rowTop + cell), sorted);
    }
    return builder.finish();
}

bool setHotSpotShape(HotSpot& h, const Region& region)
{
    if (region.isEmpty())
        return false;
    h.bounds = region.bounds();
    h.regionData.clear();
    h.shape = HotSpotShape::kRectangle;
    if (region.isRect())
        return true;
    // An outline too large for the stored form (64 KB) is drawn on a coarser grid, doubling the
    // cell until it fits: the shape keeps every pixel it had and gains only what the cells
    // around its edges add.
    const int extent = std::max(h.bounds.width(), h.bounds.height());
    for (int cell = 1; cell <= extent; cell *= 2) {
        const Region shape = coarsenedRegion(region, cell);
        if (shape.isRect())
            return true;
        Bytes outline;
        const OSErr e = writeRegion(shape, outline);
        if (e == 0) {
            h.shape = HotSpotShape::kRegion;
            h.regionData = std::move(outline);
            return true;
        }
        if (e != err::rgnTooBigErr)
            break; // beyond the 16-bit plane: coarser cells do not help
    }
    return true;
}

OSErr readMovieHotSpots(const Movie& movie, std::vector<HotSpot>& out, std::string* detail)
{
    out.clear();
    Track* qtvrTrack = QTVRGetQTVRTrack(movie, 1);
    if (!qtvrTrack || !qtvrTrack->media())
        return 0;
    if (qtvrTrack->media()->type() == qtvr::kPanorama1xMediaType) {
        // 1.x objects have no hot spots; 1.x panoramas describe theirs in the node's sample.
        const OSErr e = panoramaHotSpots(movie, true, hotSpotsFrom1x(*qtvrTrack), out);
        if (e) {
            out.clear();
            if (detail)
                *detail = "the movie's hot spot track cannot be read";
        }
        return e;
    }
    if (qtvrTrack->media()->type() != qtvr::kQTVRMediaType)
        return 0; // not a QuickTime VR movie: nothing to keep
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = QTVRGetQTVRInstance(instance, qtvrTrack))
        return e;
    AtomContainer info;
    if (OSErr e = QTVRGetNodeInfo(instance.get(), 0, info))
        return e;
    const std::vector<HotSpot> described = hotSpotsFromNodeInfo(info);
    const OSErr e = IsPanoramaNode(instance.get()) ? panoramaHotSpots(movie, false, described, out)
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
