#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "app/preferences_dialog.h"
#include "app/prefs_hot_spots_panel.h"
#include "framework/command_ids.h"
#include "gui/shell_fixture.h"

namespace qm {
namespace {



class PreferencesDialogTest : public test::ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        live = preferences;
    }
    PreferencesRecord live;
};

TEST_F(PreferencesDialogTest, ListsFourPanelsAndShowsTheFirst)
{
    PreferencesDialog dialog(live);
    auto* list = items::item<QListWidget>(&dialog, 5850);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "App. Startup");
    EXPECT_EQ(list->item(1)->text(), "Scratch Disk");
    EXPECT_EQ(list->item(2)->text(), "Annotations");
    EXPECT_EQ(list->item(3)->text(), "Hot Spots");
    EXPECT_FALSE(list->item(3)->icon().isNull());
    EXPECT_EQ(dialog.panel()->objectName(), "dialog5804");
    list->setCurrentRow(3);
    EXPECT_EQ(dialog.panel()->objectName(), "dialog5807");
    EXPECT_EQ(dialog.findChildren<QWidget*>("dialog5804").size(), 0); // the old panel is gone
}

TEST_F(PreferencesDialogTest, OkKeepsTheWorkingCopyAndCancelDropsIt)
{
    for (const bool confirm : {false, true}) {
        PreferencesDialog dialog(live);
        items::item<QRadioButton>(&dialog, 1006)->click();
        dialog.choosePanel(3);
        auto* field = items::item<QComboBox>(&dialog, 5852);
        auto* text = items::item<QPlainTextEdit>(&dialog, 5853);
        text->setPlainText("Tour of the harbour");
        field->setCurrentIndex(1);
        text->setPlainText("(c) Harbour Board");
        field->setCurrentIndex(0);
        EXPECT_EQ(text->toPlainText(), "Tour of the harbour");
        test::onNextModal([confirm](QDialog* d) { test::clickItem(d, confirm ? 1 : 2); });
        EXPECT_EQ(dialog.run(), confirm);
        if (!confirm) {
            EXPECT_EQ(live, preferences) << "Cancel must leave the live settings unchanged";
            continue;
        }
        EXPECT_EQ(live.startupAction(), StartupAction::NoDocument);
        EXPECT_EQ(live.annotationName(), "Tour of the harbour");
        EXPECT_EQ(live.annotationCopyright(), "(c) Harbour Board");
    }
}

TEST_F(PreferencesDialogTest, StartupPanelShowsTheStoredAction)
{
    live.setStartupAction(StartupAction::OpenDocument);
    PreferencesDialog dialog(live);
    EXPECT_TRUE(items::item<QRadioButton>(&dialog, 1005)->isChecked());
    items::item<QRadioButton>(&dialog, 1004)->click();
    EXPECT_EQ(dialog.workingCopy().startupAction(), StartupAction::NewDocument);
}

TEST_F(PreferencesDialogTest, HotSpotSizeIsHeldBetween10And100)
{
    PreferencesDialog dialog(live);
    dialog.choosePanel(4);
    auto* size = items::item<QLineEdit>(&dialog, 646);
    EXPECT_EQ(size->text(), "50");
    EXPECT_EQ(size->maxLength(), 3);
    auto* panel = qobject_cast<PrefsHotSpotsPanel*>(dialog.panel());
    size->setText("5");
    panel->commitSize();
    EXPECT_EQ(size->text(), "10");
    EXPECT_EQ(dialog.workingCopy().autoHotSpotSizePercent(), 10);
    size->setText("250");
    panel->commitSize();
    EXPECT_EQ(size->text(), "100");
    items::item<QComboBox>(&dialog, 645)->setCurrentIndex(3);
    EXPECT_EQ(dialog.workingCopy().autoHotSpotShape(), AutoHotSpotShape::Circle);
}

TEST_F(PreferencesDialogTest, HotSpotsPanelTurnsKeepingMovieHotSpotsOff)
{
    PreferencesDialog dialog(live);
    dialog.choosePanel(4);
    auto* keep = dialog.findChild<QCheckBox*>("keepMovieHotSpots");
    ASSERT_TRUE(keep);
    EXPECT_TRUE(keep->isChecked());
    keep->setChecked(false);
    EXPECT_FALSE(dialog.workingCopy().keepMovieHotSpots());
    keep->setChecked(true);
    EXPECT_TRUE(dialog.workingCopy().keepMovieHotSpots());
}

TEST_F(PreferencesDialogTest, SwatchesOpenTheColourChooserAndKeepTheChoice)
{
    PreferencesDialog dialog(live);
    dialog.choosePanel(4);
    dialogs->colourAnswers.push_back(RGBColor{0x1111, 0x2222, 0x3333});
    dialogs->colourAnswers.push_back(std::nullopt); // cancelled
    items::item<QPushButton>(&dialog, 647)->click();
    items::item<QPushButton>(&dialog, 648)->click();
    EXPECT_EQ(dialog.workingCopy().autoHotSpotColor(), (RGBColor{0x1111, 0x2222, 0x3333}));
    EXPECT_EQ(dialog.workingCopy().manualHotSpotColor(), (RGBColor{65535, 0, 0}));
}

TEST_F(PreferencesDialogTest, ScratchDiskPanelBrowsesForAFolderAndSetsTheWarning)
{
    PreferencesDialog dialog(live);
    dialog.choosePanel(2);
    EXPECT_TRUE(items::item<QLineEdit>(&dialog, 1015)->isReadOnly());
    EXPECT_EQ(items::item<QLineEdit>(&dialog, 1015)->text().toStdString(), temp.path().string());
    const auto chosen = path("scratch");
    std::filesystem::create_directory(chosen);
    dialogs->folderAnswers.push_back(QString::fromStdString(chosen.string()));
    test::clickItem(&dialog, 1016);
    EXPECT_EQ(dialogs->asked.last(), "Choose folder to use for scratch disk:");
    EXPECT_EQ(dialog.workingCopy().scratchFolder(), chosen.string());
    EXPECT_EQ(items::item<QLineEdit>(&dialog, 1015)->text().toStdString(), chosen.string());

    auto* warn = items::item<QCheckBox>(&dialog, 1012);
    auto* threshold = items::item<QSpinBox>(&dialog, 1013);
    EXPECT_TRUE(warn->isChecked());
    EXPECT_EQ(threshold->value(), 30);
    EXPECT_EQ(threshold->maximum(), 100);
    EXPECT_EQ(items::item<QLineEdit>(&dialog, 1014)->maxLength(), 3);
    threshold->setValue(80);
    warn->click();
    EXPECT_FALSE(dialog.workingCopy().lowSpaceWarning());
    EXPECT_EQ(dialog.workingCopy().warningThresholdMB(), 80);
}

TEST_F(PreferencesDialogTest, EditPreferencesRunsTheDialogOnTheLiveRecord)
{
    startShell();
    test::onNextModal([](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Preferences");
        items::item<QRadioButton>(d, 1005)->click();
        test::clickItem(d, 1);
    });
    shell->runCommand(cmdPreferences);
    EXPECT_EQ(preferences.startupAction(), StartupAction::OpenDocument);
}

} // namespace
} // namespace qm
