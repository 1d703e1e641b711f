#pragma once
// Opening project documents (.qmp) and templates (.qmt).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "project/embedded_movie.h"
#include "project/project_format.h"
#include "project/scene.h"

namespace qm {

// What the reader asks of the user while it opens a project. The program shows its alerts; a
// headless caller answers for itself.
class ProjectReaderUi {
public:
    virtual ~ProjectReaderUi() = default;
    // Alert 159 ("Some nodes will be converted to generic nodes due to unresolved media
    // references."): true for OK, false for Cancel (the open then fails with -128).
    virtual bool confirmUnresolvedMedia() = 0;
    // An error the reader reports and goes on from: 201 when nodes had to be given IDs, or the
    // failure to bring back the composed movie. detail may be empty.
    virtual void reportError(OSErr code, const std::string& detail) = 0;
};

// Goes on past unresolved media and keeps the reports.
class HeadlessProjectReaderUi : public ProjectReaderUi {
public:
    struct Report {
        OSErr code;
        std::string detail;
    };
    bool confirmUnresolvedMedia() override
    {
        ++m_confirmations;
        return true;
    }
    void reportError(OSErr code, const std::string& detail) override { m_reports.push_back({code, detail}); }
    const std::vector<Report>& reports() const { return m_reports; }
    int confirmations() const { return m_confirmations; }

private:
    std::vector<Report> m_reports;
    int m_confirmations = 0;
};

// Names a new scratch file (the file need not exist yet).
using ScratchFileProvider = std::function<OSErr(std::filesystem::path& out)>;

struct ProjectReadOptions {
    ProjectReaderUi* ui = nullptr; // null: answered as HeadlessProjectReaderUi does
    // Resolve the nodes' media aliases; nodes whose media cannot be found become generic nodes.
    // Off: kinds and aliases stay as stored (for inspecting a file).
    bool resolveMedia = true;
    // Bring the embedded composed movie back into a scratch file.
    bool extractComposedMovie = true;
    ScratchFileProvider scratchFile;     // null: a new file in the system's temporary folder
    EmbeddedMovieExtractor extractMovie; // null: copyEmbeddedMovie
    ProgressCallback progress;
};

// On success `out` is the complete scene; on failure it is untouched and, when detail is given,
// *detail says what was wrong (for the error report's detail text). Errors: file system codes;
// -39 for a file too short for its trailer or whose offsets and lengths run past its end; -50
// for a bad signature or container offset; -2106 for a missing required record; -50 for a
// record longer than its layout; -39 or -2107 for a damaged atom container; -128 when the user
// cancelled.
OSErr openProject(const std::filesystem::path& file, Scene& out, const ProjectReadOptions& options = {},
                  std::string* detail = nullptr);
// Only the scene, compression and preview settings over a new scene; the scene keeps the
// template's path as its project file.
OSErr openTemplate(const std::filesystem::path& file, Scene& out, const ProjectReadOptions& options = {},
                   std::string* detail = nullptr);
// A template when the name ends in ".qmt" (any case), a project otherwise.
OSErr openDocument(const std::filesystem::path& file, Scene& out, const ProjectReadOptions& options = {},
                   std::string* detail = nullptr);

// A whole project file held in memory, read as openProject reads it but without bringing back
// the composed movie. `path` stands for the file's place (media aliases resolve against it).
OSErr readProjectImage(std::span<const std::uint8_t> file, const std::filesystem::path& path, Scene& out,
                       const ProjectReadOptions& options = {}, std::string* detail = nullptr);

// The trailer of a project file, checked as the reader checks it, and the file's size.
OSErr readProjectTrailer(const std::filesystem::path& file, project::Trailer& out, std::uint64_t& fileSize,
                         std::string* detail = nullptr);

// A map object list (the data of 'BOLS', also the "QMP Background" clipboard block) added to
// `objects`: replacing them, or in append mode after them with the new objects selected. All or
// nothing; a list without objects changes nothing.
OSErr readMapObjectList(std::span<const std::uint8_t> list, std::vector<MapObject>& objects, bool append,
                        std::string* detail = nullptr);

} // namespace qm
