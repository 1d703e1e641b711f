#pragma once
// Where the program keeps its files. The preferences file lives beside the program when the
// program's folder is writable (a copy run from its build or unpacked folder), and in the
// user's configuration folder otherwise (a program installed under /usr).
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

// The preferences file for a program in programFolder: beside it when that folder is writable
// and not part of the system (/usr), else in the user's configuration folder.
std::filesystem::path preferencesFilePath(const std::filesystem::path& programFolder = programDirectory());

} // namespace qm
