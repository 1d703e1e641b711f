// Feeds arbitrary bytes to the movie reader as a movie file held in memory, then drives what
// callers do with a movie that opened: sample reads, time queries, edits, writing and
// flattening, and reading the flattened copy back.
#include <cstddef>
#include <cstdint>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::unique_ptr<Movie> movie;
    if (Movie::openMemory(Bytes(data, data + size), movie) != err::noErr)
        return 0;
    GetControllerType(movie.get());
    movie->box();
    Bytes scratch;
    for (int i = 1; i <= movie->trackCount(); ++i) {
        Track* t = movie->track(i);
        TimeValue d = t->duration();
        t->nextInterestingTime(nextTimeMediaSample | nextTimeEdgeOK, 0);
        t->nextInterestingTime(nextTimeSyncSample, d / 3);
        t->trackTimeToMediaTime(d / 2);
        t->reference(t->nextReferenceType(0), 1);
        if (Media* m = t->media()) {
            for (std::uint32_t s = 0; s < m->sampleCount() && s < 8; ++s)
                m->readSample(s, scratch);
            MediaSample sample;
            m->getSample(m->duration() / 2, sample);
        }
    }
    movie->movieAtom(scratch);
    if (movie->trackCount() > 0) {
        Track* t = movie->track(1);
        t->deleteSegment(0, t->duration() / 2);
        if (t->media() && t->media()->duration() > 0)
            t->insertMedia(t->duration(), 0, t->media()->duration());
    }
    Bytes flat;
    if (movie->flattenToMemory(flat) == err::noErr) {
        std::unique_ptr<Movie> again;
        if (Movie::openMemory(flat, again) != err::noErr)
            __builtin_trap();
    }
    return 0;
}
