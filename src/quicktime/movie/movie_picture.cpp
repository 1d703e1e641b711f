#include "quicktime/movie/movie_picture.h"

#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"

namespace qm {

OSErr getMoviePicture(const Movie& movie, TimeValue movieTime, OffscreenPicture& out)
{
    for (int i = 1; i <= movie.trackCount(); ++i) {
        const Track* track = movie.track(i);
        if (!track || !track->enabled() || !track->media() || track->media()->type() != videoMediaType)
            continue;
        const TimeValue mediaTime = track->trackTimeToMediaTime(movieTime);
        if (mediaTime < 0)
            continue;
        MediaSample sample;
        if (const OSErr e = track->media()->getSample(mediaTime, sample))
            return e;
        ImageDescription description;
        if (const OSErr e = ImageDescription::parse(sample.description.bytes(), description))
            return e;
        return decompressImage(description, sample.data, PixelDepth::Argb32, out);
    }
    return err::invalidTime;
}

} // namespace qm
