#pragma once
// File > Import Tour...: chooses a multi-node QuickTime VR movie and the project to make of it,
// imports it behind the progress window and hands the new project back to be opened.
#include <filesystem>
#include <optional>

class QWidget;

namespace qm {
class PreferencesRecord;
}

namespace qm {

// The new project file, or none when the user cancelled or the import failed (the error has
// been shown; nothing was written). preferences: whether the nodes keep the tour's hot spots.
std::optional<std::filesystem::path> runImportTourCommand(QWidget* owner, const PreferencesRecord& preferences);

} // namespace qm
