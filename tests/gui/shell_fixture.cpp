#include "gui/shell_fixture.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "appcore/alert_service.h"
#include "app/instance_launcher.h"
#include "app/main_window.h"
#include "framework/command_ids.h"
#include "framework/scene_document.h"
#include "scene/settings_page.h"

namespace qm::test {

QString ScriptedDialogs::openFileName(QWidget*, const QString& caption, const QString&,
                                      const QString&, QString*)
{
    asked << caption;
    if (openAnswers.empty())
        return {};
    QString a = openAnswers.front();
    openAnswers.pop_front();
    return a;
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& caption, const QString&,
                                      const QString& filters, QString* selectedFilter)
{
    asked << caption;
    lastSaveFilters = filters;
    if (saveAnswers.empty())
        return {};
    QString a = saveAnswers.front();
    saveAnswers.pop_front();
    if (selectedFilter && a.endsWith(QStringLiteral(".qmt")))
        *selectedFilter = QStringLiteral("Quillmere Templates (*.qmt)");
    return a;
}

QString ScriptedDialogs::existingFolder(QWidget*, const QString& caption, const QString&)
{
    asked << caption;
    if (folderAnswers.empty())
        return {};
    QString a = folderAnswers.front();
    folderAnswers.pop_front();
    return a;
}

std::optional<RGBColor> ScriptedDialogs::colour(QWidget*, RGBColor)
{
    asked << QStringLiteral("colour");
    if (colourAnswers.empty())
        return std::nullopt;
    auto a = colourAnswers.front();
    colourAnswers.pop_front();
    return a;
}

HeadlessAlertPresenter& testAlerts()
{
    static HeadlessAlertPresenter presenter;
    return presenter;
}

void ShellTest::SetUp()
{
    // Each test has user folders of its own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(path("config").string())));
    qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString(path("data").string())));
    testAlerts().clear();
    alerts().setPresenter(testAlerts());
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    StandardDialogs::install(std::move(scripted));
    InstanceLauncher::setLaunchFunction([this](const QString&, const QStringList& arguments) {
        launches << arguments;
        return true;
    });
    preferences.applyDefaults(temp.path().string());
    preferences.setStartupAction(StartupAction::NoDocument);
}

void ShellTest::TearDown()
{
    if (shell)
        shell->finish();
    shell.reset();
    QApplication::processEvents();
    InstanceLauncher::setLaunchFunction({});
    StandardDialogs::install(nullptr);
}

void ShellTest::startShell(const QStringList& arguments)
{
    AppShell::Options options;
    options.showStartupBox = false;
    options.checkPlatform = false;
    shell = std::make_unique<AppShell>(preferences, options);
    ASSERT_TRUE(shell->start(CommandLine::parse(arguments)));
}

void ShellTest::newScene()
{
    if (!shell)
        startShell();
    shell->runCommand(cmdNew);
    ASSERT_NE(sceneWindow(), nullptr);
}

SceneDocument& ShellTest::document() const { return sceneWindow()->document(); }
const Scene& ShellTest::scene() const { return document().scene(); }

SettingsPage* ShellTest::settingsPage() const
{
    return qobject_cast<SettingsPage*>(sceneWindow()->page());
}

void ShellTest::typeInto(int id, const QString& text)
{
    auto* edit = item<QLineEdit>(id);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

void ShellTest::choose(int id, int index)
{
    auto* list = item<QComboBox>(id);
    ASSERT_NE(list, nullptr);
    ASSERT_LT(index, list->count());
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void ShellTest::choose(int id, const QString& text)
{
    auto* list = item<QComboBox>(id);
    ASSERT_NE(list, nullptr);
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    choose(id, index);
}

void ShellTest::leaveField(int id)
{
    auto* edit = item<QLineEdit>(id);
    ASSERT_NE(edit, nullptr);
    emit edit->editingFinished();
}

} // namespace qm::test
