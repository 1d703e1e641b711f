#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <fstream>

#include "app/main_window.h"
#include "framework/command_ids.h"
#include "framework/scene_document.h"
#include "gui/gui_test_environment.h"
#include "gui/shell_fixture.h"
#include "scene/scene_window.h"
#include "scene/settings_page.h"

namespace qm {
namespace {

using SettingsPageTest = test::ShellTest;

TEST_F(SettingsPageTest, FileNewShowsTheDefaultsOfANewScene)
{
    newScene();
    EXPECT_EQ(test::shownTitle(shell->mainWindow()), "Untitled Scene — Quillmere");
    EXPECT_EQ(item<QLineEdit>(410)->text(), "Untitled Scene");
    EXPECT_EQ(item<QComboBox>(409)->currentText(), "0°");
    EXPECT_EQ(item<QComboBox>(411)->currentText(), "320 x 240");
    EXPECT_EQ(item<QComboBox>(412)->currentText(), "320 x 240");
    EXPECT_EQ(item<QLineEdit>(405)->text(), "70");
    EXPECT_EQ(item<QLineEdit>(406)->text(), "100");
    EXPECT_EQ(item<QComboBox>(407)->currentText(), "Feet");
    EXPECT_EQ(item<QComboBox>(408)->currentText(), "1:10");
    for (int box : {414, 416, 419, 421})
        EXPECT_TRUE(item<QCheckBox>(box)->isChecked()) << box;
    EXPECT_EQ(item<QLineEdit>(415)->text(), "8");
    EXPECT_EQ(item<QLineEdit>(420)->text(), "8");
    EXPECT_FALSE(document().isDirty());
    EXPECT_TRUE(document().isUntouchedNew());

    QTabWidget* tabs = sceneWindow()->tabs();
    EXPECT_EQ(tabs->objectName(), "item592");
    EXPECT_EQ(tabs->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(tabs->isTabEnabled(i), i < 3) << "tab " << i + 1;
}

TEST_F(SettingsPageTest, ADisabledTabCannotBeChosen)
{
    newScene();
    QTabWidget* tabs = sceneWindow()->tabs();
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(3).center());
    EXPECT_EQ(sceneWindow()->currentPageNumber(), 1);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_FALSE(sceneWindow()->choosePage(5));
    tabs->setCurrentIndex(4);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_NE(settingsPage(), nullptr);

    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_EQ(sceneWindow()->currentPageNumber(), 3);
    EXPECT_EQ(settingsPage(), nullptr); // only the current page exists
    EXPECT_TRUE(sceneWindow()->choosePage(1));
    EXPECT_NE(settingsPage(), nullptr);
}

TEST_F(SettingsPageTest, ComposeAndPreviewTabsFollowTheNodesAndTheComposedMovie)
{
    newScene();
    Scene& s = document().editableScene();
    Node panorama;
    panorama.kind = NodeKind::kPanorama;
    panorama.id = 1;
    s.nodes.push_back(panorama);
    sceneWindow()->updateTabs();
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 4);
    s.composedAt = 1234;
    sceneWindow()->updateTabs();
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 5);
    Node generic;
    generic.id = 2;
    s.nodes.push_back(generic); // a generic node closes compose, and preview behind it
    sceneWindow()->updateTabs();
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 3);
    EXPECT_FALSE(sceneWindow()->tabs()->isTabEnabled(3));
    EXPECT_FALSE(sceneWindow()->tabs()->isTabEnabled(4));
}

TEST_F(SettingsPageTest, UnitChangesCarryTheDefaultsAcrossImperialAndMetric)
{
    newScene();
    choose(407, "Meters");
    EXPECT_EQ(scene().unitIndex, 13);
    EXPECT_EQ(scene().mapWidth, 18);
    EXPECT_EQ(scene().mapHeight, 28);
    EXPECT_EQ(scene().scaleFactor, 1);
    EXPECT_EQ(scene().backgroundGrid.divisions, 4);
    EXPECT_EQ(scene().nodeGrid.divisions, 4);
    EXPECT_EQ(item<QLineEdit>(405)->text(), "18");
    EXPECT_EQ(item<QComboBox>(408)->currentText(), "1:1");
    EXPECT_EQ(item<QLineEdit>(420)->text(), "4");
    EXPECT_TRUE(document().isDirty());

    choose(407, "Feet");
    EXPECT_EQ(scene().unitIndex, 2);
    EXPECT_EQ(scene().mapWidth, 70);
    EXPECT_EQ(scene().mapHeight, 100);
    EXPECT_EQ(scene().scaleFactor, 10);
    EXPECT_EQ(scene().backgroundGrid.divisions, 8);

    choose(407, "Inches");
    EXPECT_EQ(scene().unitIndex, 1);
    EXPECT_EQ(scene().mapWidth, 70);
    EXPECT_EQ(scene().scaleFactor, 10);
    EXPECT_EQ(scene().nodeGrid.divisions, 8);

    // To centimetres: only the divisions follow; the dimensions are not the metre defaults.
    choose(407, "Centimeters");
    EXPECT_EQ(scene().unitIndex, 12);
    EXPECT_EQ(scene().mapWidth, 70);
    EXPECT_EQ(scene().scaleFactor, 10);
    EXPECT_EQ(scene().nodeGrid.divisions, 4);
    EXPECT_EQ(item<QComboBox>(407)->currentText(), "Centimeters");
}

TEST_F(SettingsPageTest, TypedFieldsAreReadBackAsTheyChange)
{
    newScene();
    typeInto(410, "Harbour Walk");
    EXPECT_EQ(scene().name.str(), "Harbour Walk");
    EXPECT_EQ(test::shownTitle(shell->mainWindow()), "Harbour Walk* — Quillmere");
    typeInto(405, "120");
    EXPECT_EQ(scene().mapWidth, 120);
    typeInto(406, "abc"); // refused by the field: nothing typed
    EXPECT_EQ(scene().mapHeight, 100);
    typeInto(406, "");
    EXPECT_EQ(scene().mapHeight, 0); // an empty field reads as 0
    typeInto(415, "0");
    EXPECT_EQ(scene().backgroundGrid.divisions, 1);
    leaveField(415);
    EXPECT_EQ(item<QLineEdit>(415)->text(), "1");
    typeInto(420, "12");
    EXPECT_EQ(scene().nodeGrid.divisions, 12);
    EXPECT_TRUE(document().isDirty());
    EXPECT_FALSE(document().isUntouchedNew());
}

TEST_F(SettingsPageTest, ChangesMadeWithTheMouseAloneAreKept)
{
    newScene();
    auto* name = item<QLineEdit>(410);
    QApplication::clipboard()->setText("Pasted Scene");
    name->selectAll();
    name->paste(); // what the field's context menu does
    EXPECT_EQ(scene().name.str(), "Pasted Scene");

    auto* width = item<QLineEdit>(405);
    QApplication::clipboard()->setText("33");
    width->selectAll();
    width->setFocus();
    shell->runCommand(cmdPaste); // Edit > Paste
    EXPECT_EQ(scene().mapWidth, 33);

    item<QCheckBox>(414)->click();
    EXPECT_FALSE(scene().backgroundGrid.shown);
    EXPECT_FALSE(item<QLineEdit>(415)->isEnabled());
    EXPECT_FALSE(item<QCheckBox>(416)->isEnabled());
    item<QCheckBox>(421)->click();
    EXPECT_FALSE(scene().nodeGrid.active);
    choose(408, "1:1000");
    EXPECT_EQ(scene().scaleFactor, 1000);
}

TEST_F(SettingsPageTest, OrientationListShowsAndInsertsAngles)
{
    newScene();
    test::onNextModal([](QDialog* d) {
        items::item<QLineEdit>(d, 589)->setText("30.5");
        test::clickItem(d, 1);
    });
    choose(409, "Custom...");
    EXPECT_FLOAT_EQ(scene().orientation, 30.5f);
    auto* list = item<QComboBox>(409);
    EXPECT_EQ(list->itemText(2), "30.5°");
    EXPECT_EQ(list->currentIndex(), 2);

    choose(409, "45°");
    EXPECT_FLOAT_EQ(scene().orientation, 45.0f);
    EXPECT_EQ(list->currentText(), "45°");
    choose(409, "Initial View");
    EXPECT_FLOAT_EQ(scene().orientation, -1.0f);

    // Custom from the initial view starts at 0.0; cancelling keeps the initial view.
    test::onNextModal([](QDialog* d) {
        EXPECT_EQ(items::item<QLineEdit>(d, 589)->text(), "0.0");
        test::clickItem(d, 2);
    });
    choose(409, "Custom...");
    EXPECT_FLOAT_EQ(scene().orientation, -1.0f);
    EXPECT_EQ(list->currentText(), "Initial View");
}

TEST_F(SettingsPageTest, CustomSizesAreInsertedAsTheSecondEntry)
{
    newScene();
    test::onNextModal([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Custom Master Size");
        items::item<QLineEdit>(d, 590)->setText("333");
        items::item<QLineEdit>(d, 591)->setText("222");
        test::clickItem(d, 1);
    });
    choose(411, "Custom...");
    auto* master = item<QComboBox>(411);
    EXPECT_EQ(master->itemText(1), "333 x 222");
    EXPECT_EQ(master->currentIndex(), 1);
    EXPECT_EQ(scene().masterWidth, 333);
    EXPECT_EQ(scene().masterHeight, 222);

    test::onNextModal([](QDialog* d) { test::clickItem(d, 2); });
    choose(412, "Custom...");
    EXPECT_EQ(item<QComboBox>(412)->currentText(), "320 x 240");
    EXPECT_EQ(scene().playbackWidth, 320);

    choose(412, "1024 x 1536");
    EXPECT_EQ(scene().playbackWidth, 1024);
    EXPECT_EQ(scene().playbackHeight, 1536);
}

TEST_F(SettingsPageTest, ANewMasterSizeDiscardsTheComposedMovieUntilUndone)
{
    newScene();
    const auto movie = path("t1.tmp");
    std::ofstream(movie) << "movie";
    document().editableScene().composedMovieFile = movie;
    document().editableScene().composedAt = 1234;
    choose(411, "640 x 480");
    EXPECT_EQ(scene().composedAt, 0u);
    EXPECT_TRUE(scene().composedMovieFile.empty());
    EXPECT_TRUE(std::filesystem::exists(movie)); // the undo step keeps it

    shell->runCommand(cmdUndo);
    EXPECT_EQ(scene().masterWidth, 320);
    EXPECT_EQ(scene().composedAt, 1234u);
    EXPECT_EQ(scene().composedMovieFile, movie);

    shell->runCommand(cmdRedo);
    EXPECT_EQ(scene().masterWidth, 640);
    EXPECT_TRUE(scene().composedMovieFile.empty());
    // A new edit drops the redo history; the movie goes with the step that holds it when
    // the document closes.
    document().markSaved(path("x.qmp")); // nothing to ask at close
    shell->runCommand(cmdClose);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(std::filesystem::exists(movie));
}

TEST_F(SettingsPageTest, UndoAndRedoWalkOverASeriesOfEdits)
{
    newScene();
    typeInto(410, "Garden");
    leaveField(410);
    typeInto(405, "50");
    leaveField(405);
    choose(407, "Meters");
    item<QCheckBox>(419)->click();
    choose(408, "1:100");

    QUndoStack& undo = document().undoStack();
    EXPECT_EQ(undo.count(), 5); // one step per action: the keystrokes of a field merge
    shell->runCommand(cmdUndo);
    EXPECT_EQ(scene().scaleFactor, 10); // 50 x 100 are not the defaults: the scale stayed
    shell->runCommand(cmdUndo);
    EXPECT_TRUE(scene().nodeGrid.shown);
    EXPECT_TRUE(item<QCheckBox>(419)->isChecked());
    shell->runCommand(cmdUndo);
    EXPECT_EQ(scene().unitIndex, 2);
    EXPECT_EQ(scene().nodeGrid.divisions, 8);
    EXPECT_EQ(item<QComboBox>(407)->currentText(), "Feet");
    shell->runCommand(cmdUndo);
    EXPECT_EQ(scene().mapWidth, 70);
    EXPECT_EQ(item<QLineEdit>(405)->text(), "70");
    shell->runCommand(cmdUndo);
    EXPECT_EQ(scene().name.str(), "Untitled Scene");
    EXPECT_FALSE(document().isDirty());
    QApplication::processEvents(); // the menus follow soon after
    EXPECT_FALSE(shell->mainWindow()->action(cmdUndo)->isEnabled());
    EXPECT_EQ(shell->mainWindow()->action(cmdUndo)->text(), "Can't Undo");

    shell->runCommand(cmdRedo);
    shell->runCommand(cmdRedo);
    EXPECT_EQ(scene().name.str(), "Garden");
    EXPECT_EQ(scene().mapWidth, 50);
    EXPECT_TRUE(document().isDirty());
    QApplication::processEvents();
    EXPECT_TRUE(shell->mainWindow()->action(cmdUndo)->isEnabled());
    EXPECT_EQ(shell->mainWindow()->action(cmdUndo)->text(), "&Undo Dimensions Change");
}

TEST_F(SettingsPageTest, TypingAFieldBackToItsValueLeavesNoStep)
{
    newScene();
    typeInto(405, "7");
    typeInto(405, "70");
    EXPECT_EQ(document().undoStack().count(), 0);
    EXPECT_FALSE(document().isDirty());
}

} // namespace
} // namespace qm
