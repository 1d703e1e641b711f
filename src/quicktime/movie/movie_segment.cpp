// Copying a span of one track into another track, possibly of another movie.
#include <algorithm>
#include <climits>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

namespace qm {

namespace {

__extension__ typedef __int128 Int128;

constexpr std::uint64_t maxGroupBytes = 4u << 20;

// Copies the samples of src that overlap [from, to) into dst, with their composition offsets,
// from the key frame before the first when that one is not a key frame (decoders start there);
// gives dst's media time of the first one copied and src's media time where it started.
OSErr copySamples(const Media& src, TimeValue from, TimeValue to, Media& dst, TimeValue& dstFirst, TimeValue& srcFirst)
{
    const SampleTable& table = src.samples();
    std::uint32_t s = 0;
    if (!table.sampleAtTime(from, s))
        return err::timeNotInMedia;
    while (s > 0 && !table.isSync(s))
        --s;
    bool first = true;
    Bytes buffer;
    while (s < table.sampleCount() && table.sampleTime(s) < to) {
        SampleInfo head;
        table.sampleInfo(s, head);
        // Neighbours in one chunk with the same size, duration and kind go over together.
        std::uint32_t count = 1;
        SampleInfo next;
        while (s + count < table.sampleCount() && table.sampleTime(s + count) < to &&
               std::uint64_t(head.size) * (count + 1) <= maxGroupBytes && table.sampleInfo(s + count, next) &&
               next.chunk == head.chunk && next.size == head.size && next.duration == head.duration &&
               next.sync == head.sync && table.compositionOffset(s + count) == table.compositionOffset(s))
            ++count;
        if (OSErr e = src.readSampleBytes(head, head.offset, std::uint64_t(head.size) * count, buffer))
            return e;
        TimeValue duration = std::max<TimeValue>(1, convertTimeScale(head.duration, src.timeScale(), dst.timeScale()));
        const std::int32_t offset = std::int32_t(std::clamp<TimeValue>(
            convertTimeScale(table.compositionOffset(s), src.timeScale(), dst.timeScale()), INT32_MIN, INT32_MAX));
        TimeValue at = dst.addSample(buffer, duration, *src.sampleDescriptionPtr(int(head.descIndex)), count,
                                     head.sync ? 0 : mediaSampleNotSync, nullptr, offset);
        if (at < 0)
            return dst.movie().error();
        if (first) {
            dstFirst = at;
            srcFirst = head.time;
            first = false;
        }
        s += count;
    }
    return first ? err::timeNotInMedia : err::noErr;
}

} // namespace

OSErr insertTrackSegment(const Track& src, TimeValue srcIn, TimeValue srcDuration, Track& dst, TimeValue dstIn)
{
    Movie& movie = dst.movie();
    const Media* sm = src.media();
    if (srcIn < 0 || srcDuration < 0 || dstIn < 0)
        return movie.setError(err::paramErr);
    if (!sm)
        return movie.setError(err::invalidMedia);
    Media* dm = dst.media();
    if (!dm) {
        dm = dst.newMedia(sm->type(), sm->timeScale());
        if (!dm)
            return movie.error();
    } else if (dm->type() != sm->type()) {
        return movie.setError(err::mediaTypesDontMatch);
    }
    TimeScale srcScale = src.movie().timeScale(), dstScale = movie.timeScale();
    TimeValue end = std::min(srcIn + srcDuration, src.duration());
    TimeValue editStart = 0, pos = dstIn;
    for (const TrackEdit& e : std::vector<TrackEdit>(src.edits())) {
        TimeValue editEnd = editStart + e.trackDuration;
        TimeValue a = std::max(editStart, srcIn), b = std::min(editEnd, end);
        editStart = editEnd;
        if (a >= b)
            continue;
        TimeValue span = convertTimeScale(b - a, srcScale, dstScale);
        if (e.mediaTime < 0 || e.rate <= 0) {
            if (OSErr err = dst.insertEmptySegment(pos, span))
                return err;
            pos += span;
            continue;
        }
        TimeValue mediaLeft = 0;
        TimeValue mediaFrom = src.trackTimeToMediaTime(a, &mediaLeft);
        Int128 scaled = Int128(convertTimeScale(b - a, srcScale, sm->timeScale())) * e.rate / 65536;
        TimeValue mediaTo = mediaFrom + std::min<TimeValue>(TimeValue(scaled), mediaLeft);
        mediaTo = std::min(mediaTo, sm->displayEnd());
        if (mediaFrom < 0 || mediaTo <= mediaFrom)
            continue;
        TimeValue dstFirst = 0, srcFirst = 0;
        if (OSErr err = copySamples(*sm, mediaFrom, mediaTo, *dm, dstFirst, srcFirst))
            return movie.setError(err);
        TimeValue into = dstFirst + convertTimeScale(mediaFrom - srcFirst, sm->timeScale(), dm->timeScale());
        TimeValue length = convertTimeScale(mediaTo - mediaFrom, sm->timeScale(), dm->timeScale());
        length = std::min(length, dm->displayEnd() - into);
        TimeValue before = std::max(dst.duration(), pos);
        if (OSErr err = dst.insertMedia(pos, into, length, e.rate))
            return err;
        pos += dst.duration() - before;
    }
    return movie.setError(err::noErr);
}

} // namespace qm
