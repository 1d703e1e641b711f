#include "web/panorama_unroll.h"

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/movie/movie_media.h"
#include "quicktime/movie/movie_track.h"

namespace qm::web {

bool isVerticalCylinder(const PanoramaSampleRecord& r)
{
    if (r.panoType == fourCC("vcyl"))
        return true;
    if (r.panoType == fourCC("hcyl"))
        return false;
    return (r.flags & 1u) == 0;
}

OSErr unrollPanorama(Movie& movie, PanoramaSampleRecord& record, OffscreenPicture& out)
{
    Track* pano = vrTrack(movie, vrNodeType::kPanorama);
    if (!pano)
        return err::invalidTrack;
    AtomContainer sample;
    if (OSErr e = readSampleContainer(*pano, sample))
        return e;
    const AtomRef pdat = sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample);
    if (!pdat)
        return err::cannotFindAtomErr;
    record = PanoramaSampleRecord::fromBytes(sample.data(pdat));
    if (record.panoType == fourCC("cube"))
        return err::paramErr;
    const Track* image = record.imageRefTrackIndex ? pano->reference(vrAtom::kImageTrackRef, int(record.imageRefTrackIndex))
                                                   : nullptr;
    if (!image || !image->media())
        return err::invalidTrack;
    const int framesX = record.imageNumFramesX, framesY = record.imageNumFramesY;
    const auto tiles = shownSamples(*image);
    if (framesX <= 0 || framesY <= 0 || tiles.size() < std::size_t(framesX) * std::size_t(framesY))
        return err::paramErr;
    const long storedW = long(record.imageSizeX), storedH = long(record.imageSizeY);
    if (storedW <= 0 || storedH <= 0 || storedW > kMaxImageDimension || storedH > kMaxImageDimension)
        return err::paramErr;
    const bool vertical = isVerticalCylinder(record);
    const int width = int(vertical ? storedH : storedW);   // unrolled
    const int height = int(vertical ? storedW : storedH);
    if (OSErr e = out.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)}))
        return e;
    const int tileW = int(storedW / framesX), tileH = int(storedH / framesY);

    for (int k = 0; k < framesX * framesY; ++k) {
        MediaSample s;
        if (OSErr e = image->media()->getSample(tiles[std::size_t(k)].mediaTime, s))
            return e;
        ImageDescription description;
        if (OSErr e = ImageDescription::parse(s.description.bytes(), description))
            return e;
        OffscreenPicture tile;
        if (OSErr e = decompressImage(description, s.data, PixelDepth::Argb32, tile))
            return e;
        // Tiles run across first, then down, in the stored orientation.
        const int ox = (k % framesX) * tileW, oy = (k / framesX) * tileH;
        const int w = std::min(tile.width(), tileW), h = std::min(tile.height(), tileH);
        for (int ty = 0; ty < h; ++ty) {
            const std::uint32_t* row = tile.row32(tile.bounds().top + ty);
            const int sy = oy + ty;
            if (sy >= storedH)
                break;
            for (int tx = 0; tx < w; ++tx) {
                const int sx = ox + tx;
                if (sx >= storedW)
                    break;
                // Stored (sx, sy) of a vertical cylinder is unrolled (width - 1 - sy, sx).
                if (vertical)
                    out.row32(sx)[width - 1 - sy] = row[tx];
                else
                    out.row32(sy)[sx] = row[tx];
            }
        }
    }
    return 0;
}

} // namespace qm::web
