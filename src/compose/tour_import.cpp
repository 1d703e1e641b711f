#include "compose/tour_import.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "compose/tour_layout.h"
#include "compose/tour_nodes.h"
#include "compose/vr_atoms.h"
#include "media/movie_hot_spots.h"
#include "media/node_import.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "quicktime/base/cleanup_files.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"
#include "quicktime/movie/movie_storage.h"

namespace qm {

namespace {

std::uint32_t u32At(std::span<const std::uint8_t> d, std::size_t at)
{
    if (d.size() < at + 4)
        return 0;
    return (std::uint32_t(d[at]) << 24) | (std::uint32_t(d[at + 1]) << 16) | (std::uint32_t(d[at + 2]) << 8) | d[at + 3];
}

// The imaging slider positions (1..3) that give the world's 'impn' values back.
void readImaging(const AtomContainer& world, ImagingSettings& imaging)
{
    const AtomRef parent = world.findChild(AtomContainer::kRoot, vrAtom::kImagingParent);
    auto setting = [&](AtomID id, std::int16_t& quality, std::int16_t& correction) {
        const AtomRef impn = parent ? world.findChildById(parent, vrAtom::kPanoImaging, id) : AtomRef();
        if (!impn)
            return;
        const auto d = world.data(impn);
        const std::uint32_t c = u32At(d, 12);
        const std::uint32_t q = u32At(d, 16);
        correction = std::int16_t(std::min<std::uint32_t>(c, 2) + 1);
        quality = q < 384 ? 1 : q < 640 ? 2 : 3;
    };
    setting(1, imaging.staticQuality, imaging.staticCorrection);
    setting(2, imaging.motionQuality, imaging.motionCorrection);
}

// A link whose stored view is exactly what the composer writes without a custom view (the
// destination's default view, no "from" view) goes back to having none.
void dropPlainLinkViews(Scene& scene)
{
    for (Node& n : scene.nodes)
        for (HotSpot& h : n.hotSpots) {
            const Node* dest = findNode(scene, h.destinationNodeId);
            if (h.type != HotSpotType::kLink || !h.customLinkView || !dest)
                continue;
            const LinkView& v = h.linkView;
            const LinkView& s = h.secondView;
            if (!v.panSet || !v.tiltSet || !v.fieldOfViewSet || s.panSet || s.tiltSet || s.fieldOfViewSet)
                continue;
            float pan = 0, tilt = 0, fov = 120.0f;
            GetNodeDefaultView(*dest, pan, tilt, fov);
            if (v.pan == pan && v.tilt == tilt && v.fieldOfView == fov)
                h.customLinkView = false;
        }
}

constexpr std::string_view kStagingMarker = " Nodes.importing-";

// A folder name beside `folder` that nothing uses yet, for writing before the final rename:
// "<folder>.importing-<pid>-<n>", so that one left by a process that died can be told apart.
std::filesystem::path stagingFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    const std::string prefix = ".importing-" + std::to_string(::getpid()) + "-";
    for (int i = 1;; ++i) {
        std::filesystem::path p = folder;
        p += prefix + std::to_string(i);
        if (!std::filesystem::exists(p, ec))
            return p;
    }
}

OSErr buildScene(const Tour& tour, const std::filesystem::path& folder, const std::filesystem::path& projectFile,
                 const TourImportOptions& options, Progress& progress, Scene& scene, std::string* detail)
{
    scene = makeNewScene();
    scene.untouchedNew = false;
    scene.name = tour.name;
    if (tour.playbackWidth > 0 && tour.playbackHeight > 0) {
        scene.playbackWidth = tour.playbackWidth;
        scene.playbackHeight = tour.playbackHeight;
    }
    readImaging(tour.world, scene.imaging);
    // The tour's tiles are taken as they are; recompressing is the user's later choice.
    for (CompressionSettings& c : scene.compression)
        c.enabled = false;
    scene.projectFile = projectFile;
    bool haveInitial = false;
    for (const TourNode& t : tour.nodes) {
        Node node;
        node.id = std::int16_t(t.id);
        const std::filesystem::path file = folder / tourNodeFileName(t.id);
        node.mediaReference = FileAlias::forFile(file, projectFile.parent_path()).serialize();
        if (OSErr e = AnalyzeNodeMedia(node, projectFile, {}, detail))
            return e;
        // The tour's own names, also when empty: the file name is no name of the node.
        node.name = t.name;
        node.comment = t.comment;
        if (options.keepHotSpots)
            if (OSErr e = readMovieHotSpots(file, node.hotSpots, detail))
                return e;
        node.initial = !haveInitial && t.id == tour.defaultNodeId;
        haveInitial = haveInitial || node.initial;
        scene.nodes.push_back(std::move(node));
        if (OSErr e = progress.step(std::nullopt, -1))
            return e;
    }
    if (!haveInitial)
        scene.nodes.front().initial = true;
    dropPlainLinkViews(scene);
    layoutTourMap(scene);
    return 0;
}

} // namespace

int removeStaleTourImports(const std::filesystem::path& folder)
{
    std::error_code ec;
    int removed = 0;
    for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        // "<project name> Nodes.importing-<pid>-<n>"
        const std::string name = it->path().filename().string();
        const auto marker = name.rfind(kStagingMarker);
        if (marker == std::string::npos)
            continue;
        const std::string rest = name.substr(marker + kStagingMarker.size());
        char* stop = nullptr;
        const long pid = std::strtol(rest.c_str(), &stop, 10);
        if (stop == rest.c_str() || *stop != '-' || processIsAlive(pid))
            continue;
        // Only real folders of this user, never what a link points to.
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        std::error_code removeError;
        if (std::filesystem::remove_all(it->path(), removeError) != std::uintmax_t(-1) && !removeError)
            ++removed;
    }
    return removed;
}

std::filesystem::path tourNodeFolder(const std::filesystem::path& projectFile)
{
    std::filesystem::path folder = projectFile.parent_path();
    return folder / (projectFile.stem().string() + " Nodes");
}

std::string tourNodeFileName(std::uint32_t nodeId) { return "Node " + std::to_string(nodeId) + ".mov"; }

OSErr importTour(const std::filesystem::path& movieFile, const std::filesystem::path& projectFileIn,
                 const TourImportOptions& options, Progress& progress, Scene& out, std::string* detail)
{
    std::error_code ec;
    const std::filesystem::path projectFile = std::filesystem::absolute(projectFileIn, ec);
    if (ec)
        return err::paramErr;
    const std::filesystem::path folder = tourNodeFolder(projectFile);
    // Said before the movie is read, and naming the folder: otherwise the whole tour is read
    // only to fail on the first node written.
    if (!std::filesystem::is_directory(projectFile.parent_path(), ec)) {
        if (detail)
            *detail = "cannot write the project " + projectFile.string() + ": its folder " +
                      projectFile.parent_path().string() + " does not exist";
        return err::fnfErr;
    }
    // Node folders half written by imports that died on the way.
    removeStaleTourImports(projectFile.parent_path());
    if (std::filesystem::exists(projectFile, ec) || std::filesystem::exists(folder, ec)) {
        if (detail)
            *detail = (std::filesystem::exists(projectFile, ec) ? projectFile : folder).string() + " already exists";
        return err::dupFNErr;
    }
    std::unique_ptr<Movie> movie;
    if (OSErr e = Movie::open(movieFile, MovieOpenMode::read, movie, detail))
        return e;
    Tour tour;
    if (OSErr e = readTour(*movie, tour, detail))
        return e;

    std::int32_t work = 1;
    for (const TourNode& n : tour.nodes)
        work += n.samples + 3;
    ProgressSettings settings;
    settings.title = "Importing Tour...";
    settings.message = "Copying nodes...";
    settings.maximum = work;
    progress.open(settings);

    const std::filesystem::path staging = stagingFolder(folder);
    OSErr e = 0;
    if (!std::filesystem::create_directory(staging, ec)) {
        e = ec ? errnoToOSErr(ec.value()) : OSErr(err::ioErr);
        if (detail)
            *detail = "cannot create " + staging.string() + (ec ? ": " + ec.message() : std::string());
    }
    bool moved = false;
    for (std::size_t i = 0; !e && i < tour.nodes.size(); ++i)
        e = writeTourNodeMovie(*movie, tour, tour.nodes[i], staging / tourNodeFileName(tour.nodes[i].id), progress,
                               detail);
    movie.reset();
    if (!e) {
        std::filesystem::rename(staging, folder, ec);
        e = ec ? errnoToOSErr(ec.value()) : OSErr(0);
        if (ec && detail)
            *detail = "cannot name the node folder " + folder.string() + ": " + ec.message();
        moved = !e;
    }
    Scene scene;
    if (!e)
        e = progress.step("Building the scene...", 0);
    if (!e)
        e = buildScene(tour, folder, projectFile, options, progress, scene, detail);
    if (!e)
        e = saveProject(scene, projectFile, {}, detail);
    progress.close();
    if (e) {
        std::filesystem::remove_all(moved ? folder : staging, ec);
        return e;
    }
    out = std::move(scene);
    return 0;
}

} // namespace qm
