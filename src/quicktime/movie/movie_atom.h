#pragma once
// Classic QuickTime atoms (size, type, payload; 64-bit sizes with size 1): a bounds-checked
// iterator over a buffer of atoms, writing helpers, and an atom tree of a whole file for display.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

struct AtomSpan {
    OSType type = 0;
    std::size_t offset = 0;      // of the atom's header within the iterated buffer
    std::size_t headerSize = 8;  // 8, or 16 with a 64-bit size
    std::span<const std::uint8_t> whole;   // header and payload
    std::span<const std::uint8_t> payload;
};

// Walks the atoms of one level. A size of 0 extends to the end of the buffer; fewer than 8 bytes
// left over (for example the 32-bit zero that ends some user data lists) end the walk quietly.
// A size below 8 or beyond the buffer is an error (invalidMovie) and ends the walk.
class AtomIterator {
public:
    explicit AtomIterator(std::span<const std::uint8_t> data) : m_data(data) {}
    bool next(AtomSpan& out);
    OSErr error() const { return m_error; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    OSErr m_error = 0;
};

// Finds the first child of the given type; false when absent (or when the level is malformed).
bool findAtom(std::span<const std::uint8_t> level, OSType type, AtomSpan& out);

// Writes an atom header with a size to be patched by endAtom.
std::size_t beginAtom(ByteWriter& w, OSType type);
void endAtom(ByteWriter& w, std::size_t start);
void writeLeafAtom(ByteWriter& w, OSType type, std::span<const std::uint8_t> payload);

// An atom the model does not interpret, kept whole so that it survives a read and write. `after`
// is the type of the atom it followed in its container (none when it came first), which puts it
// back in its place among the atoms the writer produces.
struct KeptAtom {
    std::optional<OSType> after;
    Bytes bytes;
    OSType type() const { return bytes.size() >= 8 ? loadBE32(bytes.data() + 4) : 0; }
    friend bool operator==(const KeptAtom&, const KeptAtom&) = default;
};

// Keeps an atom read from a container. A size field of 0 ("to the end of the container") is
// replaced by the real size, which stays true wherever the atom is written.
KeptAtom keepAtom(const AtomSpan& atom, std::optional<OSType> after);

// Writes kept atoms between the atoms of one container: construct it before the first atom (it
// writes those that came first), call after(type) behind every atom written, and finish() for
// any whose predecessor was not written this time.
class KeptAtomWriter {
public:
    KeptAtomWriter(ByteWriter& w, const std::vector<KeptAtom>& kept);
    // Writes the kept atoms that followed an atom of this type (none: those that came first).
    void after(std::optional<OSType> type);
    void finish();

private:
    ByteWriter& m_w;
    const std::vector<KeptAtom>& m_kept;
    std::vector<bool> m_done;
    struct Pending {
        std::vector<std::size_t> list;
        std::size_t next = 0;
    };
    std::unordered_map<std::uint64_t, Pending> m_byPredecessor;
};

// Atom containers whose payload is a list of atoms, and the two whose list follows a
// version/flags word and an entry count ('stsd', 'dref').
bool isContainerAtom(OSType type);
bool isTableOfAtoms(OSType type);

// Inflates the payload of a 'cmov' atom ('dcom' naming 'zlib', then 'cmvd' with the inflated
// size and the zlib stream). The result is a whole 'moov' atom. Errors: invalidMovie for a
// damaged structure, an unknown method or an inflated size the stream could not produce.
OSErr inflateCompressedMovie(std::span<const std::uint8_t> cmovPayload, Bytes& moov);

// The atom tree of a file for display: top-level atoms are read by their headers only; the movie
// atom is read whole and its known containers are opened, including a compressed movie header,
// whose inflated atoms appear below the 'cmvd' atom with offsets inside the inflated buffer.
struct AtomNode {
    OSType type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    bool inflated = false;   // lies in an inflated compressed movie header
    std::vector<AtomNode> children;
};
OSErr readAtomTree(const std::filesystem::path& file, std::vector<AtomNode>& out);

} // namespace qm
