#pragma once
// Documents from and to files: a new scene, a project or template opened from disk (with the
// questions and reports of the reader shown to the user, and a progress window while a stored
// composed movie is copied out), and a project saved.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

#include "quicktime/base/os_types.h"

namespace qm {

class SceneDocument;

// A new untitled scene with the defaults of every new scene.
std::unique_ptr<SceneDocument> newDocument();
// A file whose name ends in ".qmt" (any case) opens as a template: a new untitled scene with
// the template's settings. Anything else opens as a project. On failure out stays empty and the
// next error report's detail names the file (and the reason, when known).
OSErr openDocument(const std::filesystem::path& path, std::unique_ptr<SceneDocument>& out);
// Writes the project; on success the document is clean and belongs to that file. On failure
// the next error report's detail names the file.
OSErr saveDocument(SceneDocument& document, const std::filesystem::path& path);

// Where a stored composed movie is brought back to: the scratch folder of the preferences.
void setScratchFolderSource(std::function<std::filesystem::path()> source);

// The folder a file chooser starts in: the one last chosen in, else the user's documents
// folder, else the home folder; always a folder that exists.
QString startFolder();
// Remembers the folder of a file chosen in a file chooser.
void noteChosenFile(const QString& path);

// The open and save dialogs' filters, projects first.
QString documentFilters();
QString projectFilter();
QString templateFilter();

} // namespace qm
