#include "support/panorama_writer.h"

#include <cmath>

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/codec.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/movie_vr.h"

namespace qm::test {

namespace {

constexpr TimeScale kScale = 3600;

Track* addTrack(Movie& movie, int width, int height, OSType mediaType)
{
    Track* t = movie.newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
    if (t && !t->newMedia(mediaType, kScale))
        return nullptr;
    return t;
}

// Stores the picture as tiles (rotated a quarter anticlockwise for vertical cylinders), row-major.
OSErr addTiles(Track& track, const OffscreenPicture& unrolled, const TestPanoramaOptions& o, bool hotSpots,
               TimeValue duration)
{
    if (o.cubeTilesPerSide > 0) {
        const int per = o.cubeTilesPerSide;
        const int side = unrolled.height() / per;
        const int count = 6 * per * per;
        ImageCompressionParams params;
        params.codecType = hotSpots ? codecType::graphics : o.codec;
        params.depth = hotSpots ? 8 : 0;
        params.spatialQuality = codecQuality::lossless;
        for (int i = 0; i < count; ++i) {
            const int face = i / (per * per), within = i % (per * per);
            const int left = face * per * side + within % per * side, top = within / per * side;
            CompressedImage image;
            if (OSErr e = compressImage(unrolled, makeRect(top, left, top + side, left + side), params, image))
                return e;
            image.description.dataSize = std::uint32_t(image.data.size());
            if (OSErr e = appendSample(track, image.data, SampleDescription(image.description.build()),
                                       duration / count, duration / count * i))
                return e;
        }
        return 0;
    }
    OffscreenPicture stored;
    if (o.horizontal)
        stored = unrolled;
    else if (OSErr e = rotatePicture(unrolled, Rotation::CounterClockwise, stored))
        return e;
    const int tw = stored.width() / o.framesX;
    const int th = stored.height() / o.framesY;
    const int count = o.framesX * o.framesY;
    ImageCompressionParams params;
    params.codecType = hotSpots ? codecType::graphics : o.codec;
    params.depth = hotSpots ? 8 : 0;
    params.spatialQuality = hotSpots || o.codec != codecType::photoJpeg ? codecQuality::lossless : codecQuality::high;
    for (int i = 0; i < count; ++i) {
        const int c = i % o.framesX, r = i / o.framesX;
        CompressedImage image;
        if (OSErr e = compressImage(stored, makeRect(r * th, c * tw, (r + 1) * th, (c + 1) * tw), params, image))
            return e;
        image.description.dataSize = std::uint32_t(image.data.size());
        if (OSErr e = appendSample(track, image.data, SampleDescription(image.description.build()), duration / count,
                                   duration / count * i))
            return e;
    }
    return 0;
}

} // namespace

OSErr writeTestPanorama(const std::filesystem::path& file, const OffscreenPicture& image,
                        const OffscreenPicture* hotSpots, const TestPanoramaOptions& o, PanoramaSampleRecord* recordOut)
{
    const int width = image.width(), height = image.height();
    PanoramaSampleRecord r;
    r.majorVersion = 2;
    r.imageRefTrackIndex = 1;
    r.hotSpotRefTrackIndex = hotSpots ? 1 : 0;
    r.minPan = o.minPan;
    r.maxPan = o.maxPan;
    const float halfTilt =
        float(std::atan(M_PI * height / width * 360.0 / std::max(1.0f, o.maxPan - o.minPan)) * 180.0 / M_PI);
    r.minTilt = o.minTilt || o.maxTilt ? o.minTilt : -halfTilt;
    r.maxTilt = o.minTilt || o.maxTilt ? o.maxTilt : halfTilt;
    r.minFieldOfView = o.minFieldOfView;
    r.maxFieldOfView = o.maxFieldOfView ? o.maxFieldOfView : r.maxTilt - r.minTilt;
    r.defaultPan = o.defaultPan;
    r.defaultTilt = o.defaultTilt;
    r.defaultFieldOfView = o.defaultFieldOfView ? o.defaultFieldOfView : r.maxFieldOfView * 0.8f;
    r.imageSizeX = std::uint32_t(o.horizontal ? width : height);
    r.imageSizeY = std::uint32_t(o.horizontal ? height : width);
    r.imageNumFramesX = std::uint16_t(o.framesX);
    r.imageNumFramesY = std::uint16_t(o.framesY);
    if (hotSpots) {
        r.hotSpotSizeX = r.imageSizeX;
        r.hotSpotSizeY = r.imageSizeY;
        r.hotSpotNumFramesX = r.imageNumFramesX;
        r.hotSpotNumFramesY = r.imageNumFramesY;
    }
    r.panoType = o.horizontal ? fourCC("hcyl") : fourCC("vcyl");
    const bool cube = o.cubeTilesPerSide > 0;
    if (cube) {
        r.panoType = fourCC("cube");
        r.imageSizeX = r.imageSizeY = std::uint32_t(height);
        r.imageNumFramesX = r.imageNumFramesY = std::uint16_t(o.cubeTilesPerSide);
        if (hotSpots) {
            r.hotSpotSizeX = r.hotSpotSizeY = r.imageSizeX;
            r.hotSpotNumFramesX = r.hotSpotNumFramesY = r.imageNumFramesX;
        }
        r.minTilt = -90;
        r.maxTilt = 90;
    }
    if (recordOut)
        *recordOut = r;

    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::createFile(file, true, movie))
        return e;
    if (OSErr e = movie->setTimeScale(kScale))
        return e;
    if (OSErr e = SetControllerType(movie.get(), kQTVR2ControllerType))
        return e;
    const int tileCount = cube ? 6 * o.cubeTilesPerSide * o.cubeTilesPerSide : o.framesX * o.framesY;
    const TimeValue duration = TimeValue(tileCount) * kScale;
    Track* qtvr = addTrack(*movie, 320, 240, vrNodeType::kQtvr);
    Track* pano = qtvr ? addTrack(*movie, 320, 240, vrNodeType::kPanorama) : nullptr;
    if (!pano)
        return err::memFullErr;
    if (OSErr e = qtvr->addReference(*pano, vrNodeType::kPanorama))
        return e;
    AtomContainer world, header;
    if (OSErr e = buildOneNodeWorld(vrNodeType::kPanorama, world))
        return e;
    if (OSErr e = buildOneNodeHeader(vrNodeType::kPanorama, header))
        return e;
    // The world and the node header name the node by its ID.
    if (AtomRef vrsc = world.findChild(AtomContainer::kRoot, fourCC("vrsc"))) {
        Bytes d(world.data(vrsc).begin(), world.data(vrsc).end());
        storeBE32(d.data() + 8, o.nodeId);
        world.setData(vrsc, d);
    }
    if (AtomRef vrnp = world.findChild(AtomContainer::kRoot, fourCC("vrnp"))) {
        const AtomRef old = world.findChild(vrnp, fourCC("vrni"));
        Bytes location(world.data(world.findChild(old, fourCC("nloc"))).begin(),
                       world.data(world.findChild(old, fourCC("nloc"))).end());
        world.removeAtom(old);
        AtomRef node;
        world.insertChild(world.findChild(AtomContainer::kRoot, fourCC("vrnp")), fourCC("vrni"), o.nodeId, 0, {},
                          &node);
        world.insertChild(node, fourCC("nloc"), 1, 0, location);
    }
    if (AtomRef ndhd = header.findChild(AtomContainer::kRoot, fourCC("ndhd"))) {
        Bytes d(header.data(ndhd).begin(), header.data(ndhd).end());
        storeBE32(d.data() + 4, vrNodeType::kPanorama);
        storeBE32(d.data() + 8, o.nodeId);
        header.setData(ndhd, d);
    }
    if (OSErr e = appendSample(*qtvr, header.serialize(), SampleDescription(qtvrSampleDescription(world)), duration, 0))
        return e;
    AtomContainer sample;
    const auto bytes = r.toBytes();
    if (OSErr e = sample.insertChild(AtomContainer::kRoot, vrAtom::kPanoSample, 1, 0, bytes))
        return e;
    if (OSErr e = appendSample(*pano, sample.serialize(), placeholderDescription(), duration, 0))
        return e;
    const int storedW = o.horizontal ? width : height, storedH = o.horizontal ? height : width;
    const int tileW = cube ? height / o.cubeTilesPerSide : storedW / o.framesX;
    const int tileH = cube ? height / o.cubeTilesPerSide : storedH / o.framesY;
    Track* tiles = addTrack(*movie, tileW, tileH, videoMediaType);
    if (!tiles)
        return err::memFullErr;
    tiles->setEnabled(false);
    if (OSErr e = pano->addReference(*tiles, vrAtom::kImageTrackRef))
        return e;
    if (OSErr e = addTiles(*tiles, image, o, false, duration))
        return e;
    if (hotSpots) {
        Track* hot = addTrack(*movie, tileW, tileH, videoMediaType);
        if (!hot)
            return err::memFullErr;
        hot->setEnabled(false);
        if (OSErr e = pano->addReference(*hot, vrAtom::kHotSpotTrackRef))
            return e;
        if (OSErr e = addTiles(*hot, *hotSpots, o, true, duration))
            return e;
    }
    return movie->addMovieResource();
}

} // namespace qm::test
