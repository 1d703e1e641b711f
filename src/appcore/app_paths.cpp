#include "appcore/app_paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qm {

namespace fs = std::filesystem;

namespace {

fs::path homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

// An XDG base directory: the variable when it holds an absolute path (relative ones are to be
// ignored), else the fallback under the home folder.
fs::path xdgDirectory(const char* variable, const char* fallback)
{
    if (const char* v = std::getenv(variable); v && *v == '/')
        return fs::path(v) / "Quillmere";
    const fs::path home = homeDirectory();
    return home.empty() ? fs::path() : home / fallback / "Quillmere";
}

} // namespace

fs::path programDirectory()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

fs::path userConfigDirectory() { return xdgDirectory("XDG_CONFIG_HOME", ".config"); }

fs::path userDataDirectory() { return xdgDirectory("XDG_DATA_HOME", ".local/share"); }

bool isWritableDirectory(const fs::path& folder)
{
    std::error_code ec;
    return !folder.empty() && fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path preferencesFilePath() { return userConfigDirectory() / kPreferencesFileName; }

fs::path templatesDirectory() { return userDataDirectory() / "Templates"; }

} // namespace qm
