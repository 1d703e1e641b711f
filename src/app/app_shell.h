#pragma once
// The program's spine: start-up in order, the main window and its commands, the idle pass, the
// one document of this instance, and the end of the run.
#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "framework/menu_state.h"
#include "scene/scene_window.h"

namespace qm {

class IdleBroadcaster;
class MainWindow;
class PreferencesRecord;
class QuickTimeConnection;
class ScratchSpaceMonitor;
class EventHandler;

class AppShell : public QObject, public MenuState {
    Q_OBJECT
public:
    struct Options {
        bool showStartupBox = true; // in the first instance
        bool checkPlatform = true;  // the QuickTime layer's start-up checks
        QuickTimeConnection* platform = nullptr; // null: the program's connection
        // Reads the preferences file into the record, given the default scratch folder.
        std::function<void(const std::string& defaultScratchFolder)> loadPreferences;
        // Writes the record to the preferences file at the end of the run.
        std::function<void()> savePreferences;
    };

    AppShell(PreferencesRecord& preferences, Options options);
    ~AppShell() override;

    // Runs the start-up sequence. False when the program must end (its alert was shown).
    bool start(const CommandLine& commandLine);
    // Carries out a menu command (command_ids.h).
    void runCommand(int commandId);
    // Ends the run: preferences written, platform stopped. Called once, by quit or exit.
    void finish();

    MainWindow* mainWindow() const { return m_main.get(); }
    SceneWindow* sceneWindow() const { return m_scene; }
    IdleBroadcaster& idle() const { return *m_idle; }
    const std::filesystem::path& templatesFolder() const { return m_templates; }
    bool quitRequested() const { return m_quitRequested; }

    // Opens a document in this instance (a new one when path is empty); false on failure,
    // which has been reported.
    bool openHere(const std::filesystem::path& path);

    // MenuState
    void enableCommand(int commandId, bool enabled) override;
    void setCommandText(int commandId, const QString& text) override;
    void requestUpdate() override;

signals:
    // Quit was requested: the event loop should end.
    void quit();

private:
    void newDocument();
    void openDocument();
    // Opens the file here, or in a new instance when a document is open already.
    void openFile(const QString& path);
    void closeDocument();
    void exitProgram();
    void showPreferences();
    void updateMenus();
    EventHandler* foregroundHandler() const;
    void sendToForeground(std::int16_t code);
    void documentClosed();
    void idleWork();
    void requestQuit();
    std::filesystem::path makeTemplatesFolder() const;

    PreferencesRecord& m_preferences;
    Options m_options;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<IdleBroadcaster> m_idle;
    std::unique_ptr<ScratchSpaceMonitor> m_scratchMonitor;
    QPointer<SceneWindow> m_scene;
    std::filesystem::path m_templates;
    std::unique_ptr<QLockFile> m_instanceLock;
    QuickTimeConnection* m_platform = nullptr; // while started
    bool m_quitRequested = false;
    bool m_exiting = false;
    bool m_finished = false;
    bool m_menuUpdatePending = false;
};

} // namespace qm
