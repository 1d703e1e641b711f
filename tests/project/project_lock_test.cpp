#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "project/project_lock.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(ProjectSave, WriteProtectedDocumentsAreRefusedEvenForTheSuperuser)
{
    test::TempDir dir;
    Scene scene = makeNewScene();
    ASSERT_EQ(saveProject(scene, dir / "P.qmp"), 0);
    ASSERT_EQ(::chmod((dir / "P.qmp").c_str(), 0444), 0);
    const std::string before = slurp(dir / "P.qmp");
    scene.name = "Changed";
    EXPECT_EQ(saveProject(scene, dir / "P.qmp"), err::fLckdErr);
    EXPECT_EQ(slurp(dir / "P.qmp"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(ProjectSave, TemporaryNamesFitBesideNamesOfAnyLength)
{
    test::TempDir dir;
    Scene scene = makeNewScene();
    std::string name(251, 'n');
    name += ".qmp";
    ASSERT_EQ(saveProject(scene, dir / name), 0);
    std::string accented;
    while (accented.size() < 250)
        accented += "\xC3\xA9"; // a cut must not split these
    accented += ".qmp";
    ASSERT_EQ(saveProject(scene, dir / accented), 0);
    ASSERT_EQ(saveProject(scene, dir / accented), 0);
    Scene back;
    EXPECT_EQ(openProject(dir / accented, back), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(ProjectEditLock, AnotherProcessWaitsThenGivesUpAndTheHolderMayNest)
{
    test::TempDir dir;
    Scene scene = makeNewScene();
    const fs::path file = dir / "P.qmp";
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    if (child == 0) {
        ProjectEditLock lock;
        ProjectEditLock nested;
        Scene own = makeNewScene();
        // Held through a nested lock and two saves that replace the file.
        const bool ok = lock.acquire(file) == 0 && nested.acquire(file) == 0 && saveProject(own, file) == 0 &&
                        saveProject(own, file) == 0;
        char c = ok ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    ProjectEditLock lock;
    std::string detail;
    EXPECT_EQ(lock.acquire(file, &detail, std::chrono::milliseconds(200)), err::fBsyErr);
    EXPECT_NE(detail.find(file.string()), std::string::npos);
    EXPECT_EQ(saveProject(scene, file), err::fBsyErr);
    (void)!write(done[1], &c, 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(lock.acquire(file, &detail, std::chrono::milliseconds(200)), 0);
    EXPECT_EQ(saveProject(scene, file), 0); // nested in the held lock
}
