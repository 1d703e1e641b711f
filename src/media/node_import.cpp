#include "media/node_import.h"

#include <system_error>

#include "appcore/preferences_store.h"
#include "media/media_analysis.h"
#include "quicktime/base/file_checks.h"
#include "media/movie_hot_spots.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"

namespace qm {

namespace {

void applyAnalysis(Node& node, MediaAnalysis&& a)
{
    node.kind = a.kind;
    node.vrVersion = a.vrVersion;
    node.movieBounds = a.movieBounds;
    node.displayBounds = a.displayBounds;
    node.mediaData = std::move(a.mediaData);
    if (a.imageTrackReference)
        node.imageTrackReference = *a.imageTrackReference;
    if (a.hotSpotTrackReference)
        node.hotSpotTrackReference = *a.hotSpotTrackReference;
    if (a.vr1VideoTrackId)
        node.vr1VideoTrackId = *a.vr1VideoTrackId;
    if (a.movieDuration)
        node.movieDuration = *a.movieDuration;
    if (a.movieFirstFrameTime)
        node.movieFirstFrameTime = *a.movieFirstFrameTime;
    node.name = std::move(a.name);
}

void defaultClearComposedMovie(Scene& scene)
{
    scene.composedAt = 0;
    if (!scene.composedMovieFile.empty()) {
        std::error_code ec;
        std::filesystem::remove(scene.composedMovieFile, ec);
        scene.composedMovieFile.clear();
    }
}

} // namespace

std::int16_t NewNodeID(const Scene& scene)
{
    return nextFreeNodeId(scene);
}

void GetNodeDefaultView(const Node& node, float& pan, float& tilt, float& fieldOfView)
{
    if (node.kind == NodeKind::kPanorama) {
        if (const auto* p = std::get_if<PanoramaSampleRecord>(&node.mediaData)) {
            pan = p->defaultPan;
            tilt = p->defaultTilt;
            fieldOfView = p->defaultFieldOfView;
        }
    } else if (node.kind == NodeKind::kObject) {
        if (const auto* o = std::get_if<ObjectSampleRecord>(&node.mediaData)) {
            pan = o->defaultPan;
            tilt = o->defaultTilt;
            fieldOfView = o->defaultFieldOfView;
        }
    }
}

OSErr AnalyzeNodeMedia(Node& node, const std::filesystem::path& projectFile, const NodeImportHooks& hooks,
                       std::string* detail)
{
    const std::filesystem::path baseFolder = projectFile.empty() ? std::filesystem::path() : projectFile.parent_path();
    FileAlias alias;
    if (const OSErr e = FileAlias::parse(node.mediaReference, alias))
        return e;
    std::filesystem::path file;
    bool updated = false;
    if (const OSErr e = alias.resolve(baseFolder, file, updated)) {
        if (detail)
            *detail = "media not found: " + alias.fileName();
        return e;
    }
    MediaAnalysis a;
    if (const OSErr e = analyzeMediaFile(file, a, detail))
        return e;
    const bool hadMediaData = !std::holds_alternative<std::monostate>(node.mediaData);
    if (hadMediaData && hooks.discardNodeWorkingCopy)
        hooks.discardNodeWorkingCopy(node.id);
    if (updated)
        node.mediaReference = alias.serialize();
    applyAnalysis(node, std::move(a));
    return err::noErr;
}

OSErr AddNodeFromFile(Scene& scene, Point position, const std::filesystem::path& file, bool select,
                      const NodeImportHooks& hooks, std::int16_t* newNodeId, std::string* detail)
{
    // A folder, device or pipe is named for what it is, and a pipe is never opened.
    if (std::string why; checkInputFile(file, &why) == err::notAFileErr) {
        if (detail)
            *detail = why;
        return err::notAFileErr;
    }
    Node node;
    node.id = NewNodeID(scene);
    if (node.id == 0) {
        if (detail)
            *detail = "the scene has no free node ID";
        return err::paramErr;
    }
    node.mapPosition = hooks.snapToNodeGrid ? hooks.snapToNodeGrid(scene, position) : position;
    const std::filesystem::path baseFolder =
        scene.projectFile.empty() ? std::filesystem::path() : scene.projectFile.parent_path();
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    node.mediaReference = FileAlias::forFile(ec ? file : absolute, baseFolder).serialize();
    if (const OSErr e = AnalyzeNodeMedia(node, scene.projectFile, hooks, detail))
        return e;
    const bool keepHotSpots = hooks.keepMovieHotSpots ? *hooks.keepMovieHotSpots
                                                      : appPreferences().record().keepMovieHotSpots();
    const bool vrNode = node.vrVersion == 0x200 || (node.vrVersion == 0x100 && node.kind == NodeKind::kPanorama);
    if (keepHotSpots && vrNode && (node.kind == NodeKind::kPanorama || node.kind == NodeKind::kObject)) {
        if (const OSErr e = readMovieHotSpots(ec ? file : absolute, node.hotSpots, detail))
            return e;
    }

    node.initial = scene.nodes.empty();
    scene.nodes.push_back(std::move(node));
    Node& added = scene.nodes.back();
    const std::int16_t id = added.id;
    if (hooks.separateNode)
        hooks.separateNode(scene, id);
    if (select) {
        for (Node& n : scene.nodes)
            n.selected = n.id == id;
    }
    if (hooks.clearComposedMovie)
        hooks.clearComposedMovie(scene);
    else
        defaultClearComposedMovie(scene);
    markDirty(scene);
    if (newNodeId)
        *newNodeId = id;
    return err::noErr;
}

} // namespace qm
