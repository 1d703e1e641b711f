#include "compose/layout_hot_spots.h"

#include <algorithm>
#include <cmath>

#include "compose/hot_spot_atoms.h"
#include "compose/hot_spot_painter.h"
#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/movie_vr.h"
#include "quicktime/vr/panorama_image.h"

namespace qm {

Rect UprightPanoramaGrid::tile(int i) const
{
    if (cubeTilesPerSide > 0) {
        const int perFace = cubeTilesPerSide * cubeTilesPerSide;
        const int face = i / perFace, within = i % perFace;
        const int left = face * cubeTilesPerSide * tileWidth + within % cubeTilesPerSide * tileWidth;
        const int top = within / cubeTilesPerSide * tileHeight;
        return makeRect(top, left, top + tileHeight, left + tileWidth);
    }
    const int across = std::max(1, tilesAcross);
    const int left = i % across * tileWidth;
    const int top = i / across * tileHeight;
    return makeRect(top, left, top + tileHeight, left + tileWidth);
}

OSErr uprightPanoramaGrid(const Track& pano, const PanoramaSampleRecord& record, UprightPanoramaGrid& out)
{
    out = {};
    if (panoramaLayoutOf(record) == PanoramaLayout::HorizontalCylinder) {
        const int framesX = record.imageNumFramesX, framesY = record.imageNumFramesY;
        if (framesX <= 0 || framesY <= 0 || record.imageSizeX < std::uint32_t(framesX) ||
            record.imageSizeY < std::uint32_t(framesY) || record.imageSizeX > 0x7FFF || record.imageSizeY > 0x7FFF)
            return err::invalidTrack;
        out.tileWidth = int(record.imageSizeX) / framesX;
        out.tileHeight = int(record.imageSizeY) / framesY;
        out.tileCount = framesX * framesY;
        out.tilesAcross = framesX;
        out.imageRect = makeRect(0, 0, int(record.imageSizeY), int(record.imageSizeX));
        return 0;
    }
    // A cube: six faces of the same square number of tiles, all of the image track's tile size.
    const Track* image = pano.reference(vrAtom::kImageTrackRef, std::max(1, int(record.imageRefTrackIndex)));
    if (!image || !image->media())
        return err::invalidTrack;
    const std::size_t count = shownSamples(*image).size();
    const int perSide = int(std::lround(std::sqrt(double(count / 6))));
    if (count < 6 || count % 6 || std::size_t(perSide) * std::size_t(perSide) * 6 != count)
        return err::invalidTrack;
    const SampleDescription* description = image->media()->sampleDescriptionPtr(1);
    ImageDescription d;
    if (!description || ImageDescription::parse(description->bytes(), d) || d.width <= 0 || d.height <= 0)
        return err::invalidTrack;
    if (std::int64_t(d.width) * perSide * 6 > 0x7FFF || std::int64_t(d.height) * perSide > 0x7FFF)
        return err::invalidTrack;
    out.tileWidth = d.width;
    out.tileHeight = d.height;
    out.tileCount = int(count);
    out.cubeTilesPerSide = perSide;
    out.imageRect = makeRect(0, 0, d.height * perSide, d.width * perSide * 6);
    return 0;
}

namespace {

// The working copy's hot spot track emptied for new tiles, or a new disabled one referenced
// from the panorama track; index is the 'hott' reference index in and out.
OSErr emptyHotSpotTrack(Movie& movie, Track& pano, int& index, int width, int height, Track*& out)
{
    Track* hot = index > 0 ? pano.reference(vrAtom::kHotSpotTrackRef, index) : nullptr;
    if (hot) {
        hot->disposeMedia();
        if (OSErr e = hot->deleteSegment(0, hot->duration()))
            return e;
    } else {
        hot = movie.newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
        if (!hot)
            return movie.error() ? movie.error() : err::memFullErr;
        hot->setEnabled(false);
        if (OSErr e = pano.addReference(*hot, vrAtom::kHotSpotTrackRef, &index))
            return e;
    }
    if (!hot->newMedia(videoMediaType, movie.timeScale()))
        return movie.error() ? movie.error() : err::memFullErr;
    out = hot;
    return 0;
}

bool blankPart(const OffscreenPicture& picture, const Rect& part)
{
    for (int v = part.top; v < part.bottom; ++v) {
        const std::uint8_t* row = picture.row8(v);
        if (std::any_of(row + part.left, row + part.right, [](std::uint8_t value) { return value != 0; }))
            return false;
    }
    return true;
}

} // namespace

OSErr writeUprightPanoramaHotSpots(const Scene& scene, Node& node, Movie& movie, Track& pano,
                                   PanoramaSampleRecord record, const ComposeEnvironment&)
{
    UprightPanoramaGrid grid;
    if (OSErr e = uprightPanoramaGrid(pano, record, grid))
        return e;
    OffscreenPicture painted;
    const HotSpotGeometry geometry{grid.imageRect, grid.imageRect, 0};
    if (OSErr e = paintHotSpots(node, 0, 0, geometry, grid.imageRect, painted))
        return e;

    int hotIndex = int(record.hotSpotRefTrackIndex);
    Track* hot = nullptr;
    if (OSErr e = emptyHotSpotTrack(movie, pano, hotIndex, grid.tileWidth, grid.tileHeight, hot))
        return e;
    const TimeValue span = std::max<TimeValue>(pano.duration(), grid.tileCount);
    for (int i = 0; i < grid.tileCount; ++i) {
        const Rect part = grid.tile(i);
        EncodedImage tile;
        const OSErr ce = blankPart(painted, part) ? compressBlankHotSpotTile(part.width(), part.height(), tile)
                                                  : compressHotSpotTile(painted, part, tile);
        if (ce)
            return ce;
        const TimeValue start = span * i / grid.tileCount;
        const TimeValue end = span * (i + 1) / grid.tileCount;
        if (OSErr e = appendSample(*hot, tile.data, SampleDescription(tile.description), end - start, start))
            return e;
    }
    record.hotSpotRefTrackIndex = std::uint32_t(hotIndex);
    record.hotSpotSizeX = record.imageSizeX;
    record.hotSpotSizeY = record.imageSizeY;
    record.hotSpotNumFramesX = record.imageNumFramesX;
    record.hotSpotNumFramesY = record.imageNumFramesY;
    if (OSErr e = ReplacePanoramaSample(&movie, record))
        return e;
    node.mediaData = record;

    std::optional<AtomContainer> atoms;
    if (OSErr e = buildHotSpotAtoms(scene, node, grid.imageRect, grid.imageRect, atoms))
        return e;
    return ReplaceHotSpotParent(&movie, atoms ? &*atoms : nullptr);
}

} // namespace qm
