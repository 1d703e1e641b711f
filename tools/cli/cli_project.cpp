#include "cli_project.h"

#include <charconv>
#include <filesystem>
#include <memory>
#include <vector>

#include "appcore/interrupt.h"
#include "project/project_lock.h"
#include "quicktime/base/file_checks.h"

#include "command.h"
#include "compose/compose_errors.h"
#include "project/project_reader.h"
#include "project/project_writer.h"

namespace qm::cli {

namespace {

std::string describe(OSErr e, const std::string& detail)
{
    std::string s = std::string(composeErrorMessage(e)) + " (" + std::to_string(e) + ")";
    if (!detail.empty())
        s += ": " + detail;
    return s;
}

} // namespace

bool lockProjectForEdit(const std::string& path)
{
    static std::vector<std::unique_ptr<ProjectEditLock>> locks; // released when the process ends
    std::string detail;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (OSErr e = checkInputFile(path, &detail)) {
            fail(path + ": " + describe(e, detail));
            return false;
        }
    }
    if (OSErr e = checkReplaceableFile(path, &detail)) {
        fail(path + ": " + describe(e, detail));
        return false;
    }
    auto lock = std::make_unique<ProjectEditLock>();
    if (OSErr e = lock->acquire(path, &detail)) {
        fail(path + ": " + describe(e, detail));
        return false;
    }
    locks.push_back(std::move(lock));
    return true;
}

bool openProjectForEdit(const std::string& path, Scene& scene, bool withComposedMovie)
{
    ProjectReadOptions options;
    options.extractComposedMovie = withComposedMovie;
    std::string detail;
    if (OSErr e = openProject(path, scene, options, &detail)) {
        fail(path + ": " + describe(e, detail));
        return false;
    }
    return true;
}

bool saveEditedProject(Scene& scene, const std::string& path)
{
    std::string detail;
    ProjectWriteOptions options;
    options.progress = [](std::string_view, std::string_view, int) { return !interruptRequested(); };
    options.keepGoing = [] { return !interruptRequested(); };
    if (OSErr e = saveProject(scene, path, options, &detail)) {
        fail(path + ": " + describe(e, detail));
        return false;
    }
    return true;
}

std::optional<std::int16_t> nodeIdArgument(const Scene& scene, const std::string& text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > INT16_MAX ||
        !findNode(scene, std::int16_t(value)))
        return std::nullopt;
    return std::int16_t(value);
}

} // namespace qm::cli
