// Pictures of the program for docs/screenshots, made by scripts/screenshots.sh under Xvfb.
// Without QM_SCREENSHOT_DIR the test does nothing.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "app/startup_box.h"
#include "framework/command_ids.h"
#include "framework/window_progress.h"
#include "gui/shell_fixture.h"
#include "scene/annotations_dialog.h"
#include "scene/attribute_selector.h"
#include "scene/custom_orientation_dialog.h"
#include "scene/custom_size_dialog.h"
#include "scene/imaging_properties_dialog.h"
#include "scene/playback_options_dialog.h"
#include "scene/scene_window.h"
#include "compose/working_copies.h"
#include "nodes/movie_window.h"
#include "nodes/node_preview.h"
#include "scene/compression_dialog.h"
#include "scene/preview_page.h"
#include "support/test_paths.h"

namespace qm {
namespace {

class Screenshots : public test::ShellTest {
protected:
    void SetUp() override
    {
        m_dir = qEnvironmentVariable("QM_SCREENSHOT_DIR");
        if (m_dir.isEmpty())
            GTEST_SKIP() << "QM_SCREENSHOT_DIR not set";
        QDir().mkpath(m_dir);
        ShellTest::SetUp();
    }

    void save(QWidget* widget, const QString& name)
    {
        widget->show();
        widget->raise();
        widget->activateWindow();
        QTest::qWait(150);
        const QString file = QDir(m_dir).filePath(name + QStringLiteral(".png"));
        EXPECT_TRUE(widget->grab().save(file)) << file.toStdString();
    }

    void saveDialog(QDialog* dialog, const QString& name)
    {
        dialog->adjustSize();
        save(dialog, name);
        dialog->hide();
    }

    QString m_dir;
};

TEST_F(Screenshots, MainWindowAndSettingsPage)
{
    startShell();
    MainWindow* main = shell->mainWindow();
    save(main, "main_window_bar");

    newScene();
    save(main, "settings_new_scene");

    QMenu* file = main->menuBar()->actions().at(0)->menu();
    file->popup(main->mapToGlobal(QPoint(0, main->menuBar()->height())));
    save(file, "menu_file");
    file->hide();
    QMenu* edit = main->menuBar()->actions().at(1)->menu();
    typeInto(410, "Harbour Walk");
    QApplication::processEvents();
    edit->popup(main->mapToGlobal(QPoint(40, main->menuBar()->height())));
    save(edit, "menu_edit");
    edit->hide();

    choose(407, "Meters");
    test::onNextModal([](QDialog* d) {
        items::item<QLineEdit>(d, 589)->setText("30.5");
        test::clickItem(d, 1);
    });
    choose(409, "Custom...");
    test::onNextModal([](QDialog* d) {
        items::item<QLineEdit>(d, 590)->setText("1200");
        items::item<QLineEdit>(d, 591)->setText("800");
        test::clickItem(d, 1);
    });
    choose(411, "Custom...");
    save(main, "settings_metric_custom");

    item<QCheckBox>(414)->click();
    item<QCheckBox>(421)->click();
    save(main, "settings_grids_off");

    sceneWindow()->choosePage(3);
    save(main, "scene_window_page3");
}

TEST_F(Screenshots, PreferencesPanels)
{
    preferences.setScratchFolder("/tmp");
    PreferencesDialog dialog(preferences);
    const char* names[] = {"preferences_startup", "preferences_scratch_disk",
                           "preferences_annotations", "preferences_hot_spots"};
    for (int panel = 1; panel <= 4; ++panel) {
        dialog.choosePanel(panel);
        save(&dialog, names[panel - 1]);
    }
}

TEST_F(Screenshots, Dialogs)
{
    CustomOrientationDialog orientation(45.0f);
    saveDialog(&orientation, "dialog_custom_orientation");
    CustomSizeDialog size(QStringLiteral("Custom Master Size"), 320, 240);
    saveDialog(&size, "dialog_custom_master_size");
    ImagingPropertiesDialog imaging({3, 3, 1, 3});
    saveDialog(&imaging, "dialog_imaging_properties");
    PlaybackOptionsDialog playback(0x10000000);
    saveDialog(&playback, "dialog_playback_options");
    AnnotationsDialog annotations({"Harbour Walk", "(c) Harbour Board", "Created by Quillmere"});
    saveDialog(&annotations, "dialog_annotations");
    std::unique_ptr<AttributeSelector> pen(AttributeSelector::penSizeSelector(2));
    saveDialog(pen.get(), "dialog_pen_size_selector");
    std::unique_ptr<AttributeSelector> pattern(AttributeSelector::patternSelector(4));
    saveDialog(pattern.get(), "dialog_pattern_selector");

    StartupBox* box = StartupBox::showFor(300, nullptr);
    save(box, "startup_box");
    box->close();

    WindowProgress progress;
    ProgressSettings s;
    s.options = progressShowsMessage | progressShowsBar;
    s.title = "Opening ...";
    s.message = "File 'harbour.qmp'";
    progress.open(s);
    progress.update(std::nullopt, 40);
    save(progress.window(), "progress_window");
    progress.close();

    QMessageBox alert(QMessageBox::Warning, QStringLiteral(" "),
                      QStringLiteral("Would you like to save the changes made to 'Harbour Walk' "
                                     "before closing?"),
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    saveDialog(&alert, "alert_142");
}

TEST_F(Screenshots, MapPagesWithTheDemoScene)
{
    // The demo scene as quillmere-cli writes it: nodes, links and a drawn site plan.
    std::string out;
    ASSERT_EQ(test::runCommand("'" + test::cliPath().string() + "' demo '" + path("demo").string() + "' 2>&1", &out), 0)
        << out;
    startShell({QString::fromStdString(path("demo/Demo.qmp").string())});
    ASSERT_NE(sceneWindow(), nullptr);
    MainWindow* main = shell->mainWindow();
    main->resize(1100, 820);
    ASSERT_TRUE(sceneWindow()->choosePage(3));
    save(main, "node_map_page");
    ASSERT_TRUE(sceneWindow()->choosePage(2));
    save(main, "background_page");
}

} // namespace
} // namespace qm

namespace qm {
namespace {

TEST_F(Screenshots, ComposeAndPreviewPages)
{
    test::TempDir demo;
    std::string out;
    ASSERT_EQ(test::runCommand("'" + test::cliPath().string() + "' demo '" + demo.path().string() + "' 2>&1", &out), 0)
        << out;
    startShell({QString::fromStdString((demo.path() / "Demo.qmp").string())});
    ASSERT_NE(sceneWindow(), nullptr);
    QWidget* main = shell->mainWindow();
    main->resize(1000, 720);
    ASSERT_TRUE(sceneWindow()->choosePage(4));
    save(main, "compose_page");
    ASSERT_TRUE(sceneWindow()->choosePage(5));
    auto* preview = qobject_cast<PreviewPage*>(sceneWindow()->page());
    ASSERT_NE(preview, nullptr);
    QTest::qWait(200);
    save(main, "preview_page");
    preview->movieWindow()->setHotSpotsShown(true);
    save(main, "preview_page_hot_spots");

    CompressionDialog dialog(scene().compression[kMovieCompression], true, main);
    saveDialog(&dialog, "dialog_compression_settings");

    WorkingCopies copies;
    {
        NodePreview node(document(), copies);
        node.resize(760, 460);
        ASSERT_EQ(node.showNode(scene().nodes.front().id), 0);
        save(&node, "node_preview_tab");
    }
    copies.discardAll();
}

} // namespace
} // namespace qm
