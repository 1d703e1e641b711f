#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "appcore/atomic_file.h"
#include "appcore/interrupt.h"
#include "appcore/scratch_files.h"
#include "quicktime/base/cleanup_files.h"
#include "quicktime/base/file_checks.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

// Runs `body` in a child process; returns its exit status (128 + signal when a signal ended it).
template <typename F>
int inChild(F body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(Interrupts, FirstCtrlCAsksSecondEndsAndRemovesRegisteredFiles)
{
    test::TempDir dir;
    const fs::path scratch = dir / "t1-x.tmp";
    const fs::path kept = dir / "kept.tmp";
    const int status = inChild([&] {
        const InterruptScope scope;
        std::ofstream(scratch) << "scratch";
        std::ofstream(kept) << "forgotten";
        registerCleanupFile(scratch);
        forgetCleanupFile(registerCleanupFile(kept));
        std::raise(SIGINT);
        if (!interruptRequested())
            _exit(1);
        std::raise(SIGINT);
        _exit(2); // not reached
    });
    EXPECT_EQ(status, 130);
    EXPECT_FALSE(fs::exists(scratch));
    EXPECT_TRUE(fs::exists(kept));

    std::ofstream(scratch) << "scratch";
    EXPECT_EQ(inChild([&] {
                  const InterruptScope scope;
                  registerCleanupFile(scratch);
                  std::raise(SIGTERM);
              }),
              128 + SIGTERM);
    EXPECT_FALSE(fs::exists(scratch));
}

TEST(Interrupts, ScratchFilesOfAKilledProcessGoAtTheNextStart)
{
    test::TempDir dir;
    fs::path made;
    // The child makes a scratch file and dies without any chance to clean up.
    EXPECT_EQ(inChild([&] {
                  fs::path out;
                  if (scratchFileNamer().makeScratchFile(dir.path(), out, true) != 0)
                      _exit(1);
                  std::ofstream(dir / "name") << out.string();
                  std::raise(SIGKILL);
              }),
              128 + SIGKILL);
    std::ifstream(dir / "name") >> made;
    ASSERT_TRUE(fs::exists(made));
    fs::path mine;
    ASSERT_EQ(scratchFileNamer().makeScratchFile(dir.path(), mine, true), 0);
    std::ofstream(dir / "t12.tmp") << "not one of ours";
    EXPECT_EQ(removeStaleScratchFiles(dir.path()), 1);
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_TRUE(fs::exists(dir / "t12.tmp"));
}

TEST(ScratchFolderCheck, NamesTheFolderAndTheProblem)
{
    test::TempDir dir;
    std::string detail;
    EXPECT_EQ(checkScratchFolder(dir.path(), &detail), 0);
    EXPECT_EQ(checkScratchFolder(dir / "gone", &detail), err::fnfErr);
    EXPECT_EQ(detail, "The scratch folder '" + (dir / "gone").string() + "' does not exist.");
    std::ofstream(dir / "file") << "x";
    EXPECT_EQ(checkScratchFolder(dir / "file", &detail), err::notAFileErr);
    EXPECT_EQ(detail, "The scratch folder '" + (dir / "file").string() + "' is not a folder.");
}

TEST(AtomicPublish, AFailedWriterLeavesNeitherTargetNorTemporaryFile)
{
    test::TempDir dir;
    fs::path seen;
    EXPECT_EQ(publishFileAtomically(dir / "out.mov",
                                    [&](const fs::path& temporary) {
                                        seen = temporary;
                                        std::ofstream(temporary) << "half";
                                        return err::dskFulErr;
                                    }),
              err::dskFulErr);
    EXPECT_EQ(seen.parent_path(), dir.path());
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(publishFileAtomically(dir / "out.mov",
                                    [&](const fs::path& temporary) {
                                        std::ofstream(temporary) << "whole";
                                        return OSErr(0);
                                    }),
              0);
    EXPECT_EQ(fs::file_size(dir / "out.mov"), 5u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Cancelled copies keep the old file.
    std::ofstream(dir / "big") << std::string(3 << 20, 'b');
    EXPECT_EQ(copyFileAtomically(dir / "big", dir / "out.mov", [] { return false; }), err::userCanceledErr);
    EXPECT_EQ(fs::file_size(dir / "out.mov"), 5u);
    EXPECT_EQ(copyFileAtomically(dir / "big", dir / "out.mov"), 0);
    EXPECT_EQ(fs::file_size(dir / "out.mov"), std::uintmax_t(3 << 20));
}
