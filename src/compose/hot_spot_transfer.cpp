#include "compose/hot_spot_transfer.h"

#include <algorithm>
#include <cstring>

#include "compose/hot_spot_ids.h"
#include "quicktime/atoms/atom_container.h"

namespace qm {

namespace {

constexpr OSType kRecordAtom = fourCC("HSOB");
constexpr OSType kRegionAtom = fourCC("RGNH");
constexpr OSType kNameAtom = fourCC("NAME");
constexpr OSType kCommentAtom = fourCC("COMM");
constexpr OSType kUrlAtom = fourCC("URL ");
constexpr std::size_t kMaxPastedString = 255;

// Little-endian fields at fixed offsets of a record.
class RecordWriter {
public:
    RecordWriter() : m_bytes(kHotSpotRecordSize, 0) {}
    void u8(std::size_t at, std::uint8_t v) { m_bytes[at] = v; }
    void u16(std::size_t at, std::uint16_t v)
    {
        m_bytes[at] = std::uint8_t(v);
        m_bytes[at + 1] = std::uint8_t(v >> 8);
    }
    void i16(std::size_t at, std::int16_t v) { u16(at, std::uint16_t(v)); }
    void u32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    }
    void f32(std::size_t at, float f)
    {
        std::uint32_t v;
        std::memcpy(&v, &f, 4);
        u32(at, v);
    }
    Bytes take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

class RecordReader {
public:
    explicit RecordReader(std::span<const std::uint8_t> b) : m_b(b) {}
    std::uint8_t u8(std::size_t at) const { return m_b[at]; }
    std::int16_t i16(std::size_t at) const { return std::int16_t(m_b[at] | (m_b[at + 1] << 8)); }
    std::uint32_t u32(std::size_t at) const
    {
        return std::uint32_t(m_b[at]) | (std::uint32_t(m_b[at + 1]) << 8) | (std::uint32_t(m_b[at + 2]) << 16) |
               (std::uint32_t(m_b[at + 3]) << 24);
    }
    float f32(std::size_t at) const
    {
        const std::uint32_t v = u32(at);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }

private:
    std::span<const std::uint8_t> m_b;
};

void writeView(RecordWriter& w, std::size_t flagsAt, std::size_t valuesAt, const LinkView& v)
{
    w.u8(flagsAt, v.panSet);
    w.u8(flagsAt + 1, v.tiltSet);
    w.u8(flagsAt + 2, v.fieldOfViewSet);
    w.u8(flagsAt + 3, v.viewCenterSet);
    w.f32(valuesAt, v.pan);
    w.f32(valuesAt + 4, v.tilt);
    w.f32(valuesAt + 8, v.fieldOfView);
    w.i16(valuesAt + 12, v.viewCenter.v);
    w.i16(valuesAt + 14, v.viewCenter.h);
}

LinkView readView(const RecordReader& r, std::size_t flagsAt, std::size_t valuesAt)
{
    LinkView v;
    v.panSet = r.u8(flagsAt) != 0;
    v.tiltSet = r.u8(flagsAt + 1) != 0;
    v.fieldOfViewSet = r.u8(flagsAt + 2) != 0;
    v.viewCenterSet = r.u8(flagsAt + 3) != 0;
    v.pan = r.f32(valuesAt);
    v.tilt = r.f32(valuesAt + 4);
    v.fieldOfView = r.f32(valuesAt + 8);
    v.viewCenter = Point{r.i16(valuesAt + 12), r.i16(valuesAt + 14)};
    return v;
}

std::string pastedString(const AtomContainer& c, OSType type, AtomID id)
{
    const AtomRef a = c.findChildById(AtomContainer::kRoot, type, id);
    if (!a)
        return {};
    auto d = c.data(a);
    std::string s(d.begin(), d.end());
    s = s.substr(0, std::min(s.find('\0'), kMaxPastedString));
    return s;
}

} // namespace

Bytes hotSpotRecordBytes(const HotSpot& h)
{
    RecordWriter w;
    w.i16(0, h.shape);
    w.i16(2, h.id);
    w.i16(4, h.bounds.top);
    w.i16(6, h.bounds.left);
    w.i16(8, h.bounds.bottom);
    w.i16(10, h.bounds.right);
    w.u32(14, h.type);
    w.i16(34, h.viewColumn);
    w.i16(36, h.viewRow);
    w.u8(42, h.customCursors);
    w.i16(44, h.mouseOverCursor);
    w.i16(46, h.mouseDownCursor);
    w.i16(48, h.mouseUpCursor);
    w.i16(50, h.destinationNodeId);
    w.u8(52, h.customLinkView);
    writeView(w, 53, 58, h.linkView);
    writeView(w, 74, 78, h.secondView);
    return w.take();
}

bool hotSpotFromRecordBytes(std::span<const std::uint8_t> bytes, HotSpot& out)
{
    if (bytes.size() < kHotSpotRecordSize)
        return false;
    const RecordReader r(bytes);
    HotSpot h;
    h.shape = r.i16(0);
    h.id = r.i16(2);
    h.bounds = Rect{r.i16(4), r.i16(6), r.i16(8), r.i16(10)};
    h.type = r.u32(14);
    h.viewColumn = r.i16(34);
    h.viewRow = r.i16(36);
    h.customCursors = r.u8(42) != 0;
    h.mouseOverCursor = r.i16(44);
    h.mouseDownCursor = r.i16(46);
    h.mouseUpCursor = r.i16(48);
    h.destinationNodeId = r.i16(50);
    h.customLinkView = r.u8(52) != 0;
    h.linkView = readView(r, 53, 58);
    h.secondView = readView(r, 74, 78);
    out = std::move(h);
    return true;
}

std::optional<Bytes> copySelectedHotSpots(const Node& node, std::int16_t viewColumn, std::int16_t viewRow)
{
    AtomContainer c;
    bool any = false;
    for (std::size_t i = 0; i < node.hotSpots.size(); ++i) {
        const HotSpot& h = node.hotSpots[i];
        if (!h.selected || h.viewColumn != viewColumn || h.viewRow != viewRow)
            continue;
        const AtomID id = AtomID(std::uint16_t(h.id));
        if (c.insertChild(AtomContainer::kRoot, kRecordAtom, AtomID(i + 1), 0, hotSpotRecordBytes(h)))
            continue;
        any = true;
        if (h.shape == HotSpotShape::kRegion && !h.regionData.empty())
            c.insertChild(AtomContainer::kRoot, kRegionAtom, id, 0, h.regionData);
        auto addString = [&](OSType type, const std::string& s) {
            if (s.empty())
                return;
            Bytes b(s.begin(), s.end());
            b.push_back(0);
            c.insertChild(AtomContainer::kRoot, type, id, 0, b);
        };
        addString(kNameAtom, h.name);
        addString(kCommentAtom, h.comment);
        addString(kUrlAtom, h.url);
    }
    if (!any)
        return std::nullopt;
    return c.serialize();
}

PasteResult pasteHotSpots(Node& node, std::span<const std::uint8_t> block, int viewRow, int viewColumn)
{
    PasteResult result;
    AtomContainer c;
    if (OSErr e = AtomContainer::parse(block, c)) {
        result.error = e;
        return result;
    }
    const int count = c.countChildren(AtomContainer::kRoot, kRecordAtom);
    // Every record atom in turn: their IDs are the copied hot spots' positions in their node,
    // which have gaps when the selection had any, so looking them up as 1..count would lose some.
    for (int i = 1; i <= count; ++i) {
        const AtomRef a = c.findChild(AtomContainer::kRoot, kRecordAtom, i);
        HotSpot h;
        if (!a || !hotSpotFromRecordBytes(c.data(a), h))
            continue;
        const AtomID sourceId = AtomID(std::uint16_t(h.id));
        if (h.shape == HotSpotShape::kRegion) {
            if (const AtomRef rgn = c.findChildById(AtomContainer::kRoot, kRegionAtom, sourceId)) {
                auto d = c.data(rgn);
                h.regionData.assign(d.begin(), d.end());
                // A QuickDraw region starts with its size and bounding box.
                ByteReader r(d);
                r.u16();
                const Rect bounds = r.rect();
                if (r.ok())
                    h.bounds = bounds;
            }
        }
        h.name = pastedString(c, kNameAtom, sourceId);
        h.comment = pastedString(c, kCommentAtom, sourceId);
        h.url = pastedString(c, kUrlAtom, sourceId);
        const std::int16_t id = nextFreeHotSpotId(node);
        if (id == 0) {
            result.outOfIds = true;
            break;
        }
        h.id = id;
        if (viewColumn >= 0)
            h.viewColumn = std::int16_t(viewColumn);
        if (viewRow >= 0)
            h.viewRow = std::int16_t(viewRow);
        node.hotSpots.push_back(std::move(h));
        ++result.added;
    }
    return result;
}

} // namespace qm
