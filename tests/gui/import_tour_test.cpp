// File > Import Tour...: a composed tour opens as a new scene; a damaged one is refused with an
// alert and leaves nothing.
#include <filesystem>

#include "app/main_window.h"
#include "framework/command_ids.h"
#include "gui/shell_fixture.h"
#include "scene/scene_window.h"
#include "support/test_paths.h"

namespace qm {
namespace {

class ImportTourTest : public test::ShellTest {
protected:
    // The demo scene's composed movie: five nodes with links and hot spots.
    std::filesystem::path makeTour()
    {
        const auto folder = path("demo");
        EXPECT_EQ(test::runCommand("'" + test::cliPath().string() + "' demo '" + folder.string() + "' >/dev/null 2>&1"), 0);
        return folder / "Demo.mov";
    }

    void importTour(const std::filesystem::path& movie, const std::filesystem::path& project)
    {
        dialogs->openAnswers.push_back(QString::fromStdString(movie.string()));
        dialogs->saveAnswers.push_back(QString::fromStdString(project.string()));
        shell->runCommand(cmdImportTour);
    }
};

TEST_F(ImportTourTest, ATourOpensAsItsOwnScene)
{
    const auto tour = makeTour();
    ASSERT_TRUE(std::filesystem::exists(tour));
    startShell();
    EXPECT_TRUE(shell->mainWindow()->action(cmdImportTour)->isEnabled());
    importTour(tour, path("imported")); // the extension is added
    ASSERT_NE(sceneWindow(), nullptr);
    EXPECT_TRUE(test::testAlerts().shown().empty());
    EXPECT_EQ(scene().nodes.size(), 5u);
    EXPECT_EQ(scene().projectFile, path("imported.qmp"));
    EXPECT_TRUE(std::filesystem::is_directory(path("imported Nodes")));

    // With a scene open, the new project goes to another instance.
    importTour(tour, path("second.qmp"));
    EXPECT_EQ(launches, QStringList{QString::fromStdString(path("second.qmp").string())});
}

TEST_F(ImportTourTest, ADamagedTourShowsAnErrorAndWritesNothing)
{
    const auto tour = makeTour();
    std::filesystem::resize_file(tour, 600);
    startShell();
    importTour(tour, path("broken.qmp"));
    EXPECT_EQ(sceneWindow(), nullptr);
    EXPECT_EQ(test::testAlerts().shown().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(path("broken.qmp")));
    EXPECT_FALSE(std::filesystem::exists(path("broken Nodes")));
}

} // namespace
} // namespace qm
