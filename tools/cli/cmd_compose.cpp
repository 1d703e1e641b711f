#include <iostream>
#include <system_error>

#include "appcore/terminal_progress.h"
#include "cli_project.h"
#include "command.h"
#include "compose/compose_errors.h"
#include "compose/composer.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "compose",
    "PROJECT -o OUT.mov [--save] [--deterministic]",
    "Compose a project's scene into one multi-node QuickTime VR movie (--save also stores it in the project)",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

// Copies the composed movie next to its destination and renames it into place, so that OUT is
// never a half-written movie.
bool publish(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::filesystem::path part = to;
    part += ".part";
    std::error_code ec;
    std::filesystem::copy_file(from, part, std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec)
        std::filesystem::rename(part, to, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        qm::cli::fail(to.string() + ": cannot write the movie");
        return false;
    }
    return true;
}

int run(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    const bool save = qm::cli::hasFlag(args, "--save");
    const bool deterministic = qm::cli::hasFlag(args, "--deterministic");
    std::string out;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-o") {
            out = args[i + 1];
            args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
            break;
        }
    if (args.size() != 1 || out.empty())
        return qm::cli::usageError(kCommand);

    qm::Scene scene;
    if (!qm::cli::openProjectForEdit(args[0], scene, false))
        return 1;
    qm::ComposeEnvironment env = qm::standardComposeEnvironment();
    env.deterministic = deterministic;
    qm::WorkingCopies copies;
    qm::TerminalProgress progress;
    const qm::OSErr e = qm::composeScene(scene, copies, env, progress);
    int status = 0;
    if (e == -128) {
        std::cerr << "quillmere-cli: compose cancelled; nothing written\n";
        status = 130;
    } else if (e) {
        status = qm::cli::fail(args[0] + ": " + std::string(qm::composeErrorMessage(e)) + " (" + std::to_string(e) + ")");
    } else if (!publish(scene.composedMovieFile, out)) {
        status = 1;
    } else {
        std::cout << "composed " << scene.nodes.size() << " nodes into " << out << "\n";
        if (save && !qm::cli::saveEditedProject(scene, args[0]))
            status = 1;
    }
    qm::discardAllWorkingCopies(scene, copies);
    qm::disposeScene(scene);
    return status;
}

} // namespace
