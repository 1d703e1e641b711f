#pragma once
// QuickTime atom containers ("QT atoms"): a tree of typed, numbered atoms, each holding either
// data or children, kept in memory as a tree and converted to and from the exact serialized
// form that files carry (12-byte container header, a root atom, 20-byte atom headers, all
// big-endian).
#include <cstdint>
#include <span>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

using AtomID = std::uint32_t;

// Names one atom of one container. A reference stays valid until that atom (or an ancestor) is
// removed; edits elsewhere in the container do not disturb it. The null reference names nothing.
class AtomRef {
public:
    constexpr AtomRef() = default;
    constexpr bool isNull() const { return m_index < 0; }
    constexpr explicit operator bool() const { return m_index >= 0; }
    friend constexpr bool operator==(AtomRef, AtomRef) = default;

private:
    friend class AtomContainer;
    constexpr explicit AtomRef(std::int32_t index) : m_index(index) {}
    std::int32_t m_index = -1;
};

class AtomContainer {
public:
    // "The container itself": the parent of the top-level atoms.
    static constexpr AtomRef kRoot{0};
    static constexpr OSType kRootType = fourCC("sean");
    static constexpr std::size_t kContainerHeaderSize = 12;
    static constexpr std::size_t kAtomHeaderSize = 20;
    // Real containers nest a handful of levels; anything deeper is treated as damage.
    static constexpr int kMaxDepth = 64;
    static constexpr int kMaxChildren = 0xFFFF; // the serialized child count is 16 bits

    AtomContainer();

    // Reads a serialized container. Bytes after the root atom are ignored (media samples are
    // sometimes padded). Errors: err::eofErr when a size or child count claims more bytes than
    // there are, err::invalidAtomContainerErr for any other malformed structure. On error `out`
    // is left unchanged.
    static OSErr parse(std::span<const std::uint8_t> bytes, AtomContainer& out);
    Bytes serialize() const;
    std::size_t serializedSize() const;

    bool isValid(AtomRef atom) const;
    OSType type(AtomRef atom) const;  // 0 for an invalid reference
    AtomID id(AtomRef atom) const;    // 0 for an invalid reference
    AtomRef parent(AtomRef atom) const;
    // 1-based position among the siblings of the same type; 0 for the root or an invalid atom.
    int index(AtomRef atom) const;

    int countChildren(AtomRef parent) const;
    int countChildren(AtomRef parent, OSType type) const;
    // By 1-based index among the children of that type; null when absent.
    AtomRef findChild(AtomRef parent, OSType type, int index = 1) const;
    AtomRef findChildById(AtomRef parent, OSType type, AtomID id) const;
    // By 1-based position among all children in stored order (for walking a tree).
    AtomRef childAt(AtomRef parent, int position) const;

    // A leaf's data; empty for parents and invalid references.
    std::span<const std::uint8_t> data(AtomRef atom) const;
    // Replaces a leaf's data (empty data removes it). err::invalidAtomErr for an invalid atom,
    // err::notLeafAtomErr for an atom with children.
    OSErr setData(AtomRef atom, std::span<const std::uint8_t> data);

    // Inserts a new atom under `parent`. id 0 picks an ID not used by the parent's children of
    // that type. index is the new atom's 1-based position among those children: 1 makes it the
    // first of its type, 0 (or one past the last) appends it after all children.
    // Errors: err::invalidAtomErr (bad parent), err::cannotBeLeafAtomErr (parent holds data),
    // err::duplicateAtomTypeAndIDErr, err::atomIndexInvalidErr, err::paramErr (too many
    // children or too much data).
    OSErr insertChild(AtomRef parent, OSType type, AtomID id, int index,
                      std::span<const std::uint8_t> data = {}, AtomRef* inserted = nullptr);
    // Removes an atom with all its descendants. The root cannot be removed (err::paramErr).
    OSErr removeAtom(AtomRef atom);
    // Removes the parent's children of one type, or all of them when type is 0.
    OSErr removeChildren(AtomRef parent, OSType type = 0);
    // Appends deep copies of every child of sourceParent (in `source`, which may be this very
    // container) under targetParent. All or nothing: a clash of (type, ID) with an existing child
    // gives err::duplicateAtomTypeAndIDErr and changes nothing.
    OSErr copyChildren(const AtomContainer& source, AtomRef sourceParent, AtomRef targetParent);

private:
    struct Entry {
        OSType type = 0;
        AtomID id = 0;
        std::int32_t parent = -1;
        bool live = true;
        std::vector<std::int32_t> children;
        Bytes data;
    };

    const Entry* entry(AtomRef atom) const;
    Entry* entry(AtomRef atom);
    std::int32_t addEntry(OSType type, AtomID id, std::int32_t parent);
    AtomID uniqueId(const Entry& parent, OSType type) const;
    void kill(std::int32_t index);
    OSErr parseChildren(ByteReader& r, std::size_t payload, std::uint32_t count, std::int32_t parent,
                        int depth);
    void serializeAtom(std::int32_t index, ByteWriter& w) const;
    std::size_t atomSize(std::int32_t index) const;
    void copySubtree(const AtomContainer& source, std::int32_t from, std::int32_t toParent);

    std::vector<Entry> m_atoms; // [0] is the root; removed atoms stay as dead slots
};

} // namespace qm
