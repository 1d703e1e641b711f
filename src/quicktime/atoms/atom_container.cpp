#include "quicktime/atoms/atom_container.h"

#include <algorithm>
#include <limits>

#include "quicktime/base/errors.h"

namespace qm {

namespace {

// Leaf data is limited so that every atom size still fits the 32-bit size field.
constexpr std::size_t kMaxLeafData = std::numeric_limits<std::uint32_t>::max() - 1024;

} // namespace

AtomContainer::AtomContainer()
{
    m_atoms.push_back(Entry{kRootType, 1, -1, true, {}, {}});
}

const AtomContainer::Entry* AtomContainer::entry(AtomRef atom) const
{
    if (atom.m_index < 0 || std::size_t(atom.m_index) >= m_atoms.size())
        return nullptr;
    const Entry& e = m_atoms[std::size_t(atom.m_index)];
    return e.live ? &e : nullptr;
}

AtomContainer::Entry* AtomContainer::entry(AtomRef atom)
{
    return const_cast<Entry*>(static_cast<const AtomContainer*>(this)->entry(atom));
}

bool AtomContainer::isValid(AtomRef atom) const { return entry(atom) != nullptr; }

OSType AtomContainer::type(AtomRef atom) const
{
    auto e = entry(atom);
    return e ? e->type : 0;
}

AtomID AtomContainer::id(AtomRef atom) const
{
    auto e = entry(atom);
    return e ? e->id : 0;
}

AtomRef AtomContainer::parent(AtomRef atom) const
{
    auto e = entry(atom);
    return e ? AtomRef(e->parent) : AtomRef();
}

int AtomContainer::index(AtomRef atom) const
{
    auto e = entry(atom);
    if (!e || e->parent < 0)
        return 0;
    int n = 0;
    for (auto c : m_atoms[std::size_t(e->parent)].children) {
        if (m_atoms[std::size_t(c)].type == e->type)
            ++n;
        if (c == atom.m_index)
            return n;
    }
    return 0;
}

int AtomContainer::countChildren(AtomRef parent) const
{
    auto e = entry(parent);
    return e ? int(e->children.size()) : 0;
}

int AtomContainer::countChildren(AtomRef parent, OSType type) const
{
    auto e = entry(parent);
    if (!e)
        return 0;
    return int(std::count_if(e->children.begin(), e->children.end(),
                             [&](std::int32_t c) { return m_atoms[std::size_t(c)].type == type; }));
}

AtomRef AtomContainer::findChild(AtomRef parent, OSType type, int index) const
{
    auto e = entry(parent);
    if (!e || index < 1)
        return {};
    for (auto c : e->children)
        if (m_atoms[std::size_t(c)].type == type && --index == 0)
            return AtomRef(c);
    return {};
}

AtomRef AtomContainer::findChildById(AtomRef parent, OSType type, AtomID id) const
{
    auto e = entry(parent);
    if (!e)
        return {};
    for (auto c : e->children) {
        const Entry& child = m_atoms[std::size_t(c)];
        if (child.type == type && child.id == id)
            return AtomRef(c);
    }
    return {};
}

AtomRef AtomContainer::childAt(AtomRef parent, int position) const
{
    auto e = entry(parent);
    if (!e || position < 1 || std::size_t(position) > e->children.size())
        return {};
    return AtomRef(e->children[std::size_t(position) - 1]);
}

std::span<const std::uint8_t> AtomContainer::data(AtomRef atom) const
{
    auto e = entry(atom);
    return e ? std::span<const std::uint8_t>(e->data) : std::span<const std::uint8_t>();
}

OSErr AtomContainer::setData(AtomRef atom, std::span<const std::uint8_t> data)
{
    Entry* e = entry(atom);
    if (!e || atom == kRoot)
        return err::invalidAtomErr;
    if (!e->children.empty())
        return err::notLeafAtomErr;
    if (data.size() > kMaxLeafData)
        return err::paramErr;
    e->data.assign(data.begin(), data.end());
    return err::noErr;
}

std::int32_t AtomContainer::addEntry(OSType type, AtomID id, std::int32_t parent)
{
    m_atoms.push_back(Entry{type, id, parent, true, {}, {}});
    return std::int32_t(m_atoms.size() - 1);
}

AtomID AtomContainer::uniqueId(const Entry& parent, OSType type) const
{
    std::vector<AtomID> used;
    for (auto c : parent.children)
        if (m_atoms[std::size_t(c)].type == type)
            used.push_back(m_atoms[std::size_t(c)].id);
    if (used.empty())
        return 1;
    AtomID highest = *std::max_element(used.begin(), used.end());
    if (highest < std::numeric_limits<AtomID>::max())
        return highest + 1;
    // The top of the range is taken: use the smallest free ID instead.
    std::sort(used.begin(), used.end());
    AtomID candidate = 1;
    for (AtomID u : used) {
        if (u == candidate)
            ++candidate;
        else if (u > candidate)
            break;
    }
    return candidate;
}

OSErr AtomContainer::insertChild(AtomRef parent, OSType type, AtomID id, int index,
                                 std::span<const std::uint8_t> data, AtomRef* inserted)
{
    if (inserted)
        *inserted = {};
    Entry* p = entry(parent);
    if (!p)
        return err::invalidAtomErr;
    if (!p->data.empty())
        return err::cannotBeLeafAtomErr;
    if (p->children.size() >= std::size_t(kMaxChildren) || data.size() > kMaxLeafData)
        return err::paramErr;
    if (index < 0)
        return err::atomIndexInvalidErr;
    int sameType = index > 0 ? countChildren(parent, type) : 0;
    if (index > sameType + 1)
        return err::atomIndexInvalidErr;
    if (id == 0)
        id = uniqueId(*p, type);
    else if (findChildById(parent, type, id))
        return err::duplicateAtomTypeAndIDErr;

    // Physical position: just before the index-th atom of this type, or after all children.
    std::size_t at = p->children.size();
    if (index >= 1 && index <= sameType) {
        int n = 0;
        for (std::size_t i = 0; i < p->children.size(); ++i) {
            if (m_atoms[std::size_t(p->children[i])].type == type && ++n == index) {
                at = i;
                break;
            }
        }
    }
    std::int32_t parentIndex = parent.m_index;
    std::int32_t child = addEntry(type, id, parentIndex); // may reallocate: p is stale now
    m_atoms[std::size_t(child)].data.assign(data.begin(), data.end());
    auto& siblings = m_atoms[std::size_t(parentIndex)].children;
    siblings.insert(siblings.begin() + std::ptrdiff_t(at), child);
    if (inserted)
        *inserted = AtomRef(child);
    return err::noErr;
}

void AtomContainer::kill(std::int32_t index)
{
    Entry& e = m_atoms[std::size_t(index)];
    for (auto c : e.children)
        kill(c);
    e.live = false;
    e.children.clear();
    e.children.shrink_to_fit();
    e.data.clear();
    e.data.shrink_to_fit();
}

OSErr AtomContainer::removeAtom(AtomRef atom)
{
    Entry* e = entry(atom);
    if (!e)
        return err::invalidAtomErr;
    if (atom == kRoot)
        return err::paramErr;
    auto& siblings = m_atoms[std::size_t(e->parent)].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), atom.m_index));
    kill(atom.m_index);
    return err::noErr;
}

OSErr AtomContainer::removeChildren(AtomRef parent, OSType type)
{
    Entry* p = entry(parent);
    if (!p)
        return err::invalidAtomErr;
    std::vector<std::int32_t> keep;
    for (auto c : p->children) {
        if (type == 0 || m_atoms[std::size_t(c)].type == type)
            kill(c);
        else
            keep.push_back(c);
    }
    m_atoms[std::size_t(parent.m_index)].children = std::move(keep);
    return err::noErr;
}

void AtomContainer::copySubtree(const AtomContainer& source, std::int32_t from, std::int32_t toParent)
{
    const Entry& s = source.m_atoms[std::size_t(from)];
    std::int32_t copy = addEntry(s.type, s.id, toParent);
    m_atoms[std::size_t(copy)].data = s.data;
    m_atoms[std::size_t(toParent)].children.push_back(copy);
    for (auto c : s.children)
        copySubtree(source, c, copy);
}

OSErr AtomContainer::copyChildren(const AtomContainer& source, AtomRef sourceParent, AtomRef targetParent)
{
    if (&source == this) {
        // Copying within one container (possibly into the copied subtree itself): work from a
        // snapshot so the walk does not see its own additions.
        AtomContainer snapshot = source;
        return copyChildren(snapshot, sourceParent, targetParent);
    }
    const Entry* from = source.entry(sourceParent);
    Entry* to = entry(targetParent);
    if (!from || !to)
        return err::invalidAtomErr;
    if (from->children.empty())
        return err::noErr;
    if (!to->data.empty())
        return err::cannotBeLeafAtomErr;
    if (to->children.size() + from->children.size() > std::size_t(kMaxChildren))
        return err::paramErr;
    std::vector<std::pair<OSType, AtomID>> keys;
    for (auto c : to->children)
        keys.emplace_back(m_atoms[std::size_t(c)].type, m_atoms[std::size_t(c)].id);
    for (auto c : from->children) {
        std::pair<OSType, AtomID> key(source.m_atoms[std::size_t(c)].type, source.m_atoms[std::size_t(c)].id);
        if (std::find(keys.begin(), keys.end(), key) != keys.end())
            return err::duplicateAtomTypeAndIDErr;
        keys.push_back(key);
    }
    for (auto c : from->children)
        copySubtree(source, c, targetParent.m_index);
    return err::noErr;
}

OSErr AtomContainer::parseChildren(ByteReader& r, std::size_t payload, std::uint32_t count,
                                   std::int32_t parent, int depth)
{
    std::size_t end = r.pos() + payload;
    // Each child needs at least a header: never reserve more than the bytes can hold.
    m_atoms[std::size_t(parent)].children.reserve(std::min<std::size_t>(count, payload / kAtomHeaderSize));
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t left = end - r.pos();
        if (left < kAtomHeaderSize)
            return err::eofErr;
        std::uint32_t size = r.u32();
        OSType type = r.u32();
        AtomID id = r.u32();
        r.u16(); // reserved
        std::uint16_t children = r.u16();
        r.u32(); // reserved
        if (size < kAtomHeaderSize)
            return err::invalidAtomContainerErr;
        if (size > left)
            return err::eofErr;
        std::int32_t child = addEntry(type, id, parent);
        m_atoms[std::size_t(parent)].children.push_back(child);
        std::size_t body = size - kAtomHeaderSize;
        if (children == 0) {
            auto bytes = r.bytes(body);
            m_atoms[std::size_t(child)].data.assign(bytes.begin(), bytes.end());
        } else {
            if (depth + 1 > kMaxDepth)
                return err::invalidAtomContainerErr;
            if (OSErr e = parseChildren(r, body, children, child, depth + 1))
                return e;
        }
        if (!r.ok())
            return err::eofErr;
    }
    // A parent's payload is exactly its children.
    return r.pos() == end ? err::noErr : err::invalidAtomContainerErr;
}

OSErr AtomContainer::parse(std::span<const std::uint8_t> bytes, AtomContainer& out)
{
    if (bytes.size() < kContainerHeaderSize + kAtomHeaderSize)
        return err::eofErr;
    ByteReader r(bytes);
    r.skip(kContainerHeaderSize); // reserved bytes and the in-memory lock count
    std::uint32_t size = r.u32();
    OSType type = r.u32();
    AtomID id = r.u32();
    r.u16();
    std::uint16_t children = r.u16();
    r.u32();
    if (size < kAtomHeaderSize)
        return err::invalidAtomContainerErr;
    if (size > bytes.size() - kContainerHeaderSize)
        return err::eofErr;
    if (children == 0 && size != kAtomHeaderSize)
        return err::invalidAtomContainerErr; // the root never holds data

    AtomContainer result;
    result.m_atoms[0].type = type;
    result.m_atoms[0].id = id;
    if (OSErr e = result.parseChildren(r, size - kAtomHeaderSize, children, 0, 1))
        return e;
    out = std::move(result);
    return err::noErr;
}

std::size_t AtomContainer::atomSize(std::int32_t index) const
{
    const Entry& e = m_atoms[std::size_t(index)];
    std::size_t size = kAtomHeaderSize + e.data.size();
    for (auto c : e.children)
        size += atomSize(c);
    return size;
}

std::size_t AtomContainer::serializedSize() const { return kContainerHeaderSize + atomSize(0); }

void AtomContainer::serializeAtom(std::int32_t index, ByteWriter& w) const
{
    const Entry& e = m_atoms[std::size_t(index)];
    std::size_t start = w.size();
    w.u32(0); // size, patched below
    w.type(e.type);
    w.u32(e.id);
    w.u16(0);
    w.u16(std::uint16_t(e.children.size()));
    w.u32(0);
    w.bytes(e.data);
    for (auto c : e.children)
        serializeAtom(c, w);
    w.putU32At(start, std::uint32_t(w.size() - start));
}

Bytes AtomContainer::serialize() const
{
    ByteWriter w(serializedSize());
    w.zeros(kContainerHeaderSize);
    serializeAtom(0, w);
    return w.take();
}

} // namespace qm
