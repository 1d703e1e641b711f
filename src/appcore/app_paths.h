#pragma once
// Where the program keeps its files: the preferences file in the user's configuration folder
// and the templates in the user's data folder (the XDG base directories), wherever the program
// itself runs from.
#include <filesystem>
#include <string_view>

namespace qm {

inline constexpr std::string_view kPreferencesFileName = "Quillmere Preferences.dat";

// The folder of the running program; empty when the system cannot tell.
std::filesystem::path programDirectory();

// $XDG_CONFIG_HOME/Quillmere, or ~/.config/Quillmere.
std::filesystem::path userConfigDirectory();
// $XDG_DATA_HOME/Quillmere, or ~/.local/share/Quillmere.
std::filesystem::path userDataDirectory();

bool isWritableDirectory(const std::filesystem::path& folder);

// The preferences file: userConfigDirectory()/"Quillmere Preferences.dat".
std::filesystem::path preferencesFilePath();
// The folder of the user's templates: userDataDirectory()/Templates.
std::filesystem::path templatesDirectory();

} // namespace qm
