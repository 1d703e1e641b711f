#include "compose/track_samples.h"

#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"

namespace qm {

OSErr firstShownSample(const Track& track, MediaSample& out)
{
    const Media* media = track.media();
    if (!media)
        return err::invalidMedia;
    const auto shown = shownSamples(track);
    if (shown.empty())
        return err::timeNotInMedia;
    return media->getSample(shown.front().mediaTime, out);
}

OSErr appendSample(Track& track, std::span<const std::uint8_t> data, const SampleDescription& description,
                   TimeValue duration, TimeValue trackTime, std::uint32_t flags)
{
    Media* media = track.media();
    if (!media)
        return err::invalidMedia;
    const TimeValue at = media->addSample(data, duration, description, 1, flags);
    if (at < 0)
        return track.movie().error() ? track.movie().error() : err::paramErr;
    return track.insertMedia(trackTime, at, duration);
}

OSErr readSampleContainer(const Track& track, AtomContainer& out, MediaSample* sample)
{
    MediaSample s;
    if (OSErr e = firstShownSample(track, s))
        return e;
    if (OSErr e = AtomContainer::parse(s.data, out))
        return e;
    if (sample)
        *sample = std::move(s);
    return 0;
}

Track* vrTrack(Movie& movie, OSType mediaType)
{
    Track* qtvr = nullptr;
    if (FindTrackByMediaType(&movie, vrNodeType::kQtvr, &qtvr, nullptr) == 0 && qtvr)
        if (Track* t = qtvr->reference(mediaType, 1); t && t->media() && t->media()->type() == mediaType)
            return t;
    Track* t = nullptr;
    FindTrackByMediaType(&movie, mediaType, &t, nullptr);
    return t;
}

SampleDescription placeholderDescription() { return SampleDescription::make(0); }

} // namespace qm
