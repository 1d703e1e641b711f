#pragma once
// A running program shell for widget tests: alerts answered from a queue, the file, folder and
// colour choosers answered by the test, and launches of further instances recorded.
#include <QComboBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

#include "app/app_shell.h"
#include "gui/gui_test_environment.h"
#include "appcore/headless_alert_presenter.h"
#include "appcore/preferences_record.h"
#include "project/scene.h"
#include "framework/dialog_items.h"
#include "framework/standard_dialogs.h"
#include "support/test_paths.h"

namespace qm {
class SceneDocument;
class SettingsPage;
}

namespace qm::test {

class ScriptedDialogs : public StandardDialogs {
public:
    QString openFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override;
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, QString*) override;
    QString existingFolder(QWidget*, const QString&, const QString&) override;
    std::optional<RGBColor> colour(QWidget*, RGBColor start) override;

    std::deque<QString> openAnswers, saveAnswers, folderAnswers;
    std::deque<std::optional<RGBColor>> colourAnswers;
    QStringList asked; // captions, in order
    QString lastSaveFilters;
};

// The presenter the tests' alerts go to.
HeadlessAlertPresenter& testAlerts();

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the shell as the program does, without the start-up box and platform checks.
    void startShell(const QStringList& arguments = {});
    void newScene();

    SceneWindow* sceneWindow() const { return shell->sceneWindow(); }
    SceneDocument& document() const;
    const Scene& scene() const;
    SettingsPage* settingsPage() const;
    template <class T>
    T* item(int id) const
    {
        return items::item<T>(sceneWindow(), id);
    }
    // Replaces the text of a field as a user typing it would.
    void typeInto(int id, const QString& text);
    // Chooses a list entry (0-based index) as a user would.
    void choose(int id, int index);
    void choose(int id, const QString& text);
    // Leaves the field being typed into.
    void leaveField(int id);
    std::filesystem::path path(const std::string& name) const { return temp / name; }

    TempDir temp;
    PreferencesRecord preferences;
    std::unique_ptr<AppShell> shell;
    ScriptedDialogs* dialogs = nullptr;
    QStringList launches;
};

} // namespace qm::test
