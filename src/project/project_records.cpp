#include "project/project_records.h"

#include <algorithm>

#include "project/project_format.h"
#include "quicktime/base/legacy_text.h"

namespace qm::project {

namespace {

bool flag(std::uint8_t b) { return b != 0; }

Bytes finish(ByteWriter& w, std::size_t size)
{
    w.zeros(size - w.size());
    return w.take();
}

void readLinkView(ByteReader& r, LinkView& v)
{
    v.pan = r.f32();
    v.tilt = r.f32();
    v.fieldOfView = r.f32();
    v.viewCenter = r.point();
}

void writeLinkView(ByteWriter& w, const LinkView& v)
{
    w.f32(v.pan);
    w.f32(v.tilt);
    w.f32(v.fieldOfView);
    w.point(v.viewCenter);
}

} // namespace

void decodeDimensions(RecordBytes b, Scene& s)
{
    ByteReader r(b);
    r.skip(4);
    s.mapWidth = r.i16();
    s.mapHeight = r.i16();
    s.unitIndex = r.i16();
    s.scaleFactor = r.i16();
    s.masterWidth = r.i16();
    s.masterHeight = r.i16();
}

Bytes encodeDimensions(const Scene& s)
{
    ByteWriter w(kDimensionsSize);
    w.zeros(4);
    for (std::int16_t v : {s.mapWidth, s.mapHeight, s.unitIndex, s.scaleFactor, s.masterWidth, s.masterHeight})
        w.i16(v);
    return finish(w, kDimensionsSize);
}

GridSettings decodeGrid(RecordBytes b)
{
    ByteReader r(b);
    GridSettings g;
    r.u8();                  // shown, first copy
    g.shown = flag(r.u8());  // the copy readers take
    g.active = flag(r.u8());
    r.u8();
    // The map divides by this value; a stored 0 or less would leave it nothing to divide by.
    g.divisions = std::max<std::int16_t>(r.i16(), 1);
    return g;
}

Bytes encodeGrid(const GridSettings& g)
{
    ByteWriter w(kGridSize);
    w.u8(g.shown);
    w.u8(g.shown);
    w.u8(g.active);
    w.u8(0);
    w.i16(g.divisions);
    return finish(w, kGridSize);
}

float decodeOrientation(RecordBytes b)
{
    ByteReader r(b);
    return r.f32();
}

Bytes encodeOrientation(float orientation)
{
    ByteWriter w(kOrientationSize);
    w.f32(orientation);
    return finish(w, kOrientationSize);
}

CompressionSettings decodeCompression(RecordBytes b, bool movies)
{
    ByteReader r(b);
    CompressionSettings c;
    c.enabled = flag(r.u8());
    r.u8();
    c.dialogDepth = r.i16();
    c.colorDepth = r.i16();
    c.codecType = r.type();
    c.codecComponent = r.u32();
    c.spatialQuality = r.u32();
    if (movies) {
        c.frameRate = r.fixed();
        c.keyFrameRate = r.i32();
        c.dataRate = r.i32();
        c.frameDuration = r.i32();
        c.minSpatialQuality = r.i32();
        c.minTemporalQuality = r.i32();
        c.temporalQuality = r.u32();
    }
    return c;
}

Bytes encodeCompression(const CompressionSettings& c, bool movies)
{
    ByteWriter w(kCompressionSize);
    w.u8(c.enabled);
    w.u8(0);
    w.i16(c.dialogDepth);
    w.i16(c.colorDepth);
    w.type(c.codecType);
    w.u32(c.codecComponent);
    w.u32(c.spatialQuality);
    if (movies) {
        w.fixed(c.frameRate);
        w.i32(c.keyFrameRate);
        w.i32(c.dataRate);
        w.i32(c.frameDuration);
        w.i32(c.minSpatialQuality);
        w.i32(c.minTemporalQuality);
        w.u32(c.temporalQuality);
    }
    return finish(w, kCompressionSize);
}

void decodePreview(RecordBytes b, Scene& s)
{
    ByteReader r(b);
    s.composedAt = r.u32();
    s.playbackWidth = r.i16();
    s.playbackHeight = r.i16();
    s.imaging.leading1 = r.i16();
    s.imaging.leading2 = r.i16();
    s.imaging.staticQuality = r.i16();
    s.imaging.staticCorrection = r.i16();
    s.imaging.motionQuality = r.i16();
    s.imaging.motionCorrection = r.i16();
    s.playbackHints = r.u32();
}

Bytes encodePreview(const Scene& s)
{
    ByteWriter w(kPreviewSize);
    w.u32(s.composedAt);
    w.i16(s.playbackWidth);
    w.i16(s.playbackHeight);
    const ImagingSettings& m = s.imaging;
    for (std::int16_t v : {m.leading1, m.leading2, m.staticQuality, m.staticCorrection, m.motionQuality,
                           m.motionCorrection})
        w.i16(v);
    w.u32(s.playbackHints);
    return finish(w, kPreviewSize);
}

MapObject decodeMapObjectFields(RecordBytes b)
{
    ByteReader r(b);
    MapObject o;
    o.kind = r.i16();
    o.secondValue = r.i16();
    o.bounds = r.rect();
    o.secondRect = r.rect();
    o.penStyle = r.u8();
    r.u8();
    o.penSize = r.i16();
    o.penColor = r.color();
    o.fillStyle = r.u8();
    r.u8();
    o.fillColor = r.color();
    for (auto& v : o.drawingValues)
        v = r.i16();
    if (o.drawingValues[0] == 0)
        o.drawingValues[0] = 1; // the fill pattern number is never 0
    return o;
}

Bytes encodeMapObjectFields(const MapObject& o)
{
    ByteWriter w(kMapObjectFieldsSize);
    w.i16(o.kind);
    w.i16(o.secondValue);
    w.rect(o.bounds);
    w.rect(o.secondRect);
    w.u8(o.penStyle);
    w.u8(0);
    w.i16(o.penSize);
    w.color(o.penColor);
    w.u8(o.fillStyle);
    w.u8(0);
    w.color(o.fillColor);
    for (auto v : o.drawingValues)
        w.i16(v);
    return finish(w, kMapObjectFieldsSize);
}

void decodeNodeFields(RecordBytes b, Node& n)
{
    ByteReader r(b);
    n.kind = r.type();
    n.vrVersion = r.u32();
    n.id = r.i16();
    n.initial = flag(r.u8());
    r.u8();
    n.mapPosition = r.point();
    n.movieBounds = r.rect();
    n.displayBounds = r.rect();
    n.autoColorSet = flag(r.u8());
    n.manualColorSet = flag(r.u8());
    n.autoColor = r.color();
    n.manualColor = r.color();
    n.imageTrackReference = r.i32();
    n.hotSpotTrackReference = r.i32();
    n.vr1VideoTrackId = r.i32();
    n.movieDuration = r.i32();
    n.movieFirstFrameTime = r.i32();
}

Bytes encodeNodeFields(const Node& n)
{
    ByteWriter w(kNodeFieldsSize);
    w.type(n.kind);
    w.u32(n.vrVersion);
    w.i16(n.id);
    w.u8(n.initial);
    w.u8(0);
    w.point(n.mapPosition);
    w.rect(n.movieBounds);
    w.rect(n.displayBounds);
    w.u8(n.autoColorSet);
    w.u8(n.manualColorSet);
    w.color(n.autoColor);
    w.color(n.manualColor);
    w.i32(n.imageTrackReference);
    w.i32(n.hotSpotTrackReference);
    w.i32(n.vr1VideoTrackId);
    w.i32(n.movieDuration);
    w.i32(n.movieFirstFrameTime);
    return finish(w, kNodeFieldsSize);
}

HotSpot decodeHotSpotFields(RecordBytes b)
{
    ByteReader r(b);
    HotSpot h;
    h.shape = r.i16();
    h.id = r.i16();
    h.bounds = r.rect();
    h.autoGenerated = flag(r.u8());
    r.u8();
    h.type = r.type();
    h.viewColumn = r.i16();
    h.viewRow = r.i16();
    h.customCursors = flag(r.u8());
    r.u8();
    h.mouseOverCursor = r.i16();
    h.mouseDownCursor = r.i16();
    h.mouseUpCursor = r.i16();
    h.destinationNodeId = r.i16();
    h.customLinkView = flag(r.u8());
    h.linkView.panSet = flag(r.u8());
    h.linkView.tiltSet = flag(r.u8());
    h.linkView.fieldOfViewSet = flag(r.u8());
    h.linkView.viewCenterSet = flag(r.u8());
    r.u8();
    readLinkView(r, h.linkView);
    h.secondView.panSet = flag(r.u8());
    h.secondView.tiltSet = flag(r.u8());
    h.secondView.fieldOfViewSet = flag(r.u8());
    h.secondView.viewCenterSet = flag(r.u8());
    readLinkView(r, h.secondView);
    return h;
}

Bytes encodeHotSpotFields(const HotSpot& h)
{
    ByteWriter w(kHotSpotFieldsSize);
    w.i16(h.shape);
    w.i16(h.id);
    w.rect(h.bounds);
    w.u8(h.autoGenerated);
    w.u8(0);
    w.type(h.type);
    w.i16(h.viewColumn);
    w.i16(h.viewRow);
    w.u8(h.customCursors);
    w.u8(0);
    w.i16(h.mouseOverCursor);
    w.i16(h.mouseDownCursor);
    w.i16(h.mouseUpCursor);
    w.i16(h.destinationNodeId);
    w.u8(h.customLinkView);
    w.u8(h.linkView.panSet);
    w.u8(h.linkView.tiltSet);
    w.u8(h.linkView.fieldOfViewSet);
    w.u8(h.linkView.viewCenterSet);
    w.u8(0);
    writeLinkView(w, h.linkView);
    w.u8(h.secondView.panSet);
    w.u8(h.secondView.tiltSet);
    w.u8(h.secondView.fieldOfViewSet);
    w.u8(h.secondView.viewCenterSet);
    writeLinkView(w, h.secondView);
    return finish(w, kHotSpotFieldsSize);
}

std::string decodeStringChunk(std::span<const std::uint8_t> chunk)
{
    if (chunk.size() <= kStringChunkPrefix)
        return {};
    auto text = chunk.subspan(kStringChunkPrefix, std::min(chunk.size(), kStringChunkMaxRead) - kStringChunkPrefix);
    auto end = std::find(text.begin(), text.end(), std::uint8_t(0));
    // The last byte of the 264 read is the terminator's place: at most 259 characters.
    std::size_t length = std::min<std::size_t>(std::size_t(end - text.begin()), kStringChunkMaxRead - kStringChunkPrefix - 1);
    return decodeStoredText(std::string_view(reinterpret_cast<const char*>(text.data()), length));
}

Bytes encodeStringChunk(std::string_view utf8)
{
    const std::string text = encodeStoredText(utf8).bytes;
    ByteWriter w(kStringChunkPrefix + text.size() + 1);
    w.zeros(kStringChunkPrefix);
    w.bytes(text.data(), text.size());
    w.u8(0);
    return w.take();
}

namespace {

// Reads integers in either byte order, bounds-checked like ByteReader.
class OrderedReader {
public:
    OrderedReader(std::span<const std::uint8_t> b, bool littleEndian) : m_r(b), m_little(littleEndian) {}
    std::int16_t i16()
    {
        std::uint16_t v = m_r.u16();
        return std::int16_t(m_little ? std::uint16_t((v >> 8) | (v << 8)) : v);
    }
    std::int32_t i32()
    {
        std::uint32_t v = m_r.u32();
        if (m_little)
            v = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
        return std::int32_t(v);
    }
    Rect rect()
    {
        Rect r;
        r.top = i16();
        r.left = i16();
        r.bottom = i16();
        r.right = i16();
        return r;
    }
    ByteReader& raw() { return m_r; }

private:
    ByteReader m_r;
    bool m_little;
};

constexpr std::size_t kTextRecordHeader = 80;

} // namespace

std::optional<MapObjectText> decodeTextRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kTextRecordHeader)
        return std::nullopt;
    bool little;
    if (loadBE32(bytes.data() + 22) == 0x50000000u)
        little = true;
    else if (loadBE32(bytes.data() + 22) == kTextRecordHeader)
        little = false;
    else
        return std::nullopt;

    OrderedReader r(bytes, little);
    MapObjectText t;
    t.selectionStart = r.i16();
    t.selectionEnd = r.i16();
    std::int16_t textLength = r.i16();
    t.viewRect = r.rect();
    t.destRect = r.rect();
    std::int32_t textOffset = r.i32();
    std::int16_t styleLength = r.i16();
    std::int32_t styleOffset = r.i32();
    if (textLength < 0 || styleLength < 0 || textOffset < 0 || styleOffset < 0)
        return std::nullopt;
    auto within = [&](std::int32_t offset, std::int16_t length) {
        return std::size_t(offset) <= bytes.size() && std::size_t(length) <= bytes.size() - std::size_t(offset);
    };
    if (!within(textOffset, textLength) || (styleLength > 0 && !within(styleOffset, styleLength)))
        return std::nullopt;
    auto text = bytes.subspan(std::size_t(textOffset), std::size_t(textLength));
    t.text = decodeStoredText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (styleLength > 0) {
        auto style = bytes.subspan(std::size_t(styleOffset), std::size_t(styleLength));
        t.styleData.assign(style.begin(), style.end());
    }
    return t;
}

Bytes encodeTextRecord(const MapObjectText& t)
{
    const std::string text = encodeStoredText(fitStoredText(t.text, kMaxTextRecordBytes)).bytes;
    std::size_t styleLength = std::min(t.styleData.size(), kMaxTextRecordBytes);
    Bytes out(kTextRecordHeader + text.size() + styleLength, 0);
    auto put16 = [&](std::size_t at, std::int16_t v) {
        out[at] = std::uint8_t(v);
        out[at + 1] = std::uint8_t(std::uint16_t(v) >> 8);
    };
    auto put32 = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + std::size_t(i)] = std::uint8_t(std::uint32_t(v) >> (8 * i));
    };
    auto putRect = [&](std::size_t at, const Rect& r) {
        put16(at, r.top);
        put16(at + 2, r.left);
        put16(at + 4, r.bottom);
        put16(at + 6, r.right);
    };
    put16(0, t.selectionStart);
    put16(2, t.selectionEnd);
    put16(4, std::int16_t(text.size()));
    putRect(6, t.viewRect);
    putRect(14, t.destRect);
    put32(22, std::int32_t(kTextRecordHeader));
    put16(26, std::int16_t(styleLength));
    put32(28, std::int32_t(kTextRecordHeader + text.size()));
    std::copy(text.begin(), text.end(), out.begin() + kTextRecordHeader);
    std::copy_n(t.styleData.begin(), styleLength, out.begin() + std::ptrdiff_t(kTextRecordHeader + text.size()));
    return out;
}

} // namespace qm::project
