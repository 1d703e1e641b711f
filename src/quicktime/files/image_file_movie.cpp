#include "quicktime/files/image_file_movie.h"

#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/image_file.h"

namespace qm {

OSErr openImageFileAsMovie(const std::filesystem::path& file, OSType fileType, std::unique_ptr<Movie>& out,
                           std::string* detail)
{
    OffscreenPicture picture;
    if (const OSErr e = readImageFile(file, fileType, picture, detail))
        return e;
    ImageCompressionParams params;
    params.codecType = codecType::raw;
    params.depth = 32;
    CompressedImage frame;
    if (const OSErr e = compressImage(picture, params, frame))
        return e;

    std::unique_ptr<Movie> movie = Movie::create();
    movie->setTimeScale(kImageMovieTimeScale);
    Track* track = movie->newTrack(picture.width() << 16, picture.height() << 16, 0);
    Media* media = track ? track->newMedia(videoMediaType, kImageMovieTimeScale) : nullptr;
    if (!media)
        return movie->error() ? movie->error() : err::memFullErr;
    const TimeValue at = media->addSample(frame.data, kImageMovieTimeScale,
                                          SampleDescription(frame.description.build()));
    if (at < 0)
        return movie->error();
    if (const OSErr e = track->insertMedia(0, at, kImageMovieTimeScale))
        return e;
    out = std::move(movie);
    return err::noErr;
}

} // namespace qm
