// quillmere-cli map PROJECT -o MAP.png [--scroll H,V] [--size W,H]: draws the scene map as the
// node map page shows it.
#include <algorithm>
#include <QGuiApplication>
#include <QImage>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "command.h"
#include "project/project_reader.h"
#include "render/map_renderer.h"

namespace qm::cli {
namespace {

bool pair(const std::string& text, int& a, int& b)
{
    const auto comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    const char* end = text.data() + text.size();
    const auto [p1, e1] = std::from_chars(text.data(), text.data() + comma, a);
    const auto [p2, e2] = std::from_chars(text.data() + comma + 1, end, b);
    return e1 == std::errc() && e2 == std::errc() && p1 == text.data() + comma && p2 == end;
}

// Fonts need a QGuiApplication; without a display the offscreen platform serves.
std::unique_ptr<QGuiApplication> guiApplication()
{
    if (QGuiApplication::instance())
        return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A runtime folder of our own keeps Qt from warning about a missing one.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string folder = "/tmp/runtime-quillmere-" + std::to_string(getuid());
        mkdir(folder.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    static int argc = 1;
    static char name[] = "quillmere-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

extern const Command kMap;

int run(const std::vector<std::string>& argsIn)
{
    std::string project, output;
    int scrollH = 0, scrollV = 0, width = -1, height = -1;
    for (std::size_t i = 0; i < argsIn.size(); ++i) {
        const std::string& a = argsIn[i];
        const bool hasValue = i + 1 < argsIn.size();
        if (a == "-o" && hasValue) {
            output = argsIn[++i];
        } else if (a == "--scroll" && hasValue) {
            if (!pair(argsIn[++i], scrollH, scrollV))
                return fail("--scroll takes H,V (whole numbers)");
        } else if (a == "--size" && hasValue) {
            if (!pair(argsIn[++i], width, height) || width < 1 || height < 1 || width > 16384 || height > 16384)
                return fail("--size takes W,H (1 to 16384 pixels each)");
        } else if (project.empty() && !a.empty() && a[0] != '-') {
            project = a;
        } else {
            return usageError(kMap);
        }
    }
    if (project.empty() || output.empty())
        return usageError(kMap);

    Scene scene;
    ProjectReadOptions options;
    options.resolveMedia = false;
    options.extractComposedMovie = false;
    std::string detail;
    if (const OSErr err = openDocument(project, scene, options, &detail)) {
        return fail("cannot open " + project + " (error " + std::to_string(err) + ")" +
                    (detail.empty() ? "" : ": " + detail));
    }
    auto app = guiApplication();
    const QSize boundary = mapBoundarySize(scene);
    if (width < 0) {
        width = std::clamp(boundary.width() + 1 - scrollH, 1, 16384);
        height = std::clamp(boundary.height() + 1 - scrollV, 1, 16384);
    }
    QImage image(width, height, QImage::Format_RGB32);
    renderMap(scene, image, QPoint(scrollH, scrollV));
    disposeScene(scene);
    if (!image.save(QString::fromStdString(output), "PNG"))
        return fail("cannot write " + output);
    std::cout << output << ": " << width << " x " << height << " pixels\n";
    return 0;
}

const Command kMap{"map", "PROJECT -o MAP.png [--scroll H,V] [--size W,H]",
                   "draws the scene map (background, grid, links, nodes) into a PNG image", run};
const CommandRegistration reg(kMap);

} // namespace
} // namespace qm::cli
