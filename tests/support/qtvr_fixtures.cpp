#include "support/qtvr_fixtures.h"

#include <memory>

#include "quicktime/base/byte_io.h"
#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/vr/movie_vr.h"

namespace qm::test {

namespace {

constexpr TimeScale kVRTimeScale = 3600;
constexpr TimeValue kNodeDuration = 7200;
constexpr std::uint32_t kFixtureClock = 0xB5000000; // a fixed time in 1996

// A picture whose pixels depend on seed, so that frames differ.
OffscreenPicture testPicture(int width, int height, int seed)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, 0xFF000000u | std::uint32_t((x * 255 / width + seed * 40) & 0xFF) << 16 |
                                std::uint32_t((y * 255 / height) & 0xFF) << 8 | std::uint32_t((seed * 97) & 0xFF));
    return p;
}

struct Frame {
    Bytes data;
    SampleDescription description;
};

Frame jpegFrame(int width, int height, int seed)
{
    ImageCompressionParams params;
    params.codecType = codecType::photoJpeg;
    CompressedImage image;
    compressImage(testPicture(width, height, seed), params, image);
    return {std::move(image.data), SampleDescription(image.description.build())};
}

// An 8-bit hot spot tile: index 0 around a block of index 7.
Frame hotSpotFrame(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Indexed8, Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    for (int y = height / 4; y < height * 3 / 4; ++y)
        for (int x = width / 4; x < width * 3 / 4; ++x)
            p.setPixel(x, y, 7);
    ImageCompressionParams params;
    params.codecType = codecType::graphics;
    params.depth = 8;
    CompressedImage image;
    compressImage(p, params, image);
    return {std::move(image.data), SampleDescription(image.description.build())};
}

class Builder {
public:
    OSErr begin(const std::filesystem::path& file)
    {
        setFixedMovieClock(kFixtureClock);
        if (const OSErr e = Movie::createFile(file, true, m_movie))
            return e;
        m_movie->setTimeScale(kVRTimeScale);
        return err::noErr;
    }
    Movie& movie() { return *m_movie; }

    Track* track(OSType mediaType, int width, int height, TimeScale scale = kVRTimeScale)
    {
        Track* t = m_movie->newTrack(width << 16, height << 16, 0);
        if (t)
            t->newMedia(mediaType, scale);
        return t;
    }

    // Adds samples of equal duration one after another and shows them from trackStart.
    void addSamples(Track* t, const std::vector<Frame>& frames, TimeValue duration, TimeValue trackStart = 0)
    {
        TimeValue first = -1;
        for (const Frame& f : frames) {
            const TimeValue at = t->media()->addSample(f.data, duration, f.description);
            if (first < 0)
                first = at;
        }
        if (first >= 0)
            t->insertMedia(trackStart, first, duration * TimeValue(frames.size()));
    }

    OSErr finish()
    {
        const OSErr e = m_movie->error() ? m_movie->error() : m_movie->addMovieResource();
        m_movie.reset();
        setFixedMovieClock(std::nullopt);
        return e;
    }

private:
    std::unique_ptr<Movie> m_movie;
};

AtomContainer worldFor(const std::vector<std::uint32_t>& ids, OSType nodeType, std::uint32_t defaultNode)
{
    AtomContainer world;
    ByteWriter header;
    header.u16(2);
    header.u16(0);
    header.u32(0);
    header.u32(defaultNode);
    header.zeros(12);
    world.insertChild(AtomContainer::kRoot, fourCC("vrsc"), 1, 0, header.data());
    AtomRef parent;
    world.insertChild(AtomContainer::kRoot, fourCC("vrnp"), 1, 0, {}, &parent);
    for (std::uint32_t id : ids) {
        AtomRef node;
        world.insertChild(parent, fourCC("vrni"), id, 0, {}, &node);
        ByteWriter location;
        location.u16(2);
        location.u16(0);
        location.type(nodeType);
        location.zeros(16);
        world.insertChild(node, fourCC("nloc"), 1, 0, location.data());
    }
    return world;
}

Frame nodeInfoFor(std::uint32_t id, OSType nodeType, const std::string& name)
{
    AtomContainer info;
    ByteWriter header;
    header.u16(2);
    header.u16(0);
    header.type(nodeType);
    header.u32(id);
    header.u32(name.empty() ? 0 : 5); // any ID names the string; real files vary
    header.zeros(12);
    info.insertChild(AtomContainer::kRoot, fourCC("ndhd"), 1, 0, header.data());
    if (!name.empty()) {
        ByteWriter s;
        s.u16(1);
        s.u16(std::uint16_t(name.size()));
        s.bytes(name.data(), name.size());
        info.insertChild(AtomContainer::kRoot, fourCC("vrsg"), 5, 0, s.data());
    }
    return {info.serialize(), {}};
}

Frame containerFrame(const AtomContainer& c)
{
    return {c.serialize(), SampleDescription::make(0)};
}

Bytes trackRefEntry(OSType type, std::uint32_t index)
{
    ByteWriter w;
    w.type(type);
    w.u16(1); // full resolution
    w.u32(index);
    return w.take();
}

// The QTVR track of a movie whose nodes follow one another, each kNodeDuration long.
// Its size is the viewing window's, which the movie's box follows.
Track* addQTVRTrack(Builder& b, const std::vector<std::uint32_t>& ids, OSType nodeType,
                    const std::vector<std::string>& names, int width = 320, int height = 240)
{
    Track* qtvr = b.track(fourCC("qtvr"), width, height);
    const SampleDescription world =
        SampleDescription::make(fourCC("qtvr"), worldFor(ids, nodeType, ids.empty() ? 0 : ids.front()).serialize());
    std::vector<Frame> infos;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Frame f = nodeInfoFor(ids[i], nodeType, i < names.size() ? names[i] : std::string());
        f.description = world;
        infos.push_back(std::move(f));
    }
    b.addSamples(qtvr, infos, kNodeDuration);
    return qtvr;
}

} // namespace

PanoramaSampleRecord Panorama2xFixture::defaultRecord()
{
    PanoramaSampleRecord p;
    p.majorVersion = 2;
    p.imageRefTrackIndex = 1;
    p.hotSpotRefTrackIndex = 0;
    p.minPan = 0;
    p.maxPan = 360;
    p.minTilt = -30;
    p.maxTilt = 30;
    p.minFieldOfView = 5;
    p.maxFieldOfView = 60;
    p.defaultPan = 180;
    p.defaultTilt = 2.5f;
    p.defaultFieldOfView = 48;
    p.imageSizeX = 48;
    p.imageSizeY = 128;
    p.imageNumFramesX = 1;
    p.imageNumFramesY = 4;
    p.panoType = fourCC("vcyl");
    return p;
}

ObjectSampleRecord Object2xFixture::defaultRecord()
{
    ObjectSampleRecord o;
    o.majorVersion = 2;
    o.movieType = 1;
    o.viewStateCount = 1;
    o.defaultViewState = 1;
    o.mouseDownViewState = 1;
    o.viewDuration = 600;
    o.columns = 4;
    o.rows = 2;
    o.mouseMotionScale = 180;
    o.minPan = 0;
    o.maxPan = 360;
    o.defaultPan = 90;
    o.minTilt = 45;
    o.maxTilt = -45;
    o.defaultTilt = 45;
    o.minFieldOfView = 8;
    o.fieldOfView = 180;
    o.defaultFieldOfView = 180;
    o.viewRate = 1;
    o.frameRate = 1;
    o.controlSettings = 0x45;
    return o;
}

OSErr writePanorama2x(const std::filesystem::path& file, const Panorama2xFixture& f)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    Track* qtvr = addQTVRTrack(b, {f.nodeId}, fourCC("pano"), {f.nodeName});
    Track* pano = b.track(fourCC("pano"), 320, 240);
    AtomContainer sample;
    if (f.writePanoramaData) {
        const auto bytes = f.record.toBytes();
        sample.insertChild(AtomContainer::kRoot, fourCC("pdat"), 1, 0, bytes);
    }
    b.addSamples(pano, {containerFrame(sample)}, kNodeDuration);
    qtvr->addReference(*pano, fourCC("pano"));

    const int tiles = std::max(1, int(f.record.imageNumFramesX) * int(f.record.imageNumFramesY));
    Track* image = b.track(videoMediaType, f.tileWidth, f.tileHeight);
    std::vector<Frame> frames;
    for (int i = 0; i < tiles; ++i)
        frames.push_back(jpegFrame(f.tileWidth, f.tileHeight, i));
    b.addSamples(image, frames, kNodeDuration / tiles);
    image->setEnabled(false);
    pano->addReference(*image, fourCC("imgt"));
    if (f.hotSpotTrack) {
        Track* hot = b.track(videoMediaType, f.tileWidth, f.tileHeight);
        b.addSamples(hot, std::vector<Frame>(std::size_t(tiles), hotSpotFrame(f.tileWidth, f.tileHeight)),
                     kNodeDuration / tiles);
        hot->setEnabled(false);
        pano->addReference(*hot, fourCC("hott"));
    }
    SetControllerType(&b.movie(), fourCC("qtvr"));
    return b.finish();
}

OSErr writeObject2x(const std::filesystem::path& file, const Object2xFixture& f)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    Track* qtvr = addQTVRTrack(b, {f.nodeId}, fourCC("obje"), {f.nodeName}, f.frameWidth, f.frameHeight);
    Track* object = b.track(fourCC("obje"), f.frameWidth, f.frameHeight);
    AtomContainer sample;
    if (f.writeObjectData) {
        const auto bytes = f.record.toBytes();
        sample.insertChild(AtomContainer::kRoot, fourCC("obji"), 1, 0, bytes);
    }
    const OSType imageEntry = f.documentedEntryNames ? fourCC("imtr") : fourCC("imgt");
    const OSType hotSpotEntry = f.documentedEntryNames ? fourCC("hstr") : fourCC("hott");
    if (f.imageTrackRefIndex)
        sample.insertChild(AtomContainer::kRoot, imageEntry, 1, 0, trackRefEntry(fourCC("imgt"), *f.imageTrackRefIndex));
    if (f.hotSpotTrackRefIndex)
        sample.insertChild(AtomContainer::kRoot, hotSpotEntry, 1, 0,
                           trackRefEntry(fourCC("hott"), *f.hotSpotTrackRefIndex));
    b.addSamples(object, {containerFrame(sample)}, kNodeDuration);
    qtvr->addReference(*object, fourCC("obje"));

    const int views = int(std::max(1u, f.record.columns * f.record.rows * std::max<unsigned>(1, f.record.viewStateCount)));
    if (f.decoyImageTrack) {
        Track* decoy = b.track(videoMediaType, f.frameWidth / 2, f.frameHeight / 2);
        b.addSamples(decoy, std::vector<Frame>(std::size_t(views), jpegFrame(f.frameWidth / 2, f.frameHeight / 2, 9)),
                     kNodeDuration / views);
        decoy->setEnabled(false);
        object->addReference(*decoy, fourCC("imgt"));
    }
    Track* image = b.track(videoMediaType, f.frameWidth, f.frameHeight);
    std::vector<Frame> frames;
    for (int i = 0; i < views; ++i)
        frames.push_back(jpegFrame(f.frameWidth, f.frameHeight, i));
    b.addSamples(image, frames, kNodeDuration / views);
    object->addReference(*image, fourCC("imgt"));
    SetControllerType(&b.movie(), fourCC("qtvr"));
    return b.finish();
}

OSErr writeMultiNode2x(const std::filesystem::path& file, int nodeCount)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    std::vector<std::uint32_t> ids;
    for (int i = 1; i <= nodeCount; ++i)
        ids.push_back(std::uint32_t(i));
    Track* qtvr = addQTVRTrack(b, ids, fourCC("pano"), {"First", "Second"});
    Track* pano = b.track(fourCC("pano"), 320, 240);
    AtomContainer sample;
    const auto bytes = Panorama2xFixture::defaultRecord().toBytes();
    sample.insertChild(AtomContainer::kRoot, fourCC("pdat"), 1, 0, bytes);
    b.addSamples(pano, std::vector<Frame>(ids.size(), containerFrame(sample)), kNodeDuration);
    qtvr->addReference(*pano, fourCC("pano"));
    Track* image = b.track(videoMediaType, 48, 32);
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < ids.size() * 4; ++i)
        frames.push_back(jpegFrame(48, 32, int(i)));
    b.addSamples(image, frames, kNodeDuration / 4);
    image->setEnabled(false);
    pano->addReference(*image, fourCC("imgt"));
    SetControllerType(&b.movie(), fourCC("qtvr"));
    return b.finish();
}

OSErr writePanorama1x(const std::filesystem::path& file, const Panorama1xFixture& f)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    const int tiles = std::max(1, int(f.sceneFramesX) * int(f.sceneFramesY));
    const int tileWidth = std::max(1, int(f.sceneSizeX) / std::max<int>(1, f.sceneFramesX));
    const int tileHeight = std::max(1, int(f.sceneSizeY) / std::max<int>(1, f.sceneFramesY));
    Track* scene = b.track(videoMediaType, tileWidth, tileHeight, 600);
    std::vector<Frame> frames;
    for (int i = 0; i < tiles; ++i)
        frames.push_back(jpegFrame(tileWidth, tileHeight, i));
    b.addSamples(scene, frames, 60);
    scene->setEnabled(false);

    std::int32_t hotSpotSizeX = f.hotSpotSizeX, hotSpotSizeY = f.hotSpotSizeY;
    std::int16_t hotSpotFramesX = f.hotSpotFramesX, hotSpotFramesY = f.hotSpotFramesY;
    Track* hot = nullptr;
    if (f.hotSpotImage) {
        OffscreenPicture stored;
        if (const OSErr e = rotatePicture(*f.hotSpotImage, Rotation::CounterClockwise, stored))
            return e;
        hotSpotSizeX = stored.width();
        hotSpotSizeY = stored.height();
        hotSpotFramesX = f.sceneFramesX;
        hotSpotFramesY = f.sceneFramesY;
        const int tw = stored.width() / std::max<int>(1, f.sceneFramesX);
        const int th = stored.height() / std::max<int>(1, f.sceneFramesY);
        hot = b.track(videoMediaType, tw, th, 600);
        std::vector<Frame> hotFrames;
        for (int i = 0; i < tiles; ++i) {
            const int c = i % std::max<int>(1, f.sceneFramesX), r = i / std::max<int>(1, f.sceneFramesX);
            ImageCompressionParams params;
            params.codecType = codecType::graphics;
            params.depth = 8;
            params.spatialQuality = codecQuality::lossless;
            CompressedImage image;
            if (const OSErr e = compressImage(stored, Rect{std::int16_t(r * th), std::int16_t(c * tw),
                                                           std::int16_t((r + 1) * th), std::int16_t((c + 1) * tw)},
                                              params, image))
                return e;
            hotFrames.push_back({std::move(image.data), SampleDescription(image.description.build())});
        }
        b.addSamples(hot, hotFrames, 60);
        hot->setEnabled(false);
    }

    // The 'pano' description; offsets below count from its size field.
    ByteWriter d;
    d.zeros(4); // 16: major and minor version 0
    d.i32(std::int32_t(scene->id()));
    d.zeros(4 + 24); // 24: low-res scene, reserved
    d.i32(hot ? std::int32_t(hot->id()) : 0);
    d.zeros(4 + 32); // low-res hot spots, reserved
    d.fixed(f.panStart);
    d.fixed(f.panEnd);
    d.fixed(f.tiltTop);
    d.fixed(f.tiltBottom);
    d.fixed(f.minZoom);
    d.fixed(f.maxZoom);
    d.i32(f.sceneSizeX);
    d.i32(f.sceneSizeY);
    d.i32(tiles);
    d.i16(0);
    d.i16(f.sceneFramesX);
    d.i16(f.sceneFramesY);
    d.i16(32);
    d.i32(hotSpotSizeX);
    d.i32(hotSpotSizeY);
    d.i16(0);
    d.i16(hotSpotFramesX);
    d.i16(hotSpotFramesY);
    d.i16(8);
    const SampleDescription description = SampleDescription::make(fourCC("pano"), d.data());

    Track* pano = b.track(fourCC("STpn"), 320, 240, 600);
    std::vector<Frame> samples;
    for (std::size_t n = 0; n < f.nodeIds.size(); ++n) {
        const std::string name = n == 0 ? f.nodeName : std::string();
        std::string table(1, char(name.size()));
        table += name;
        ByteWriter hotTable, linkTable;
        if (n == 0 && !f.hotSpots.empty()) {
            std::vector<const Panorama1xFixture::HotSpotEntry*> links;
            hotTable.u16(0);
            hotTable.i16(std::int16_t(f.hotSpots.size()));
            for (const auto& h : f.hotSpots) {
                hotTable.u16(h.id);
                hotTable.i16(0);
                hotTable.type(h.type);
                hotTable.u32(h.type == fourCC("link") ? 100u + h.id : 0u); // the link's entry ID
                hotTable.zeros(12 + 8); // view, rectangle
                hotTable.i32(h.mouseOverCursor);
                hotTable.zeros(8 + 4);
                hotTable.i32(h.name.empty() ? 0 : std::int32_t(8 + table.size()));
                hotTable.i32(0);
                if (!h.name.empty()) {
                    table += char(h.name.size());
                    table += h.name;
                }
                if (h.type == fourCC("link"))
                    links.insert(links.begin(), &h);
            }
            linkTable.u16(0);
            linkTable.i16(std::int16_t(links.size()));
            for (const auto* h : links) {
                linkTable.u16(std::uint16_t(100 + h->id));
                linkTable.zeros(2 + 8);
                linkTable.u32(h->toNodeId);
                linkTable.zeros(12);
                linkTable.fixed(h->toPan);
                linkTable.fixed(h->toTilt);
                linkTable.fixed(h->toZoom);
                linkTable.zeros(8 + 8);
            }
        }
        ByteWriter strings;
        strings.u32(std::uint32_t(8 + table.size()));
        strings.type(fourCC("strT"));
        strings.bytes(table.data(), table.size());
        ByteWriter header;
        header.u32(64);
        header.type(fourCC("pHdr"));
        header.u32(f.nodeIds[n]);
        header.fixed(f.defaultPan);
        header.fixed(f.defaultTilt);
        header.fixed(f.defaultZoom);
        header.zeros(32); // minimum and maximum pan, tilt and zoom (0: default), reserved
        header.i32(name.empty() ? 0 : 8);
        header.i32(0);
        ByteWriter sample;
        if (hotTable.data().size()) {
            sample.u32(std::uint32_t(8 + hotTable.data().size()));
            sample.type(fourCC("pHot"));
            sample.bytes(hotTable.data());
            sample.u32(std::uint32_t(8 + linkTable.data().size()));
            sample.type(fourCC("pLnk"));
            sample.bytes(linkTable.data());
        }
        if (f.pHdrFirst) {
            sample.bytes(header.data());
            sample.bytes(strings.data());
        } else {
            sample.bytes(strings.data());
            sample.bytes(header.data());
        }
        samples.push_back({sample.take(), description});
    }
    b.addSamples(pano, samples, 600);
    SetControllerType(&b.movie(), fourCC("STpn"));
    return b.finish();
}

OSErr writeObject1x(const std::filesystem::path& file, const Object1xFixture& f)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    b.movie().setTimeScale(600);
    const int count = std::max(1, int(f.columns) * int(f.rows) * std::max<int>(1, f.loopSize));
    Track* video = b.track(videoMediaType, f.frameWidth, f.frameHeight, 600);
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(jpegFrame(f.frameWidth, f.frameHeight, i));
    b.addSamples(video, frames, std::max<TimeValue>(1, f.frameDuration));
    if (f.writeNavg) {
        ByteWriter n;
        n.i16(1);
        n.i16(f.columns);
        n.i16(f.rows);
        n.i16(0);
        n.i16(f.loopSize);
        n.i16(f.frameDuration);
        n.i16(f.movieType);
        n.i16(0);
        n.fixed(f.fieldOfView);
        n.fixed(f.startPan);
        n.fixed(f.endPan);
        n.fixed(f.endTilt);
        n.fixed(f.startTilt);
        n.fixed(f.initialPan);
        n.fixed(f.initialTilt);
        n.i32(0);
        b.movie().userData().addItem(fourCC("NAVG"), n.data());
    }
    SetControllerType(&b.movie(), fourCC("stna"));
    return b.finish();
}

OSErr writeLinearMovie(const std::filesystem::path& file, const LinearMovieFixture& f)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    b.movie().setTimeScale(f.timeScale);
    b.movie().setPreferredRate(f.preferredRate);
    Track* video = b.track(videoMediaType, f.width, f.height, f.timeScale);
    std::vector<Frame> frames;
    for (int i = 0; i < f.frames; ++i)
        frames.push_back(jpegFrame(f.width, f.height, i));
    b.addSamples(video, frames, f.frameDuration, f.emptyLead);
    if (!f.fullName.empty())
        b.movie().userData().addText(fourCC("\xA9nam"), 1, 0, f.fullName);
    return b.finish();
}

OSErr writeMovieWithoutTracks(const std::filesystem::path& file, OSType controllerType)
{
    Builder b;
    if (const OSErr e = b.begin(file))
        return e;
    if (controllerType)
        SetControllerType(&b.movie(), controllerType);
    return b.finish();
}

} // namespace qm::test
