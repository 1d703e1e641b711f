#include "quicktime/vr/movie_vr.h"

#include <functional>

#include "quicktime/base/errors.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

OSType GetControllerType(const Movie* movie)
{
    if (!movie)
        return kUnknownControllerType;
    Bytes item;
    if (movie->userData().getItem(kControllerTypeItem, 0, item) != err::noErr || item.size() < 4)
        return kUnknownControllerType;
    return loadBE32(item.data());
}

OSErr SetControllerType(Movie* movie, OSType type)
{
    if (!movie)
        return err::paramErr;
    std::uint8_t bytes[4];
    storeBE32(bytes, type);
    return movie->setError(movie->userData().setItem(kControllerTypeItem, 0, bytes));
}

bool IsQuickTimeVRMovie(const Movie* movie)
{
    OSType t = GetControllerType(movie);
    return t == kQTVR2ControllerType || t == kQTVR1PanoramaControllerType || t == kQTVR1ObjectControllerType;
}

bool IsQuickTimeVR2Movie(const Movie* movie) { return GetControllerType(movie) == kQTVR2ControllerType; }

OSErr FindTrackByMediaType(const Movie* movie, OSType mediaType, Track** outTrack, Media** outMedia)
{
    if (!movie)
        return err::paramErr;
    for (int index = 1;; ++index) {
        Track* track = movie->track(index);
        if (!track)
            return movie->error();
        Media* media = track->media();
        if (media && media->type() == mediaType) {
            if (outTrack)
                *outTrack = track;
            if (outMedia)
                *outMedia = media;
            return movie->setError(err::noErr);
        }
    }
}

namespace {

constexpr OSType kHotSpotParent = fourCC("hspa");

// Reads the sample the track shows at time 0 as an atom container, lets `change` edit it, and
// makes the edited container the track's only sample.
OSErr replaceShownSample(Movie& movie, Track& track, bool placeholderDescription,
                         const std::function<OSErr(AtomContainer&)>& change)
{
    Media* media = track.media();
    if (!media)
        return movie.setError(err::invalidMedia);
    TimeValue mediaTime = track.trackTimeToMediaTime(0);
    if (mediaTime < 0)
        return movie.setError(err::timeNotInTrack);
    MediaSample sample;
    if (OSErr e = media->getSample(mediaTime, sample))
        return e;
    AtomContainer container;
    if (OSErr e = AtomContainer::parse(sample.data, container))
        return movie.setError(e);
    if (OSErr e = change(container))
        return movie.setError(e);
    // The program's own description for a rebuilt record sample: size 16, data reference 1.
    SampleDescription description = placeholderDescription ? SampleDescription::make(0) : sample.description;
    media->beginEdits();
    TimeValue at = media->addSample(container.serialize(), sample.duration, description);
    OSErr added = movie.error();
    media->endEdits();
    if (at < 0)
        return movie.setError(added);
    if (OSErr e = track.deleteSegment(0, track.duration()))
        return e;
    return track.insertMedia(0, at, sample.duration, fixed1);
}

OSErr replaceRecord(Movie* movie, OSType mediaType, OSType recordType, std::span<const std::uint8_t> bytes)
{
    if (!movie)
        return err::paramErr;
    Track* track = nullptr;
    if (OSErr e = FindTrackByMediaType(movie, mediaType, &track, nullptr))
        return e;
    return replaceShownSample(*movie, *track, true, [&](AtomContainer& c) -> OSErr {
        AtomRef record = c.findChild(AtomContainer::kRoot, recordType, 1);
        if (!record)
            return err::cannotFindAtomErr;
        return c.setData(record, bytes);
    });
}

} // namespace

OSErr ReplacePanoramaSample(Movie* movie, const PanoramaSampleRecord& record)
{
    auto bytes = record.toBytes();
    return replaceRecord(movie, fourCC("pano"), fourCC("pdat"), bytes);
}

OSErr ReplaceObjectSample(Movie* movie, const ObjectSampleRecord& record)
{
    auto bytes = record.toBytes();
    return replaceRecord(movie, fourCC("obje"), fourCC("obji"), bytes);
}

OSErr ReplaceHotSpotParent(Movie* movie, const AtomContainer* hotSpots)
{
    if (!movie)
        return err::paramErr;
    Track* track = QTVRGetQTVRTrack(*movie, 1);
    if (!track)
        return movie->setError(err::invalidTrack);
    return replaceShownSample(*movie, *track, false, [&](AtomContainer& c) -> OSErr {
        if (AtomRef old = c.findChild(AtomContainer::kRoot, kHotSpotParent, 1))
            if (OSErr e = c.removeAtom(old))
                return e;
        if (!hotSpots)
            return err::noErr;
        AtomRef parent;
        if (OSErr e = c.insertChild(AtomContainer::kRoot, kHotSpotParent, 1, 0, {}, &parent))
            return e;
        return c.copyChildren(*hotSpots, AtomContainer::kRoot, parent);
    });
}

} // namespace qm
