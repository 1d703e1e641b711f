#include "compose/hot_spot_atoms.h"

#include <bitset>

#include "compose/hot_spot_ids.h"
#include "compose/vr_atoms.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/panorama_image.h"

namespace qm {

Bytes hotSpotInfoData(const HotSpot& hotSpot, const Rect& rect)
{
    ByteWriter w(68);
    w.u16(2);
    w.u16(0);
    w.type(hotSpot.type ? hotSpot.type : HotSpotType::kUndefined);
    w.u32(hotSpot.name.empty() ? 0 : 1);
    w.u32(hotSpot.comment.empty() ? 0 : 2);
    // Mouse-over, mouse-down and mouse-up cursor IDs; 0 lets the player choose.
    if (hotSpot.customCursors) {
        w.i32(hotSpot.mouseOverCursor);
        w.i32(hotSpot.mouseDownCursor);
        w.i32(hotSpot.mouseUpCursor);
    } else {
        w.zeros(12);
    }
    // Best pan, tilt, field of view and view centre: the composed movie uses the player's
    // defaults.
    w.zeros(12 + 8);
    w.rect(rect);
    w.zeros(12); // flags, two reserved
    return w.take();
}

namespace {

struct ViewValues {
    std::uint32_t flags = 0;
    float pan = 0, tilt = 0, fieldOfView = 0;
};

ViewValues customView(const LinkView& v)
{
    ViewValues out;
    if (v.panSet) {
        out.flags |= 1;
        out.pan = v.pan;
    }
    if (v.tiltSet) {
        out.flags |= 2;
        out.tilt = v.tilt;
    }
    if (v.fieldOfViewSet) {
        out.flags |= 4;
        out.fieldOfView = v.fieldOfView;
    }
    return out;
}

ViewValues destinationDefaultView(const Scene& scene, std::int16_t destinationId)
{
    ViewValues out{7, 0.0f, 0.0f, 120.0f};
    const Node* dest = findNode(scene, destinationId);
    if (!dest || dest->mediaReference.empty())
        return out;
    if (const auto* pano = std::get_if<PanoramaSampleRecord>(&dest->mediaData)) {
        out.pan = pano->defaultPan;
        out.tilt = pano->defaultTilt;
        out.fieldOfView = pano->defaultFieldOfView;
    } else if (const auto* obj = std::get_if<ObjectSampleRecord>(&dest->mediaData)) {
        out.pan = obj->defaultPan;
        out.tilt = obj->defaultTilt;
        out.fieldOfView = obj->defaultFieldOfView;
    }
    return out;
}

void writeView(ByteWriter& w, const ViewValues& v)
{
    w.u32(v.flags);
    w.f32(v.pan);
    w.f32(v.tilt);
    w.f32(v.fieldOfView);
    w.zeros(8); // view centre
}

} // namespace

Bytes linkHotSpotData(const Scene& scene, const HotSpot& hotSpot)
{
    ViewValues from;
    ViewValues to;
    if (hotSpot.customLinkView) {
        to = customView(hotSpot.linkView);
        from = customView(hotSpot.secondView);
    } else {
        to = destinationDefaultView(scene, hotSpot.destinationNodeId);
    }
    ByteWriter w(72);
    w.u16(2);
    w.u16(0);
    w.u32(std::uint32_t(std::uint16_t(hotSpot.destinationNodeId)));
    writeView(w, from);
    writeView(w, to);
    w.zeros(16); // distance, flags, two reserved
    return w.take();
}

Rect hotSpotImageExtent(const Node& node, const HotSpot& hotSpot, const Rect& imageRect,
                        const Rect& hotSpotImageRect)
{
    const Rect r = mapRect(hotSpot.bounds, imageRect, hotSpotImageRect);
    if (node.kind != NodeKind::kPanorama)
        return r;
    // Cubes and horizontal cylinders store their hot spot tiles upright.
    const auto* pano = std::get_if<PanoramaSampleRecord>(&node.mediaData);
    if (pano && panoramaLayoutOf(*pano) != PanoramaLayout::VerticalCylinder)
        return r;
    // Hot spot tiles are strips of the unrolled panorama turned a quarter turn anticlockwise:
    // a point (h, v) of the unrolled image lands at (v, W - h).
    const int w = hotSpotImageRect.right;
    return makeRect(w - r.right, r.top, w - r.left, r.bottom);
}

OSErr buildHotSpotAtoms(const Scene& scene, const Node& node, const Rect& imageRect, const Rect& hotSpotImageRect,
                        std::optional<AtomContainer>& out)
{
    out.reset();
    if (node.hotSpots.empty())
        return 0;
    AtomContainer& c = out.emplace();
    std::bitset<256> written;
    for (const HotSpot& h : node.hotSpots) {
        // One hot spot may cover pixels in several views of an object under one ID; its atoms
        // come from the first record with that ID.
        if (!isUsableHotSpotId(h.id) || c.findChildById(AtomContainer::kRoot, vrAtom::kHotSpot, AtomID(h.id)))
            continue;
        // A repeated ID (opening a project numbers repeats afresh, but scenes built otherwise
        // may hold them) describes the first hot spot that has it; its pixels act as that one.
        if (written.test(std::size_t(h.id)))
            continue;
        written.set(std::size_t(h.id));
        const Rect extent = hotSpotImageExtent(node, h, imageRect, hotSpotImageRect);
        AtomRef hots;
        if (OSErr e = c.insertChild(AtomContainer::kRoot, vrAtom::kHotSpot, AtomID(h.id), 0, {}, &hots))
            return e;
        // The optional atoms are left out when they cannot be inserted; the hot spot still works.
        if (!h.name.empty())
            insertStringAtom(c, hots, 1, h.name);
        if (!h.comment.empty())
            insertStringAtom(c, hots, 2, h.comment);
        if (h.type == HotSpotType::kUrl && !h.url.empty()) {
            Bytes url(h.url.begin(), h.url.end());
            url.push_back(0);
            c.insertChild(hots, vrAtom::kUrl, 1, 0, url);
        }
        if (h.type == HotSpotType::kLink)
            c.insertChild(hots, vrAtom::kLink, 1, 0, linkHotSpotData(scene, h));
        if (OSErr e = c.insertChild(hots, vrAtom::kHotSpotInfo, 1, 0, hotSpotInfoData(h, extent)))
            return e;
    }
    return 0;
}

} // namespace qm
