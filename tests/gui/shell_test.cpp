#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

#include "app/main_window.h"
#include "app/startup_box.h"
#include "framework/command_ids.h"
#include "framework/event_codes.h"
#include "framework/idle_broadcaster.h"
#include "framework/scene_document.h"
#include "framework/window_registry.h"
#include "gui/shell_fixture.h"
#include "quicktime/codec/qt_startup.h"
#include "scene/scene_window.h"

namespace qm {
namespace {

using ShellCommandTest = test::ShellTest;

TEST(CommandLine, NewAnywhereWinsOverDocuments)
{
    auto line = CommandLine::parse({"a.qmp", "/n~ew", "b.qmp"});
    EXPECT_TRUE(line.newDocument);
    EXPECT_TRUE(line.documents.isEmpty());
    EXPECT_TRUE(CommandLine::parse({"--new"}).newDocument);
    line = CommandLine::parse({"a b.qmp", "c.QMT"});
    EXPECT_FALSE(line.newDocument);
    EXPECT_EQ(line.documents, (QStringList{"a b.qmp", "c.QMT"}));
}

TEST_F(ShellCommandTest, TheMainWindowIsABarWithTheMenusAndSixAccelerators)
{
    startShell();
    MainWindow* main = shell->mainWindow();
    EXPECT_EQ(main->windowTitle(), "Quillmere");
    EXPECT_EQ(main->document(), nullptr);
    EXPECT_LE(main->height(), main->menuBar()->sizeHint().height() + 1);
    QStringList shortcuts;
    for (QAction* a : main->accelerators())
        shortcuts << a->shortcut().toString();
    shortcuts.sort();
    // The six accelerators of the menus, then the desktop's usual keys for Open, Close, Exit,
    // Undo, Redo and Help.
    EXPECT_EQ(shortcuts, (QStringList{"Ctrl+C", "Ctrl+N", "Ctrl+O", "Ctrl+Q", "Ctrl+S",
                                      "Ctrl+Shift+Z", "Ctrl+V", "Ctrl+W", "Ctrl+X", "Ctrl+Z",
                                      "Del", "F1"}));
    EXPECT_EQ(main->action(cmdAbout)->text(), "&About Quillmere©");
    EXPECT_EQ(main->action(cmdSaveAs)->text(), "Save &As...");
    // With no document: Close, Save, Save As, Revert and the Edit commands are off.
    for (int id : {cmdClose, cmdSave, cmdSaveAs, cmdRevert, cmdUndo, cmdCut, cmdPaste, cmdSelectAll})
        EXPECT_FALSE(main->action(id)->isEnabled()) << id;
    for (int id : {cmdNew, cmdOpen, cmdExit, cmdPreferences, cmdAbout})
        EXPECT_TRUE(main->action(id)->isEnabled()) << id;
    EXPECT_EQ(main->action(cmdUndo)->text(), "Can't Undo");
}

// A platform whose facts the test decides.
class FakePlatform : public QuickTimePlatform {
public:
    OSErr initialize() override { return initError; }
    void terminate() override { ++terminated; }
    OSErr enterMovies() override { return 0; }
    void exitMovies() override {}
    OSErr attribute(OSType selector, std::int32_t& response) override
    {
        response = selector == fourCC("qtim") ? version : vr;
        return 0;
    }
    OSErr initError = 0;
    std::int32_t version = 0x03000000;
    std::int32_t vr = 1;
    int terminated = 0;
};

TEST_F(ShellCommandTest, AFailedPlatformCheckEndsTheStartWithItsCode)
{
    struct Case {
        OSErr init;
        std::int32_t version, vr;
        const char* text;
    };
    for (const Case c : {Case{-2093, 0x03000000, 1, "An error occured! (135)"},
                         Case{0, 0x02FFFFFF, 1, "An error occured! (130)"},
                         Case{0, 0x03000000, 2, "An error occured! (134)"}}) {
        FakePlatform fake;
        fake.initError = c.init;
        fake.version = c.version;
        fake.vr = c.vr;
        QuickTimeConnection connection(fake);
        AppShell::Options options;
        options.showStartupBox = false;
        options.platform = &connection;
        test::testAlerts().clear();
        AppShell failing(preferences, options);
        EXPECT_FALSE(failing.start(CommandLine::parse({"/n~ew"})));
        EXPECT_EQ(failing.mainWindow(), nullptr); // no window opened
        ASSERT_EQ(test::testAlerts().shown().size(), 1u);
        EXPECT_EQ(test::testAlerts().shown()[0].text.substr(0, 23), c.text);
        EXPECT_FALSE(connection.isInitialized());
    }
    FakePlatform fine;
    QuickTimeConnection connection(fine);
    AppShell::Options options;
    options.showStartupBox = false;
    options.platform = &connection;
    AppShell started(preferences, options);
    EXPECT_TRUE(started.start({}));
    EXPECT_TRUE(connection.isInitialized());
    started.finish();
    EXPECT_FALSE(connection.isInitialized());
}

TEST_F(ShellCommandTest, StartUpMakesTheTemplatesFolder)
{
    startShell();
    // In the user's data folder, wherever the program runs from.
    EXPECT_EQ(shell->templatesFolder(), path("data") / "Quillmere" / "Templates");
    EXPECT_TRUE(std::filesystem::is_directory(shell->templatesFolder()));
}

TEST_F(ShellCommandTest, NewWithASceneOpenStartsAnotherInstance)
{
    newScene();
    typeInto(410, "Kept");
    SceneWindow* before = sceneWindow();
    shell->runCommand(cmdNew);
    EXPECT_EQ(launches, (QStringList{"/n~ew"}));
    EXPECT_EQ(sceneWindow(), before);
    EXPECT_EQ(scene().name.str(), "Kept");
}

TEST_F(ShellCommandTest, FurtherDocumentsOnTheCommandLineGoToNewInstances)
{
    startShell({"/missing/one.qmp", "/missing/two b.qmp", "/missing/three.qmt"});
    EXPECT_EQ(launches, (QStringList{"/missing/two b.qmp", "/missing/three.qmt"}));
    // The first could not be opened: its error was reported and no scene is open.
    EXPECT_EQ(sceneWindow(), nullptr);
    ASSERT_EQ(test::testAlerts().shown().size(), 1u);
}

TEST_F(ShellCommandTest, NewOnTheCommandLineOpensAnUntitledScene)
{
    startShell({"x.qmp", "/n~ew"});
    ASSERT_NE(sceneWindow(), nullptr);
    EXPECT_TRUE(launches.isEmpty());
    EXPECT_TRUE(document().isUntouchedNew());
}

TEST_F(ShellCommandTest, StartupPreferenceDecidesWhatAStartWithoutArgumentsDoes)
{
    preferences.setStartupAction(StartupAction::NewDocument);
    startShell();
    EXPECT_NE(sceneWindow(), nullptr);
    shell.reset();
    preferences.setStartupAction(StartupAction::OpenDocument);
    startShell();
    EXPECT_EQ(dialogs->asked, (QStringList{"Open"})); // answered with Cancel
    EXPECT_EQ(sceneWindow(), nullptr);
}

TEST_F(ShellCommandTest, CloseOfADirtySceneAsksAndEachAnswerDoesWhatItSays)
{
    newScene();
    typeInto(410, "Changed");

    test::testAlerts().queueAnswer(AlertButton::Cancel);
    shell->runCommand(cmdClose);
    ASSERT_EQ(test::testAlerts().shown().size(), 1u);
    EXPECT_EQ(test::testAlerts().shown().back().stringId, 142);
    EXPECT_EQ(test::testAlerts().shown().back().text,
              "Would you like to save the changes made to 'Changed' before closing?");
    ASSERT_NE(sceneWindow(), nullptr);

    // Yes, but the save is cancelled in its file dialog: the scene stays open.
    test::testAlerts().queueAnswer(AlertButton::Yes);
    shell->runCommand(cmdClose);
    EXPECT_EQ(dialogs->asked.last(), "Save As");
    ASSERT_NE(sceneWindow(), nullptr);

    test::testAlerts().queueAnswer(AlertButton::No);
    shell->runCommand(cmdClose);
    EXPECT_EQ(sceneWindow(), nullptr);
    EXPECT_EQ(shell->mainWindow()->document(), nullptr);
    EXPECT_EQ(shell->mainWindow()->windowTitle(), "Quillmere");
    EXPECT_FALSE(shell->mainWindow()->action(cmdClose)->isEnabled());
}

TEST_F(ShellCommandTest, ExitIsAbandonedWhenTheSceneRefusesToClose)
{
    newScene();
    typeInto(410, "Changed");
    bool quit = false;
    QObject::connect(shell.get(), &AppShell::quit, [&] { quit = true; });
    test::testAlerts().queueAnswer(AlertButton::Cancel);
    shell->runCommand(cmdExit);
    EXPECT_FALSE(quit);
    EXPECT_NE(sceneWindow(), nullptr);
    test::testAlerts().queueAnswer(AlertButton::No);
    shell->runCommand(cmdExit);
    EXPECT_TRUE(quit);
    EXPECT_TRUE(shell->quitRequested());
}

TEST_F(ShellCommandTest, ClosingTheMainWindowClosesTheDocumentAndKeepsTheBar)
{
    newScene();
    shell->mainWindow()->close();
    EXPECT_EQ(sceneWindow(), nullptr);
    EXPECT_FALSE(shell->quitRequested());
    shell->mainWindow()->close(); // now without a document: the program ends
    EXPECT_TRUE(shell->quitRequested());
}

TEST_F(ShellCommandTest, MenusFollowTheDocument)
{
    newScene();
    QApplication::processEvents();
    MainWindow* main = shell->mainWindow();
    EXPECT_TRUE(main->action(cmdClose)->isEnabled());
    EXPECT_TRUE(main->action(cmdSaveAs)->isEnabled());
    EXPECT_FALSE(main->action(cmdSave)->isEnabled());
    EXPECT_FALSE(main->action(cmdRevert)->isEnabled()); // never saved
    typeInto(405, "71");
    QApplication::processEvents();
    EXPECT_TRUE(main->action(cmdSave)->isEnabled());
    EXPECT_FALSE(main->action(cmdRevert)->isEnabled());
    shell->runCommand(cmdContents); // does nothing
    EXPECT_EQ(scene().mapWidth, 71);
}

TEST_F(ShellCommandTest, AboutShowsTheBoxWithTheVersionUntilAClick)
{
    startShell();
    shell->runCommand(cmdAbout);
    auto* box = shell->mainWindow()->findChild<StartupBox*>();
    ASSERT_NE(box, nullptr);
    auto* version = items::item<QLabel>(box, 586);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QApplication::applicationVersion());
    QTest::mouseClick(box, Qt::RightButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shell->mainWindow()->findChild<StartupBox*>(), nullptr);
}

TEST_F(ShellCommandTest, IdleReachesTheSceneWindowEvery55Milliseconds)
{
    newScene();
    EXPECT_TRUE(shell->idle().isActive());
    EXPECT_EQ(IdleBroadcaster::kIntervalMs, 55);
    EXPECT_FALSE(sceneWindow()->isIdle());
    // An idle pass keeps the tabs up to date without any other event.
    Node node;
    node.kind = NodeKind::kStillImage;
    node.id = 1;
    document().editableScene().nodes.push_back(node);
    shell->idle().runPass();
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 4);
}

TEST_F(ShellCommandTest, EventsArrivingWhileTheWindowIsBusyAreDropped)
{
    newScene();
    // A modal dialog opened by the window runs its own loop; an idle pass then does nothing.
    document().editableScene().nodes.push_back(Node{.kind = NodeKind::kPanorama, .id = 1});
    test::onNextModal([this](QDialog* d) {
        shell->idle().runPass();
        EXPECT_EQ(sceneWindow()->enabledTabCount(), 3);
        test::clickItem(d, 2);
    });
    choose(411, "Custom...");
    shell->idle().runPass();
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 4);
}

} // namespace
} // namespace qm
