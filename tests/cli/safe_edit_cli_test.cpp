// Editing projects safely from the command line: one writer at a time, write-protected files
// left alone, success reported only for saved edits, nothing half-written or left behind after
// Ctrl-C, a signal, a full disk or a bad scratch folder, and no input that can block.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "project/project_lock.h"
#include "project/project_reader.h"
#include "quicktime/movie/movie.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }
std::string cliCommand() { return q(test::cliPath()); }

int sh(const std::string& command, std::string* out = nullptr)
{
    std::string text;
    const int status = test::runCommand(command + " 2>&1", &text);
    if (out)
        *out = text;
    return status;
}

int cli(const std::string& args, std::string* out = nullptr) { return sh(cliCommand() + " " + args, out); }

// Runs a shell script kept in a file beside `folder`, so that its own quotes stay intact.
int script(const fs::path& folder, const std::string& text, std::string* out = nullptr)
{
    const fs::path file = folder / "script.sh";
    std::ofstream(file) << text << "\n";
    const int status = sh("sh " + q(file), out);
    fs::remove(file);
    return status;
}

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t nodeCount(const fs::path& project)
{
    Scene scene;
    ProjectReadOptions options;
    options.extractComposedMovie = false;
    options.resolveMedia = false;
    EXPECT_EQ(openProject(project, scene, options), 0) << project;
    return scene.nodes.size();
}

// Files whose names show they are temporary: saves in progress, copies, scratch files.
std::vector<std::string> leftovers(const fs::path& folder)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".saving-") != std::string::npos || name.ends_with(".part") || name.ends_with(".tmp"))
            found.push_back(entry.path().string());
    }
    return found;
}

// A project of two linked panoramas, made through the CLI.
void makeProject(const TempDir& dir, const fs::path& project)
{
    ASSERT_EQ(test::writePanorama2x(dir / "a.mov", {}), 0);
    ASSERT_EQ(test::writePanorama2x(dir / "b.mov", {}), 0);
    std::string out;
    ASSERT_EQ(cli("scene add " + q(project) + " " + q(dir / "a.mov") + " --at 100,100", &out), 0) << out;
    ASSERT_EQ(cli("scene add " + q(project) + " " + q(dir / "b.mov") + " --at 100,300", &out), 0) << out;
    ASSERT_EQ(cli("scene link " + q(project) + " 1 2 --both", &out), 0) << out;
}

long deadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return long(child);
}

// Starts quillmere-cli with the arguments in the background, with TMPDIR set.
pid_t startCli(const std::vector<std::string>& args, const fs::path& tmp)
{
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        std::string cli = test::cliPath().string();
        std::vector<std::string> copies = args;
        std::vector<char*> argv{cli.data()};
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int waitFor(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(ProjectLockCli, AnEditWaitsForTheHolderThenRefusesNamingTheFile)
{
    TempDir dir;
    const fs::path project = dir / "Locked.qmp";
    makeProject(dir, project);
    const std::string before = slurp(project);
    {
        ProjectEditLock lock; // as a program holding the document would
        ASSERT_EQ(lock.acquire(project), 0);
        std::string out;
        EXPECT_EQ(cli("scene add " + q(project) + " " + q(dir / "a.mov"), &out), 1);
        EXPECT_NE(out.find("File is open by another application. (-47)"), std::string::npos) << out;
        EXPECT_NE(out.find(project.string() + "' is being changed by another program"), std::string::npos) << out;
        EXPECT_EQ(out.find("added node"), std::string::npos) << out;
    }
    EXPECT_EQ(slurp(project), before);
    std::string out;
    EXPECT_EQ(cli("scene add " + q(project) + " " + q(dir / "a.mov"), &out), 0) << out;
    EXPECT_EQ(nodeCount(project), 3u);
}

TEST(ProjectLockCli, ConcurrentAddsAreAllInTheFileOrRefused)
{
    TempDir dir;
    const fs::path project = dir / "Busy.qmp";
    makeProject(dir, project);
    constexpr int kWriters = 6;
    std::string text = "cd " + q(dir.path()) + "; ";
    for (int i = 0; i < kWriters; ++i)
        text += "(" + cliCommand() + " scene add Busy.qmp a.mov --at " + std::to_string(40 + 60 * i) +
                  ",500 > out" + std::to_string(i) + " 2>&1; echo $? > st" + std::to_string(i) + ") & ";
    // A move and a link in between, which rewrite the file as well.
    text += "(" + cliCommand() + " scene move Busy.qmp 1 300 40 > outm 2>&1; echo $? > stm) & ";
    text += "wait";
    ASSERT_EQ(script(dir.path(), text), 0);
    int added = 0;
    for (int i = 0; i < kWriters; ++i) {
        const std::string status = slurp(dir / ("st" + std::to_string(i)));
        const std::string out = slurp(dir / ("out" + std::to_string(i)));
        if (status == "0\n") {
            ++added;
            EXPECT_NE(out.find("added node"), std::string::npos) << out;
        } else {
            EXPECT_NE(out.find(project.string()), std::string::npos) << out;
            EXPECT_EQ(out.find("added node"), std::string::npos) << out;
        }
    }
    EXPECT_GE(added, 1);
    EXPECT_EQ(nodeCount(project), std::size_t(2 + added)) << "an edit reported as done is missing";
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(WriteProtectedProjectCli, EveryEditRefusesWithFileIsWriteProtected)
{
    TempDir dir;
    const fs::path project = dir / "Protected.qmp";
    makeProject(dir, project);
    ASSERT_EQ(::chmod(project.c_str(), 0444), 0);
    const std::string before = slurp(project);
    for (const std::string& edit :
         {"scene add " + q(project) + " " + q(dir / "a.mov"), "scene move " + q(project) + " 1 200 200",
          "scene delete " + q(project) + " 2", "scene link " + q(project) + " 2 1",
          "compose " + q(project) + " -o " + q(dir / "Out.mov") + " --save"}) {
        SCOPED_TRACE(edit);
        std::string out;
        EXPECT_EQ(cli(edit, &out), 1);
        EXPECT_NE(out.find(project.string() + ": File is write-protected. (-45)"), std::string::npos) << out;
        EXPECT_EQ(slurp(project), before);
    }
    struct stat st {};
    ASSERT_EQ(::stat(project.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_FALSE(fs::exists(dir / "Out.mov"));
}

TEST(SceneEditCli, SuccessIsPrintedOnlyWhenTheSaveSucceeded)
{
    TempDir dir;
    const fs::path project = dir / "Full.qmp";
    makeProject(dir, project);
    const std::string before = slurp(project);
    // Files may not grow past 512 bytes: the save fails, after the edit was made in memory.
    for (const char* edit : {"scene delete Full.qmp 1", "scene link Full.qmp 2 1", "scene move Full.qmp 1 250 40"}) {
        SCOPED_TRACE(edit);
        std::string out;
        EXPECT_EQ(script(dir.path(), "cd " + q(dir.path()) + "; trap '' XFSZ; ulimit -f 1; exec " + cliCommand() + " " + std::string(edit), &out), 1);
        for (const char* success : {"deleted node", "linked", "node 1 at"})
            EXPECT_EQ(out.find(success), std::string::npos) << out;
        EXPECT_EQ(slurp(project), before);
        EXPECT_TRUE(leftovers(dir.path()).empty());
    }
}

TEST(LongProjectNameCli, NamesUpTo255BytesCanBeSaved)
{
    TempDir dir;
    ASSERT_EQ(test::writePanorama2x(dir / "a.mov", {}), 0);
    for (std::size_t length : {239u, 250u, 255u}) {
        // Two-byte characters, so that a cut temporary name would have to respect them.
        std::string name;
        while (name.size() + 2 <= length - 4)
            name += "\xC3\xA9";
        name.append(length - 4 - name.size(), 'x');
        name += ".qmp";
        ASSERT_EQ(name.size(), length);
        std::string out;
        EXPECT_EQ(cli("scene add " + q(dir / name) + " " + q(dir / "a.mov"), &out), 0) << out;
        EXPECT_EQ(cli("scene move " + q(dir / name) + " 1 200 200", &out), 0) << out;
        EXPECT_EQ(nodeCount(dir / name), 1u);
    }
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(InterruptCli, StaleFilesOfEndedProcessesAreRemovedAtStart)
{
    TempDir dir;
    const fs::path project = dir / "P.qmp";
    makeProject(dir, project);
    const fs::path tmp = dir / "tmp";
    fs::create_directory(tmp);
    const long dead = deadPid();
    const std::string live = std::to_string(::getpid());
    const fs::path staleScratch = tmp / ("t5-" + std::to_string(dead) + ".tmp");
    const fs::path liveScratch = tmp / ("t6-" + live + ".tmp");
    const fs::path otherFile = tmp / "t7.tmp";
    const fs::path staleSave = dir / (".P.qmp.saving-" + std::to_string(dead) + "-3");
    const fs::path liveSave = dir / (".P.qmp.saving-" + live + "-4");
    for (const fs::path& p : {staleScratch, liveScratch, otherFile, staleSave, liveSave})
        std::ofstream(p) << "x";
    std::string out;
    EXPECT_EQ(sh("TMPDIR=" + q(tmp) + " " + cliCommand() + " scene move " + q(project) + " 1 200 200", &out), 0) << out;
    EXPECT_FALSE(fs::exists(staleScratch));
    EXPECT_FALSE(fs::exists(staleSave));
    EXPECT_TRUE(fs::exists(liveScratch));
    EXPECT_TRUE(fs::exists(liveSave));
    EXPECT_TRUE(fs::exists(otherFile));
}

TEST(InterruptCli, SignalsDuringComposeAndSaveLeaveNothingBehind)
{
    TempDir dir;
    const fs::path project = dir / "P.qmp";
    makeProject(dir, project);
    const fs::path tmp = dir / "tmp";
    fs::create_directory(tmp);
    const std::vector<std::string> args = {"compose", project.string(), "-o", (dir / "Out.mov").string(), "--save"};

    // How long an undisturbed run takes, to spread the interrupts over it.
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(waitFor(startCli(args, tmp)), 0);
    const auto whole = std::chrono::steady_clock::now() - start;
    fs::remove(dir / "Out.mov");

    for (int signal : {SIGINT, SIGTERM}) {
        for (int k = 0; k < 8; ++k) {
            SCOPED_TRACE("signal " + std::to_string(signal) + " at " + std::to_string(k) + "/8");
            const pid_t pid = startCli(args, tmp);
            std::this_thread::sleep_for(whole * k / 8);
            ::kill(pid, signal);
            if (k == 7)
                ::kill(pid, SIGINT); // a second Ctrl-C: end at once, still cleaning up
            const int status = waitFor(pid);
            EXPECT_TRUE(status == 0 || status == 128 + signal || status == 130) << status;
            EXPECT_TRUE(leftovers(dir.path()).empty()) << leftovers(dir.path()).front();
            EXPECT_EQ(nodeCount(project), 2u);
            if (fs::exists(dir / "Out.mov")) {
                std::unique_ptr<Movie> movie;
                EXPECT_EQ(Movie::open(dir / "Out.mov", MovieOpenMode::read, movie), 0);
            }
        }
    }
}

TEST(ScratchFolderCli, ProblemsAreReportedAgainstTheScratchFolder)
{
    TempDir dir;
    const fs::path project = dir / "P.qmp";
    makeProject(dir, project);
    const std::string compose = cliCommand() + " compose " + q(project) + " -o " + q(dir / "Out.mov");
    std::string out;
    EXPECT_EQ(sh("TMPDIR=" + q(dir / "missing") + " " + compose, &out), 1);
    EXPECT_NE(out.find("The scratch folder '" + (dir / "missing").string() + "' does not exist."), std::string::npos) << out;
    EXPECT_EQ(out.find("quillmere-cli: " + project.string()), std::string::npos) << out;

    std::ofstream(dir / "plain") << "a file";
    EXPECT_EQ(sh("TMPDIR=" + q(dir / "plain") + " " + compose, &out), 1);
    EXPECT_NE(out.find("The scratch folder '" + (dir / "plain").string() + "' is not a folder."), std::string::npos) << out;

    // A full scratch disk, where a small file system can be mounted.
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (::geteuid() == 0 && sh("mount -t tmpfs -o size=2m tmpfs " + q(small)) == 0) {
        sh("dd if=/dev/zero of=" + q(small / "filler") + " bs=64k count=40");
        EXPECT_EQ(sh("TMPDIR=" + q(small) + " " + compose, &out), 1);
        EXPECT_NE(out.find("The scratch folder '" + small.string() + "' is full."), std::string::npos) << out;
        sh("umount " + q(small));
    }
    if (::geteuid() == 0 && sh("mount -t tmpfs -o ro,size=1m tmpfs " + q(small)) == 0) {
        EXPECT_EQ(sh("TMPDIR=" + q(small) + " " + compose, &out), 1);
        EXPECT_NE(out.find("The scratch folder '" + small.string() + "' lies on a read-only volume."), std::string::npos)
            << out;
        sh("umount " + q(small));
    }
    EXPECT_FALSE(fs::exists(dir / "Out.mov"));
}

TEST(NotAFileCli, FoldersDevicesAndPipesAreRefusedByNameWithoutBlocking)
{
    TempDir dir;
    const fs::path project = dir / "P.qmp";
    makeProject(dir, project);
    ASSERT_EQ(::mkfifo((dir / "pipe.mov").c_str(), 0644), 0);
    fs::create_directory(dir / "folder.mov");
    struct Case {
        fs::path input;
        std::string what;
    };
    for (const Case& c : {Case{dir / "pipe.mov", "is a named pipe"}, Case{dir / "folder.mov", "is a folder"},
                          Case{"/dev/null", "is a device"}}) {
        SCOPED_TRACE(c.input.string());
        for (const std::string& command :
             {"info " + q(c.input), "scene add " + q(project) + " " + q(c.input), "scene add " + q(c.input) + " " + q(dir / "a.mov"),
              "scene move " + q(c.input) + " 1 10 10", "project-info " + q(c.input),
              "compose " + q(c.input) + " -o " + q(dir / "Out.mov")}) {
            SCOPED_TRACE(command);
            std::string out;
            const int status = sh("timeout 60 " + cliCommand() + " " + command, &out);
            EXPECT_NE(status, 124) << "blocked";
            EXPECT_NE(status, 0) << out;
            EXPECT_NE(out.find(c.what), std::string::npos) << out;
            EXPECT_EQ(out.find("File not found"), std::string::npos) << out;
        }
    }
    EXPECT_EQ(nodeCount(project), 2u);
}

// Whether every movie and project in the folder is whole.
void expectOnlyWholeFiles(const fs::path& folder)
{
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
        const fs::path& p = entry.path();
        if (p.extension() == ".mov") {
            std::unique_ptr<Movie> movie;
            EXPECT_EQ(Movie::open(p, MovieOpenMode::read, movie), 0) << p << " is cut short";
        } else if (p.extension() == ".qmp") {
            nodeCount(p);
        }
    }
    EXPECT_TRUE(leftovers(folder).empty()) << leftovers(folder).front();
}

TEST(DemoCli, AFullDiskLeavesNoTruncatedFile)
{
    TempDir dir;
    // Files may not grow past 100 KB: the first panorama does not fit.
    std::string out;
    EXPECT_EQ(script(dir.path(), "export TMPDIR=" + q(dir.path()) + "; trap '' XFSZ; ulimit -f 200; exec " + cliCommand() + " demo " + q(dir / "Demo"), &out), 1) << out;
    expectOnlyWholeFiles(dir.path());
    EXPECT_FALSE(fs::exists(dir / "Demo" / "Media" / "Market Square.mov"));

    // A disk that fills up at every stage of the demo, where a small file system can be mounted.
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs the superuser";
    const fs::path full = dir / "full";
    fs::create_directory(full);
    for (int kb : {300, 600, 900, 1200, 1500, 1800, 2400, 3000}) {
        SCOPED_TRACE(std::to_string(kb) + " KB");
        if (sh("mount -t tmpfs -o size=" + std::to_string(kb) + "k tmpfs " + q(full)) != 0)
            GTEST_SKIP() << "cannot mount a small file system here";
        const int status = sh("TMPDIR=" + q(full) + " " + cliCommand() + " demo " + q(full / "Demo"), &out);
        expectOnlyWholeFiles(full);
        if (status == 0) {
            EXPECT_TRUE(fs::exists(full / "Demo" / "Demo.mov"));
        }
        sh("umount " + q(full));
    }
}

} // namespace
} // namespace qm
