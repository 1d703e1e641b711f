#pragma once
// Saving project documents: the composed movie (when there is one), the project atom container
// and the trailer, written beside the document and renamed over it only when complete.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "project/embedded_movie.h"
#include "project/scene.h"
#include "quicktime/base/byte_io.h"

namespace qm {

struct ProjectWriteOptions {
    ProgressCallback progress; // reports while a composed movie is copied in
    // Asked once more just before the new file replaces the old one: false cancels (-128).
    std::function<bool()> keepGoing;
};

// On success the scene is clean, `file` is its project file, and media aliases point from the
// new file's folder. On failure the previous document is untouched and no temporary file stays.
// A write-protected document is refused (-45, -46); the save holds the document's edit lock
// (project_lock.h) and gives up with -47 when another process keeps it locked.
OSErr saveProject(Scene& scene, const std::filesystem::path& file, const ProjectWriteOptions& options = {},
                  std::string* detail = nullptr);

// The project atom container exactly as saveProject stores it.
Bytes buildProjectContainer(const Scene& scene);

// A map object list (the data of 'BOLS'; also the "QMP Background" clipboard block).
Bytes writeMapObjectList(const std::vector<MapObject>& objects, bool selectedOnly);

} // namespace qm
