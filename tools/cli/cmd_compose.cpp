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
#include "quicktime/base/errors.h"

namespace {

int run(const std::vector<std::string>& args);

const qm::cli::Command kCommand{
    "compose",
    "PROJECT -o OUT.mov [--save] [--deterministic]",
    "Compose a project's scene into one multi-node QuickTime VR movie (--save also stores it in the project)",
    run,
};
const qm::cli::CommandRegistration reg(kCommand);

std::string described(qm::OSErr e)
{
    return std::string(qm::composeErrorMessage(e)) + " (" + std::to_string(e) + ")";
}

int cancelled(const std::string& what)
{
    std::cerr << "quillmere-cli: compose cancelled; " << what << "\n";
    return 130;
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

    // Ctrl-C is handled until the very end: during the compose, while the movie is published
    // and while the project is saved.
    const qm::InterruptScope interrupts;
    if (save && !qm::cli::lockProjectForEdit(args[0]))
        return 1;
    qm::Scene scene;
    if (!qm::cli::openProjectForEdit(args[0], scene, false))
        return 1;
    qm::ComposeEnvironment env = qm::standardComposeEnvironment();
    env.deterministic = deterministic;
    const std::filesystem::path scratch = qm::effectiveScratchFolder(env.scratchFolder);
    qm::removeStaleScratchFiles(scratch);
    std::string scratchProblem;
    if (const qm::OSErr e = qm::checkScratchFolder(env.scratchFolder, &scratchProblem)) {
        qm::disposeScene(scene);
        return qm::cli::fail(scratch.string() + ": " + described(e) + ": " + scratchProblem);
    }

    qm::WorkingCopies copies;
    qm::TerminalProgress progress;
    const qm::OSErr e = qm::composeScene(scene, copies, env, progress);
    int status = 0;
    if (e == qm::err::userCanceledErr) {
        status = cancelled("nothing written");
    } else if (e && (e == qm::err::dskFulErr || qm::checkScratchFolder(env.scratchFolder, &scratchProblem) != 0)) {
        // The compose writes nothing but scratch files: a full disk is the scratch folder's.
        if (e == qm::err::dskFulErr)
            scratchProblem = "The scratch folder '" + scratch.string() + "' is full.";
        status = qm::cli::fail(scratch.string() + ": " + described(e) + ": " + scratchProblem);
    } else if (e) {
        status = qm::cli::fail(args[0] + ": " + described(e));
    } else if (const qm::OSErr p = qm::copyFileAtomically(scene.composedMovieFile, out,
                                                           [] { return !qm::interruptRequested(); })) {
        status = p == qm::err::userCanceledErr ? cancelled("nothing written")
                                               : qm::cli::fail(out + ": cannot write the movie: " + described(p));
    } else {
        std::cout << "composed " << scene.nodes.size() << " nodes into " << out << std::endl;
        if (save && qm::interruptRequested())
            status = cancelled("the project was not saved");
        else if (save && !qm::cli::saveEditedProject(scene, args[0]))
            status = qm::interruptRequested() ? 130 : 1;
    }
    qm::discardAllWorkingCopies(scene, copies);
    qm::disposeScene(scene);
    return status;
}

} // namespace
