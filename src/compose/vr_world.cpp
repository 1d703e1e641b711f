#include "compose/vr_world.h"

#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"

namespace qm {

std::vector<std::size_t> composeOrder(const Scene& scene)
{
    std::vector<std::size_t> order;
    order.reserve(scene.nodes.size());
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < scene.nodes.size(); ++i)
            if (scene.nodes[i].initial == (pass == 0))
                order.push_back(i);
    return order;
}

std::int16_t initialNodeId(const Scene& scene)
{
    for (const Node& n : scene.nodes)
        if (n.initial)
            return n.id;
    return scene.nodes.empty() ? 0 : scene.nodes.front().id;
}

namespace {

OSErr insertImaging(AtomContainer& c, std::uint32_t staticCorrection, std::uint32_t staticQuality,
                    std::uint32_t motionCorrection, std::uint32_t motionQuality)
{
    AtomRef imaging;
    OSErr e = c.insertChild(AtomContainer::kRoot, vrAtom::kImagingParent, 1, 0, {}, &imaging);
    if (!e)
        e = c.insertChild(imaging, vrAtom::kPanoImaging, 1, 0,
                          panoImagingData(ImagingMode::staticMode, staticCorrection, staticQuality, false));
    if (!e)
        e = c.insertChild(imaging, vrAtom::kPanoImaging, 2, 0,
                          panoImagingData(ImagingMode::motion, motionCorrection, motionQuality, true));
    return e;
}

OSErr insertNodeEntry(AtomContainer& c, AtomRef nodeParent, std::uint32_t nodeId, OSType nodeType)
{
    AtomRef entry;
    OSErr e = c.insertChild(nodeParent, vrAtom::kNodeId, nodeId, 0, {}, &entry);
    if (!e)
        e = c.insertChild(entry, vrAtom::kNodeLocation, 1, 1, nodeLocationData(nodeType));
    return e;
}

} // namespace

OSErr buildVrWorld(const Scene& scene, AtomContainer& out)
{
    AtomContainer c;
    OSErr e = 0;
    std::uint32_t nameAtomId = 0;
    if (!scene.name.empty()) {
        e = insertStringAtom(c, AtomContainer::kRoot, 1, scene.name.str());
        nameAtomId = 1;
    }
    if (!e) {
        // Node IDs are positive 16-bit values; the header field is unsigned 32-bit.
        e = c.insertChild(AtomContainer::kRoot, vrAtom::kWorldHeader, 1, 0,
                          worldHeaderData(nameAtomId, std::uint32_t(std::uint16_t(initialNodeId(scene)))));
    }
    if (!e) {
        const ImagingSettings& im = scene.imaging;
        e = insertImaging(c, imagingCorrection(im.staticCorrection), imagingQuality(im.staticQuality),
                          imagingCorrection(im.motionCorrection), imagingQuality(im.motionQuality));
    }
    AtomRef nodeParent;
    if (!e)
        e = c.insertChild(AtomContainer::kRoot, vrAtom::kNodeParent, 1, 0, {}, &nodeParent);
    for (std::size_t i : composeOrder(scene)) {
        if (e)
            break;
        const Node& n = scene.nodes[i];
        e = insertNodeEntry(c, nodeParent, std::uint32_t(std::uint16_t(n.id)), vrNodeTypeForKind(n.kind));
    }
    out = e ? AtomContainer() : std::move(c);
    return e;
}

OSErr buildOneNodeWorld(OSType nodeType, AtomContainer& out)
{
    AtomContainer c;
    OSErr e = c.insertChild(AtomContainer::kRoot, vrAtom::kWorldHeader, 1, 0, worldHeaderData(0, 1));
    if (!e && nodeType == vrNodeType::kPanorama)
        e = insertImaging(c, 2, 768, 2, 256);
    AtomRef nodeParent;
    if (!e)
        e = c.insertChild(AtomContainer::kRoot, vrAtom::kNodeParent, 1, 0, {}, &nodeParent);
    if (!e)
        e = insertNodeEntry(c, nodeParent, 1, nodeType);
    out = e ? AtomContainer() : std::move(c);
    return e;
}

OSErr buildOneNodeHeader(OSType nodeType, AtomContainer& out)
{
    NodeHeader h;
    h.majorVersion = 2;
    h.nodeType = nodeType;
    h.nodeId = 1;
    AtomContainer c;
    const OSErr e = c.insertChild(AtomContainer::kRoot, vrAtom::kNodeHeader, 1, 0, h.toBytes());
    out = e ? AtomContainer() : std::move(c);
    return e;
}

namespace {

// Removes the top-level string atom a header field names and clears the field (also when the
// atom is missing, so that no header names a string that is not there).
void dropStringAtom(AtomContainer& c, std::uint32_t& atomId)
{
    if (atomId == 0)
        return;
    removeStringAtom(c, AtomContainer::kRoot, atomId);
    atomId = 0;
}

OSErr addStringAtom(AtomContainer& c, const std::string& text, std::uint32_t& atomId)
{
    if (text.empty())
        return 0;
    AtomID id = 0;
    const OSErr e = insertStringAtom(c, AtomContainer::kRoot, 0, text, &id);
    if (!e)
        atomId = id;
    return e;
}

} // namespace

OSErr updateNodeHeader(const Node& node, AtomContainer& nodeInfo)
{
    AtomRef headerAtom = nodeInfo.findChild(AtomContainer::kRoot, vrAtom::kNodeHeader);
    NodeHeader h;
    if (!headerAtom) {
        const Bytes zeros(NodeHeader::kSize, 0);
        if (OSErr e = nodeInfo.insertChild(AtomContainer::kRoot, vrAtom::kNodeHeader, 0, 0, zeros, &headerAtom))
            return e;
    } else {
        h = NodeHeader::fromBytes(nodeInfo.data(headerAtom));
    }
    dropStringAtom(nodeInfo, h.nameAtomId);
    dropStringAtom(nodeInfo, h.commentAtomId);
    if (OSErr e = addStringAtom(nodeInfo, node.name.str(), h.nameAtomId))
        return e;
    if (OSErr e = addStringAtom(nodeInfo, node.comment.str(), h.commentAtomId))
        return e;
    h.nodeId = std::uint32_t(std::uint16_t(node.id));
    return nodeInfo.setData(headerAtom, h.toBytes());
}

Bytes qtvrSampleDescription(const AtomContainer& world)
{
    const Bytes container = world.serialize();
    ByteWriter w(container.size() + 16);
    w.u32(std::uint32_t(container.size() + 16));
    w.type(vrNodeType::kQtvr);
    w.zeros(6);
    w.u16(1);
    w.bytes(container);
    return w.take();
}

} // namespace qm
