// The desktop's habits: numbers that follow no locale, dialogs that open on their first field
// with Enter meaning OK, recent documents (menu and the desktop's list), the title's mark of
// unsaved changes, the user guide.
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <clocale>
#include <cstdlib>
#include <fstream>

#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "app/user_guide_dialog.h"
#include "framework/command_ids.h"
#include "framework/recent_documents.h"
#include "framework/scene_document.h"
#include "gui/shell_fixture.h"
#include "scene/custom_size_dialog.h"
#include "scene/settings_lists.h"

namespace qm {
namespace {

// A decimal-comma locale for the test's length: Qt's default locale always, and the C
// library's numbers too when a German locale can be had (installed, or compiled into the
// test's folder from the system's locale sources).
class DecimalCommaLocale {
public:
    explicit DecimalCommaLocale(const std::filesystem::path& scratch)
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const char* old = std::setlocale(LC_NUMERIC, nullptr);
        m_oldC = old ? old : "C";
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
            return;
        const std::filesystem::path folder = scratch / "locales";
        std::filesystem::create_directories(folder);
        const std::string command = "localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8").string() +
                                    "' >/dev/null 2>&1";
        if (std::system(command.c_str()) >= 0) {
            ::setenv("LOCPATH", folder.c_str(), 1);
            std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        }
    }
    ~DecimalCommaLocale()
    {
        std::setlocale(LC_NUMERIC, m_oldC.c_str());
        ::unsetenv("LOCPATH");
        QLocale::setDefault(m_oldQt);
    }
    // Whether the C library itself now writes 0.5 as "0,5".
    static bool cLibraryUsesComma() { return std::localeconv()->decimal_point[0] == ','; }

private:
    QLocale m_oldQt;
    std::string m_oldC;
};

class DesktopTest : public test::ShellTest {
protected:
    void saveAs(const std::filesystem::path& file)
    {
        dialogs->saveAnswers.push_back(QString::fromStdString(file.string()));
        shell->runCommand(cmdSaveAs);
    }
    QString xbel() const
    {
        QFile f(RecentDocuments::desktopListFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QString url(const std::filesystem::path& file)
    {
        return QStringLiteral("file://") + QString::fromStdString(file.string());
    }
};

TEST_F(DesktopTest, AnOrientationTypedWithAPointUnderADecimalCommaLocaleKeepsItsFraction)
{
    DecimalCommaLocale german(temp.path());
    newScene();
    QString focused;
    test::onNextModal([&focused](QDialog* d) {
        // Typing goes straight into the angle, and Enter is OK.
        QWidget* field = d->focusWidget();
        focused = field ? field->objectName() : QString();
        if (field) {
            QTest::keyClicks(field, QStringLiteral("30.5"));
            QTest::keyClick(field, Qt::Key_Return);
        }
        if (d->isVisible())
            d->reject();
    });
    choose(409, "Custom...");
    EXPECT_EQ(focused, "item589");
    EXPECT_FLOAT_EQ(scene().orientation, 30.5f);
    EXPECT_EQ(item<QComboBox>(409)->currentText(), "30.5°");

    // The reading of numbers does not follow the C library's locale either.
    if (DecimalCommaLocale::cLibraryUsesComma()) {
        EXPECT_DOUBLE_EQ(settings::leadingNumber(QStringLiteral("30.5°")), 30.5);
        EXPECT_DOUBLE_EQ(settings::leadingNumber(QStringLiteral("-12.25")), -12.25);
    }
    EXPECT_DOUBLE_EQ(settings::leadingNumber(QStringLiteral(" +7.5x")), 7.5);
    EXPECT_DOUBLE_EQ(settings::leadingNumber(QStringLiteral("Custom...")), 0.0);
    EXPECT_EQ(settings::leadingInteger(QStringLiteral("1024 x 768")), 1024);
    EXPECT_EQ(settings::leadingInteger(QStringLiteral("x")), 0);

    // Whole numbers take no group separators: 12345 is typed and read as it stands.
    typeInto(405, "12345");
    leaveField(405);
    EXPECT_EQ(scene().mapWidth, 12345);
    EXPECT_EQ(item<QLineEdit>(405)->text(), "12345");
}

TEST_F(DesktopTest, DialogsOpenOnTheirFirstFieldAndEnterMeansOk)
{
    newScene();
    QString focused;
    test::onNextModal([&focused](QDialog* d) {
        QWidget* field = d->focusWidget();
        focused = field ? field->objectName() : QString();
        if (field) {
            QTest::keyClicks(field, QStringLiteral("333"));
            QTest::keyClick(field, Qt::Key_Tab);
            QTest::keyClicks(d->focusWidget(), QStringLiteral("222"));
            QTest::keyClick(d->focusWidget(), Qt::Key_Enter);
        }
        if (d->isVisible())
            d->reject();
    });
    choose(411, "Custom...");
    EXPECT_EQ(focused, "item590"); // the width, not Cancel
    EXPECT_EQ(scene().masterWidth, 333);
    EXPECT_EQ(scene().masterHeight, 222);

    // The buttons come after the fields, OK is the default button, and the dialogs of the
    // preferences open on their list.
    CustomSizeDialog size(QStringLiteral("Custom Playback Size"), 320, 240);
    test::onNextModal([](QDialog* d) {
        auto* ok = items::item<QPushButton>(d, 1);
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_FALSE(items::item<QPushButton>(d, 2)->isDefault());
        EXPECT_EQ(d->focusWidget(), items::item(d, 590));
        EXPECT_EQ(items::item(d, 590)->nextInFocusChain(), items::item(d, 591));
        QTest::keyClick(d->focusWidget(), Qt::Key_Escape);
    });
    EXPECT_FALSE(size.run());

    PreferencesDialog prefs(preferences);
    test::onNextModal([](QDialog* d) {
        EXPECT_TRUE(items::item<QPushButton>(d, 1)->isDefault());
        EXPECT_EQ(d->focusWidget(), items::item(d, 5850));
        QTest::keyClick(d->focusWidget(), Qt::Key_Return);
    });
    EXPECT_TRUE(prefs.run());
}

TEST_F(DesktopTest, OpenedAndSavedDocumentsGoToOpenRecentAndTheDesktopsList)
{
    // Another program's entry in the desktop's list must survive ours.
    const QString list = RecentDocuments::desktopListFile();
    std::filesystem::create_directories(std::filesystem::path(list.toStdString()).parent_path());
    {
        std::ofstream out(list.toStdString());
        out << R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0" xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info">
  <bookmark href="file:///elsewhere/letter.odt" added="2026-01-01T10:00:00Z" modified="2026-01-01T10:00:00Z" visited="2026-01-01T10:00:00Z">
    <info><metadata owner="http://freedesktop.org">
      <mime:mime-type type="application/vnd.oasis.opendocument.text"/>
      <bookmark:applications><bookmark:application name="Writer" exec="'writer %u'" modified="2026-01-01T10:00:00Z" count="3"/></bookmark:applications>
    </metadata></info>
  </bookmark>
</xbel>
)";
    }

    newScene();
    const auto first = path("first.qmp");
    const auto second = path("second.qmp");
    saveAs(first);
    saveAs(second);
    EXPECT_EQ(RecentDocuments::files(),
              (QStringList{QString::fromStdString(second.string()), QString::fromStdString(first.string())}));

    QString text = xbel();
    EXPECT_TRUE(text.contains(QStringLiteral("file:///elsewhere/letter.odt"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("name=\"Writer\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("href=\"%1\"").arg(url(first))));
    EXPECT_TRUE(text.contains(QStringLiteral("href=\"%1\"").arg(url(second))));
    EXPECT_TRUE(text.contains(QStringLiteral("application/x-quillmere-project")));
    EXPECT_EQ(text.count(QStringLiteral("name=\"Quillmere\"")), 2);

    // Saving again refreshes the entry instead of adding one.
    saveAs(first);
    text = xbel();
    EXPECT_EQ(text.count(QStringLiteral("href=\"%1\"").arg(url(first))), 1);
    EXPECT_TRUE(text.contains(QStringLiteral("count=\"2\"")));

    // The menu lists what exists, newest first; a file that has gone is left out.
    shell->runCommand(cmdClose);
    ASSERT_EQ(sceneWindow(), nullptr);
    std::filesystem::remove(second);
    QMenu* menu = shell->mainWindow()->recentMenu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QList<QAction*> entries;
    for (QAction* a : menu->actions())
        if (a->data().isValid())
            entries << a;
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0]->text(), "&1 first.qmp");
    EXPECT_EQ(RecentDocuments::files(), QStringList{QString::fromStdString(first.string())});

    // Choosing it opens the document.
    entries[0]->trigger();
    ASSERT_NE(sceneWindow(), nullptr);
    EXPECT_EQ(document().projectFile(), first);

    // Clear Menu empties the program's list.
    emit menu->aboutToShow();
    menu->actions().last()->trigger();
    EXPECT_TRUE(RecentDocuments::files().isEmpty());
}

TEST(DesktopRecentList, AListThatIsNotXbelIsLeftAlone)
{
    test::TempDir dir;
    const auto file = dir / "recently-used.xbel";
    std::ofstream(file) << "not xml at all";
    EXPECT_FALSE(RecentDocuments::addToDesktopList(QString::fromStdString(file.string()),
                                                   QStringLiteral("/tmp/a.qmp"), projectMimeType()));
    std::ifstream in(file);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "not xml at all");

    // A new list is made whole, folders included.
    const auto fresh = dir / "new" / "recently-used.xbel";
    EXPECT_TRUE(RecentDocuments::addToDesktopList(QString::fromStdString(fresh.string()),
                                                  QStringLiteral("/tmp/a b.qmt"), templateMimeType()));
    QFile f(QString::fromStdString(fresh.string()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("href=\"file:///tmp/a%20b.qmt\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("xmlns:bookmark=")));
    EXPECT_TRUE(text.contains(QStringLiteral("application/x-quillmere-template")));
}

TEST_F(DesktopTest, TheTitleNamesTheProgramAndMarksUnsavedChanges)
{
    newScene();
    MainWindow* main = shell->mainWindow();
    EXPECT_TRUE(main->windowTitle().contains(QStringLiteral("[*]")));
    EXPECT_FALSE(main->isWindowModified());
    EXPECT_EQ(test::shownTitle(main), "Untitled Scene \u2014 Quillmere");

    typeInto(410, "Harbour");
    leaveField(410);
    EXPECT_TRUE(main->isWindowModified());
    EXPECT_EQ(test::shownTitle(main), "Harbour* \u2014 Quillmere");

    // Undoing back to the saved state clears the mark; a save clears it too.
    while (document().undoStack().canUndo())
        document().undoStack().undo();
    EXPECT_FALSE(main->isWindowModified());
    typeInto(410, "Harbour");
    leaveField(410);
    saveAs(path("harbour.qmp"));
    EXPECT_FALSE(main->isWindowModified());
    EXPECT_EQ(test::shownTitle(main), "harbour.qmp \u2014 Quillmere");

    typeInto(410, "Harbour Walk");
    leaveField(410);
    EXPECT_EQ(test::shownTitle(main), "harbour.qmp* \u2014 Quillmere");
    shell->runCommand(cmdSave);
    EXPECT_FALSE(main->isWindowModified());

    shell->runCommand(cmdClose);
    EXPECT_EQ(test::shownTitle(main), "Quillmere");
    EXPECT_FALSE(main->isWindowModified());
}

TEST_F(DesktopTest, HelpContentsShowsTheUserGuide)
{
    startShell();
    shell->runCommand(cmdContents);
    auto* guide = shell->mainWindow()->findChild<UserGuideDialog*>();
    ASSERT_NE(guide, nullptr);
    EXPECT_TRUE(guide->isVisible());
    const QString text = guide->browser()->document()->toPlainText();
    // The Markdown is rendered (no heading marks left), and the main job is there.
    EXPECT_FALSE(text.contains(QStringLiteral("## ")));
    for (const char* section : {"Adding media", "Composing the scene", "Previewing the composed scene"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(section))) << section;
    // A second Help > Contents raises the same window.
    shell->runCommand(cmdContents);
    EXPECT_EQ(shell->mainWindow()->findChildren<UserGuideDialog*>().size(), 1);
    guide->close();
}

} // namespace
} // namespace qm
