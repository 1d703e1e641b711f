#include "quicktime/movie/movie_atom.h"

#include <zlib.h>

#include <algorithm>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie_storage.h"

namespace qm {

bool AtomIterator::next(AtomSpan& out)
{
    if (m_error || m_data.size() - m_pos < 8) {
        m_pos = m_data.size();
        return false;
    }
    const std::uint8_t* p = m_data.data() + m_pos;
    std::uint64_t size = loadBE32(p);
    std::size_t header = 8;
    std::size_t left = m_data.size() - m_pos;
    if (size == 1) {
        if (left < 16) {
            m_error = err::invalidMovie;
            return false;
        }
        size = (std::uint64_t(loadBE32(p + 8)) << 32) | loadBE32(p + 12);
        header = 16;
    } else if (size == 0) {
        size = left;
    }
    if (size < header || size > left) {
        m_error = err::invalidMovie;
        m_pos = m_data.size();
        return false;
    }
    out.type = loadBE32(p + 4);
    out.offset = m_pos;
    out.headerSize = header;
    out.whole = m_data.subspan(m_pos, std::size_t(size));
    out.payload = out.whole.subspan(header);
    m_pos += std::size_t(size);
    return true;
}

bool findAtom(std::span<const std::uint8_t> level, OSType type, AtomSpan& out)
{
    AtomIterator it(level);
    AtomSpan a;
    while (it.next(a)) {
        if (a.type == type) {
            out = a;
            return true;
        }
    }
    return false;
}

std::size_t beginAtom(ByteWriter& w, OSType type)
{
    std::size_t start = w.size();
    w.u32(0);
    w.type(type);
    return start;
}

void endAtom(ByteWriter& w, std::size_t start) { w.putU32At(start, std::uint32_t(w.size() - start)); }

void writeLeafAtom(ByteWriter& w, OSType type, std::span<const std::uint8_t> payload)
{
    w.u32(std::uint32_t(8 + payload.size()));
    w.type(type);
    w.bytes(payload);
}

namespace {
// Map key of a predecessor type; one value above every four-character code stands for none.
std::uint64_t predecessorKey(std::optional<OSType> type) { return type ? *type : std::uint64_t(1) << 32; }
} // namespace

KeptAtom keepAtom(const AtomSpan& atom, std::optional<OSType> after)
{
    KeptAtom k{after, Bytes(atom.whole.begin(), atom.whole.end())};
    if (atom.headerSize == 8 && loadBE32(k.bytes.data()) == 0)
        storeBE32(k.bytes.data(), std::uint32_t(k.bytes.size()));
    return k;
}

KeptAtomWriter::KeptAtomWriter(ByteWriter& w, const std::vector<KeptAtom>& kept)
    : m_w(w), m_kept(kept), m_done(kept.size(), false)
{
    for (std::size_t i = 0; i < kept.size(); ++i)
        m_byPredecessor[predecessorKey(kept[i].after)].list.push_back(i);
    after(std::nullopt);
}

void KeptAtomWriter::after(std::optional<OSType> type)
{
    auto it = m_byPredecessor.find(predecessorKey(type));
    if (it == m_byPredecessor.end())
        return;
    auto& pending = it->second;
    while (pending.next < pending.list.size()) {
        std::size_t i = pending.list[pending.next++];
        if (m_done[i])
            continue;
        // Atoms that followed each other in the file stay together.
        m_done[i] = true;
        m_w.bytes(m_kept[i].bytes);
        for (std::size_t j = i + 1; j < m_kept.size() && !m_done[j] && m_kept[j].after == m_kept[j - 1].type();
             ++j) {
            m_done[j] = true;
            m_w.bytes(m_kept[j].bytes);
        }
        return;
    }
}

void KeptAtomWriter::finish()
{
    for (std::size_t i = 0; i < m_kept.size(); ++i) {
        if (!m_done[i]) {
            m_done[i] = true;
            m_w.bytes(m_kept[i].bytes);
        }
    }
}

bool isContainerAtom(OSType type)
{
    static constexpr OSType containers[] = {
        fourCC("moov"), fourCC("trak"), fourCC("mdia"), fourCC("minf"), fourCC("stbl"), fourCC("dinf"),
        fourCC("edts"), fourCC("udta"), fourCC("tref"), fourCC("gmhd"), fourCC("cmov"), fourCC("clip"),
        fourCC("matt"), fourCC("mvex"), fourCC("moof"), fourCC("traf"), fourCC("mfra"), fourCC("imap"),
        fourCC("tapt")};
    return std::find(std::begin(containers), std::end(containers), type) != std::end(containers);
}

bool isTableOfAtoms(OSType type) { return type == fourCC("stsd") || type == fourCC("dref"); }

OSErr inflateCompressedMovie(std::span<const std::uint8_t> cmovPayload, Bytes& moov)
{
    // zlib cannot expand data by more than about 1032 to 1; a larger announced size is a lie
    // that must not turn into an allocation.
    constexpr std::uint64_t maxRatio = 1040;
    constexpr std::uint64_t maxInflated = std::uint64_t(1) << 30;
    AtomSpan dcom, cmvd;
    if (!findAtom(cmovPayload, fourCC("dcom"), dcom) || !findAtom(cmovPayload, fourCC("cmvd"), cmvd))
        return err::invalidMovie;
    if (dcom.payload.size() < 4 || loadBE32(dcom.payload.data()) != fourCC("zlib"))
        return err::invalidMovie;
    if (cmvd.payload.size() < 4)
        return err::invalidMovie;
    std::uint64_t inflated = loadBE32(cmvd.payload.data());
    auto stream = cmvd.payload.subspan(4);
    if (inflated < 8 || inflated > maxInflated || inflated > stream.size() * maxRatio + 64)
        return err::invalidMovie;
    moov.assign(std::size_t(inflated), 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return err::memFullErr;
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = moov.data();
    z.avail_out = uInt(moov.size());
    int rc = inflate(&z, Z_FINISH);
    bool complete = rc == Z_STREAM_END && z.avail_out == 0;
    inflateEnd(&z);
    if (!complete) {
        moov.clear();
        return err::invalidMovie;
    }
    return err::noErr;
}

namespace {

constexpr int maxTreeDepth = 16;

void addChildren(std::span<const std::uint8_t> level, std::uint64_t base, bool inflated, int depth,
                 std::vector<AtomNode>& out);

void openAtom(const AtomSpan& a, std::uint64_t base, bool inflated, int depth, AtomNode& node)
{
    if (depth >= maxTreeDepth)
        return;
    std::uint64_t payloadBase = base + a.offset + a.headerSize;
    if (isContainerAtom(a.type)) {
        addChildren(a.payload, payloadBase, inflated, depth + 1, node.children);
    } else if (isTableOfAtoms(a.type) && a.payload.size() >= 8) {
        addChildren(a.payload.subspan(8), payloadBase + 8, inflated, depth + 1, node.children);
    }
}

void addChildren(std::span<const std::uint8_t> level, std::uint64_t base, bool inflated, int depth,
                 std::vector<AtomNode>& out)
{
    AtomIterator it(level);
    AtomSpan a;
    while (it.next(a)) {
        AtomNode node;
        node.type = a.type;
        node.offset = base + a.offset;
        node.size = a.whole.size();
        node.inflated = inflated;
        if (a.type == fourCC("cmov") && depth < maxTreeDepth) {
            addChildren(a.payload, base + a.offset + a.headerSize, inflated, depth + 1, node.children);
            // The inflated movie atom lies outside the file; its offsets count from its own start.
            Bytes moov;
            if (!inflated && inflateCompressedMovie(a.payload, moov) == err::noErr) {
                for (auto& child : node.children) {
                    if (child.type == fourCC("cmvd"))
                        addChildren(moov, 0, true, depth + 2, child.children);
                }
            }
        } else {
            openAtom(a, base, inflated, depth, node);
        }
        out.push_back(std::move(node));
    }
}

} // namespace

OSErr readAtomTree(const std::filesystem::path& file, std::vector<AtomNode>& out)
{
    out.clear();
    std::unique_ptr<DataFile> f;
    if (OSErr e = DataFile::open(file, DataFile::Mode::read, f))
        return e;
    std::uint64_t pos = 0, end = f->size();
    while (end - pos >= 8) {
        std::uint8_t h[16];
        if (OSErr e = f->read(pos, h, 8))
            return e;
        std::uint64_t size = loadBE32(h);
        std::uint32_t header = 8;
        if (size == 1) {
            if (end - pos < 16 || f->read(pos + 8, h + 8, 8) != err::noErr)
                return err::invalidMovie;
            size = (std::uint64_t(loadBE32(h + 8)) << 32) | loadBE32(h + 12);
            header = 16;
        } else if (size == 0) {
            size = end - pos;
        }
        AtomNode node;
        node.type = loadBE32(h + 4);
        node.offset = pos;
        node.size = size;
        if (size < header) {
            out.push_back(node);
            return err::invalidMovie;
        }
        // A truncated last atom (typically media data) is listed with the size it claims.
        if (node.type == fourCC("moov") && size <= end - pos) {
            Bytes moov(static_cast<std::size_t>(size));
            if (OSErr e = f->read(pos, moov.data(), moov.size()))
                return e;
            AtomSpan a;
            AtomIterator it(moov);
            if (it.next(a))
                addChildren(a.payload, pos + header, false, 1, node.children);
        }
        out.push_back(std::move(node));
        if (size > end - pos)
            break;
        pos += size;
    }
    return err::noErr;
}

} // namespace qm
