#include "compose/vr_atoms.h"

#include <algorithm>

#include "project/scene.h"
#include "quicktime/base/legacy_text.h"

namespace qm {

OSType vrNodeTypeForKind(OSType nodeKind)
{
    switch (nodeKind) {
    case NodeKind::kPanorama: return vrNodeType::kPanorama;
    case NodeKind::kObject:
    case NodeKind::kStillImage:
    case NodeKind::kLinearMovie: return vrNodeType::kObject;
    default: return 0;
    }
}

Bytes stringAtomData(std::string_view text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
    ByteWriter w(length + 8);
    w.u16(1);
    w.u16(std::uint16_t(length));
    w.bytes(text.data(), length);
    w.zeros(4); // terminator and padding
    return w.take();
}

OSErr insertStringAtom(AtomContainer& c, AtomRef parent, AtomID id, std::string_view text, AtomID* insertedId)
{
    const StoredText stored = encodeStoredText(text);
    AtomRef atom;
    if (OSErr e = c.insertChild(parent, vrAtom::kString, id, 0, stringAtomData(stored.bytes), &atom))
        return e;
    const AtomID actual = c.id(atom);
    if (insertedId)
        *insertedId = actual;
    const bool ascii = std::all_of(stored.bytes.begin(), stored.bytes.end(), [](char ch) { return std::uint8_t(ch) < 0x80; });
    if (ascii)
        return 0;
    ByteWriter w(4);
    w.u32(textEncodingOf(stored));
    return c.insertChild(parent, vrAtom::kStringEncoding, actual, 0, w.data());
}

void removeStringAtom(AtomContainer& c, AtomRef parent, AtomID id)
{
    for (OSType type : {vrAtom::kString, vrAtom::kStringEncoding})
        if (AtomRef atom = c.findChildById(parent, type, id))
            c.removeAtom(atom);
}

std::string stringAtomText(std::span<const std::uint8_t> data)
{
    ByteReader r(data);
    r.u16();
    const std::size_t length = std::min<std::size_t>(r.u16(), r.remaining());
    if (!r.ok())
        return {};
    auto chars = r.bytes(length);
    return std::string(chars.begin(), chars.end());
}

Bytes worldHeaderData(std::uint32_t nameAtomId, std::uint32_t defaultNodeId)
{
    ByteWriter w(24);
    w.u16(2);
    w.u16(0);
    w.u32(nameAtomId);
    w.u32(defaultNodeId);
    w.zeros(12); // world flags, two reserved
    return w.take();
}

Bytes panoImagingData(ImagingMode mode, std::uint32_t correction, std::uint32_t quality, bool directDraw)
{
    ByteWriter w(56);
    w.u16(2);
    w.u16(0);
    w.u32(std::uint32_t(mode));
    w.u32(7);
    w.u32(correction);
    w.u32(quality);
    w.u32(directDraw ? 1 : 0);
    w.zeros(24 + 8); // imaging properties, two reserved
    return w.take();
}

Bytes nodeLocationData(OSType nodeType)
{
    ByteWriter w(24);
    w.u16(2);
    w.u16(0);
    w.type(nodeType);
    w.zeros(16); // location flags (same file), location data, two reserved
    return w.take();
}

NodeHeader NodeHeader::fromBytes(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, kSize> full{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kSize), full.begin());
    ByteReader r(full);
    NodeHeader h;
    h.majorVersion = r.u16();
    h.minorVersion = r.u16();
    h.nodeType = r.type();
    h.nodeId = r.u32();
    h.nameAtomId = r.u32();
    h.commentAtomId = r.u32();
    h.reserved1 = r.u32();
    h.reserved2 = r.u32();
    return h;
}

Bytes NodeHeader::toBytes() const
{
    ByteWriter w(kSize);
    w.u16(majorVersion);
    w.u16(minorVersion);
    w.type(nodeType);
    w.u32(nodeId);
    w.u32(nameAtomId);
    w.u32(commentAtomId);
    w.u32(reserved1);
    w.u32(reserved2);
    return w.take();
}

std::uint32_t imagingCorrection(std::int16_t setting)
{
    return std::uint32_t(std::clamp<int>(setting, 1, 3) - 1);
}

std::uint32_t imagingQuality(std::int16_t setting)
{
    return std::uint32_t(std::clamp<int>(setting, 1, 3)) * 256;
}

} // namespace qm
