#pragma once
// A media's sample table kept in the compact forms the file uses (runs of durations, chunks,
// one size per sample or one size for all), so that memory stays proportional to the table's
// bytes in the file even for millions of constant-size sound samples.
#include <cstdint>
#include <span>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie_types.h"

namespace qm {

// Where a chunk's bytes live: in the data reference named by its sample description (for the
// movie's own file: an absolute offset in that file), or in the movie's in-memory overlay of
// samples added while its file cannot be written.
enum class ChunkStore : std::uint8_t { dataRef, overlay };

struct Chunk {
    std::uint64_t offset = 0;
    std::uint32_t firstSample = 0;  // 0-based
    std::uint32_t sampleCount = 0;
    std::uint32_t descIndex = 1;    // 1-based
    ChunkStore store = ChunkStore::dataRef;
};

struct TimeToSampleRun {
    std::uint32_t count = 0;
    std::uint32_t duration = 0;
};

struct CompositionRun {
    std::uint32_t count = 0;
    std::int32_t offset = 0;
};

// Where one sample is and what it is. index is 0-based.
struct SampleInfo {
    std::uint32_t index = 0;
    TimeValue time = 0;
    TimeValue duration = 0;
    std::uint32_t size = 0;
    std::uint32_t descIndex = 1;
    bool sync = true;
    std::uint32_t chunk = 0;        // 0-based chunk index
    std::uint64_t offset = 0;       // in the chunk's store
    ChunkStore store = ChunkStore::dataRef;
};

class SampleTable {
public:
    // The atoms of a 'stbl' payload that make up the table ('stts', 'ctts', 'stss', 'stsc',
    // 'stsz' or 'stz2', 'stco' or 'co64'). descriptionCount bounds the chunks' description
    // indices. Errors: invalidMovie for tables that contradict each other or the counts
    // they announce.
    OSErr parse(std::span<const std::uint8_t> stblPayload, std::uint32_t descriptionCount);
    static bool isTableAtom(OSType type);

    // Appends the table atoms in the usual order. chunkOffsets, when given, replaces each chunk's
    // offset (same length as chunks()); useCo64 selects 64-bit chunk offsets.
    void write(ByteWriter& w, const std::vector<std::uint64_t>* chunkOffsets, bool useCo64) const;
    // True when some chunk offset needs 64 bits.
    bool needsCo64() const;

    std::uint32_t sampleCount() const { return m_sampleCount; }
    TimeValue duration() const { return m_duration; }
    // Where the last sample's display ends: the duration, unless composition offsets move
    // samples later (frames stored out of display order show up to the largest offset after
    // their decode times).
    TimeValue displayEnd() const;
    const std::vector<Chunk>& chunks() const { return m_chunks; }
    // Bytes of the chunk's samples together.
    std::uint64_t chunkSize(std::uint32_t chunk) const;
    bool hasSyncTable() const { return m_hasSyncTable; }
    bool hasCompositionOffsets() const { return m_hasCtts; }

    std::uint32_t sampleSize(std::uint32_t index) const;
    TimeValue sampleTime(std::uint32_t index) const;
    TimeValue sampleDuration(std::uint32_t index) const;
    bool isSync(std::uint32_t index) const;
    std::int32_t compositionOffset(std::uint32_t index) const;
    // The sample whose time span holds t (the last sample for t at or past the end; false only
    // for an empty table or t < 0).
    bool sampleAtTime(TimeValue t, std::uint32_t& index) const;
    bool sampleInfo(std::uint32_t index, SampleInfo& out) const;
    // The next sync sample at or after index (false when none).
    bool nextSyncSample(std::uint32_t index, std::uint32_t& out) const;

    // Appends count samples of the same size and duration as one new chunk, or as a
    // continuation of the last chunk when they follow its bytes directly in the same store with
    // the same description. Returns the media time of the first, or -1 when the table cannot
    // take more samples.
    // compositionOffset: display time minus decode time of each (a 'ctts' table is started when
    // one is not 0).
    TimeValue append(std::uint64_t offset, ChunkStore store, std::uint32_t sizeEach, std::uint32_t count,
                     std::uint32_t duration, std::uint32_t descIndex, bool sync, std::int32_t compositionOffset = 0);

    // Moves chunks of one store to new offsets in another (used when overlay samples are written
    // into the movie's file).
    void relocateChunk(std::uint32_t chunk, std::uint64_t newOffset, ChunkStore store);

private:
    void rebuildRunIndex();
    std::uint32_t chunkOfSample(std::uint32_t index) const;

    std::uint32_t m_sampleCount = 0;
    TimeValue m_duration = 0;
    std::vector<TimeToSampleRun> m_stts;
    std::vector<std::uint32_t> m_runFirstSample;   // per stts run
    std::vector<TimeValue> m_runStartTime;         // per stts run
    bool m_hasCtts = false;
    std::uint8_t m_cttsVersion = 0;
    std::vector<CompositionRun> m_ctts;
    std::vector<std::uint32_t> m_cttsFirstSample;
    bool m_hasSyncTable = false;
    std::vector<std::uint32_t> m_sync;             // 0-based, ascending
    std::uint32_t m_constantSize = 0;              // 0: sizes in m_sizes
    std::vector<std::uint32_t> m_sizes;
    std::vector<Chunk> m_chunks;
    std::uint64_t m_lastChunkBytes = 0;
};

} // namespace qm
