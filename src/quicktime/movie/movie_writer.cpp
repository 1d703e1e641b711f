#include "quicktime/movie/movie_writer.h"

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

namespace qm {

namespace {

bool fits32(TimeValue v) { return v >= 0 && v <= 0xFFFFFFFF; }

// The common start of 'mvhd' and 'mdhd': version and flags, then creation and modification
// times, time scale and duration, in 64-bit form (version 1) only when the duration needs it.
void writeTimesHeader(ByteWriter& w, std::uint32_t created, std::uint32_t modified, TimeScale scale,
                      TimeValue duration)
{
    const bool v1 = !fits32(duration);
    w.u32(v1 ? 0x01000000u : 0);
    if (v1) {
        w.u64(created);
        w.u64(modified);
        w.u32(scale);
        w.u64(std::uint64_t(duration));
    } else {
        w.u32(created);
        w.u32(modified);
        w.u32(scale);
        w.u32(std::uint32_t(duration));
    }
}

void writeMatrix(ByteWriter& w, const Matrix& m)
{
    for (auto v : m)
        w.i32(v);
}

// The edit list the reader makes up for a track without one: the whole media from time 0.
bool editsAreImplicit(const Track& track, TimeScale movieScale)
{
    if (!track.hasImplicitEdits())
        return false;
    const Media* m = track.media();
    TimeValue mediaDuration = m ? m->duration() : 0;
    const auto& edits = track.edits();
    if (mediaDuration == 0)
        return edits.empty();
    return edits.size() == 1 && edits[0].mediaTime == 0 && edits[0].rate == fixed1 &&
           edits[0].trackDuration == convertTimeScale(mediaDuration, m->timeScale(), movieScale);
}

} // namespace

void MovieWriter::writeMedia(const Media& media, const Layout* layout, std::size_t trackIndex, ByteWriter& w)
{
    auto mdia = beginAtom(w, fourCC("mdia"));
    KeptAtomWriter keptMdia(w, media.m_keptMdia);

    std::uint32_t created = layout && layout->stampTime ? *layout->stampTime : media.m_creationTime;
    std::uint32_t modified = layout && layout->stampTime ? *layout->stampTime : media.m_modificationTime;
    auto mdhd = beginAtom(w, fourCC("mdhd"));
    writeTimesHeader(w, created, modified, media.m_timeScale, media.duration());
    w.u16(media.m_language);
    w.u16(media.m_quality);
    endAtom(w, mdhd);
    keptMdia.after(fourCC("mdhd"));

    auto hdlr = beginAtom(w, fourCC("hdlr"));
    w.u32(0);
    w.type(media.m_handler.componentType);
    w.type(media.m_handler.subtype);
    w.type(media.m_handler.manufacturer);
    w.u32(media.m_handler.flags);
    w.u32(media.m_handler.flagsMask);
    w.bytes(media.m_handler.name);
    endAtom(w, hdlr);
    keptMdia.after(fourCC("hdlr"));

    auto minf = beginAtom(w, fourCC("minf"));
    KeptAtomWriter keptMinf(w, media.m_keptMinf);
    if (layout)
        writeDataInformation(w, {DataReference::self()});
    else
        writeDataInformation(w, media.m_dataRefs);
    keptMinf.after(fourCC("dinf"));

    auto stbl = beginAtom(w, fourCC("stbl"));
    KeptAtomWriter keptStbl(w, media.m_keptStbl);
    auto stsd = beginAtom(w, fourCC("stsd"));
    w.u32(0);
    w.u32(std::uint32_t(media.m_descriptions.size()));
    for (const auto& d : media.m_descriptions) {
        std::size_t at = w.size();
        w.bytes(d.bytes());
        // The size field follows the bytes (a stored 0, "to the end", would not stay true); a
        // 64-bit size header is left as it is.
        if (d.bytes().size() >= 8 && loadBE32(d.bytes().data()) != 1) {
            w.putU32At(at, std::uint32_t(d.bytes().size()));
            if (layout && d.bytes().size() >= 16)
                w.putU16At(at + 14, 1);
        }
    }
    endAtom(w, stsd);
    keptStbl.after(fourCC("stsd"));
    if (layout)
        media.m_table.write(w, &layout->chunkOffsets[trackIndex], layout->co64);
    else
        media.m_table.write(w, nullptr, media.m_table.needsCo64());
    keptStbl.finish();
    endAtom(w, stbl);
    keptMinf.after(fourCC("stbl"));
    keptMinf.finish();
    endAtom(w, minf);
    keptMdia.after(fourCC("minf"));
    keptMdia.finish();
    endAtom(w, mdia);
}

void MovieWriter::writeTrack(const Movie& movie, const Track& track, const Layout* layout, std::size_t trackIndex,
                             ByteWriter& w)
{
    auto trak = beginAtom(w, fourCC("trak"));
    KeptAtomWriter kept(w, track.m_kept);

    TimeValue duration = track.duration();
    bool v1 = !fits32(duration);
    std::uint32_t created = layout && layout->stampTime ? *layout->stampTime : track.m_creationTime;
    std::uint32_t modified = layout && layout->stampTime ? *layout->stampTime : track.m_modificationTime;
    auto tkhd = beginAtom(w, fourCC("tkhd"));
    w.u32((v1 ? 0x01000000u : 0) | (track.m_flags & 0x00FFFFFF));
    if (v1) {
        w.u64(created);
        w.u64(modified);
    } else {
        w.u32(created);
        w.u32(modified);
    }
    w.u32(track.m_id);
    w.u32(0);
    if (v1)
        w.u64(std::uint64_t(duration));
    else
        w.u32(std::uint32_t(duration));
    w.zeros(8);
    w.i16(track.m_layer);
    w.i16(track.m_alternateGroup);
    w.i16(track.m_volume);
    w.u16(0);
    writeMatrix(w, track.m_matrix);
    w.fixed(track.m_width);
    w.fixed(track.m_height);
    endAtom(w, tkhd);
    kept.after(fourCC("tkhd"));

    if (!editsAreImplicit(track, movie.m_timeScale)) {
        auto edts = beginAtom(w, fourCC("edts"));
        KeptAtomWriter keptEdts(w, track.m_keptEdts);
        bool wide = false;
        for (const auto& e : track.m_edits)
            wide = wide || !fits32(e.trackDuration) || e.mediaTime > 0x7FFFFFFF;
        auto elst = beginAtom(w, fourCC("elst"));
        w.u32(wide ? 0x01000000u : 0);
        w.u32(std::uint32_t(track.m_edits.size()));
        for (const auto& e : track.m_edits) {
            if (wide) {
                w.u64(std::uint64_t(e.trackDuration));
                w.u64(std::uint64_t(e.mediaTime));
            } else {
                w.u32(std::uint32_t(e.trackDuration));
                w.i32(std::int32_t(e.mediaTime));
            }
            w.fixed(e.rate);
        }
        endAtom(w, elst);
        keptEdts.after(fourCC("elst"));
        keptEdts.finish();
        endAtom(w, edts);
        kept.after(fourCC("edts"));
    }

    bool anyReference = false;
    for (const auto& l : track.m_references)
        anyReference = anyReference || !l.ids.empty();
    if (anyReference) {
        auto tref = beginAtom(w, fourCC("tref"));
        for (const auto& l : track.m_references) {
            if (l.ids.empty())
                continue;
            auto at = beginAtom(w, l.type);
            for (auto id : l.ids)
                w.u32(id);
            endAtom(w, at);
        }
        endAtom(w, tref);
        kept.after(fourCC("tref"));
    }

    writeMedia(*track.media(), layout, trackIndex, w);
    kept.after(fourCC("mdia"));
    if (!track.m_userData.empty()) {
        track.m_userData.write(w);
        kept.after(fourCC("udta"));
    }
    kept.finish();
    endAtom(w, trak);
}

OSErr MovieWriter::buildMovieAtom(const Movie& movie, const Layout* layout, Bytes& out)
{
    ByteWriter w(4096);
    auto moov = beginAtom(w, fourCC("moov"));
    KeptAtomWriter kept(w, movie.m_kept);

    std::uint32_t created = layout && layout->stampTime ? *layout->stampTime : movie.m_creationTime;
    std::uint32_t modified = layout && layout->stampTime ? *layout->stampTime : movie.m_modificationTime;
    auto mvhd = beginAtom(w, fourCC("mvhd"));
    writeTimesHeader(w, created, modified, movie.m_timeScale, movie.duration());
    w.fixed(movie.m_preferredRate);
    w.i16(movie.m_preferredVolume);
    w.zeros(10);
    writeMatrix(w, movie.m_matrix);
    for (TimeValue v : {movie.m_previewTime, movie.m_previewDuration, movie.m_posterTime, movie.m_selectionTime,
                        movie.m_selectionDuration, movie.m_currentTime})
        w.u32(std::uint32_t(v));
    w.u32(movie.m_nextTrackID);
    endAtom(w, mvhd);
    kept.after(fourCC("mvhd"));

    for (std::size_t i = 0; i < movie.m_tracks.size(); ++i) {
        // A track that has no media (yet) has nothing a file could hold.
        if (!movie.m_tracks[i]->media())
            continue;
        writeTrack(movie, *movie.m_tracks[i], layout, i, w);
        kept.after(fourCC("trak"));
    }
    if (!movie.m_userData.empty()) {
        movie.m_userData.write(w);
        kept.after(fourCC("udta"));
    }
    kept.finish();
    endAtom(w, moov);
    if (w.size() > 0xFFFFFFFFull)
        return err::invalidMovie;
    out = w.take();
    return err::noErr;
}

} // namespace qm
