#include "quicktime/movie_vr.h"

#include "quicktime/errors.h"

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

} // namespace qm
