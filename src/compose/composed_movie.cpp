#include "compose/composed_movie.h"

#include <fstream>
#include <system_error>

#include "compose/vr_world.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/safe_file_writer.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

OSErr clearComposedMovie(Scene& scene)
{
    scene.composedAt = 0;
    if (!scene.composedMovieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(scene.composedMovieFile, ec);
        scene.composedMovieFile.clear();
    }
    return 0;
}

namespace {

constexpr OSType kAnnotationName = fourCC("\xA9nam");
constexpr OSType kAnnotationCopyright = fourCC("\xA9" "cpy");
constexpr OSType kAnnotationDescription = fourCC("\xA9inf");

OSErr openComposed(const Scene& scene, MovieOpenMode mode, std::unique_ptr<Movie>& movie)
{
    if (scene.composedMovieFile.empty() || !std::filesystem::exists(scene.composedMovieFile))
        return err::fnfErr;
    return Movie::open(scene.composedMovieFile, mode, movie);
}

// The stored text without the terminating zero byte the program writes.
std::string annotation(const Movie& movie, OSType type)
{
    std::string text;
    if (movie.userData().getText(type, 1, 0, text) != err::noErr)
        return {};
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

} // namespace

OSErr rewriteComposedWorld(const Scene& scene)
{
    AtomContainer world;
    if (OSErr e = buildVrWorld(scene, world))
        return e;
    std::unique_ptr<Movie> movie;
    if (OSErr e = openComposed(scene, MovieOpenMode::readWrite, movie))
        return e;
    Track* qtvr = QTVRGetQTVRTrack(*movie, 1);
    Media* media = qtvr ? qtvr->media() : nullptr;
    if (!media)
        return err::invalidTrack;
    const SampleDescription description(qtvrSampleDescription(world));
    for (int i = 1; i <= media->sampleDescriptionCount(); ++i)
        if (OSErr e = media->setSampleDescription(i, description))
            return e;
    return movie->updateMovieResource();
}

OSErr readComposedAnnotations(const Scene& scene, MovieAnnotations& out)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = openComposed(scene, MovieOpenMode::read, movie))
        return e;
    out.name = annotation(*movie, kAnnotationName);
    out.copyright = annotation(*movie, kAnnotationCopyright);
    out.description = annotation(*movie, kAnnotationDescription);
    return err::noErr;
}

OSErr writeComposedAnnotations(const Scene& scene, const MovieAnnotations& a)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = openComposed(scene, MovieOpenMode::readWrite, movie))
        return e;
    const std::pair<OSType, const std::string*> texts[] = {
        {kAnnotationName, &a.name}, {kAnnotationCopyright, &a.copyright}, {kAnnotationDescription, &a.description}};
    for (const auto& [type, text] : texts) {
        movie->userData().removeText(type, 1, 0);
        if (!text->empty())
            if (OSErr e = movie->userData().addText(type, 1, 0, *text + '\0'))
                return e;
    }
    return movie->updateMovieResource();
}

OSErr applyComposedPlaybackHints(const Scene& scene)
{
    std::unique_ptr<Movie> movie;
    if (OSErr e = openComposed(scene, MovieOpenMode::readWrite, movie))
        return e;
    const std::uint32_t flags = (scene.playbackHints & 0x10000000u) ? 1 : 0;
    for (int i = 1; Track* t = movie->track(i); ++i)
        t->setLoadSettings(-1, 0, flags, scene.playbackHints & 0xFFFFu);
    return movie->updateMovieResource();
}

OSErr exportComposedMovie(const Scene& scene, const std::filesystem::path& destination)
{
    if (scene.composedMovieFile.empty())
        return err::fnfErr;
    std::ifstream in(scene.composedMovieFile, std::ios::binary);
    if (!in)
        return err::fnfErr;
    std::error_code ec;
    if (std::filesystem::equivalent(scene.composedMovieFile, destination, ec))
        return err::noErr;
    SafeFileWriter out;
    if (OSErr e = out.open(destination))
        return e;
    std::vector<std::uint8_t> buffer(1 << 20);
    while (in) {
        in.read(reinterpret_cast<char*>(buffer.data()), std::streamsize(buffer.size()));
        const std::size_t n = std::size_t(in.gcount());
        if (n == 0)
            break;
        if (OSErr e = out.write(std::span(buffer.data(), n)))
            return e;
    }
    if (in.bad())
        return err::ioErr;
    return out.commit();
}

} // namespace qm
