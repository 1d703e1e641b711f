#include "quicktime/vr/panorama_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/decompression_sequence.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/vr1_records.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {

constexpr OSType kNodeHeader = fourCC("ndhd");
constexpr OSType kPanoramaData = fourCC("pdat");
constexpr OSType kImageTrackRef = fourCC("imgt");
constexpr OSType kHotSpotTrackRef = fourCC("hott");
constexpr std::uint32_t kHorizontalFlag = 1;

struct NodeSpan {
    TimeValue start = 0;
    TimeValue duration = 0;
    bool contains(TimeValue t) const { return t >= start && t < start + duration; }
};

struct TileSource {
    const Track* track = nullptr;
    int framesX = 0, framesY = 0;
    int sizeX = 0, sizeY = 0; // stored size
};

// Copies the stored tile's first `rows` x `columns` pixels a quarter turn into `out`: stored
// (x, y) lands at (right - y, top + x). Done in squares small enough to stay in the cache, so the
// turned writes do not each touch a new cache line of a picture a few megabytes large.
template <typename Pixel>
void turnTileInto(const OffscreenPicture& tile, int rows, int columns, OffscreenPicture& out, int top, int right)
{
    constexpr int kBlock = 64;
    const auto row = [](const OffscreenPicture& p, int v) { return reinterpret_cast<const Pixel*>(p.row8(v)); };
    for (int y0 = std::max(0, right - (out.width() - 1)); y0 < rows; y0 += kBlock) {
        const int y1 = std::min(rows, y0 + kBlock);
        for (int x0 = std::max(0, -top); x0 < columns; x0 += kBlock) {
            const int x1 = std::min(columns, x0 + kBlock);
            for (int x = x0; x < x1; ++x) {
                Pixel* to = reinterpret_cast<Pixel*>(out.row8(top + x)) + right;
                for (int y = y0; y < y1; ++y)
                    to[-y] = row(tile, y)[x];
            }
        }
    }
}

// Decodes the tiles of `source` shown within the node's span and puts them together into the
// unrolled picture.
OSErr assemble(const TileSource& source, const NodeSpan& span, PanoramaLayout layout, PixelDepth depth,
               OffscreenPicture& out, int* cubeFace)
{
    const Media* media = source.track->media();
    if (!media)
        return err::invalidMedia;
    const std::vector<ShownSample> all = shownSamples(*source.track);
    std::vector<ShownSample> tiles;
    for (const ShownSample& s : all)
        if (span.contains(s.trackTime))
            tiles.push_back(s);
    const int framesX = std::max(1, source.framesX);
    const int framesY = std::max(1, source.framesY);
    std::size_t expected = std::size_t(framesX) * std::size_t(framesY);
    // A track holding exactly one set of tiles serves whatever span the node claims (1.x
    // movies whose node times and tile times disagree).
    if (tiles.size() < expected && all.size() == expected && layout != PanoramaLayout::Cube)
        tiles = all;
    if (layout == PanoramaLayout::Cube) {
        // Six faces, each cut into the same square number of tiles.
        if (tiles.size() < 6 || tiles.size() % 6)
            return err::invalidMedia;
        expected = tiles.size();
    }
    if (tiles.size() < expected)
        return err::invalidMedia;
    tiles.resize(expected);

    DecompressionSequence sequence;
    Bytes current;
    int tileW = 0, tileH = 0;
    OffscreenPicture tile;
    int perSide = 1;
    if (layout == PanoramaLayout::Cube) {
        const int perFace = int(expected / 6);
        perSide = int(std::lround(std::sqrt(double(perFace))));
        if (perSide * perSide != perFace)
            return err::invalidMedia;
    }
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        MediaSample sample;
        if (OSErr e = media->getSample(tiles[i].mediaTime, sample))
            return e;
        if (sample.description.bytes() != current) {
            ImageDescription description;
            if (OSErr e = ImageDescription::parse(sample.description.bytes(), description))
                return e;
            if (OSErr e = sequence.begin(description))
                return e;
            current = sample.description.bytes();
        }
        if (OSErr e = sequence.decompressFrame(sample.data, depth, tile))
            return e;
        if (i == 0) {
            tileW = tile.width();
            tileH = tile.height();
            int width = 0, height = 0;
            switch (layout) {
            case PanoramaLayout::VerticalCylinder:
                // Stored a quarter turned: the stored height is the panorama's width.
                width = source.sizeY > 0 ? source.sizeY : tileH * framesY;
                height = source.sizeX > 0 ? source.sizeX : tileW * framesX;
                break;
            case PanoramaLayout::HorizontalCylinder:
                width = source.sizeX > 0 ? source.sizeX : tileW * framesX;
                height = source.sizeY > 0 ? source.sizeY : tileH * framesY;
                break;
            case PanoramaLayout::Cube:
                width = tileW * perSide * 6;
                height = tileH * perSide;
                if (cubeFace)
                    *cubeFace = tileW * perSide;
                break;
            }
            if (OSErr e = out.allocate(depth, makeRect(0, 0, height, width), tile.colorTable()))
                return e;
            if (depth == PixelDepth::Indexed8)
                out.fill(0);
        }
        // The tile's cell in the stored grid (row-major, x fastest).
        int cellX = 0, cellY = 0;
        if (layout == PanoramaLayout::Cube) {
            const int face = int(i) / (perSide * perSide);
            const int within = int(i) % (perSide * perSide);
            cellX = face * perSide * tileW + (within % perSide) * tileW;
            cellY = (within / perSide) * tileH;
        } else {
            const int strideX = std::max(1, (layout == PanoramaLayout::VerticalCylinder ? out.height() : out.width()) / framesX);
            const int strideY = std::max(1, (layout == PanoramaLayout::VerticalCylinder ? out.width() : out.height()) / framesY);
            cellX = int(i) % framesX * strideX;
            cellY = int(i) / framesX * strideY;
        }
        const int w = tile.width(), h = tile.height();
        const int outW = out.width(), outH = out.height();
        // Hot spot tiles are mostly blank, and the picture starts out blank.
        if (depth == PixelDepth::Indexed8 && tile.isAllZero())
            continue;
        if (layout == PanoramaLayout::VerticalCylinder) {
            // Stored (sx, sy) is panorama (W - 1 - sy, sx).
            const int rows = std::min(h, outW - cellY); // stored rows that land inside
            const int columns = std::min(w, outH - cellX);
            if (depth == PixelDepth::Argb32)
                turnTileInto<std::uint32_t>(tile, rows, columns, out, cellX, outW - 1 - cellY);
            else
                turnTileInto<std::uint8_t>(tile, rows, columns, out, cellX, outW - 1 - cellY);
        } else {
            for (int y = 0; y < h && cellY + y < outH; ++y) {
                const int n = std::min(w, outW - cellX);
                if (n <= 0)
                    break;
                const std::size_t bytes = depth == PixelDepth::Argb32 ? 4 : 1;
                std::copy_n(tile.row8(y), std::size_t(n) * bytes, out.row8(cellY + y) + std::size_t(cellX) * bytes);
            }
        }
    }
    (void)tileW;
    (void)tileH;
    return err::noErr;
}

struct NodeSource {
    std::uint32_t nodeId = 0;
    PanoramaSampleRecord record;
    PanoramaLayout layout = PanoramaLayout::VerticalCylinder;
    NodeSpan span;
    const Track* image = nullptr;
    const Track* hotSpots = nullptr;
};

OSErr findNode2x(const Movie& movie, const Track& qtvr, std::uint32_t nodeId, NodeSource& out)
{
    std::unique_ptr<QTVRInstance> instance;
    if (OSErr e = QTVRInstance::openStructure(qtvr, instance))
        return e;
    const std::uint32_t target = nodeId ? nodeId : instance->currentNodeId();
    if (instance->getNodeType(target) == qtvr::kObjectNodeType)
        return err::paramErr;
    if (OSErr e = QTVRNodeTimeSpan(qtvr, target, out.span.start, out.span.duration))
        return e;
    out.nodeId = target;

    Track* pano = qtvr.reference(qtvr::kPanoramaMediaType, 1);
    if (!pano)
        FindTrackByMediaType(&movie, qtvr::kPanoramaMediaType, &pano, nullptr);
    if (!pano || !pano->media())
        return err::invalidTrack;
    const TimeValue mediaTime = pano->trackTimeToMediaTime(out.span.start);
    if (mediaTime < 0)
        return err::paramErr;
    MediaSample sample;
    if (OSErr e = pano->media()->getSample(mediaTime, sample))
        return e;
    AtomContainer container;
    if (OSErr e = AtomContainer::parse(sample.data, container))
        return e;
    const AtomRef pdat = container.findChild(AtomContainer::kRoot, kPanoramaData);
    if (!pdat)
        return err::cannotFindAtomErr;
    out.record = PanoramaSampleRecord::fromBytes(container.data(pdat));
    out.layout = panoramaLayoutOf(out.record);
    // A cubic panorama keeps its real limits and opening view in its cubic view atom.
    const auto cuvw = container.data(container.findChild(AtomContainer::kRoot, fourCC("cuvw")));
    if (out.layout == PanoramaLayout::Cube && cuvw.size() >= 36) {
        float v[9];
        for (int i = 0; i < 9; ++i) {
            const std::uint32_t bits = loadBE32(cuvw.data() + 4 * i);
            std::memcpy(&v[i], &bits, 4);
        }
        PanoramaSampleRecord& r = out.record;
        r.minPan = v[0], r.maxPan = v[1], r.minTilt = v[2], r.maxTilt = v[3];
        r.minFieldOfView = v[4], r.maxFieldOfView = v[5];
        r.defaultPan = v[6], r.defaultTilt = v[7], r.defaultFieldOfView = v[8];
    }
    if (out.record.imageRefTrackIndex == 0)
        return err::invalidTrack;
    out.image = pano->reference(kImageTrackRef, int(out.record.imageRefTrackIndex));
    if (out.record.hotSpotRefTrackIndex)
        out.hotSpots = pano->reference(kHotSpotTrackRef, int(out.record.hotSpotRefTrackIndex));
    return out.image ? err::noErr : err::invalidTrack;
}

OSErr findNode1x(const Movie& movie, const Track& pano, std::uint32_t nodeId, NodeSource& out)
{
    const Media* media = pano.media();
    const SampleDescription* description = media ? media->sampleDescriptionPtr(1) : nullptr;
    if (!description)
        return err::invalidMedia;
    PanoramaDescription1x d;
    if (OSErr e = PanoramaDescription1x::parse(description->bytes(), d))
        return e;
    // Node IDs as the instance gives them: 0 and repeated IDs go by position.
    std::unordered_set<std::uint32_t> used;
    std::int64_t position = -1;
    PanoramaHeader1x chosen;
    for (std::uint32_t k = 0; k < media->sampleCount(); ++k) {
        Bytes bytes;
        if (OSErr e = media->readSample(k, bytes))
            return e;
        PanoramaHeader1x header;
        if (OSErr e = PanoramaHeader1x::parse(bytes, header))
            return e;
        std::uint32_t id = header.nodeId;
        if (id == 0 || used.count(id))
            id = k + 1;
        while (used.count(id))
            ++id;
        used.insert(id);
        if (id == nodeId || (nodeId == 0 && k == 0)) {
            position = k;
            chosen = header;
            out.nodeId = id;
            break;
        }
    }
    if (position < 0)
        return err::paramErr;
    out.record = panoramaRecordFrom1x(d, chosen);
    out.layout = PanoramaLayout::VerticalCylinder;
    // The node's time: where the track shows its sample; the whole track for a one-node movie.
    out.span = {0, std::max<TimeValue>(pano.duration(), movie.duration())};
    if (media->sampleCount() > 1) {
        MediaSample s;
        for (const ShownSample& shown : shownSamples(pano)) {
            if (media->getSample(shown.mediaTime, s) == 0 && s.index == std::uint32_t(position)) {
                out.span = {shown.trackTime, shown.trackDuration};
                break;
            }
        }
    }
    out.image = movie.trackByID(std::uint32_t(d.sceneTrackId));
    if (d.hotSpotTrackId)
        out.hotSpots = movie.trackByID(std::uint32_t(d.hotSpotTrackId));
    return out.image ? err::noErr : err::invalidTrack;
}

} // namespace

OSErr QTVRNodeTimeSpan(const Track& qtvr, std::uint32_t nodeId, TimeValue& start, TimeValue& duration)
{
    if (!qtvr.media())
        return err::invalidMedia;
    const std::vector<ShownSample> nodes = shownSamples(qtvr);
    bool headers = false;
    for (const ShownSample& s : nodes) {
        MediaSample sample;
        AtomContainer info;
        if (qtvr.media()->getSample(s.mediaTime, sample) || AtomContainer::parse(sample.data, info))
            continue;
        const auto header = info.data(info.findChild(AtomContainer::kRoot, kNodeHeader));
        headers = headers || header.size() >= 12;
        if (header.size() >= 12 && loadBE32(header.data() + 8) == nodeId) {
            start = s.trackTime;
            duration = s.trackDuration;
            return err::noErr;
        }
    }
    if (nodes.size() == 1 && !headers) {
        start = nodes.front().trackTime;
        duration = nodes.front().trackDuration;
        return err::noErr;
    }
    return err::paramErr;
}

PanoramaLayout panoramaLayoutOf(const PanoramaSampleRecord& record)
{
    if (record.panoType == fourCC("cube"))
        return PanoramaLayout::Cube;
    if (record.panoType == fourCC("hcyl") || (record.panoType == 0 && (record.flags & kHorizontalFlag)))
        return PanoramaLayout::HorizontalCylinder;
    return PanoramaLayout::VerticalCylinder;
}

OSErr UnrollPanorama(const Movie& movie, std::uint32_t nodeId, const PanoramaUnrollOptions& options,
                     UnrolledPanorama& out)
{
    const Track* qtvr = QTVRGetQTVRTrack(movie, 1);
    if (!qtvr || !qtvr->media())
        return err::invalidTrack;
    NodeSource node;
    OSErr e = qtvr->media()->type() == qtvr::kPanorama1xMediaType ? findNode1x(movie, *qtvr, nodeId, node)
              : qtvr->media()->type() == qtvr::kQTVRMediaType     ? findNode2x(movie, *qtvr, nodeId, node)
                                                                  : err::paramErr;
    if (e)
        return e;
    UnrolledPanorama result;
    result.nodeId = node.nodeId;
    result.record = node.record;
    result.layout = node.layout;
    const PanoramaSampleRecord& r = node.record;
    if (options.image) {
        const TileSource tiles{node.image, r.imageNumFramesX, r.imageNumFramesY, int(r.imageSizeX), int(r.imageSizeY)};
        if ((e = assemble(tiles, node.span, node.layout, PixelDepth::Argb32, result.image, &result.cubeFaceSize)))
            return e;
    }
    if (options.hotSpots && node.hotSpots && node.hotSpots->media()) {
        const bool own = r.hotSpotSizeX && r.hotSpotSizeY && r.hotSpotNumFramesX && r.hotSpotNumFramesY;
        const TileSource tiles = own ? TileSource{node.hotSpots, r.hotSpotNumFramesX, r.hotSpotNumFramesY,
                                                  int(r.hotSpotSizeX), int(r.hotSpotSizeY)}
                                     : TileSource{node.hotSpots, r.imageNumFramesX, r.imageNumFramesY,
                                                  int(r.imageSizeX), int(r.imageSizeY)};
        if ((e = assemble(tiles, node.span, node.layout, PixelDepth::Indexed8, result.hotSpots, nullptr)))
            return e;
    }
    out = std::move(result);
    return err::noErr;
}

} // namespace qm
