#include "compose/prepare_working_copy.h"

#include "appcore/scratch_files.h"
#include "compose/hot_spot_writers.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copy_conversions.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"

namespace qm {

OSErr newScratchFile(const ComposeEnvironment& env, std::filesystem::path& out)
{
    ScratchFileNamer& namer = env.namer ? *env.namer : scratchFileNamer();
    return namer.makeScratchFile(effectiveScratchFolder(env.scratchFolder), out, false);
}

namespace {

// Object movies are composed at 3600 units per second: the working copy takes that scale and
// its view duration follows.
OSErr rescaleObject(Movie& movie)
{
    Track* object = vrTrack(movie, vrNodeType::kObject);
    if (!object)
        return err::badTrackIndex;
    AtomContainer sample;
    if (OSErr e = readSampleContainer(*object, sample))
        return e;
    const AtomRef obji = sample.findChild(AtomContainer::kRoot, vrAtom::kObjectSample);
    if (!obji)
        return err::cannotFindAtomErr;
    ObjectSampleRecord record = ObjectSampleRecord::fromBytes(sample.data(obji));
    record.viewDuration = std::uint32_t(convertTimeScale(record.viewDuration, movie.timeScale(), 3600));
    if (OSErr e = movie.setTimeScale(3600))
        return e;
    return ReplaceObjectSample(&movie, record);
}

OSErr writeWorkingFile(Node& node, const std::filesystem::path& media,
                       const std::filesystem::path& file, const ComposeEnvironment& env)
{
    if (node.kind == NodeKind::kStillImage) {
        if (!env.readStillImage)
            return err::noCodecErr;
        OffscreenPicture picture;
        if (OSErr e = env.readStillImage(media, picture))
            return e;
        return convertStillImage(picture, node, file);
    }
    std::unique_ptr<Movie> source;
    if (OSErr e = Movie::open(media, MovieOpenMode::read, source))
        return e;
    if (node.kind == NodeKind::kLinearMovie)
        return convertLinearMovie(*source, node, file);
    return source->flatten(file);
}

} // namespace

OSErr prepareWorkingCopy(const Scene& scene, Node& node, WorkingCopies& copies, const ComposeEnvironment& env)
{
    std::error_code ec;
    if (copies.movie(node.id) && std::filesystem::exists(copies.file(node.id), ec))
        return 0;
    std::filesystem::path media;
    if (!env.resolveMedia)
        return err::fnfErr;
    if (OSErr e = env.resolveMedia(scene, node, media))
        return e;
    copies.discard(node.id);
    std::filesystem::path file;
    if (OSErr e = newScratchFile(env, file))
        return e;
    copies.setFile(node.id, file);
    if (OSErr e = writeWorkingFile(node, media, file, env)) {
        copies.discard(node.id);
        return e;
    }
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(file, MovieOpenMode::readWrite, movie)) {
        copies.discard(node.id);
        return e;
    }
    OSErr e = 0;
    if (node.vrVersion == 0x100) {
        if (node.kind == NodeKind::kPanorama)
            e = convertPanorama1x(node, *movie);
        else if (node.kind == NodeKind::kObject)
            e = convertObject1x(node, *movie);
    }
    if (!e && node.kind == NodeKind::kObject)
        e = rescaleObject(*movie);
    if (!e)
        e = node.kind == NodeKind::kPanorama ? writePanoramaHotSpots(scene, node, *movie, env)
                                             : writeObjectHotSpots(scene, node, *movie, env);
    if (!e)
        e = movie->updateMovieResource();
    if (e) {
        copies.discard(node.id);
        return e;
    }
    copies.setMovie(node.id, std::move(movie));
    return 0;
}

} // namespace qm
