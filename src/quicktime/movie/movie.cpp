#include "quicktime/movie/movie.h"

#include <algorithm>
#include <cmath>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie_reader.h"
#include "quicktime/movie/movie_writer.h"

namespace qm {

Movie::Movie() { m_creationTime = m_modificationTime = movieClockNow(); }

Movie::~Movie() = default;

std::unique_ptr<Movie> Movie::create()
{
    std::unique_ptr<Movie> m(new Movie());
    m->m_inMemory = true;
    return m;
}

OSErr Movie::createFile(const std::filesystem::path& path, bool deleteExisting, std::unique_ptr<Movie>& out)
{
    std::unique_ptr<Movie> m(new Movie());
    if (OSErr e = DataFile::create(path, deleteExisting, m->m_file))
        return e;
    m->m_path = path;
    out = std::move(m);
    return err::noErr;
}

OSErr Movie::open(const std::filesystem::path& path, MovieOpenMode mode, std::unique_ptr<Movie>& out,
                  std::string* detail)
{
    std::unique_ptr<Movie> m(new Movie());
    auto fileMode = mode == MovieOpenMode::readWrite ? DataFile::Mode::readWrite : DataFile::Mode::read;
    if (OSErr e = DataFile::open(path, fileMode, m->m_file))
        return e;
    m->m_path = path;
    if (OSErr e = MovieReader::readFile(*m, std::nullopt, detail))
        return e;
    out = std::move(m);
    return err::noErr;
}

OSErr Movie::openAt(const std::filesystem::path& path, std::uint64_t offset, std::unique_ptr<Movie>& out,
                    std::string* detail)
{
    std::unique_ptr<Movie> m(new Movie());
    if (OSErr e = DataFile::open(path, DataFile::Mode::read, m->m_file))
        return e;
    m->m_path = path;
    if (OSErr e = MovieReader::readFile(*m, offset, detail))
        return e;
    out = std::move(m);
    return err::noErr;
}

OSErr Movie::openMemory(Bytes fileBytes, std::unique_ptr<Movie>& out, std::string* detail)
{
    std::unique_ptr<Movie> m(new Movie());
    m->m_inMemory = true;
    m->m_memory = std::move(fileBytes);
    if (OSErr e = MovieReader::readMemory(*m, detail))
        return e;
    out = std::move(m);
    return err::noErr;
}

bool Movie::writable() const { return m_inMemory || (m_file && m_file->writable()); }

void Movie::touch() { m_modificationTime = movieClockNow(); }

OSErr Movie::setTimeScale(TimeScale scale)
{
    if (scale == 0)
        return setError(err::paramErr);
    TimeScale old = m_timeScale;
    for (auto& t : m_tracks)
        for (auto& e : t->m_edits)
            e.trackDuration = convertTimeScale(e.trackDuration, old, scale);
    for (TimeValue* v : {&m_previewTime, &m_previewDuration, &m_posterTime, &m_selectionTime, &m_selectionDuration,
                         &m_currentTime})
        *v = convertTimeScale(*v, old, scale);
    m_timeScale = scale;
    touch();
    return setError(err::noErr);
}

TimeValue Movie::duration() const
{
    TimeValue d = 0;
    for (const auto& t : m_tracks)
        d = std::max(d, t->duration());
    return d;
}

Rect Movie::box() const
{
    double left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    auto fx = [](std::int32_t v) { return double(v) / 65536.0; };
    for (const auto& t : m_tracks) {
        if (!t->enabled() || t->width() <= 0 || t->height() <= 0)
            continue;
        const Matrix& tm = t->matrix();
        double w = fx(t->width()) * fx(tm[0]) * fx(m_matrix[0]);
        double h = fx(t->height()) * fx(tm[4]) * fx(m_matrix[4]);
        double x = fx(tm[6]) * fx(m_matrix[0]) + fx(m_matrix[6]);
        double y = fx(tm[7]) * fx(m_matrix[4]) + fx(m_matrix[7]);
        double l = std::min(x, x + w), r = std::max(x, x + w), tp = std::min(y, y + h), b = std::max(y, y + h);
        if (!any) {
            left = l, right = r, top = tp, bottom = b;
            any = true;
        } else {
            left = std::min(left, l), right = std::max(right, r), top = std::min(top, tp), bottom = std::max(bottom, b);
        }
    }
    auto clamp16 = [](double v) { return std::int16_t(std::clamp(std::lround(v), -32768L, 32767L)); };
    return Rect{clamp16(top), clamp16(left), clamp16(bottom), clamp16(right)};
}

Track* Movie::track(int index) const
{
    if (index < 1 || index > int(m_tracks.size())) {
        setError(err::badTrackIndex);
        return nullptr;
    }
    setError(err::noErr);
    return m_tracks[std::size_t(index - 1)].get();
}

Track* Movie::trackByID(std::uint32_t id) const
{
    for (const auto& t : m_tracks)
        if (t->id() == id)
            return t.get();
    return nullptr;
}

int Movie::trackIndex(const Track& track) const
{
    for (std::size_t i = 0; i < m_tracks.size(); ++i)
        if (m_tracks[i].get() == &track)
            return int(i + 1);
    return 0;
}

Track* Movie::newTrack(Fixed width, Fixed height, std::int16_t volume)
{
    if (m_nextTrackID == 0) {
        setError(err::invalidTrack);
        return nullptr;
    }
    auto t = std::make_unique<Track>(*this, m_nextTrackID++);
    t->m_width = width;
    t->m_height = height;
    t->m_volume = volume;
    m_tracks.push_back(std::move(t));
    touch();
    setError(err::noErr);
    return m_tracks.back().get();
}

Track* Movie::addEmptyTrackLike(const Track& src)
{
    Track* t = newTrack(src.width(), src.height(), src.volume());
    if (!t)
        return nullptr;
    t->m_flags = src.m_flags;
    t->m_layer = src.m_layer;
    t->m_alternateGroup = src.m_alternateGroup;
    t->m_matrix = src.m_matrix;
    if (const Media* sm = src.media()) {
        Media* m = t->newMedia(sm->type(), sm->timeScale());
        m->m_handler = sm->m_handler;
        m->m_language = sm->m_language;
        m->m_quality = sm->m_quality;
        m->m_keptMinf = sm->m_keptMinf;
    }
    setError(err::noErr);
    return t;
}

OSErr Movie::disposeTrack(Track* track)
{
    auto it = std::find_if(m_tracks.begin(), m_tracks.end(), [&](auto& t) { return t.get() == track; });
    if (!track || it == m_tracks.end())
        return setError(err::trackNotInMovie);
    std::uint32_t id = track->id();
    m_tracks.erase(it);
    for (auto& t : m_tracks)
        t->forgetTrack(id);
    touch();
    return setError(err::noErr);
}

TimeValue Movie::nextInterestingTime(std::uint16_t flags, std::span<const OSType> mediaTypes, TimeValue t, Fixed rate,
                                     TimeValue* duration) const
{
    TimeValue best = -1, bestDuration = 0;
    for (const auto& track : m_tracks) {
        if (!track->enabled())
            continue;
        if (!mediaTypes.empty()) {
            const Media* m = track->media();
            bool wanted = false;
            for (OSType type : mediaTypes)
                wanted = wanted || (m && (m->type() == type || mediaHasCharacteristic(m->type(), type)));
            if (!wanted)
                continue;
        }
        TimeValue d = 0;
        TimeValue c = track->nextInterestingTime(flags, t, rate, &d);
        if (c >= 0 && (best < 0 || c < best)) {
            best = c;
            bestDuration = d;
        }
    }
    if (duration && best >= 0)
        *duration = bestDuration;
    setError(rate > 0 ? err::noErr : err::paramErr);
    return best;
}

OSErr Movie::dataFileFor(const Media& media, std::uint32_t descIndex, const DataFile*& file, const Bytes*& memory) const
{
    file = nullptr;
    memory = nullptr;
    const SampleDescription* d = media.sampleDescriptionPtr(int(descIndex));
    if (!d)
        return err::invalidSampleDescIndex;
    // QuickTime VR writers leave the data reference index of their descriptions at 0; with a
    // single data reference that can only mean the first.
    std::size_t index = d->dataRefIndex() == 0 ? 1 : d->dataRefIndex();
    const auto& refs = media.dataReferences();
    if (index > refs.size())
        return err::badDataRefIndex;
    const DataReference& ref = refs[index - 1];
    if (ref.isSelf()) {
        if (m_inMemory)
            memory = &m_memory;
        else if (m_file)
            file = m_file.get();
        else
            return err::couldNotResolveDataRef;
        return err::noErr;
    }
    std::filesystem::path p = resolveDataReference(ref, m_path.empty() ? std::filesystem::path() : m_path.parent_path());
    if (p.empty() || m_inMemory)
        return err::couldNotResolveDataRef;
    auto it = m_otherFiles.find(p);
    if (it == m_otherFiles.end()) {
        std::unique_ptr<DataFile> f;
        if (OSErr e = DataFile::open(p, DataFile::Mode::read, f))
            return e;
        it = m_otherFiles.emplace(p, std::move(f)).first;
    }
    file = it->second.get();
    return err::noErr;
}

OSErr Movie::readData(const Media& media, const SampleInfo& info, std::uint64_t offset, std::uint64_t n,
                      Bytes& out) const
{
    const Bytes* memory = nullptr;
    const DataFile* file = nullptr;
    if (info.store == ChunkStore::overlay) {
        memory = &m_overlay;
    } else if (OSErr e = dataFileFor(media, info.descIndex, file, memory)) {
        return e;
    }
    std::uint64_t available = file ? file->size() : memory->size();
    if (offset > available || n > available - offset)
        return err::eofErr;
    out.resize(static_cast<std::size_t>(n));
    if (file)
        return file->read(offset, out.data(), out.size());
    std::copy_n(memory->begin() + std::ptrdiff_t(offset), out.size(), out.begin());
    return err::noErr;
}

OSErr Movie::storeData(std::span<const std::uint8_t> data, std::uint64_t& offset, ChunkStore& store)
{
    store = ChunkStore::dataRef;
    if (m_inMemory) {
        offset = m_memory.size();
        m_memory.insert(m_memory.end(), data.begin(), data.end());
        return err::noErr;
    }
    if (!m_file || !m_file->writable()) {
        store = ChunkStore::overlay;
        offset = m_overlay.size();
        m_overlay.insert(m_overlay.end(), data.begin(), data.end());
        return err::noErr;
    }
    if (!m_mdatOpen) {
        if (OSErr e = closeOpenEndedAtom())
            return e;
        // 'wide' keeps room to turn the 'mdat' header into a 64-bit one should it grow past 4 GB.
        std::uint8_t header[16] = {0, 0, 0, 8, 'w', 'i', 'd', 'e', 0, 0, 0, 8, 'm', 'd', 'a', 't'};
        std::uint64_t at = m_file->size();
        if (OSErr e = m_file->write(at, header, sizeof header))
            return e;
        m_mdatStart = at;
        m_appendEnd = at + sizeof header;
        m_mdatOpen = true;
    }
    if (OSErr e = m_file->write(m_appendEnd, data.data(), data.size()))
        return e;
    offset = m_appendEnd;
    m_appendEnd += data.size();
    return err::noErr;
}

OSErr Movie::closeOpenEndedAtom()
{
    if (!m_openEndedAtom)
        return err::noErr;
    std::uint64_t size = m_file->size() - *m_openEndedAtom;
    if (size > 0xFFFFFFFFull)
        return err::dataNotOpenForWrite;
    std::uint8_t field[4];
    storeBE32(field, std::uint32_t(size));
    if (OSErr e = m_file->write(*m_openEndedAtom, field, 4))
        return e;
    m_openEndedAtom.reset();
    return err::noErr;
}

OSErr Movie::closeOpenMediaData()
{
    if (!m_mdatOpen)
        return err::noErr;
    std::uint64_t size = m_appendEnd - (m_mdatStart + 8);
    std::uint8_t header[16];
    OSErr e;
    if (size <= 0xFFFFFFFFull) {
        storeBE32(header, std::uint32_t(size));
        e = m_file->write(m_mdatStart + 8, header, 4);
    } else {
        std::uint64_t whole = m_appendEnd - m_mdatStart;
        storeBE32(header, 1);
        storeBE32(header + 4, fourCC("mdat"));
        storeBE32(header + 8, std::uint32_t(whole >> 32));
        storeBE32(header + 12, std::uint32_t(whole));
        e = m_file->write(m_mdatStart, header, 16);
    }
    if (e == err::noErr)
        m_mdatOpen = false;
    return e;
}

OSErr Movie::moveOverlayIntoFile()
{
    if (m_overlay.empty())
        return err::noErr;
    for (auto& t : m_tracks) {
        Media* m = t->media();
        if (!m)
            continue;
        const auto& chunks = m->m_table.chunks();
        for (std::uint32_t c = 0; c < chunks.size(); ++c) {
            if (chunks[c].store != ChunkStore::overlay)
                continue;
            std::uint64_t size = m->m_table.chunkSize(c);
            std::uint64_t from = chunks[c].offset, to = 0;
            ChunkStore store;
            if (OSErr e = storeData(std::span<const std::uint8_t>(m_overlay).subspan(std::size_t(from), std::size_t(size)),
                                    to, store))
                return e;
            m->m_table.relocateChunk(c, to, store);
        }
    }
    m_overlay.clear();
    return err::noErr;
}

OSErr Movie::addMovieResource() { return setError(writeMovieResource(false)); }

OSErr Movie::updateMovieResource() { return setError(writeMovieResource(true)); }

OSErr Movie::writeMovieResource(bool update)
{
    if (m_inMemory || !m_file)
        return err::paramErr;
    if (!m_file->writable())
        return err::wPrErr;
    if (OSErr e = moveOverlayIntoFile())
        return e;
    if (OSErr e = closeOpenMediaData())
        return e;
    Bytes moov;
    if (OSErr e = MovieWriter::buildMovieAtom(*this, nullptr, moov))
        return e;
    std::uint64_t size = moov.size();
    if (m_moovSize > 0 && m_moovOffset + m_moovSize == m_file->size()) {
        // The movie atom ends the file: rewrite it where it is.
        if (OSErr e = m_file->write(m_moovOffset, moov.data(), moov.size()))
            return e;
        if (size < m_moovSize)
            if (OSErr e = m_file->truncate(m_moovOffset + size))
                return e;
        m_moovSize = size;
        m_moovHeaderSize = 8;
        if (m_openEndedAtom == m_moovOffset)
            m_openEndedAtom.reset();
        return err::noErr;
    }
    if (update && m_moovSize > 0 && (size == m_moovSize || size + 8 <= m_moovSize)) {
        if (OSErr e = m_file->write(m_moovOffset, moov.data(), moov.size()))
            return e;
        if (size < m_moovSize) {
            std::uint8_t free[8];
            storeBE32(free, std::uint32_t(m_moovSize - size));
            storeBE32(free + 4, fourCC("free"));
            if (OSErr e = m_file->write(m_moovOffset + size, free, 8))
                return e;
        }
        // The space stays reserved for later updates: the movie atom plus the 'free' after it.
        return err::noErr;
    }
    if (OSErr e = closeOpenEndedAtom())
        return e;
    std::uint64_t at = m_file->size();
    if (OSErr e = m_file->write(at, moov.data(), moov.size()))
        return e;
    if (m_moovSize > 0) {
        // The old movie atom becomes free space. Its first child header is wiped too: some
        // readers look for a movie header inside 'free' atoms and would find the stale movie.
        std::uint8_t type[4], wipe[8] = {};
        storeBE32(type, fourCC("free"));
        if (OSErr e = m_file->write(m_moovOffset + 4, type, 4))
            return e;
        if (m_moovSize >= m_moovHeaderSize + 8)
            if (OSErr e = m_file->write(m_moovOffset + m_moovHeaderSize, wipe, 8))
                return e;
    }
    m_moovOffset = at;
    m_moovSize = size;
    m_moovHeaderSize = 8;
    return err::noErr;
}

OSErr Movie::movieAtom(Bytes& out) const { return setError(MovieWriter::buildMovieAtom(*this, nullptr, out)); }

OSErr Movie::flatten(const std::filesystem::path& dest, const FlattenOptions& options, FlattenResult* result)
{
    return setError(MovieWriter::flatten(*this, dest, options, result));
}

OSErr Movie::flattenToMemory(Bytes& out) { return setError(MovieWriter::flattenToMemory(*this, out)); }

} // namespace qm
