#include "compose/hot_spot_writers.h"

#include <algorithm>

#include "compose/hot_spot_atoms.h"
#include "compose/hot_spot_painter.h"
#include "compose/layout_hot_spots.h"
#include "compose/ordered_work.h"
#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/object_track_entries.h"
#include "quicktime/vr/panorama_image.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {

namespace {

OSErr removeHotSpotTrack(Movie& movie, Track& owner, int index)
{
    if (index <= 0)
        return 0;
    Track* hot = owner.reference(vrAtom::kHotSpotTrackRef, index);
    if (!hot)
        return 0;
    if (OSErr e = owner.deleteReference(vrAtom::kHotSpotTrackRef, index))
        return e;
    return movie.disposeTrack(hot);
}

// A fresh, empty hot spot track of the given size referenced from owner with 'hott': the old
// one's media replaced, or a new disabled track. index: the reference index.
OSErr freshHotSpotTrack(Movie& movie, Track& owner, int& index, int width, int height, Track*& out)
{
    Track* hot = index > 0 ? owner.reference(vrAtom::kHotSpotTrackRef, index) : nullptr;
    if (hot) {
        hot->disposeMedia();
        if (OSErr e = hot->deleteSegment(0, hot->duration()))
            return e;
    } else {
        hot = movie.newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
        if (!hot)
            return movie.error() ? movie.error() : err::memFullErr;
        hot->setEnabled(false);
        if (OSErr e = owner.addReference(*hot, vrAtom::kHotSpotTrackRef, &index))
            return e;
    }
    if (!hot->newMedia(videoMediaType, movie.timeScale()))
        return movie.error() ? movie.error() : err::memFullErr;
    out = hot;
    return 0;
}

// Layout of a shared panorama tile's pixels (see SharedTileKey): the unrolled image's part, to
// be turned a quarter turn anticlockwise.
constexpr int kTurnedTileLayout = 1;

// A painted panorama hot spot tile whose bytes are not known yet: `part` of the unrolled hot spot
// image (every other pixel of `tile` is 0), to be turned a quarter turn anticlockwise as tiles
// are stored and compressed. With an empty tile: the blank tile.
struct TileJob {
    std::size_t slot = 0;
    Rect tile;
    OffscreenPicture part;
    SharedTileKey key;
};

OSErr encodeTileJob(TileJob& job, EncodedImage& out)
{
    if (job.tile.empty())
        return compressBlankHotSpotTile(job.key.width, job.key.height, out);
    return compressSharedHotSpotTile(
        std::move(job.key),
        [&](EncodedImage& encoded) {
            OffscreenPicture turned;
            if (OSErr e = turnHotSpotTile(job.part, job.tile, turned))
                return e;
            return compressHotSpotTile(turned, turned.bounds(), encoded);
        },
        out);
}

} // namespace

OSErr writePanoramaHotSpots(const Scene& scene, Node& node, Movie& movie, const ComposeEnvironment& env)
{
    Track* pano = vrTrack(movie, vrNodeType::kPanorama);
    if (!pano)
        return err::badTrackIndex;
    AtomContainer sample;
    if (OSErr e = readSampleContainer(*pano, sample))
        return e;
    const AtomRef pdat = sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample);
    if (!pdat)
        return err::cannotFindAtomErr;
    PanoramaSampleRecord record = PanoramaSampleRecord::fromBytes(sample.data(pdat));

    if (node.hotSpots.empty()) {
        if (OSErr e = removeHotSpotTrack(movie, *pano, int(record.hotSpotRefTrackIndex)))
            return e;
        record.hotSpotRefTrackIndex = 0;
        if (OSErr e = ReplacePanoramaSample(&movie, record))
            return e;
        node.mediaData = record;
        return ReplaceHotSpotParent(&movie, nullptr);
    }
    // Cubes and horizontal cylinders keep their hot spots in their own upright layout.
    if (panoramaLayoutOf(record) != PanoramaLayout::VerticalCylinder)
        return writeUprightPanoramaHotSpots(scene, node, movie, *pano, record, env);

    if (record.imageNumFramesX == 0 || record.imageNumFramesY == 0 || record.imageSizeX == 0 ||
        record.imageSizeY == 0)
        return err::invalidTrack;
    // The unrolled image: as wide as the stored height, as tall as the stored width.
    const Rect imageRect = makeRect(0, 0, int(record.imageSizeX), int(record.imageSizeY));
    if (record.hotSpotSizeX == 0 || record.hotSpotNumFramesX == 0 || record.hotSpotNumFramesY == 0) {
        record.hotSpotSizeX = record.imageSizeX;
        record.hotSpotSizeY = record.imageSizeY;
        record.hotSpotNumFramesX = record.imageNumFramesX;
        record.hotSpotNumFramesY = record.imageNumFramesY;
    }
    const Rect hotSpotRect = makeRect(0, 0, int(record.hotSpotSizeX), int(record.hotSpotSizeY));
    const int framesX = record.hotSpotNumFramesX;
    const int framesY = record.hotSpotNumFramesY;
    const int stripWidth = hotSpotRect.width() / framesY;
    const int tileLength = hotSpotRect.height() / framesX;
    if (stripWidth <= 0 || tileLength <= 0)
        return err::invalidTrack;

    int hotIndex = int(record.hotSpotRefTrackIndex);
    Track* hot = nullptr;
    if (OSErr e = freshHotSpotTrack(movie, *pano, hotIndex, tileLength, stripWidth, hot))
        return e;
    record.hotSpotRefTrackIndex = std::uint32_t(hotIndex);

    // The hot spot tiles lie end to end over the panorama's whole span.
    const TimeValue span = pano->duration();
    const std::size_t tileCount = std::size_t(framesX) * std::size_t(framesY);
    const HotSpotGeometry geometry{imageRect, hotSpotRect, hotSpotWrapDistance(node)};
    const std::vector<PaintedShape> shapes = hotSpotShapes(node, 0, 0, geometry);
    // Tile n in sample order is tile n % framesX of strip framesY - 1 - n / framesX: the strips
    // run from the right end of the unrolled image, and tile j of a strip holds its rows
    // j * tileLength onwards.
    const auto tileAt = [&](std::size_t n) {
        const int strip = framesY - 1 - int(n / std::size_t(framesX));
        const int j = int(n % std::size_t(framesX));
        return makeRect(j * tileLength, strip * stripWidth, (j + 1) * tileLength, (strip + 1) * stripWidth);
    };
    // Each tile is painted only where hot spots reach it, on this thread (that is quick), and
    // looked up among the tiles compressed before; those left to compress (the blank tile among
    // them when it is needed and new) are compressed in batches on every core.
    const unsigned threads = compressionThreads(env);
    std::vector<EncodedImage> encoded(1); // slot 0: the blank tile
    std::vector<std::size_t> slotOf(tileCount, 0);
    std::vector<TileJob> jobs;
    const auto compressJobs = [&]() {
        const OSErr ce = OrderedWork<std::size_t, EncodedImage>::run(
            jobs.size(), std::min<unsigned>(threads, unsigned(jobs.size())),
            [](std::size_t i, std::size_t& job) {
                job = i;
                return OSErr(0);
            },
            [&](std::size_t& job, EncodedImage& out) { return encodeTileJob(jobs[job], out); },
            [&](std::size_t i, EncodedImage& out) {
                encoded[jobs[i].slot] = std::move(out);
                return OSErr(0);
            });
        jobs.clear();
        return ce;
    };
    bool blankNeeded = false;
    OSErr e = 0;
    for (std::size_t n = 0; n < tileCount && !e; ++n) {
        const Rect tile = tileAt(n);
        Rect reach;
        for (const PaintedShape& p : shapes)
            if (const Rect part = sectRect(p.shape.bounds(), tile); !part.empty())
                reach = reach.empty() ? part : unionRect(reach, part);
        TileJob job{encoded.size(), tile, {}, {tile.height(), tile.width(), kTurnedTileLayout, {}, {}}};
        if (!reach.empty())
            e = paintHotSpotShapes(shapes, reach, job.part);
        if (e || reach.empty() || job.part.isAllZero()) {
            if (!e && !blankNeeded && !findBlankHotSpotTile(tileLength, stripWidth, encoded[0]))
                jobs.push_back(TileJob{0, Rect{}, {}, {tileLength, stripWidth, 0, {}, {}}});
            blankNeeded = true;
            continue;
        }
        job.key.content = offsetRect(reach, -tile.left, -tile.top);
        job.key.pixels.resize(std::size_t(reach.width()) * std::size_t(reach.height()));
        for (int v = reach.top; v < reach.bottom; ++v)
            std::copy_n(job.part.row8(v), reach.width(),
                        job.key.pixels.data() + std::size_t(v - reach.top) * std::size_t(reach.width()));
        slotOf[n] = encoded.size();
        encoded.emplace_back();
        if (findSharedHotSpotTile(job.key, encoded.back()))
            continue;
        jobs.push_back(std::move(job));
        if (jobs.size() >= std::size_t(threads) * 2)
            e = compressJobs();
    }
    if (!e && !jobs.empty())
        e = compressJobs();
    for (std::size_t n = 0; n < tileCount && !e; ++n) {
        const EncodedImage& tile = encoded[slotOf[n]];
        const TimeValue start = span * TimeValue(n) / TimeValue(tileCount);
        const TimeValue end = span * TimeValue(n + 1) / TimeValue(tileCount);
        e = appendSample(*hot, tile.data, SampleDescription(tile.description), end - start, start);
    }
    if (e)
        return e;
    if (OSErr we = ReplacePanoramaSample(&movie, record))
        return we;
    node.mediaData = record;

    std::optional<AtomContainer> atoms;
    if (OSErr be = buildHotSpotAtoms(scene, node, imageRect, hotSpotRect, atoms))
        return be;
    return ReplaceHotSpotParent(&movie, atoms ? &*atoms : nullptr);
}

OSErr writeObjectHotSpots(const Scene& scene, Node& node, Movie& movie, const ComposeEnvironment& env)
{
    Track* object = vrTrack(movie, vrNodeType::kObject);
    if (!object)
        return err::badTrackIndex;
    AtomContainer sample;
    if (OSErr e = readSampleContainer(*object, sample))
        return e;
    const AtomRef obji = sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample);
    if (!obji)
        return err::cannotFindAtomErr;
    const ObjectSampleRecord record = ObjectSampleRecord::fromBytes(sample.data(obji));
    // The tracks the sample's own entries name, as the node writer will read them.
    const ObjectTrackEntries entries = readObjectTrackEntries(sample);
    Track* image = object->reference(vrAtom::kImageTrackRef, entries.image);
    if (!image)
        image = object->reference(vrAtom::kImageTrackRef, 1);
    int hotIndex = entries.hotSpot;
    if (!object->reference(vrAtom::kHotSpotTrackRef, hotIndex))
        hotIndex = object->referenceCount(vrAtom::kHotSpotTrackRef) > 0 ? 1 : 0;

    if (node.hotSpots.empty()) {
        if (OSErr e = removeHotSpotTrack(movie, *object, hotIndex))
            return e;
        return ReplaceHotSpotParent(&movie, nullptr);
    }
    if (!image)
        return err::invalidTrack;
    const int width = int((image->width() + 0x8000) >> 16);
    const int height = int((image->height() + 0x8000) >> 16);
    const Rect frame = makeRect(0, 0, height, width);
    if (frame.empty())
        return err::invalidTrack;
    Track* hot = nullptr;
    if (OSErr e = freshHotSpotTrack(movie, *object, hotIndex, width, height, hot))
        return e;

    const int rows = int(std::max<std::uint32_t>(record.rows, 1));
    const int columns = int(std::max<std::uint32_t>(record.columns, 1));
    const TimeValue viewDuration = record.viewDuration ? TimeValue(record.viewDuration) : movie.duration();
    const HotSpotGeometry geometry{frame, frame, 0};
    const OSErr e = OrderedWork<int, EncodedImage>::run(
        std::size_t(rows) * std::size_t(columns), compressionThreads(env),
        [&](std::size_t i, int& view) {
            view = int(i);
            return OSErr(0);
        },
        [&](int& view, EncodedImage& out) {
            OffscreenPicture picture;
            if (OSErr pe = paintHotSpots(node, view % columns, view / columns, geometry, frame, picture))
                return pe;
            if (picture.isAllZero())
                return compressBlankHotSpotTile(frame.width(), frame.height(), out);
            return compressSharedHotSpotTile(picture, out);
        },
        [&](std::size_t i, EncodedImage& tile) {
            return appendSample(*hot, tile.data, SampleDescription(tile.description), viewDuration,
                                viewDuration * TimeValue(i));
        });
    if (e)
        return e;
    std::optional<AtomContainer> atoms;
    if (OSErr be = buildHotSpotAtoms(scene, node, frame, frame, atoms))
        return be;
    return ReplaceHotSpotParent(&movie, atoms ? &*atoms : nullptr);
}

} // namespace qm
