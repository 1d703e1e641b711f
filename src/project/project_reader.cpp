#include "project/project_reader.h"

#include <system_error>

#include "appcore/scratch_files.h"
#include "project/hot_spot_ids.h"
#include "project/project_container_reader.h"
#include "project/scene_defaults.h"
#include "quicktime/base/errors.h"
#include "quicktime/base/file_checks.h"
#include "quicktime/base/read_only_file.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

OSErr setDetail(std::string* detail, OSErr code, std::string text)
{
    if (detail)
        *detail = std::move(text);
    return code;
}

// Where the container lies, checked against the file's size.
OSErr locateContainer(std::span<const std::uint8_t, project::kTrailerSize> trailerBytes, std::uint64_t fileSize,
                      project::Trailer& trailer, std::string* detail)
{
    if (OSErr e = project::parseTrailer(trailerBytes, trailer))
        return setDetail(detail, e, "The file is not a Quillmere project: its last 148 bytes are no project trailer.");
    if (std::uint64_t(trailer.containerOffset) + trailer.containerLength > fileSize)
        return setDetail(detail, err::eofErr,
                         "The project's records (" + std::to_string(trailer.containerLength) + " bytes at offset " +
                             std::to_string(trailer.containerOffset) + ") lie beyond the end of the file (" +
                             std::to_string(fileSize) + " bytes).");
    return err::noErr;
}

OSErr tooShort(std::uint64_t size, std::string* detail)
{
    return setDetail(detail, err::eofErr,
                     "The file is too short to be a Quillmere project (" + std::to_string(size) + " bytes).");
}

OSErr defaultScratchFile(fs::path& out)
{
    return scratchFileNamer().makeScratchFile({}, out, false);
}

// What every project open does after the container: the composed movie, node IDs, master size.
OSErr finishProject(Scene& scene, const project::Trailer& trailer, const fs::path& file, std::uint64_t fileSize,
                    const ProjectReadOptions& options, ProjectReaderUi& ui)
{
    if (trailer.movieOffset != project::kNoOffset && options.extractComposedMovie) {
        EmbeddedMovie movie;
        movie.projectFile = file;
        movie.movieOffset = trailer.movieOffset;
        movie.containerOffset = trailer.containerOffset;
        movie.containerLength = trailer.containerLength;
        movie.trailerOffset = fileSize - project::kTrailerSize;
        movie.progressTitle = "Opening ...";
        movie.progressMessage = "File '" + file.filename().string() + "'";
        movie.progress = options.progress;
        OSErr e = options.scratchFile ? options.scratchFile(movie.scratchFile) : defaultScratchFile(movie.scratchFile);
        if (e == err::noErr)
            e = options.extractMovie ? options.extractMovie(movie) : copyEmbeddedMovie(movie);
        if (e == err::userCanceledErr)
            return e;
        if (e == err::noErr) {
            scene.composedMovieFile = movie.scratchFile;
        } else {
            // The scene itself is intact: open it without the composed movie rather than
            // refuse the whole document. The saved file keeps its movie until the next save.
            scene.composedAt = 0;
            ui.reportError(e, "The composed movie stored in this project could not be restored. "
                              "Compose the scene again.");
        }
    }
    // Nodes without IDs and hot spots with repeated IDs are numbered afresh, with one report.
    const bool nodesKept = giveNodeIds(scene);
    const bool hotSpotsKept = giveHotSpotsUniqueIds(scene);
    if (!nodesKept || !hotSpotsKept)
        ui.reportError(err::nodesGivenIds, hotSpotsKept ? "" : "Hot spots that shared an ID were given new IDs.");
    if (scene.masterHeight == 0)
        scene.masterHeight = scene.playbackHeight;
    if (scene.masterWidth == 0)
        scene.masterWidth = scene.playbackWidth;
    return err::noErr;
}

OSErr openFile(const fs::path& file, Scene& out, const ProjectReadOptions& options, std::string* detail,
               bool templateOnly)
{
    HeadlessProjectReaderUi headless;
    ProjectReaderUi& ui = options.ui ? *options.ui : headless;
    Scene scene = makeNewScene();

    project::Trailer trailer;
    std::uint64_t fileSize = 0;
    Bytes container;
    {
        if (OSErr e = checkInputFile(file, detail))
            return e;
        ReadOnlyFile in;
        if (OSErr e = in.open(file))
            return e;
        fileSize = in.size();
        if (fileSize < project::kTrailerSize)
            return tooShort(fileSize, detail);
        std::array<std::uint8_t, project::kTrailerSize> trailerBytes{};
        if (OSErr e = in.readAt(fileSize - project::kTrailerSize, trailerBytes))
            return e;
        if (OSErr e = locateContainer(trailerBytes, fileSize, trailer, detail))
            return e;
        if (OSErr e = in.readAt(trailer.containerOffset, trailer.containerLength, container))
            return e;
    }

    fs::path folder = file.parent_path();
    project::ProjectContainerReader reader(options, ui, folder.empty() ? fs::path(".") : folder, detail);
    if (OSErr e = reader.read(container, scene, templateOnly))
        return e;
    container = Bytes();
    if (!templateOnly)
        if (OSErr e = finishProject(scene, trailer, file, fileSize, options, ui))
            return e;
    scene.projectFile = file;
    out = std::move(scene);
    return err::noErr;
}

} // namespace

OSErr openProject(const fs::path& file, Scene& out, const ProjectReadOptions& options, std::string* detail)
{
    return openFile(file, out, options, detail, false);
}

OSErr openTemplate(const fs::path& file, Scene& out, const ProjectReadOptions& options, std::string* detail)
{
    return openFile(file, out, options, detail, true);
}

OSErr openDocument(const fs::path& file, Scene& out, const ProjectReadOptions& options, std::string* detail)
{
    return openFile(file, out, options, detail, isTemplatePath(file));
}

OSErr readProjectImage(std::span<const std::uint8_t> file, const fs::path& path, Scene& out,
                       const ProjectReadOptions& options, std::string* detail)
{
    if (file.size() < project::kTrailerSize)
        return tooShort(file.size(), detail);
    HeadlessProjectReaderUi headless;
    ProjectReaderUi& ui = options.ui ? *options.ui : headless;
    project::Trailer trailer;
    if (OSErr e = locateContainer(file.last<project::kTrailerSize>(), file.size(), trailer, detail))
        return e;
    Scene scene = makeNewScene();
    project::ProjectContainerReader reader(options, ui, path.parent_path(), detail);
    if (OSErr e = reader.read(file.subspan(trailer.containerOffset, trailer.containerLength), scene, false))
        return e;
    ProjectReadOptions noMovie = options;
    noMovie.extractComposedMovie = false;
    if (OSErr e = finishProject(scene, trailer, path, file.size(), noMovie, ui))
        return e;
    scene.projectFile = path;
    out = std::move(scene);
    return err::noErr;
}

OSErr readProjectTrailer(const fs::path& file, project::Trailer& out, std::uint64_t& fileSize, std::string* detail)
{
    if (OSErr e = checkInputFile(file, detail))
        return e;
    ReadOnlyFile in;
    if (OSErr e = in.open(file))
        return e;
    if (in.size() < project::kTrailerSize)
        return tooShort(in.size(), detail);
    std::array<std::uint8_t, project::kTrailerSize> bytes{};
    if (OSErr e = in.readAt(in.size() - project::kTrailerSize, bytes))
        return e;
    if (OSErr e = locateContainer(bytes, in.size(), out, detail))
        return e;
    fileSize = in.size();
    return err::noErr;
}

OSErr readMapObjectList(std::span<const std::uint8_t> list, std::vector<MapObject>& objects, bool append,
                        std::string* detail)
{
    HeadlessProjectReaderUi headless;
    ProjectReadOptions options;
    project::ProjectContainerReader reader(options, headless, {}, detail);
    return reader.readMapObjects(list, objects, append);
}

} // namespace qm
