#include <functional>
#include <iostream>
#include <system_error>

#include "appcore/atomic_file.h"
#include "appcore/interrupt.h"
#include "appcore/scratch_files.h"
#include "appcore/terminal_progress.h"
#include "cli_project.h"
#include "command.h"
#include "compose/compose_errors.h"
#include "compose/composer.h"
#include "compose/scene_map_edit.h"
#include "compose/demo_media.h"
#include "media/node_import.h"
#include "project/scene_defaults.h"
#include "quicktime/base/errors.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "demo",
    "DIR",
    "Write a demo scene made by the program (DIR/Demo.qmp) and compose it (DIR/Demo.mov)",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

qm::MapObject shape(std::int16_t kind, qm::Rect bounds, qm::RGBColor pen, qm::RGBColor fill, bool filled)
{
    qm::MapObject o;
    o.kind = kind;
    o.bounds = bounds;
    o.secondRect = bounds;
    o.penStyle = 1;
    o.penSize = 2;
    o.penColor = pen;
    o.fillStyle = filled ? 1 : 0;
    o.fillColor = fill;
    o.drawingValues[0] = 1; // solid
    return o;
}

// A site plan: blocks of buildings, a pond, trees and the paths between the places.
std::vector<qm::MapObject> sitePlan()
{
    const qm::RGBColor ink{0x3000, 0x3000, 0x3000};
    const qm::RGBColor brick{0xC000, 0x9000, 0x8000};
    const qm::RGBColor water{0x9999, 0xBBBB, 0xFFFF};
    const qm::RGBColor leaf{0x7000, 0xB000, 0x7000};
    const qm::RGBColor sand{0xE000, 0xD800, 0xC000};
    std::vector<qm::MapObject> plan;
    plan.push_back(shape(qm::MapObjectKind::kFilledRectangle, {20, 20, 70, 160}, ink, brick, true));
    plan.push_back(shape(qm::MapObjectKind::kFilledRectangle, {20, 190, 60, 260}, ink, brick, true));
    plan.push_back(shape(qm::MapObjectKind::kFilledOval, {250, 300, 330, 440}, ink, water, true));
    for (int i = 0; i < 5; ++i) {
        const std::int16_t h = std::int16_t(60 + i * 28);
        plan.push_back(shape(qm::MapObjectKind::kFilledOval, {std::int16_t(280 + (i % 2) * 20), h,
                                                               std::int16_t(300 + (i % 2) * 20), std::int16_t(h + 20)},
                             ink, leaf, true));
    }
    plan.push_back(shape(qm::MapObjectKind::kLine, {108, 100, 108, 400}, sand, sand, false));
    plan.push_back(shape(qm::MapObjectKind::kLine, {108, 400, 250, 250}, sand, sand, false));
    plan.push_back(shape(qm::MapObjectKind::kRectangle, {5, 5, 355, 499}, ink, ink, false));
    return plan;
}

int failed(const std::string& file, qm::OSErr e)
{
    if (e == qm::err::userCanceledErr) {
        std::cerr << "quillmere-cli: demo cancelled\n";
        return 130;
    }
    return qm::cli::fail(file + ": " + std::string(qm::composeErrorMessage(e)) + " (" + std::to_string(e) + ")");
}

int run(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return qm::cli::usageError(kCommand);
    const std::filesystem::path dir = args[0];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return qm::cli::fail(dir.string() + ": cannot make the folder");
    const std::filesystem::path media = dir / "Media";
    std::filesystem::create_directories(media, ec);

    // Every file appears complete or not at all: each is written beside its place and renamed
    // into it once it is on disk, so a full disk or Ctrl-C leaves no truncated file.
    const qm::InterruptScope interrupts;
    const std::filesystem::path project = dir / "Demo.qmp";
    if (!qm::cli::lockProjectForEdit(project.string()))
        return 1;
    auto publish = [](const std::filesystem::path& file, const std::function<qm::OSErr(const std::filesystem::path&)>& write) {
        if (qm::interruptRequested())
            return qm::OSErr(qm::err::userCanceledErr);
        return qm::publishFileAtomically(file, write);
    };
    std::cout << "writing the demo media..." << std::endl;
    struct Place {
        const char* file;
        qm::demo::PlaceStyle style;
        qm::Point at;
    };
    const Place places[] = {
        {"Market Square.mov", {1, true, false}, {108, 100}},
        {"Old Wood.mov", {2, false, false}, {290, 220}},
        {"Harbour at Dusk.mov", {3, true, true}, {108, 400}},
    };
    for (const Place& p : places)
        if (qm::OSErr e = publish(media / p.file, [&](const std::filesystem::path& f) {
                return qm::demo::writePanorama(f, 2048, 512, 8, p.style);
            }))
            return failed((media / p.file).string(), e);
    if (qm::OSErr e = publish(media / "Sculpture.mov",
                              [](const std::filesystem::path& f) { return qm::demo::writeObjectMovie(f, 320, 240, 12); }))
        return failed((media / "Sculpture.mov").string(), e);
    if (qm::OSErr e = publish(media / "Site Plan.png",
                              [](const std::filesystem::path& f) { return qm::demo::writePlanImage(f, 320, 240); }))
        return failed((media / "Site Plan.png").string(), e);

    qm::Scene scene = qm::makeNewScene();
    scene.name = "Demo";
    scene.mapWidth = 70;
    scene.mapHeight = 50;
    scene.projectFile = dir / "Demo.qmp";
    scene.mapObjects = sitePlan();
    qm::NodeImportHooks hooks;
    hooks.snapToNodeGrid = [](const qm::Scene& s, qm::Point p) { return qm::snapToNodeGrid(s, p); };
    hooks.separateNode = [](qm::Scene& s, std::int16_t id) { qm::separateNode(s, id); };
    std::vector<std::int16_t> ids;
    auto add = [&](const std::filesystem::path& file, qm::Point at) {
        std::int16_t id = 0;
        std::string detail;
        const qm::OSErr e = qm::AddNodeFromFile(scene, at, file, false, hooks, &id, &detail);
        if (e)
            qm::cli::fail(file.string() + ": " + std::string(qm::composeErrorMessage(e)) + " " + detail);
        ids.push_back(id);
        return e == 0;
    };
    for (const Place& p : places)
        if (!add(media / p.file, p.at))
            return 1;
    if (!add(media / "Sculpture.mov", {250, 60}) || !add(media / "Site Plan.png", {300, 430}))
        return 1;

    const qm::AutoHotSpotStyle style;
    const std::pair<int, int> links[] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {2, 4}};
    for (auto [a, b] : links)
        for (auto [from, to] : {std::pair{a, b}, std::pair{b, a}})
            if (qm::OSErr e = qm::createLink(scene, ids[std::size_t(from)], ids[std::size_t(to)], style))
                return qm::cli::fail("link: " + std::string(qm::composeErrorMessage(e)));

    if (!qm::cli::saveEditedProject(scene, project.string()))
        return 1;
    qm::ComposeEnvironment env = qm::standardComposeEnvironment();
    qm::removeStaleScratchFiles(qm::effectiveScratchFolder(env.scratchFolder));
    env.annotationName = "Demo";
    env.annotationDescription = "A scene made entirely by Quillmere.";
    qm::WorkingCopies copies;
    qm::TerminalProgress progress;
    const qm::OSErr e = qm::composeScene(scene, copies, env, progress);
    int status = 0;
    if (e) {
        status = e == -128 ? 130 : qm::cli::fail("compose: " + std::string(qm::composeErrorMessage(e)));
    } else {
        const qm::OSErr p = qm::copyFileAtomically(scene.composedMovieFile, dir / "Demo.mov",
                                                    [] { return !qm::interruptRequested(); });
        if (p)
            status = failed((dir / "Demo.mov").string(), p);
        else if (qm::interruptRequested())
            status = 130;
        else if (!qm::cli::saveEditedProject(scene, project.string()))
            status = qm::interruptRequested() ? 130 : 1;
        else
            std::cout << "wrote " << project.string() << " and " << (dir / "Demo.mov").string() << "\n";
    }
    qm::discardAllWorkingCopies(scene, copies);
    qm::disposeScene(scene);
    return status;
}

} // namespace
