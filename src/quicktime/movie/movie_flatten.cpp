// Flattening: every chunk of every media is copied into one new file behind its movie atom.
#include <algorithm>
#include <unistd.h>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_writer.h"

namespace qm {

// Where flattened bytes go: written in order from position 0.
class MovieWriter::Sink {
public:
    virtual ~Sink() = default;
    virtual OSErr write(std::span<const std::uint8_t> bytes) = 0;
    virtual OSErr copy(const DataFile& src, std::uint64_t offset, std::uint64_t n) = 0;
    std::uint64_t position() const { return m_position; }

protected:
    std::uint64_t m_position = 0;
};

class MovieWriter::FileSink : public Sink {
public:
    explicit FileSink(DataFile& file) : m_file(file) {}
    OSErr write(std::span<const std::uint8_t> bytes) override
    {
        OSErr e = m_file.write(m_position, bytes.data(), bytes.size());
        m_position += bytes.size();
        return e;
    }
    OSErr copy(const DataFile& src, std::uint64_t offset, std::uint64_t n) override
    {
        OSErr e = copyFileRange(src, offset, m_file, m_position, n);
        m_position += n;
        return e;
    }

private:
    DataFile& m_file;
};

class MovieWriter::MemorySink : public Sink {
public:
    explicit MemorySink(Bytes& out) : m_out(out) {}
    OSErr write(std::span<const std::uint8_t> bytes) override
    {
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        m_position += bytes.size();
        return err::noErr;
    }
    OSErr copy(const DataFile& src, std::uint64_t offset, std::uint64_t n) override
    {
        std::size_t at = m_out.size();
        m_out.resize(at + std::size_t(n));
        m_position += n;
        return src.read(offset, m_out.data() + at, std::size_t(n));
    }

private:
    Bytes& m_out;
};

namespace {

// The bytes of one source (a file, or an in-memory buffer) that chunks point into.
struct Source {
    const DataFile* file = nullptr;
    const Bytes* memory = nullptr;
    bool operator==(const Source& o) const { return file == o.file && memory == o.memory; }
};

struct Piece {
    Source source;
    std::size_t sourceOrder = 0;   // sources in the order chunks first name them
    std::uint64_t offset = 0, size = 0;
    std::size_t track = 0;
    std::uint32_t chunk = 0;
};

// A stretch of one source copied as a whole; chunks that touch or overlap share one run.
struct Run {
    Source source;
    std::uint64_t begin = 0, end = 0;
    std::uint64_t dest = 0;   // relative to the start of the media data
};

constexpr std::uint64_t progressStep = 8u << 20;

} // namespace

OSErr MovieWriter::flattenInto(const Movie& movie, Sink& sink, bool keepTimes, FlattenResult* result)
{
    Layout layout;
    if (!keepTimes)
        layout.stampTime = movieClockNow();
    layout.chunkOffsets.resize(movie.m_tracks.size());

    std::vector<Piece> pieces;
    std::vector<Source> sources;
    for (std::size_t t = 0; t < movie.m_tracks.size(); ++t) {
        const Media* media = movie.m_tracks[t]->media();
        if (!media)
            continue;
        const auto& chunks = media->m_table.chunks();
        layout.chunkOffsets[t].assign(chunks.size(), 0);
        for (std::uint32_t c = 0; c < chunks.size(); ++c) {
            Piece p;
            p.size = media->m_table.chunkSize(c);
            p.offset = chunks[c].offset;
            p.track = t;
            p.chunk = c;
            if (p.size == 0)
                continue;
            if (chunks[c].store == ChunkStore::overlay) {
                p.source.memory = &movie.m_overlay;
            } else if (OSErr e = movie.dataFileFor(*media, chunks[c].descIndex, p.source.file, p.source.memory)) {
                return e;
            }
            auto known = std::find(sources.begin(), sources.end(), p.source);
            p.sourceOrder = std::size_t(known - sources.begin());
            if (known == sources.end())
                sources.push_back(p.source);
            std::uint64_t available = p.source.file ? p.source.file->size() : p.source.memory->size();
            if (p.offset > available || p.size > available - p.offset)
                return err::eofErr;
            pieces.push_back(p);
        }
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return a.sourceOrder != b.sourceOrder ? a.sourceOrder < b.sourceOrder : a.offset < b.offset;
    });
    std::vector<Run> runs;
    std::uint64_t total = 0;
    for (const Piece& p : pieces) {
        if (runs.empty() || !(runs.back().source == p.source) || p.offset > runs.back().end) {
            if (!runs.empty())
                total += runs.back().end - runs.back().begin;
            runs.push_back({p.source, p.offset, p.offset + p.size, total});
        } else {
            runs.back().end = std::max(runs.back().end, p.offset + p.size);
        }
        layout.chunkOffsets[p.track][p.chunk] = runs.back().dest + (p.offset - runs.back().begin);
    }
    if (!runs.empty())
        total += runs.back().end - runs.back().begin;

    // The movie atom's size does not depend on the offset values, only on their width.
    Bytes moov;
    std::uint64_t mdatHeader = total + 8 > 0xFFFFFFFFull ? 16 : 8;
    if (OSErr e = buildMovieAtom(movie, &layout, moov))
        return e;
    std::uint64_t base = movie.m_fileType.size() + moov.size() + mdatHeader;
    if (base + total > 0xFFFFFFFFull) {
        layout.co64 = true;
        if (OSErr e = buildMovieAtom(movie, &layout, moov))
            return e;
        base = movie.m_fileType.size() + moov.size() + mdatHeader;
    }
    for (auto& offsets : layout.chunkOffsets)
        for (auto& o : offsets)
            o += base;
    if (OSErr e = buildMovieAtom(movie, &layout, moov))
        return e;

    if (OSErr e = sink.write(movie.m_fileType))
        return e;
    if (result) {
        result->movieAtomOffset = sink.position();
        result->movieAtomSize = moov.size();
    }
    if (OSErr e = sink.write(moov))
        return e;
    ByteWriter header;
    if (mdatHeader == 16) {
        header.u32(1);
        header.type(fourCC("mdat"));
        header.u64(total + 16);
    } else {
        header.u32(std::uint32_t(total + 8));
        header.type(fourCC("mdat"));
    }
    if (OSErr e = sink.write(header.data()))
        return e;

    const auto& progress = movie.m_progress;
    if (progress)
        if (OSErr e = progress(MovieProgressStep::open, 0.0))
            return e;
    OSErr status = err::noErr;
    std::uint64_t done = 0, nextReport = progressStep;
    for (const Run& run : runs) {
        for (std::uint64_t at = run.begin; at < run.end && !status;) {
            std::uint64_t n = std::min(run.end - at, progressStep);
            if (run.source.file)
                status = sink.copy(*run.source.file, at, n);
            else
                status = sink.write(std::span<const std::uint8_t>(*run.source.memory).subspan(std::size_t(at), std::size_t(n)));
            at += n;
            done += n;
            if (!status && progress && done >= nextReport) {
                nextReport = done + progressStep;
                status = progress(MovieProgressStep::update, double(done) / double(total));
            }
        }
        if (status)
            break;
    }
    if (progress) {
        if (!status)
            status = progress(MovieProgressStep::update, 1.0);
        progress(MovieProgressStep::close, 1.0);
    }
    if (result)
        result->fileSize = sink.position();
    return status;
}

OSErr MovieWriter::flatten(const Movie& movie, const std::filesystem::path& dest, const FlattenOptions& options,
                           FlattenResult* result)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!options.deleteExisting && fs::exists(dest, ec))
        return err::dupFNErr;
    // Written under a temporary name beside the destination and renamed when complete, so that
    // neither a failure nor a cancel leaves a partial file or destroys an existing one.
    std::unique_ptr<DataFile> file;
    fs::path temp;
    for (int attempt = 0;; ++attempt) {
        temp = dest;
        temp += ".qm-flatten-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        OSErr e = DataFile::create(temp, false, file);
        if (e == err::noErr)
            break;
        if (e != err::dupFNErr || attempt > 100)
            return e;
    }
    FileSink sink(*file);
    OSErr e = flattenInto(movie, sink, options.keepTimes, result);
    file.reset();
    if (e == err::noErr) {
        fs::rename(temp, dest, ec);
        if (ec)
            e = errnoToOSErr(ec.value());
    }
    if (e != err::noErr)
        fs::remove(temp, ec);
    return e;
}

OSErr MovieWriter::flattenToMemory(const Movie& movie, Bytes& out)
{
    out.clear();
    MemorySink sink(out);
    return flattenInto(movie, sink, true, nullptr);
}

} // namespace qm
