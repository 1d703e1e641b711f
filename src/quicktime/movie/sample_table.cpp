#include "quicktime/movie/sample_table.h"

#include <algorithm>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie_atom.h"

namespace qm {

namespace {

constexpr OSType kStts = fourCC("stts");
constexpr OSType kCtts = fourCC("ctts");
constexpr OSType kStss = fourCC("stss");
constexpr OSType kStsc = fourCC("stsc");
constexpr OSType kStsz = fourCC("stsz");
constexpr OSType kStz2 = fourCC("stz2");
constexpr OSType kStco = fourCC("stco");
constexpr OSType kCo64 = fourCC("co64");

// Tables built from per-sample values are expanded only up to this many samples; beyond it an
// edit that needs the expansion fails with memFullErr instead of allocating gigabytes.
constexpr std::uint32_t maxExpandedSamples = 1u << 24;
constexpr TimeValue maxMediaDuration = TimeValue(1) << 62;

struct StscEntry {
    std::uint32_t firstChunk, samplesPerChunk, descIndex;
};

// Reads the entry count after the version/flags word and checks that entries of entrySize bytes
// fit in what is left.
bool readCount(ByteReader& r, std::size_t entrySize, std::uint32_t& count)
{
    r.u32();
    count = r.u32();
    return r.ok() && count <= r.remaining() / entrySize;
}

} // namespace

bool SampleTable::isTableAtom(OSType type)
{
    return type == kStts || type == kCtts || type == kStss || type == kStsc || type == kStsz || type == kStz2 ||
           type == kStco || type == kCo64;
}

OSErr SampleTable::parse(std::span<const std::uint8_t> stblPayload, std::uint32_t descriptionCount)
{
    *this = SampleTable();
    AtomSpan stts, ctts, stss, stsc, stsz, stco;
    bool haveStts = findAtom(stblPayload, kStts, stts);
    bool haveCtts = findAtom(stblPayload, kCtts, ctts);
    bool haveStss = findAtom(stblPayload, kStss, stss);
    bool haveStsc = findAtom(stblPayload, kStsc, stsc);
    bool haveStsz = findAtom(stblPayload, kStsz, stsz) || findAtom(stblPayload, kStz2, stsz);
    bool haveStco = findAtom(stblPayload, kStco, stco) || findAtom(stblPayload, kCo64, stco);
    constexpr OSErr bad = err::invalidMovie;

    // Sizes and the sample count.
    if (haveStsz) {
        ByteReader r(stsz.payload);
        if (stsz.type == kStsz) {
            r.u32();
            m_constantSize = r.u32();
            m_sampleCount = r.u32();
            if (!r.ok())
                return bad;
            if (m_constantSize == 0) {
                if (m_sampleCount > r.remaining() / 4)
                    return bad;
                m_sizes.resize(m_sampleCount);
                for (auto& s : m_sizes)
                    s = r.u32();
            }
        } else {
            r.u32();
            r.skip(3);
            unsigned fieldBits = r.u8();
            m_sampleCount = r.u32();
            if (!r.ok() || (fieldBits != 4 && fieldBits != 8 && fieldBits != 16))
                return bad;
            if ((std::uint64_t(m_sampleCount) * fieldBits + 7) / 8 > r.remaining())
                return bad;
            m_sizes.resize(m_sampleCount);
            for (std::uint32_t i = 0; i < m_sampleCount; ++i) {
                if (fieldBits == 16)
                    m_sizes[i] = r.u16();
                else if (fieldBits == 8)
                    m_sizes[i] = r.u8();
                else {
                    std::uint8_t b = r.data()[r.pos()];
                    m_sizes[i] = (i % 2 == 0) ? (b >> 4) : (b & 0x0F);
                    if (i % 2 == 1 || i + 1 == m_sampleCount)
                        r.skip(1);
                }
            }
        }
    }
    if (m_sampleCount == 0) {
        m_constantSize = 0;
        m_sizes.clear();
        return err::noErr;
    }
    if (!haveStts || !haveStsc || !haveStco || descriptionCount == 0)
        return bad;

    // Durations.
    {
        ByteReader r(stts.payload);
        std::uint32_t count;
        if (!readCount(r, 8, count))
            return bad;
        std::uint64_t covered = 0;
        for (std::uint32_t i = 0; i < count && covered < m_sampleCount; ++i) {
            TimeToSampleRun run{r.u32(), r.u32()};
            if (run.count == 0)
                continue;
            run.count = std::uint32_t(std::min<std::uint64_t>(run.count, m_sampleCount - covered));
            covered += run.count;
            m_stts.push_back(run);
        }
        if (covered < m_sampleCount)
            return bad;
        rebuildRunIndex();
        if (m_duration > maxMediaDuration)
            return bad;
    }

    // Composition offsets (MP4-family files); samples past the table get 0.
    if (haveCtts) {
        ByteReader r(ctts.payload);
        m_cttsVersion = r.u8();
        r.seek(0);
        std::uint32_t count;
        if (!readCount(r, 8, count))
            return bad;
        m_hasCtts = true;
        std::uint64_t covered = 0;
        for (std::uint32_t i = 0; i < count && covered < m_sampleCount; ++i) {
            CompositionRun run{r.u32(), r.i32()};
            if (run.count == 0)
                continue;
            run.count = std::uint32_t(std::min<std::uint64_t>(run.count, m_sampleCount - covered));
            m_cttsFirstSample.push_back(std::uint32_t(covered));
            covered += run.count;
            m_ctts.push_back(run);
        }
    }

    // Sync samples (1-based in the file); none listed means every sample is a sync sample.
    if (haveStss) {
        ByteReader r(stss.payload);
        std::uint32_t count;
        if (!readCount(r, 4, count))
            return bad;
        m_hasSyncTable = true;
        m_sync.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t n = r.u32();
            if (n >= 1 && n <= m_sampleCount)
                m_sync.push_back(n - 1);
        }
        std::sort(m_sync.begin(), m_sync.end());
        m_sync.erase(std::unique(m_sync.begin(), m_sync.end()), m_sync.end());
    }

    // Chunk offsets.
    std::vector<std::uint64_t> offsets;
    {
        ByteReader r(stco.payload);
        bool wide = stco.type == kCo64;
        std::uint32_t count;
        if (!readCount(r, wide ? 8 : 4, count))
            return bad;
        offsets.resize(count);
        for (auto& o : offsets)
            o = wide ? r.u64() : r.u32();
    }

    // Sample-to-chunk runs, expanded to one record per chunk.
    {
        ByteReader r(stsc.payload);
        std::uint32_t count;
        if (!readCount(r, 12, count))
            return bad;
        std::vector<StscEntry> entries(count);
        for (auto& e : entries)
            e = {r.u32(), r.u32(), r.u32()};
        if (entries.empty() || entries[0].firstChunk != 1)
            return bad;
        m_chunks.reserve(std::min<std::size_t>(offsets.size(), m_sampleCount));
        std::uint64_t next = 0;
        for (std::size_t i = 0; i < entries.size() && next < m_sampleCount; ++i) {
            const auto& e = entries[i];
            if (i > 0 && e.firstChunk <= entries[i - 1].firstChunk)
                return bad;
            std::uint64_t endChunk = i + 1 < entries.size() ? std::uint64_t(entries[i + 1].firstChunk) - 1
                                                            : offsets.size();
            endChunk = std::min<std::uint64_t>(endChunk, offsets.size());
            if (e.descIndex == 0 || e.descIndex > descriptionCount)
                return bad;
            for (std::uint64_t c = e.firstChunk - 1; c < endChunk && next < m_sampleCount; ++c) {
                if (e.samplesPerChunk == 0)
                    continue;
                Chunk ch;
                ch.offset = offsets[c];
                ch.firstSample = std::uint32_t(next);
                ch.sampleCount = std::uint32_t(std::min<std::uint64_t>(e.samplesPerChunk, m_sampleCount - next));
                ch.descIndex = e.descIndex;
                next += ch.sampleCount;
                m_chunks.push_back(ch);
            }
        }
        if (next < m_sampleCount)
            return bad;
    }
    m_lastChunkBytes = chunkSize(std::uint32_t(m_chunks.size() - 1));
    return err::noErr;
}

void SampleTable::rebuildRunIndex()
{
    m_runFirstSample.resize(m_stts.size());
    m_runStartTime.resize(m_stts.size());
    std::uint64_t first = 0;
    TimeValue time = 0;
    for (std::size_t i = 0; i < m_stts.size(); ++i) {
        m_runFirstSample[i] = std::uint32_t(first);
        m_runStartTime[i] = time;
        first += m_stts[i].count;
        time += TimeValue(m_stts[i].count) * m_stts[i].duration;
    }
    m_duration = time;
}

bool SampleTable::needsCo64() const
{
    for (const auto& c : m_chunks)
        if (c.offset + chunkSize(std::uint32_t(&c - m_chunks.data())) > 0xFFFFFFFFull)
            return true;
    return false;
}

void SampleTable::write(ByteWriter& w, const std::vector<std::uint64_t>* chunkOffsets, bool useCo64) const
{
    // Durations, with neighbouring runs of one duration merged.
    std::vector<TimeToSampleRun> runs;
    for (const auto& r : m_stts) {
        if (!runs.empty() && runs.back().duration == r.duration && runs.back().count <= 0xFFFFFFFFu - r.count)
            runs.back().count += r.count;
        else
            runs.push_back(r);
    }
    auto at = beginAtom(w, kStts);
    w.u32(0);
    w.u32(std::uint32_t(runs.size()));
    for (const auto& r : runs) {
        w.u32(r.count);
        w.u32(r.duration);
    }
    endAtom(w, at);

    if (m_hasCtts) {
        at = beginAtom(w, kCtts);
        w.u32(std::uint32_t(m_cttsVersion) << 24);
        w.u32(std::uint32_t(m_ctts.size()));
        for (const auto& r : m_ctts) {
            w.u32(r.count);
            w.i32(r.offset);
        }
        endAtom(w, at);
    }

    if (m_hasSyncTable) {
        at = beginAtom(w, kStss);
        w.u32(0);
        w.u32(std::uint32_t(m_sync.size()));
        for (auto s : m_sync)
            w.u32(s + 1);
        endAtom(w, at);
    }

    at = beginAtom(w, kStsc);
    w.u32(0);
    std::size_t countAt = w.size();
    w.u32(0);
    std::uint32_t entries = 0;
    for (std::size_t i = 0; i < m_chunks.size(); ++i) {
        const auto& c = m_chunks[i];
        if (i > 0 && c.sampleCount == m_chunks[i - 1].sampleCount && c.descIndex == m_chunks[i - 1].descIndex)
            continue;
        w.u32(std::uint32_t(i + 1));
        w.u32(c.sampleCount);
        w.u32(c.descIndex);
        ++entries;
    }
    w.putU32At(countAt, entries);
    endAtom(w, at);

    at = beginAtom(w, kStsz);
    w.u32(0);
    w.u32(m_constantSize);
    w.u32(m_sampleCount);
    if (m_constantSize == 0)
        for (auto s : m_sizes)
            w.u32(s);
    endAtom(w, at);

    at = beginAtom(w, useCo64 ? kCo64 : kStco);
    w.u32(0);
    w.u32(std::uint32_t(m_chunks.size()));
    for (std::size_t i = 0; i < m_chunks.size(); ++i) {
        std::uint64_t o = chunkOffsets ? (*chunkOffsets)[i] : m_chunks[i].offset;
        if (useCo64)
            w.u64(o);
        else
            w.u32(std::uint32_t(o));
    }
    endAtom(w, at);
}

std::uint64_t SampleTable::chunkSize(std::uint32_t chunk) const
{
    const auto& c = m_chunks[chunk];
    if (m_constantSize)
        return std::uint64_t(m_constantSize) * c.sampleCount;
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < c.sampleCount; ++i)
        sum += m_sizes[c.firstSample + i];
    return sum;
}

std::uint32_t SampleTable::sampleSize(std::uint32_t index) const
{
    if (index >= m_sampleCount)
        return 0;
    return m_constantSize ? m_constantSize : m_sizes[index];
}

TimeValue SampleTable::sampleTime(std::uint32_t index) const
{
    if (m_stts.empty())
        return 0;
    if (index >= m_sampleCount)
        return m_duration;
    auto it = std::upper_bound(m_runFirstSample.begin(), m_runFirstSample.end(), index);
    std::size_t run = std::size_t(it - m_runFirstSample.begin()) - 1;
    return m_runStartTime[run] + TimeValue(index - m_runFirstSample[run]) * m_stts[run].duration;
}

TimeValue SampleTable::sampleDuration(std::uint32_t index) const
{
    if (index >= m_sampleCount || m_stts.empty())
        return 0;
    auto it = std::upper_bound(m_runFirstSample.begin(), m_runFirstSample.end(), index);
    return m_stts[std::size_t(it - m_runFirstSample.begin()) - 1].duration;
}

bool SampleTable::isSync(std::uint32_t index) const
{
    if (!m_hasSyncTable)
        return true;
    return std::binary_search(m_sync.begin(), m_sync.end(), index);
}

bool SampleTable::nextSyncSample(std::uint32_t index, std::uint32_t& out) const
{
    if (index >= m_sampleCount)
        return false;
    if (!m_hasSyncTable) {
        out = index;
        return true;
    }
    auto it = std::lower_bound(m_sync.begin(), m_sync.end(), index);
    if (it == m_sync.end())
        return false;
    out = *it;
    return true;
}

TimeValue SampleTable::displayEnd() const
{
    if (!m_hasCtts || m_ctts.empty())
        return m_duration;
    // Walk the time-to-sample and composition runs side by side.
    TimeValue end = m_duration;
    std::size_t tr = 0, cr = 0;
    std::uint64_t tLeft = m_stts.empty() ? 0 : m_stts[0].count;
    std::uint64_t cLeft = m_ctts[0].count;
    TimeValue time = 0;
    while (tr < m_stts.size() && cr < m_ctts.size()) {
        if (tLeft == 0) {
            if (++tr < m_stts.size())
                tLeft = m_stts[tr].count;
            continue;
        }
        if (cLeft == 0) {
            if (++cr < m_ctts.size())
                cLeft = m_ctts[cr].count;
            continue;
        }
        const std::uint64_t n = std::min(tLeft, cLeft);
        const TimeValue d = m_stts[tr].duration;
        // The last sample of the common stretch ends latest.
        end = std::max(end, time + TimeValue(n) * d + m_ctts[cr].offset);
        time += TimeValue(n) * d;
        tLeft -= n;
        cLeft -= n;
    }
    return end;
}

std::int32_t SampleTable::compositionOffset(std::uint32_t index) const
{
    if (!m_hasCtts || m_ctts.empty())
        return 0;
    auto it = std::upper_bound(m_cttsFirstSample.begin(), m_cttsFirstSample.end(), index);
    std::size_t run = std::size_t(it - m_cttsFirstSample.begin()) - 1;
    if (index - m_cttsFirstSample[run] >= m_ctts[run].count)
        return 0;
    return m_ctts[run].offset;
}

bool SampleTable::sampleAtTime(TimeValue t, std::uint32_t& index) const
{
    if (m_sampleCount == 0 || t < 0)
        return false;
    if (t >= m_duration) {
        index = m_sampleCount - 1;
        return true;
    }
    auto it = std::upper_bound(m_runStartTime.begin(), m_runStartTime.end(), t);
    std::size_t run = std::size_t(it - m_runStartTime.begin()) - 1;
    // Zero-duration runs share their start time with the next run; step back to one that has
    // a duration so that t falls inside it.
    while (run > 0 && m_stts[run].duration == 0)
        --run;
    const auto& r = m_stts[run];
    std::uint64_t within = r.duration ? std::uint64_t(t - m_runStartTime[run]) / r.duration : 0;
    within = std::min<std::uint64_t>(within, r.count - 1);
    index = m_runFirstSample[run] + std::uint32_t(within);
    return true;
}

std::uint32_t SampleTable::chunkOfSample(std::uint32_t index) const
{
    auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), index,
                               [](std::uint32_t i, const Chunk& c) { return i < c.firstSample; });
    return std::uint32_t(it - m_chunks.begin()) - 1;
}

bool SampleTable::sampleInfo(std::uint32_t index, SampleInfo& out) const
{
    if (index >= m_sampleCount || m_chunks.empty())
        return false;
    std::uint32_t chunk = chunkOfSample(index);
    const auto& c = m_chunks[chunk];
    std::uint64_t offset = c.offset;
    if (m_constantSize)
        offset += std::uint64_t(m_constantSize) * (index - c.firstSample);
    else
        for (std::uint32_t i = c.firstSample; i < index; ++i)
            offset += m_sizes[i];
    out.index = index;
    out.time = sampleTime(index);
    out.duration = sampleDuration(index);
    out.size = sampleSize(index);
    out.descIndex = c.descIndex;
    out.sync = isSync(index);
    out.chunk = chunk;
    out.offset = offset;
    out.store = c.store;
    return true;
}

TimeValue SampleTable::append(std::uint64_t offset, ChunkStore store, std::uint32_t sizeEach, std::uint32_t count,
                              std::uint32_t duration, std::uint32_t descIndex, bool sync, std::int32_t compositionOffset)
{
    if (count == 0 || m_sampleCount > 0xFFFFFFFFu - count)
        return -1;
    if (m_duration + TimeValue(count) * duration > maxMediaDuration)
        return -1;
    std::uint64_t newCount = std::uint64_t(m_sampleCount) + count;
    bool keepConstant = m_sampleCount == 0 ? sizeEach > 0 : (m_constantSize != 0 && m_constantSize == sizeEach);
    bool expandSync = m_hasSyncTable || !sync;
    if ((!keepConstant && newCount > maxExpandedSamples) || (expandSync && newCount > maxExpandedSamples))
        return -1;

    std::uint32_t first = m_sampleCount;
    TimeValue time = m_duration;
    // Sizes.
    if (m_sampleCount == 0 && keepConstant) {
        m_constantSize = sizeEach;
    } else if (!keepConstant) {
        if (m_constantSize != 0) {
            m_sizes.assign(m_sampleCount, m_constantSize);
            m_constantSize = 0;
        }
        m_sizes.insert(m_sizes.end(), count, sizeEach);
    }
    // Sync samples.
    if (!sync && !m_hasSyncTable) {
        m_sync.resize(m_sampleCount);
        for (std::uint32_t i = 0; i < m_sampleCount; ++i)
            m_sync[i] = i;
        m_hasSyncTable = true;
    }
    if (sync && m_hasSyncTable)
        for (std::uint32_t i = 0; i < count; ++i)
            m_sync.push_back(first + i);
    // Composition offsets.
    if (compositionOffset != 0 && !m_hasCtts) {
        m_hasCtts = true;
        if (first > 0) {
            m_cttsFirstSample.push_back(0);
            m_ctts.push_back({first, 0});
        }
    }
    if (compositionOffset < 0)
        m_cttsVersion = 1;
    if (m_hasCtts) {
        if (!m_ctts.empty() && m_ctts.back().offset == compositionOffset && m_ctts.back().count <= 0xFFFFFFFFu - count) {
            m_ctts.back().count += count;
        } else {
            m_cttsFirstSample.push_back(first);
            m_ctts.push_back({count, compositionOffset});
        }
    }
    // Durations.
    if (!m_stts.empty() && m_stts.back().duration == duration && m_stts.back().count <= 0xFFFFFFFFu - count) {
        m_stts.back().count += count;
    } else {
        m_stts.push_back({count, duration});
        m_runFirstSample.push_back(first);
        m_runStartTime.push_back(time);
    }
    m_sampleCount = std::uint32_t(newCount);
    m_duration = time + TimeValue(count) * duration;
    // Chunks.
    if (!m_chunks.empty()) {
        auto& last = m_chunks.back();
        if (last.store == store && last.descIndex == descIndex && last.sampleCount <= 0xFFFFFFFFu - count) {
            if (last.offset + m_lastChunkBytes == offset) {
                last.sampleCount += count;
                m_lastChunkBytes += std::uint64_t(sizeEach) * count;
                return time;
            }
        }
    }
    Chunk c;
    c.offset = offset;
    c.firstSample = first;
    c.sampleCount = count;
    c.descIndex = descIndex;
    c.store = store;
    m_chunks.push_back(c);
    m_lastChunkBytes = std::uint64_t(sizeEach) * count;
    return time;
}

void SampleTable::relocateChunk(std::uint32_t chunk, std::uint64_t newOffset, ChunkStore store)
{
    m_chunks[chunk].offset = newOffset;
    m_chunks[chunk].store = store;
}

} // namespace qm
