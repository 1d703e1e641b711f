#include "quicktime/movie/movie_reader.h"

#include <algorithm>
#include <set>
#include <vector>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

namespace qm {

namespace {

constexpr TimeValue maxTime = TimeValue(1) << 62;

} // namespace

// Where the reader is (an atom path such as "moov/trak[2]/mdia/minf/stbl"), for the detail text
// of an error.
struct MovieReader::Context {
    std::string* detail = nullptr;
    std::vector<std::string> path;
    int trackNumber = 0;

    OSErr fail(OSErr e, const std::string& what)
    {
        if (detail && detail->empty()) {
            std::string p;
            for (const auto& part : path)
                p += (p.empty() ? "" : "/") + part;
            *detail = p + ": " + what;
        }
        return e;
    }
};

namespace {

struct PathScope {
    std::vector<std::string>& path;
    PathScope(std::vector<std::string>& p, std::string part) : path(p) { path.push_back(std::move(part)); }
    ~PathScope() { path.pop_back(); }
};

// The atoms of one container that the model interprets: the first of each type is read, later
// ones are dropped (the model holds one of each, and keeping a stale duplicate would let the next
// reader take it for the real one).
class FirstOfType {
public:
    bool first(OSType type)
    {
        if (std::find(m_seen.begin(), m_seen.end(), type) != m_seen.end())
            return false;
        m_seen.push_back(type);
        return true;
    }

private:
    std::vector<OSType> m_seen;
};

std::uint32_t clampTime32(std::uint64_t v) { return std::uint32_t(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

} // namespace

OSErr MovieReader::readFile(Movie& movie, std::optional<std::uint64_t> moovOffset, std::string* detail)
{
    DataFile& file = *movie.m_file;
    std::uint64_t end = file.size();
    std::uint64_t pos = moovOffset.value_or(0);
    bool found = false;
    while (pos < end && end - pos >= 8) {
        std::uint8_t h[16];
        if (OSErr e = file.read(pos, h, 8))
            return e;
        std::uint64_t size = loadBE32(h);
        OSType type = loadBE32(h + 4);
        std::uint64_t header = 8;
        if (size == 1) {
            if (end - pos < 16)
                break;
            if (OSErr e = file.read(pos + 8, h + 8, 8))
                return e;
            size = (std::uint64_t(loadBE32(h + 8)) << 32) | loadBE32(h + 12);
            header = 16;
        } else if (size == 0) {
            // Runs to the end of the file; anything appended later must not fall inside it.
            size = end - pos;
            movie.m_openEndedAtom = pos;
        }
        if (moovOffset && type != fourCC("moov"))
            return err::noMovieFound;
        if (size < header) {
            if (detail)
                *detail = "atom at offset " + std::to_string(pos) + " has an impossible size";
            return err::invalidMovie;
        }
        if (type == fourCC("ftyp") && size <= 4096 && size <= end - pos && !found) {
            movie.m_fileType.resize(static_cast<std::size_t>(size));
            if (OSErr e = file.read(pos, movie.m_fileType.data(), movie.m_fileType.size()))
                return e;
        }
        if (type == fourCC("moov") && !found) {
            if (size > end - pos) {
                if (detail)
                    *detail = "movie atom at offset " + std::to_string(pos) + " runs past the end of the file";
                return err::invalidMovie;
            }
            Bytes moov(static_cast<std::size_t>(size));
            if (OSErr e = file.read(pos, moov.data(), moov.size()))
                return e;
            if (OSErr e = readMovieAtom(movie, moov, detail))
                return e;
            movie.m_moovOffset = pos;
            movie.m_moovSize = size;
            movie.m_moovHeaderSize = header;
            found = true;
            // Only a movie that will be written to needs the rest of the layout.
            if (!file.writable())
                return err::noErr;
        }
        if (size > end - pos)
            break;
        pos += size;
    }
    return found ? err::noErr : err::noMovieFound;
}

OSErr MovieReader::readMemory(Movie& movie, std::string* detail)
{
    AtomIterator it(movie.m_memory);
    AtomSpan a;
    while (it.next(a)) {
        if (a.type == fourCC("ftyp") && a.whole.size() <= 4096)
            movie.m_fileType.assign(a.whole.begin(), a.whole.end());
        if (a.type == fourCC("moov"))
            return readMovieAtom(movie, a.whole, detail);
    }
    if (it.error()) {
        if (detail)
            *detail = "damaged top-level atom";
        return it.error();
    }
    return err::noMovieFound;
}

OSErr MovieReader::readMovieAtom(Movie& movie, std::span<const std::uint8_t> moov, std::string* detail)
{
    Context cx;
    cx.detail = detail;
    AtomIterator it(moov);
    AtomSpan a;
    if (!it.next(a) || a.type != fourCC("moov"))
        return cx.fail(err::invalidMovie, "not a movie atom");
    PathScope scope(cx.path, "moov");
    return parseMovie(movie, a.payload, true, cx);
}

OSErr MovieReader::parseMovie(Movie& movie, std::span<const std::uint8_t> payload, bool allowCompressed, Context& cx)
{
    bool haveHeader = false;
    std::set<std::uint32_t> ids;
    FirstOfType once;
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    while (it.next(a)) {
        if (a.type == fourCC("cmov")) {
            if (!allowCompressed)
                return cx.fail(err::invalidMovie, "compressed movie header inside a compressed movie header");
            PathScope scope(cx.path, "cmov");
            Bytes inflated;
            if (OSErr e = inflateCompressedMovie(a.payload, inflated))
                return cx.fail(e, "compressed movie header does not inflate");
            AtomIterator inner(inflated);
            AtomSpan moov;
            if (!inner.next(moov) || moov.type != fourCC("moov") || moov.whole.size() != inflated.size())
                return cx.fail(err::invalidMovie, "inflated data is not one movie atom");
            // The inflated atom replaces everything the outer one held.
            movie.m_kept.clear();
            movie.m_tracks.clear();
            movie.m_userData = UserData();
            return parseMovie(movie, moov.payload, false, cx);
        }
        if (a.type == fourCC("mvhd")) {
            if (!once.first(a.type))
                continue;
            PathScope scope(cx.path, "mvhd");
            if (OSErr e = parseMovieHeader(movie, a.payload, cx))
                return e;
            haveHeader = true;
        } else if (a.type == fourCC("trak")) {
            PathScope scope(cx.path, "trak[" + std::to_string(++cx.trackNumber) + "]");
            if (OSErr e = parseTrack(movie, a.payload, cx))
                return e;
            if (!ids.insert(movie.m_tracks.back()->id()).second)
                return cx.fail(err::invalidMovie, "two tracks with ID " + std::to_string(movie.m_tracks.back()->id()));
        } else if (a.type == fourCC("udta")) {
            movie.m_userData.addItemsFrom(a.payload);
        } else {
            movie.m_kept.push_back(keepAtom(a, previous));
        }
        previous = a.type;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    if (!haveHeader)
        return cx.fail(err::invalidMovie, "no movie header");
    std::uint32_t maxID = 0;
    for (const auto& t : movie.m_tracks)
        maxID = std::max(maxID, t->id());
    if (maxID == 0xFFFFFFFFu)
        movie.m_nextTrackID = 0;
    else
        movie.m_nextTrackID = std::max(movie.m_nextTrackID, maxID + 1);

    // A track without an edit list shows its whole media from movie time 0.
    for (auto& t : movie.m_tracks) {
        if (!t->m_implicitEdits)
            continue;
        t->m_edits.clear();
        const Media* m = t->media();
        if (m && m->duration() > 0)
            t->m_edits.push_back({convertTimeScale(m->duration(), m->timeScale(), movie.m_timeScale), 0, fixed1});
    }
    return err::noErr;
}

OSErr MovieReader::parseMovieHeader(Movie& movie, std::span<const std::uint8_t> payload, Context& cx)
{
    ByteReader r(payload);
    movie.m_headerVersion = r.u8();
    r.skip(3);
    bool v1 = movie.m_headerVersion == 1;
    movie.m_creationTime = clampTime32(v1 ? r.u64() : r.u32());
    movie.m_modificationTime = clampTime32(v1 ? r.u64() : r.u32());
    movie.m_timeScale = r.u32();
    (void)(v1 ? r.u64() : r.u32()); // the duration follows from the tracks
    movie.m_preferredRate = r.fixed();
    movie.m_preferredVolume = r.i16();
    r.skip(10);
    for (auto& v : movie.m_matrix)
        v = r.i32();
    movie.m_previewTime = r.u32();
    movie.m_previewDuration = r.u32();
    movie.m_posterTime = r.u32();
    movie.m_selectionTime = r.u32();
    movie.m_selectionDuration = r.u32();
    movie.m_currentTime = r.u32();
    movie.m_nextTrackID = r.u32();
    if (!r.ok() || movie.m_headerVersion > 1)
        return cx.fail(err::invalidMovie, "movie header too short or of unknown version");
    if (movie.m_timeScale == 0)
        return cx.fail(err::invalidMovie, "movie time scale 0");
    return err::noErr;
}

OSErr MovieReader::parseTrack(Movie& movie, std::span<const std::uint8_t> payload, Context& cx)
{
    auto track = std::make_unique<Track>(movie, 0);
    track->m_implicitEdits = true;
    bool haveHeader = false, haveMedia = false;
    FirstOfType once;
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    while (it.next(a)) {
        OSErr e = err::noErr;
        bool interpreted = a.type == fourCC("tkhd") || a.type == fourCC("mdia") || a.type == fourCC("edts");
        if (interpreted && !once.first(a.type))
            continue;
        if (a.type == fourCC("tkhd")) {
            PathScope scope(cx.path, "tkhd");
            e = parseTrackHeader(*track, a.payload, cx);
            haveHeader = true;
        } else if (a.type == fourCC("edts")) {
            PathScope scope(cx.path, "edts");
            e = parseEdits(*track, a.payload, cx);
        } else if (a.type == fourCC("tref")) {
            AtomIterator refs(a.payload);
            AtomSpan ref;
            while (refs.next(ref)) {
                TrackReferenceList list{ref.type, {}};
                ByteReader r(ref.payload);
                list.ids.reserve(ref.payload.size() / 4);
                while (r.remaining() >= 4)
                    list.ids.push_back(r.u32());
                track->m_references.push_back(std::move(list));
            }
            if (refs.error())
                return cx.fail(refs.error(), "damaged track reference atom");
        } else if (a.type == fourCC("mdia")) {
            PathScope scope(cx.path, "mdia");
            e = parseMedia(*track, a.payload, cx);
            haveMedia = true;
        } else if (a.type == fourCC("udta")) {
            track->m_userData.addItemsFrom(a.payload);
        } else {
            track->m_kept.push_back(keepAtom(a, previous));
        }
        if (e)
            return e;
        previous = a.type;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    if (!haveHeader || !haveMedia)
        return cx.fail(err::invalidMovie, haveHeader ? "track without media" : "track without header");
    movie.m_tracks.push_back(std::move(track));
    return err::noErr;
}

OSErr MovieReader::parseTrackHeader(Track& track, std::span<const std::uint8_t> payload, Context& cx)
{
    ByteReader r(payload);
    track.m_headerVersion = r.u8();
    track.m_flags = (std::uint32_t(r.u8()) << 16) | r.u16();
    bool v1 = track.m_headerVersion == 1;
    track.m_creationTime = clampTime32(v1 ? r.u64() : r.u32());
    track.m_modificationTime = clampTime32(v1 ? r.u64() : r.u32());
    track.m_id = r.u32();
    r.skip(4);
    (void)(v1 ? r.u64() : r.u32()); // the duration follows from the edits
    r.skip(8);
    track.m_layer = r.i16();
    track.m_alternateGroup = r.i16();
    track.m_volume = r.i16();
    r.skip(2);
    for (auto& v : track.m_matrix)
        v = r.i32();
    track.m_width = r.fixed();
    track.m_height = r.fixed();
    if (!r.ok() || track.m_headerVersion > 1)
        return cx.fail(err::invalidMovie, "track header too short or of unknown version");
    if (track.m_id == 0)
        return cx.fail(err::invalidMovie, "track ID 0");
    return err::noErr;
}

OSErr MovieReader::parseEdits(Track& track, std::span<const std::uint8_t> payload, Context& cx)
{
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    while (it.next(a)) {
        if (a.type == fourCC("elst") && !track.m_implicitEdits)
            continue;
        if (a.type != fourCC("elst")) {
            track.m_keptEdts.push_back(keepAtom(a, previous));
            previous = a.type;
            continue;
        }
        previous = a.type;
        ByteReader r(a.payload);
        std::uint8_t version = r.u8();
        r.skip(3);
        std::uint32_t count = r.u32();
        std::size_t entrySize = version == 1 ? 20 : 12;
        if (!r.ok() || version > 1 || count > r.remaining() / entrySize)
            return cx.fail(err::invalidMovie, "edit list count beyond its atom");
        std::vector<TrackEdit> edits(count);
        for (auto& e : edits) {
            std::uint64_t d = version == 1 ? r.u64() : r.u32();
            std::int64_t m = version == 1 ? std::int64_t(r.u64()) : std::int64_t(r.i32());
            e.rate = r.fixed();
            if (d > std::uint64_t(maxTime))
                return cx.fail(err::invalidMovie, "edit duration out of range");
            e.trackDuration = TimeValue(d);
            e.mediaTime = m < 0 ? -1 : m;
        }
        track.m_edits = std::move(edits);
        track.m_implicitEdits = false;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    return err::noErr;
}

OSErr MovieReader::parseMedia(Track& track, std::span<const std::uint8_t> payload, Context& cx)
{
    bool haveHeader = false, haveInfo = false;
    track.m_media = std::make_unique<Media>(track, 0, 600);
    Media& media = *track.m_media;
    media.m_keptMinf.clear();
    media.m_dataRefs.clear();
    media.m_handler = MediaHandler{};
    std::span<const std::uint8_t> minf;
    FirstOfType once;
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    while (it.next(a)) {
        bool interpreted = a.type == fourCC("mdhd") || a.type == fourCC("hdlr") || a.type == fourCC("minf");
        if (interpreted && !once.first(a.type))
            continue;
        if (a.type == fourCC("mdhd")) {
            PathScope scope(cx.path, "mdhd");
            ByteReader r(a.payload);
            media.m_version = r.u8();
            r.skip(3);
            bool v1 = media.m_version == 1;
            media.m_creationTime = clampTime32(v1 ? r.u64() : r.u32());
            media.m_modificationTime = clampTime32(v1 ? r.u64() : r.u32());
            media.m_timeScale = r.u32();
            std::uint64_t d = v1 ? r.u64() : r.u32();
            media.m_language = r.u16();
            media.m_quality = r.u16();
            if (!r.ok() || media.m_version > 1)
                return cx.fail(err::invalidMovie, "media header too short or of unknown version");
            if (media.m_timeScale == 0)
                return cx.fail(err::invalidMovie, "media time scale 0");
            media.m_storedDuration = TimeValue(std::min<std::uint64_t>(d, std::uint64_t(maxTime)));
            haveHeader = true;
        } else if (a.type == fourCC("hdlr")) {
            ByteReader r(a.payload);
            r.u32();
            media.m_handler.componentType = r.type();
            media.m_handler.subtype = r.type();
            media.m_handler.manufacturer = r.type();
            media.m_handler.flags = r.u32();
            media.m_handler.flagsMask = r.u32();
            if (!r.ok())
                return cx.fail(err::invalidMovie, "media handler reference too short");
            auto name = r.bytes(r.remaining());
            media.m_handler.name.assign(name.begin(), name.end());
        } else if (a.type == fourCC("minf")) {
            minf = a.payload;
            haveInfo = true;
        } else {
            media.m_keptMdia.push_back(keepAtom(a, previous));
        }
        previous = a.type;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    if (!haveHeader)
        return cx.fail(err::invalidMovie, "media without header");
    if (haveInfo) {
        PathScope scope(cx.path, "minf");
        if (OSErr e = parseMediaInformation(media, minf, cx))
            return e;
    }
    if (media.m_dataRefs.empty())
        media.m_dataRefs.push_back(DataReference::self());
    return err::noErr;
}

OSErr MovieReader::parseMediaInformation(Media& media, std::span<const std::uint8_t> payload, Context& cx)
{
    FirstOfType once;
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    while (it.next(a)) {
        if ((a.type == fourCC("dinf") || a.type == fourCC("stbl")) && !once.first(a.type))
            continue;
        if (a.type == fourCC("dinf")) {
            PathScope scope(cx.path, "dinf");
            AtomSpan dref;
            if (findAtom(a.payload, fourCC("dref"), dref))
                if (OSErr e = parseDataReferences(dref.payload, media.m_dataRefs))
                    return cx.fail(e, "damaged data reference list");
        } else if (a.type == fourCC("stbl")) {
            PathScope scope(cx.path, "stbl");
            if (OSErr e = parseSampleTable(media, a.payload, cx))
                return e;
        } else {
            media.m_keptMinf.push_back(keepAtom(a, previous));
        }
        previous = a.type;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    return err::noErr;
}

OSErr MovieReader::parseSampleTable(Media& media, std::span<const std::uint8_t> payload, Context& cx)
{
    AtomIterator it(payload);
    AtomSpan a;
    std::optional<OSType> previous;
    FirstOfType once;
    while (it.next(a)) {
        if ((a.type == fourCC("stsd") || SampleTable::isTableAtom(a.type)) && !once.first(a.type))
            continue;
        if (a.type == fourCC("stsd")) {
            ByteReader r(a.payload);
            r.u32();
            std::uint32_t count = r.u32();
            if (!r.ok())
                return cx.fail(err::invalidMovie, "sample description table too short");
            AtomIterator entries(a.payload.subspan(8));
            AtomSpan entry;
            media.m_descriptions.clear();
            while (media.m_descriptions.size() < count && entries.next(entry))
                media.m_descriptions.emplace_back(Bytes(entry.whole.begin(), entry.whole.end()));
            if (media.m_descriptions.size() < count)
                return cx.fail(err::invalidMovie, "fewer sample descriptions than announced");
        } else if (!SampleTable::isTableAtom(a.type)) {
            media.m_keptStbl.push_back(keepAtom(a, previous));
        }
        previous = a.type;
    }
    if (it.error())
        return cx.fail(it.error(), "atom size beyond its container");
    if (OSErr e = media.m_table.parse(payload, std::uint32_t(media.m_descriptions.size())))
        return cx.fail(e, "sample table contradicts itself or its counts");
    return err::noErr;
}

} // namespace qm
