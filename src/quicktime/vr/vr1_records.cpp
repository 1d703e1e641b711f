#include "quicktime/vr/vr1_records.h"

#include <algorithm>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"

namespace qm {

namespace {

constexpr std::size_t kPanoramaHeaderSize = 64; // 'pHdr' atom, header included

// The atom of that type in a list of classic atoms (size, type, payload); empty when absent or
// when the list breaks off before it.
std::span<const std::uint8_t> findClassicAtom(std::span<const std::uint8_t> list, OSType type)
{
    std::size_t pos = 0;
    while (list.size() - pos >= 8) {
        const std::uint32_t size = loadBE32(list.data() + pos);
        if (size < 8 || size > list.size() - pos)
            return {};
        if (loadBE32(list.data() + pos + 4) == type)
            return list.subspan(pos, size);
        pos += size;
    }
    return {};
}

// The Pascal string at a string table offset (counted from the start of the 'strT' atom, its
// 8-byte header included); empty for offsets outside the table.
std::string tableString(std::span<const std::uint8_t> sample, std::int32_t offset)
{
    if (offset < 8)
        return {};
    const auto strings = findClassicAtom(sample, fourCC("strT"));
    if (std::size_t(offset) >= strings.size())
        return {};
    ByteReader s(strings);
    s.seek(std::size_t(offset));
    return s.pascalString(std::min<std::size_t>(256, strings.size() - std::size_t(offset)));
}

constexpr std::size_t kTableEntrySize = 56; // 'pHot' and 'pLnk' entries

// The whole entries of a 'pHot' or 'pLnk' atom: pad, count, then 56-byte entries.
std::vector<std::span<const std::uint8_t>> tableEntries(std::span<const std::uint8_t> atom)
{
    std::vector<std::span<const std::uint8_t>> out;
    if (atom.size() < 12)
        return out;
    const int count = std::int16_t(loadBE16(atom.data() + 10));
    for (int i = 0; i < count; ++i) {
        const std::size_t at = 12 + std::size_t(i) * kTableEntrySize;
        if (at + kTableEntrySize > atom.size())
            break;
        out.push_back(atom.subspan(at, kTableEntrySize));
    }
    return out;
}

} // namespace

std::vector<PanoramaHotSpot1x> PanoramaHotSpot1x::parseAll(std::span<const std::uint8_t> sample)
{
    std::vector<PanoramaHotSpot1x> out;
    const auto links = tableEntries(findClassicAtom(sample, fourCC("pLnk")));
    for (const auto entry : tableEntries(findClassicAtom(sample, fourCC("pHot")))) {
        ByteReader r(entry);
        PanoramaHotSpot1x h;
        h.id = r.u16();
        r.skip(2);
        h.type = r.type();
        h.typeData = r.u32();
        r.skip(12 + 8); // view pan, tilt and zoom; rectangle
        h.mouseOverCursor = r.i32();
        h.mouseDownCursor = r.i32();
        h.mouseUpCursor = r.i32();
        r.skip(4);
        h.name = tableString(sample, r.i32());
        h.comment = tableString(sample, r.i32());
        if (h.type == fourCC("link")) {
            std::span<const std::uint8_t> link;
            for (const auto l : links)
                if (loadBE16(l.data()) == h.typeData) {
                    link = l;
                    break;
                }
            if (link.empty() && h.typeData < links.size())
                link = links[h.typeData];
            if (!link.empty()) {
                ByteReader lr(link);
                lr.seek(12);
                h.link = true;
                h.toNodeId = lr.u32();
                lr.seek(28);
                h.toPan = lr.fixed();
                h.toTilt = lr.fixed();
                h.toZoom = lr.fixed();
            }
        }
        out.push_back(std::move(h));
    }
    return out;
}

float fixedToFloat(Fixed f)
{
    return float(double(f) / 65536.0);
}

OSErr PanoramaDescription1x::parse(std::span<const std::uint8_t> description, PanoramaDescription1x& out)
{
    if (description.size() < kMinSize)
        return err::invalidMedia;
    ByteReader r(description);
    PanoramaDescription1x d;
    r.seek(20);
    d.sceneTrackId = r.i32();
    r.seek(52);
    d.hotSpotTrackId = r.i32();
    r.seek(92);
    d.panStart = r.fixed();
    d.panEnd = r.fixed();
    d.tiltTop = r.fixed();
    d.tiltBottom = r.fixed();
    d.minZoom = r.fixed();
    d.maxZoom = r.fixed();
    d.sceneSizeX = r.i32();
    d.sceneSizeY = r.i32();
    r.seek(130);
    d.sceneFramesX = r.i16();
    d.sceneFramesY = r.i16();
    r.seek(136);
    d.hotSpotSizeX = r.i32();
    d.hotSpotSizeY = r.i32();
    r.seek(146);
    d.hotSpotFramesX = r.i16();
    d.hotSpotFramesY = r.i16();
    if (!r.ok())
        return err::invalidMedia;
    out = d;
    return err::noErr;
}

OSErr PanoramaHeader1x::parse(std::span<const std::uint8_t> sample, PanoramaHeader1x& out)
{
    const auto atom = findClassicAtom(sample, fourCC("pHdr"));
    if (atom.size() < kPanoramaHeaderSize)
        return err::invalidMedia;
    ByteReader r(atom);
    PanoramaHeader1x h;
    r.seek(8);
    h.nodeId = r.u32();
    h.defaultPan = r.fixed();
    h.defaultTilt = r.fixed();
    h.defaultZoom = r.fixed();
    r.seek(56);
    const std::int32_t nameOffset = r.i32();
    // The offset counts from the start of the 'strT' atom, its 8-byte header included.
    if (nameOffset >= 8) {
        const auto strings = findClassicAtom(sample, fourCC("strT"));
        if (std::size_t(nameOffset) < strings.size()) {
            ByteReader s(strings);
            s.seek(std::size_t(nameOffset));
            h.name = s.pascalString(std::min<std::size_t>(256, strings.size() - std::size_t(nameOffset)));
        }
    }
    out = std::move(h);
    return err::noErr;
}

OSErr ObjectRecord1x::parse(std::span<const std::uint8_t> item, ObjectRecord1x& out)
{
    if (item.size() < kSize)
        return err::invalidMedia;
    ByteReader r(item);
    ObjectRecord1x o;
    o.version = r.i16();
    o.columns = r.i16();
    o.rows = r.i16();
    r.skip(2);
    o.loopSize = r.i16();
    o.frameDuration = r.i16();
    o.movieType = r.i16();
    o.loopTicks = r.i16();
    o.fieldOfView = r.fixed();
    o.startPan = r.fixed();
    o.endPan = r.fixed();
    o.endTilt = r.fixed();
    o.startTilt = r.fixed();
    o.initialPan = r.fixed();
    o.initialTilt = r.fixed();
    out = o;
    return err::noErr;
}

PanoramaSampleRecord panoramaRecordFrom1x(const PanoramaDescription1x& d, const PanoramaHeader1x& h)
{
    PanoramaSampleRecord p;
    p.majorVersion = 2;
    p.minorVersion = 0;
    p.imageRefTrackIndex = 0;
    p.hotSpotRefTrackIndex = 0;
    p.minPan = fixedToFloat(d.panStart);
    p.maxPan = fixedToFloat(d.panEnd);
    p.minTilt = fixedToFloat(d.tiltBottom);
    p.maxTilt = fixedToFloat(d.tiltTop);
    p.minFieldOfView = fixedToFloat(d.minZoom);
    p.maxFieldOfView = fixedToFloat(d.maxZoom);
    p.defaultPan = fixedToFloat(h.defaultPan);
    p.defaultTilt = fixedToFloat(h.defaultTilt);
    p.defaultFieldOfView = fixedToFloat(h.defaultZoom);
    p.imageSizeX = std::uint32_t(d.sceneSizeX);
    p.imageSizeY = std::uint32_t(d.sceneSizeY);
    p.imageNumFramesX = std::uint16_t(d.sceneFramesX);
    p.imageNumFramesY = std::uint16_t(d.sceneFramesY);
    p.hotSpotSizeX = std::uint32_t(d.hotSpotSizeX);
    p.hotSpotSizeY = std::uint32_t(d.hotSpotSizeY);
    p.hotSpotNumFramesX = std::uint16_t(d.hotSpotFramesX);
    p.hotSpotNumFramesY = std::uint16_t(d.hotSpotFramesY);
    return p;
}

ObjectSampleRecord objectRecordFrom1x(const ObjectRecord1x& n, const Rect& movieBounds)
{
    constexpr std::uint32_t kWrapPan = 0x01;
    constexpr std::uint32_t kCanZoomAndTranslate = 0x44;
    constexpr std::uint32_t kAnimateFramesFromFirst = 0x05;

    ObjectSampleRecord o;
    o.majorVersion = 2;
    o.minorVersion = 0;
    o.movieType = std::uint16_t(n.movieType);
    o.viewStateCount = std::uint16_t(n.loopSize);
    o.defaultViewState = 1;
    o.mouseDownViewState = 1;
    o.viewDuration = std::uint32_t(n.frameDuration);
    o.columns = std::uint32_t(n.columns);
    o.rows = std::uint32_t(n.rows);
    o.mouseMotionScale = 180.0f;
    o.minPan = fixedToFloat(n.startPan);
    o.maxPan = fixedToFloat(n.endPan);
    o.defaultPan = fixedToFloat(n.initialPan);
    o.minTilt = fixedToFloat(n.startTilt);
    o.maxTilt = fixedToFloat(n.endTilt);
    o.defaultTilt = fixedToFloat(n.initialTilt);
    o.minFieldOfView = 1.0f;
    o.fieldOfView = 128.0f;
    o.defaultFieldOfView = 128.0f;
    o.defaultViewCenterH = float(movieBounds.right / 2);
    o.defaultViewCenterV = float(movieBounds.bottom / 2);
    o.viewRate = 1.0f;
    o.frameRate = 1.0f;
    o.animationSettings = o.viewStateCount > 1 ? kAnimateFramesFromFirst : 0;
    o.controlSettings = kCanZoomAndTranslate | (o.maxPan == 360.0f ? kWrapPan : 0);
    return o;
}

} // namespace qm
