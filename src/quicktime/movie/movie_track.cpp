#include "quicktime/movie/movie_track.h"

#include <algorithm>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

namespace qm {

namespace {

__extension__ typedef __int128 Int128;

// Media time covered by trackSpan units of movie time played at rate (floor).
TimeValue mediaSpanOf(TimeValue trackSpan, TimeScale movieScale, TimeScale mediaScale, Fixed rate)
{
    Int128 num = Int128(trackSpan) * mediaScale * rate;
    Int128 den = Int128(movieScale) * 65536;
    return TimeValue(num / den);
}

// Movie time that mediaSpan units of media take at rate (rounded to nearest).
TimeValue trackSpanOf(TimeValue mediaSpan, TimeScale movieScale, TimeScale mediaScale, Fixed rate)
{
    Int128 num = Int128(mediaSpan) * movieScale * 65536;
    Int128 den = Int128(mediaScale) * rate;
    return TimeValue((num + den / 2) / den);
}

bool spanIsExact(TimeValue trackSpan, TimeScale movieScale, TimeScale mediaScale, Fixed rate)
{
    Int128 num = Int128(trackSpan) * mediaScale * rate;
    return num % (Int128(movieScale) * 65536) == 0;
}

} // namespace

Track::Track(Movie& movie, std::uint32_t id) : m_movie(movie), m_id(id)
{
    m_creationTime = m_modificationTime = movieClockNow();
}

Track::~Track() = default;

void Track::touch()
{
    m_modificationTime = movieClockNow();
    m_movie.touch();
}

Media* Track::newMedia(OSType type, TimeScale scale)
{
    if (m_media || scale == 0) {
        m_movie.setError(err::paramErr);
        return nullptr;
    }
    m_media = std::make_unique<Media>(*this, type, scale);
    touch();
    m_movie.setError(err::noErr);
    return m_media.get();
}

void Track::disposeMedia()
{
    m_media.reset();
    for (auto& e : m_edits)
        e.mediaTime = -1;
    m_implicitEdits = false;
    touch();
    m_movie.setError(err::noErr);
}

void Track::setEnabled(bool enabled)
{
    m_flags = enabled ? (m_flags | trackEnabled) : (m_flags & ~trackEnabled);
    touch();
    m_movie.setError(err::noErr);
}

void Track::setDimensions(Fixed width, Fixed height)
{
    m_width = width;
    m_height = height;
    touch();
}

TimeValue Track::duration() const
{
    TimeValue d = 0;
    for (const auto& e : m_edits)
        d += e.trackDuration;
    return d;
}

void Track::setEdits(std::vector<TrackEdit> edits)
{
    m_edits = std::move(edits);
    m_implicitEdits = false;
    touch();
}

std::size_t Track::splitAt(TimeValue t)
{
    TimeValue start = 0;
    for (std::size_t i = 0; i < m_edits.size(); ++i) {
        TrackEdit& e = m_edits[i];
        if (t == start)
            return i;
        if (t < start + e.trackDuration) {
            TimeValue head = t - start;
            TrackEdit tail = e;
            tail.trackDuration = e.trackDuration - head;
            if (e.mediaTime >= 0 && m_media)
                tail.mediaTime = e.mediaTime + mediaSpanOf(head, m_movie.timeScale(), m_media->timeScale(), e.rate);
            e.trackDuration = head;
            m_edits.insert(m_edits.begin() + std::ptrdiff_t(i + 1), tail);
            return i + 1;
        }
        start += e.trackDuration;
    }
    return m_edits.size();
}

void Track::mergeEdits()
{
    std::erase_if(m_edits, [](const TrackEdit& e) { return e.trackDuration <= 0; });
    std::vector<TrackEdit> merged;
    for (const auto& e : m_edits) {
        if (!merged.empty()) {
            TrackEdit& last = merged.back();
            bool bothEmpty = last.mediaTime < 0 && e.mediaTime < 0;
            bool contiguous = false;
            if (!bothEmpty && last.mediaTime >= 0 && e.mediaTime >= 0 && last.rate == e.rate && last.rate > 0 && m_media) {
                TimeScale ms = m_movie.timeScale(), ds = m_media->timeScale();
                contiguous = spanIsExact(last.trackDuration, ms, ds, last.rate) &&
                             last.mediaTime + mediaSpanOf(last.trackDuration, ms, ds, last.rate) == e.mediaTime;
            }
            if (bothEmpty || contiguous) {
                last.trackDuration += e.trackDuration;
                continue;
            }
        }
        merged.push_back(e);
    }
    m_edits = std::move(merged);
}

OSErr Track::insertMedia(TimeValue trackStart, TimeValue mediaTime, TimeValue mediaDuration, Fixed rate)
{
    if (!m_media)
        return m_movie.setError(err::invalidMedia);
    if (trackStart < 0 || mediaTime < 0 || mediaDuration < 0 || rate <= 0)
        return m_movie.setError(err::paramErr);
    if (mediaTime + mediaDuration > m_media->displayEnd())
        return m_movie.setError(err::timeNotInMedia);
    if (mediaDuration == 0)
        return m_movie.setError(err::noErr);
    // A span shorter than one movie time unit still gets one unit rather than vanishing.
    TimeValue span = std::max<TimeValue>(1, trackSpanOf(mediaDuration, m_movie.timeScale(), m_media->timeScale(), rate));
    TimeValue end = duration();
    if (trackStart > end)
        m_edits.push_back({trackStart - end, -1, fixed1});
    std::size_t at = splitAt(trackStart);
    m_edits.insert(m_edits.begin() + std::ptrdiff_t(at), TrackEdit{span, mediaTime, rate});
    m_implicitEdits = false;
    mergeEdits();
    touch();
    return m_movie.setError(err::noErr);
}

OSErr Track::insertEmptySegment(TimeValue trackStart, TimeValue span)
{
    if (trackStart < 0 || span < 0)
        return m_movie.setError(err::paramErr);
    TimeValue end = duration();
    if (trackStart > end) {
        span += trackStart - end;
        trackStart = end;
    }
    std::size_t at = splitAt(trackStart);
    m_edits.insert(m_edits.begin() + std::ptrdiff_t(at), TrackEdit{span, -1, fixed1});
    m_implicitEdits = false;
    mergeEdits();
    touch();
    return m_movie.setError(err::noErr);
}

OSErr Track::deleteSegment(TimeValue start, TimeValue span)
{
    if (start < 0 || span < 0)
        return m_movie.setError(err::paramErr);
    TimeValue end = std::min(start + span, duration());
    if (start < end) {
        std::size_t first = splitAt(start);
        std::size_t last = splitAt(end);
        m_edits.erase(m_edits.begin() + std::ptrdiff_t(first), m_edits.begin() + std::ptrdiff_t(last));
        m_implicitEdits = false;
        mergeEdits();
        touch();
    }
    return m_movie.setError(err::noErr);
}

TimeValue Track::trackTimeToMediaTime(TimeValue t, TimeValue* mediaDurationLeft) const
{
    TimeValue start = 0;
    for (const auto& e : m_edits) {
        if (t >= start && t < start + e.trackDuration) {
            if (e.mediaTime < 0 || !m_media)
                return -1;
            TimeScale ms = m_movie.timeScale(), ds = m_media->timeScale();
            TimeValue at = e.mediaTime + mediaSpanOf(t - start, ms, ds, e.rate);
            if (mediaDurationLeft)
                *mediaDurationLeft = e.mediaTime + mediaSpanOf(e.trackDuration, ms, ds, e.rate) - at;
            return at;
        }
        start += e.trackDuration;
    }
    return -1;
}

TimeValue Track::nextInterestingTime(std::uint16_t flags, TimeValue t, Fixed rate, TimeValue* duration) const
{
    if (rate <= 0) {
        // Only forward searches are needed by the program.
        m_movie.setError(err::paramErr);
        return -1;
    }
    bool edgeOK = (flags & nextTimeEdgeOK) != 0;
    bool wantEdits = (flags & (nextTimeMediaEdit | nextTimeTrackEdit)) != 0;
    bool wantSamples = (flags & (nextTimeMediaSample | nextTimeSyncSample)) != 0;
    bool syncOnly = (flags & nextTimeSyncSample) != 0 && (flags & nextTimeMediaSample) == 0;
    auto after = [&](TimeValue c) { return edgeOK ? c >= t : c > t; };

    TimeValue best = -1;
    TimeValue start = 0;
    for (const auto& e : m_edits) {
        TimeValue editEnd = start + e.trackDuration;
        bool shows = e.mediaTime >= 0 && m_media && m_media->sampleCount() > 0;
        if (editEnd <= t) {
            start = editEnd;
            continue;
        }
        if (after(start)) {
            // The sample shown when an edit starts counts as starting with the edit.
            std::uint32_t s = 0;
            if (wantEdits || (wantSamples && shows && m_media->samples().sampleAtTime(e.mediaTime, s) &&
                              (!syncOnly || m_media->samples().isSync(s)))) {
                best = start;
                break;
            }
        }
        if (wantSamples && shows) {
            const SampleTable& table = m_media->samples();
            TimeScale ms = m_movie.timeScale(), ds = m_media->timeScale();
            TimeValue mediaEnd = e.mediaTime + mediaSpanOf(e.trackDuration, ms, ds, e.rate);
            TimeValue mt = e.mediaTime + mediaSpanOf(std::max(t, start) - start, ms, ds, e.rate);
            std::uint32_t s = 0;
            if (table.sampleAtTime(mt, s)) {
                for (; s < table.sampleCount(); ++s) {
                    if (syncOnly && !table.nextSyncSample(s, s))
                        break;
                    TimeValue st = table.sampleTime(s);
                    if (st >= mediaEnd)
                        break;
                    if (st < e.mediaTime)
                        continue;
                    TimeValue c = start + trackSpanOf(st - e.mediaTime, ms, ds, e.rate);
                    if (c >= editEnd)
                        break;
                    if (after(c)) {
                        best = c;
                        break;
                    }
                }
            }
            if (best >= 0)
                break;
        }
        start = editEnd;
    }
    if (duration && best >= 0) {
        TimeValue next = nextInterestingTime(std::uint16_t(flags & ~nextTimeEdgeOK), best, rate, nullptr);
        *duration = (next >= 0 ? next : this->duration()) - best;
    }
    m_movie.setError(err::noErr);
    return best;
}

OSErr Track::addReference(const Track& ref, OSType type, int* index)
{
    if (&ref.movie() != &m_movie)
        return m_movie.setError(err::trackNotInMovie);
    auto it = std::find_if(m_references.begin(), m_references.end(), [&](auto& l) { return l.type == type; });
    if (it == m_references.end()) {
        m_references.push_back({type, {}});
        it = m_references.end() - 1;
    }
    auto id = std::find(it->ids.begin(), it->ids.end(), ref.id());
    if (id == it->ids.end()) {
        it->ids.push_back(ref.id());
        id = it->ids.end() - 1;
        touch();
    }
    if (index)
        *index = int(id - it->ids.begin()) + 1;
    return m_movie.setError(err::noErr);
}

OSErr Track::setReference(const Track& ref, OSType type, int index)
{
    if (&ref.movie() != &m_movie)
        return m_movie.setError(err::trackNotInMovie);
    for (auto& l : m_references) {
        if (l.type == type && index >= 1 && index <= int(l.ids.size())) {
            l.ids[std::size_t(index - 1)] = ref.id();
            touch();
            return m_movie.setError(err::noErr);
        }
    }
    return m_movie.setError(err::badTrackIndex);
}

std::uint32_t Track::referenceID(OSType type, int index) const
{
    for (const auto& l : m_references)
        if (l.type == type && index >= 1 && index <= int(l.ids.size()))
            return l.ids[std::size_t(index - 1)];
    return 0;
}

Track* Track::reference(OSType type, int index) const
{
    std::uint32_t id = referenceID(type, index);
    Track* t = id ? m_movie.trackByID(id) : nullptr;
    m_movie.setError(t ? err::noErr : err::badTrackIndex);
    return t;
}

int Track::referenceCount(OSType type) const
{
    for (const auto& l : m_references)
        if (l.type == type)
            return int(l.ids.size());
    return 0;
}

OSType Track::nextReferenceType(OSType after) const
{
    if (after == 0)
        return m_references.empty() ? 0 : m_references.front().type;
    for (std::size_t i = 0; i + 1 < m_references.size(); ++i)
        if (m_references[i].type == after)
            return m_references[i + 1].type;
    return 0;
}

OSErr Track::deleteReference(OSType type, int index)
{
    for (std::size_t i = 0; i < m_references.size(); ++i) {
        auto& l = m_references[i];
        if (l.type == type && index >= 1 && index <= int(l.ids.size())) {
            l.ids.erase(l.ids.begin() + (index - 1));
            if (l.ids.empty())
                m_references.erase(m_references.begin() + std::ptrdiff_t(i));
            touch();
            return m_movie.setError(err::noErr);
        }
    }
    return m_movie.setError(err::badTrackIndex);
}

void Track::forgetTrack(std::uint32_t id)
{
    for (auto& l : m_references)
        for (auto& ref : l.ids)
            if (ref == id)
                ref = 0;
}

namespace {
constexpr OSType kLoadSettingsAtom = fourCC("load");
}

void Track::setLoadSettings(TimeValue preloadTime, TimeValue preloadDuration, std::uint32_t preloadFlags,
                            std::uint32_t defaultHints)
{
    std::erase_if(m_kept, [](const KeptAtom& a) { return a.type() == kLoadSettingsAtom; });
    ByteWriter w;
    w.u32(24);
    w.type(kLoadSettingsAtom);
    w.u32(std::uint32_t(std::int32_t(preloadTime)));
    w.u32(std::uint32_t(std::int32_t(preloadDuration)));
    w.u32(preloadFlags);
    w.u32(defaultHints);
    m_kept.push_back(KeptAtom{fourCC("tkhd"), w.take()});
    touch();
}

bool Track::loadSettings(TimeValue& preloadTime, TimeValue& preloadDuration, std::uint32_t& preloadFlags,
                         std::uint32_t& defaultHints) const
{
    for (const KeptAtom& a : m_kept)
        if (a.type() == kLoadSettingsAtom && a.bytes.size() >= 24) {
            const std::uint8_t* p = a.bytes.data() + 8;
            preloadTime = std::int32_t(loadBE32(p));
            preloadDuration = std::int32_t(loadBE32(p + 4));
            preloadFlags = loadBE32(p + 8);
            defaultHints = loadBE32(p + 12);
            return true;
        }
    return false;
}


std::vector<ShownSample> shownSamples(const Track& track)
{
    std::vector<ShownSample> out;
    if (!track.media())
        return out;
    const TimeValue end = track.duration();
    TimeValue t = 0;
    while (t < end) {
        TimeValue next = track.nextInterestingTime(nextTimeMediaSample, t);
        if (next < 0 || next > end)
            next = end;
        if (next <= t)
            break;
        const TimeValue mediaTime = track.trackTimeToMediaTime(t);
        if (mediaTime >= 0)
            out.push_back(ShownSample{mediaTime, t, next - t});
        t = next;
    }
    return out;
}

} // namespace qm
