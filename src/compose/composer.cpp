#include "compose/composer.h"

#include <system_error>

#include "compose/composed_movie.h"
#include "compose/node_writers.h"
#include "compose/prepare_working_copy.h"
#include "compose/tile_compressor.h"
#include "quicktime/raster/raster_geometry.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/vr_world.h"
#include "quicktime/base/errors.h"
#include "quicktime/vr/movie_vr.h"

namespace qm {

std::int32_t composeProgressMaximum(const Scene& scene) { return std::int32_t(scene.nodes.size()) * 103 + 1; }

void discardAllWorkingCopies(Scene& scene, WorkingCopies& copies)
{
    copies.discardAll();
    if (!scene.composedMovieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(scene.composedMovieFile, ec);
        scene.composedMovieFile.clear();
    }
}

namespace {

bool isComposable(OSType kind)
{
    return kind == NodeKind::kPanorama || kind == NodeKind::kObject || kind == NodeKind::kStillImage ||
           kind == NodeKind::kLinearMovie;
}

// Fixes the movie layer's clock for a deterministic compose and puts it back afterwards.
class MovieClockScope {
public:
    explicit MovieClockScope(bool fixed)
        : m_fixed(fixed)
    {
        if (m_fixed)
            setFixedMovieClock(0);
    }
    ~MovieClockScope()
    {
        if (m_fixed)
            setFixedMovieClock(std::nullopt);
    }
    MovieClockScope(const MovieClockScope&) = delete;
    MovieClockScope& operator=(const MovieClockScope&) = delete;

private:
    bool m_fixed;
};

Track* newSceneTrack(Movie& movie, const Scene& scene, OSType mediaType)
{
    Track* t = movie.newTrack(Fixed(scene.playbackWidth) << 16, Fixed(scene.playbackHeight) << 16, 0);
    if (t && !t->newMedia(mediaType, kComposeTimeScale))
        return nullptr;
    return t;
}

OSErr lastError(Movie& movie) { return movie.error() ? movie.error() : err::memFullErr; }

OSErr createSceneTracks(Movie& movie, const Scene& scene, bool panoramas, bool objects, SceneTracks& t)
{
    t.movie = &movie;
    if (!(t.qtvr = newSceneTrack(movie, scene, vrNodeType::kQtvr)))
        return lastError(movie);
    if (panoramas) {
        if (!(t.panorama = newSceneTrack(movie, scene, vrNodeType::kPanorama)))
            return lastError(movie);
        if (OSErr e = t.qtvr->addReference(*t.panorama, vrNodeType::kPanorama))
            return e;
    }
    if (objects) {
        if (!(t.object = newSceneTrack(movie, scene, vrNodeType::kObject)))
            return lastError(movie);
        if (OSErr e = t.qtvr->addReference(*t.object, vrNodeType::kObject))
            return e;
    }
    if (panoramas) {
        if (!(t.panoramaImage = newSceneTrack(movie, scene, videoMediaType)))
            return lastError(movie);
        t.panoramaImage->setEnabled(false);
        if (!(t.panoramaHotSpot = newSceneTrack(movie, scene, videoMediaType)))
            return lastError(movie);
        t.panoramaHotSpot->setEnabled(false);
    }
    if (objects) {
        if (!(t.objectImage = newSceneTrack(movie, scene, videoMediaType)))
            return lastError(movie);
        if (OSErr e = t.object->addReference(*t.objectImage, vrAtom::kImageTrackRef, &t.objectImageIndex))
            return e;
        if (!(t.objectHotSpot = newSceneTrack(movie, scene, videoMediaType)))
            return lastError(movie);
        t.objectHotSpot->setEnabled(false);
        t.objectHotSpot->setLayer(-1);
        if (OSErr e = t.object->addReference(*t.objectHotSpot, vrAtom::kHotSpotTrackRef, &t.objectHotSpotIndex))
            return e;
    }
    return 0;
}

// A scene hot spot track that no node gave a frame would have no sample description, which
// readers take for a broken movie: it gets one blank frame (every pixel 0, no hot spot) over the
// whole movie.
OSErr fillEmptyHotSpotTrack(Movie& movie, Track* track)
{
    if (!track || !track->media() || track->media()->sampleCount() > 0)
        return 0;
    OffscreenPicture blank;
    const Rect frameRect = makeRect(0, 0, std::max(1, int(track->height() >> 16)), std::max(1, int(track->width() >> 16)));
    if (OSErr e = blank.allocate(PixelDepth::Indexed8, frameRect))
        return e;
    blank.fill(0);
    EncodedImage frame;
    if (OSErr e = compressHotSpotTile(blank, frameRect, frame))
        return e;
    return appendSample(*track, frame.data, SampleDescription(frame.description),
                        std::max<TimeValue>(movie.duration(), 1), 0);
}

// The annotation texts as the program stores them: with their terminating zero byte.
OSErr addAnnotations(Movie& movie, const ComposeEnvironment& env)
{
    const std::pair<OSType, const std::string*> texts[] = {
        {fourCC("\xA9nam"), &env.annotationName},
        {fourCC("\xA9" "cpy"), &env.annotationCopyright},
        {fourCC("\xA9inf"), &env.annotationDescription},
    };
    for (const auto& [type, text] : texts) {
        movie.userData().removeText(type, 1, 0);
        if (OSErr e = movie.userData().addText(type, 1, 0, *text + '\0'))
            return e;
    }
    return 0;
}

OSErr composeNodes(Scene& scene, WorkingCopies& copies, const ComposeEnvironment& env, Progress& progress,
                   const AtomContainer& world, SceneTracks& tracks)
{
    for (std::size_t i : composeOrder(scene)) {
        Node& node = scene.nodes[i];
        const std::string message = "Node \"" + node.name.str() + "\"...";
        if (OSErr e = progress.step(message, -1))
            return e;
        copies.close(node.id);
        if (OSErr e = prepareWorkingCopy(scene, node, copies, env))
            return e;
        Movie* wc = copies.movie(node.id);
        if (!wc)
            return err::invalidMovie;
        OSErr e = 0;
        switch (node.kind) {
        case NodeKind::kPanorama:
            e = writePanoramaNode(node, *wc, world, tracks, scene.compression[kPanoramaCompression], progress, env);
            break;
        case NodeKind::kObject:
            e = writeObjectNode(node, *wc, world, tracks, scene.compression[kObjectCompression], progress, env);
            break;
        case NodeKind::kStillImage:
            e = writeObjectNode(node, *wc, world, tracks, scene.compression[kStillImageCompression], progress, env);
            break;
        case NodeKind::kLinearMovie:
            e = writeMovieNode(node, *wc, world, tracks, scene.compression[kMovieCompression], progress, env);
            break;
        default: e = err::genericNodeInScene; break;
        }
        if (e)
            return e;
    }
    return 0;
}

} // namespace

OSErr composeScene(Scene& scene, WorkingCopies& copies, const ComposeEnvironment& env, Progress& progress)
{
    // A generic node would have a place in the VR world but no sample in the QTVR track, and
    // every node after it would be shown as the one before: refuse before anything changes.
    int panoramas = 0;
    int objects = 0;
    for (const Node& n : scene.nodes) {
        if (!isComposable(n.kind) || n.mediaReference.empty())
            return err::genericNodeInScene;
        (n.kind == NodeKind::kPanorama ? panoramas : objects)++;
    }
    clearComposedMovie(scene);
    if (panoramas == 0 && objects == 0)
        return -1;
    markDirty(scene);

    const MovieClockScope clock(env.deterministic);
    ProgressSettings settings;
    settings.options = progressShowsMessage | progressShowsBar | progressShowsCount;
    settings.title = "Composing Scene...";
    settings.message = "Creating scene tracks...";
    settings.maximum = composeProgressMaximum(scene);
    progress.open(settings);

    std::filesystem::path file;
    std::unique_ptr<Movie> movie;
    OSErr e = newScratchFile(env, file);
    if (!e)
        e = Movie::createFile(file, true, movie);
    if (!e)
        e = SetControllerType(movie.get(), kQTVR2ControllerType);
    if (!e)
        e = movie->setTimeScale(kComposeTimeScale);
    SceneTracks tracks;
    if (!e)
        e = createSceneTracks(*movie, scene, panoramas > 0, objects > 0, tracks);
    if (!e)
        e = progress.step(std::nullopt, -1);
    AtomContainer world;
    if (!e)
        e = buildVrWorld(scene, world);
    if (!e)
        e = composeNodes(scene, copies, env, progress, world, tracks);
    if (!e)
        e = fillEmptyHotSpotTrack(*movie, tracks.panoramaHotSpot);
    if (!e)
        e = fillEmptyHotSpotTrack(*movie, tracks.objectHotSpot);
    if (!e)
        e = addAnnotations(*movie, env);
    if (!e)
        e = movie->addMovieResource();
    movie.reset();
    if (e) {
        if (!file.empty()) {
            std::error_code ec;
            std::filesystem::remove(file, ec);
        }
        scene.composedMovieFile.clear();
    } else {
        scene.composedAt = composeTimestamp(env);
        scene.composedMovieFile = file;
    }
    progress.close();
    return e;
}

} // namespace qm
