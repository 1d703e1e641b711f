#include "cli_project.h"

#include <charconv>

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
    if (OSErr e = saveProject(scene, path, {}, &detail)) {
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
