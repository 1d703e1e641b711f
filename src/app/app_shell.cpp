#include "app/app_shell.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QSessionManager>
#include <QTimer>

#include "appcore/alert_service.h"
#include "appcore/app_paths.h"
#include "appcore/preferences_record.h"
#include "appcore/scratch_files.h"
#include "appcore/scratch_space_monitor.h"
#include "app/import_tour_command.h"
#include "app/instance_launcher.h"
#include "app/main_window.h"
#include "app/preferences_dialog.h"
#include "app/startup_box.h"
#include "app/user_guide_dialog.h"
#include "framework/command_ids.h"
#include "framework/event_codes.h"
#include "framework/idle_broadcaster.h"
#include "framework/modal_dialog.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "framework/window_registry.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/qt_startup.h"
#include "scene/document_io.h"
#include "scene/scene_window.h"

namespace qm {

namespace {

constexpr int kStartupBoxSeconds = 4;
constexpr int kAboutBoxSeconds = 300;

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

AppShell::AppShell(PreferencesRecord& preferences, Options options)
    : m_preferences(preferences), m_options(options),
      m_idle(std::make_unique<IdleBroadcaster>()),
      m_scratchMonitor(std::make_unique<ScratchSpaceMonitor>())
{
}

AppShell::~AppShell()
{
    setScratchFolderSource({});
    if (m_scene) {
        // The document goes without questions: the run is over.
        delete m_scene.data();
    }
    WindowRegistry::instance().setMenuResetHook({});
    ModalDialog::setPreferencesEnabler({});
}

bool AppShell::start(const CommandLine& commandLine)
{
    if (m_options.checkPlatform) {
        QuickTimeConnection& platform = m_options.platform ? *m_options.platform : quickTime();
        const QuickTimeStartup started = startQuickTime(platform);
        if (started.error != 0) {
            alerts().reportStartupFailure(started.error, started.detail);
            return false;
        }
        m_platform = &platform;
    }

    const std::filesystem::path scratch = defaultScratchFolder();
    std::error_code scratchError;
    if (scratch.empty() || !std::filesystem::is_directory(scratch, scratchError)) {
        alerts().reportStartupFailure(err::fnfErr);
        return false;
    }
    if (m_options.loadPreferences)
        m_options.loadPreferences(scratch.string());

    m_main = std::make_unique<MainWindow>();
    connect(m_main.get(), &MainWindow::commandTriggered, this, &AppShell::runCommand);
    connect(m_main.get(), &MainWindow::menuAboutToShow, this, &AppShell::updateMenus);
    connect(m_main.get(), &MainWindow::quitRequested, this, &AppShell::requestQuit);
    connect(m_main.get(), &MainWindow::openRecentRequested, this, &AppShell::openFile);
    WindowRegistry::instance().setMenuResetHook([this] { m_main->resetMenus(); });
    ModalDialog::setPreferencesEnabler([this](bool on) { m_main->setPreferencesBlocked(!on); });
    // Accelerators follow the menus, so the menus follow the focus as well as the commands.
    connect(qApp, &QApplication::focusChanged, this, &AppShell::requestUpdate);
#ifndef QT_NO_SESSIONMANAGER
    // Logging out with unsaved changes asks as closing does; Cancel stops the logout.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (m_scene && m_scene->document().isDirty() && manager.allowsInteraction()) {
            if (!m_scene->confirmClose())
                manager.cancel();
            manager.release();
        }
    });
#endif

    // The first instance of a session is the one that holds the instance lock.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    m_instanceLock = std::make_unique<QLockFile>(
        QDir(runtime.isEmpty() ? QDir::tempPath() : runtime).filePath(QStringLiteral("quillmere.lock")));
    const bool firstInstance = m_instanceLock->tryLock(0);
    m_main->show();
    if (firstInstance && m_options.showStartupBox)
        StartupBox::showFor(kStartupBoxSeconds, m_main.get());

    m_templates = makeTemplatesFolder();
    setScratchFolderSource([this] { return std::filesystem::path(m_preferences.scratchFolder()); });
    // Scratch files of earlier runs that could not clean up (killed, power lost).
    removeStaleScratchFiles(scratch);
    removeStaleScratchFiles(effectiveScratchFolder(m_preferences.scratchFolder()));

    m_idle->setExtraWork([this] { idleWork(); });
    m_idle->start();

    if (m_quitRequested)
        return true;
    if (commandLine.newDocument) {
        newDocument();
    } else if (!commandLine.documents.isEmpty()) {
        // Paths are made absolute: the document keeps its file for Save and Revert, and its
        // media aliases resolve against the file's folder.
        std::error_code ec;
        const std::filesystem::path first(commandLine.documents.first().toStdString());
        const std::filesystem::path absolute = std::filesystem::absolute(first, ec);
        openHere(ec ? first : absolute);
        for (qsizetype i = 1; i < commandLine.documents.size(); ++i)
            InstanceLauncher::launch(commandLine.documents[i]);
    } else {
        switch (m_preferences.startupAction()) {
        case StartupAction::NewDocument: newDocument(); break;
        case StartupAction::OpenDocument: openDocument(); break;
        case StartupAction::NoDocument: break;
        }
    }
    return true;
}

std::filesystem::path AppShell::makeTemplatesFolder() const
{
    // Templates live in the user's data folder, wherever the program runs from.
    const std::filesystem::path folder = templatesDirectory();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

void AppShell::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_idle->stop();
    if (m_options.savePreferences)
        m_options.savePreferences();
    if (m_platform) {
        stopQuickTime(*m_platform);
        m_platform = nullptr;
    }
}

void AppShell::runCommand(int commandId)
{
    switch (commandId) {
    case cmdNew: newDocument(); break;
    case cmdOpen: openDocument(); break;
    case cmdImportTour:
        if (const auto project = runImportTourCommand(m_main.get(), m_preferences)) {
            if (m_scene)
                InstanceLauncher::launch(QString::fromStdString(project->string()));
            else
                openHere(*project);
        }
        break;
    case cmdClose: closeDocument(); break;
    case cmdSave: sendToForeground(evSave); break;
    case cmdSaveAs: sendToForeground(evSaveAs); break;
    case cmdExportWebTour: sendToForeground(evExportWebTour); break;
    case cmdRevert: sendToForeground(evRevert); break;
    case cmdExit: exitProgram(); break;
    case cmdUndo: sendToForeground(evUndo); break;
    case cmdRedo: sendToForeground(evRedo); break;
    case cmdCut: sendToForeground(evCut); break;
    case cmdCopy: sendToForeground(evCopy); break;
    case cmdPaste: sendToForeground(evPaste); break;
    case cmdDelete: sendToForeground(evDelete); break;
    case cmdSelectAll: sendToForeground(evSelectAll); break;
    case cmdPreferences: showPreferences(); break;
    case cmdAbout: StartupBox::showFor(kAboutBoxSeconds, m_main.get()); break;
    case cmdContents: UserGuideDialog::show(m_main.get()); break;
    default: break;
    }
    requestUpdate();
}

void AppShell::newDocument()
{
    if (m_scene) {
        InstanceLauncher::launch(QStringLiteral("/n~ew"));
        return;
    }
    openHere({});
}

void AppShell::openDocument()
{
    QString filter = projectFilter();
    const QString path = StandardDialogs::current().openFileName(
        m_main.get(), tr("Open"), startFolder(), documentFilters(), &filter);
    if (path.isEmpty())
        return;
    noteChosenFile(path);
    openFile(path);
}

void AppShell::openFile(const QString& path)
{
    if (m_scene) {
        InstanceLauncher::launch(path);
        return;
    }
    openHere(std::filesystem::path(path.toStdString()));
}

bool AppShell::openHere(const std::filesystem::path& path)
{
    std::unique_ptr<SceneDocument> document;
    {
        WaitCursor wait;
        if (path.empty()) {
            document = qm::newDocument();
        } else {
            const OSErr err = qm::openDocument(path, document);
            if (err != 0) {
                alerts().reportError(err);
                return false;
            }
        }
    }
    auto* window = new SceneWindow(std::move(document), this);
    m_scene = window;
    connect(window, &SceneWindow::closed, this, &AppShell::documentClosed);
    connect(window, &SceneWindow::stateChanged, this, &AppShell::requestUpdate);
    m_main->showDocument(window, window);
    window->handleEvent(evMenuUpdate);
    return true;
}

void AppShell::closeDocument()
{
    if (m_scene)
        WindowRegistry::instance().send(m_scene, evClose);
    m_main->resetMenus();
}

void AppShell::documentClosed()
{
    SceneWindow* window = m_scene;
    m_scene = nullptr;
    if (!window)
        return;
    m_main->takeDocument();
    window->deleteLater();
    m_main->resetMenus();
}

void AppShell::exitProgram()
{
    m_exiting = true;
    if (WindowRegistry::instance().closeAll())
        requestQuit();
    m_exiting = false;
}

void AppShell::requestQuit()
{
    if (m_quitRequested)
        return;
    m_quitRequested = true;
    if (m_main) {
        m_main->setQuitRequested(true);
        m_main->close();
    }
    emit quit();
}

void AppShell::showPreferences()
{
    m_main->setPreferencesBlocked(true);
    PreferencesDialog dialog(m_preferences, m_main.get());
    dialog.run();
    m_main->setPreferencesBlocked(false);
}

void AppShell::requestUpdate()
{
    if (m_menuUpdatePending)
        return;
    m_menuUpdatePending = true;
    QTimer::singleShot(0, this, &AppShell::updateMenus);
}

void AppShell::updateMenus()
{
    m_menuUpdatePending = false;
    if (!m_main)
        return;
    m_main->resetMenus();
    if (m_scene)
        WindowRegistry::instance().send(m_scene, evMenuUpdate);
}

EventHandler* AppShell::foregroundHandler() const
{
    QWidget* active = QApplication::activeWindow();
    if (active && active != m_main.get())
        if (auto* handler = dynamic_cast<EventHandler*>(active);
            handler && WindowRegistry::instance().contains(handler))
            return handler;
    return m_scene.data();
}

void AppShell::sendToForeground(std::int16_t code)
{
    if (EventHandler* handler = foregroundHandler())
        WindowRegistry::instance().send(handler, code);
}

void AppShell::idleWork()
{
    m_scratchMonitor->idle(systemTicks(), m_preferences, alerts());
}

void AppShell::enableCommand(int commandId, bool enabled)
{
    if (QAction* a = m_main ? m_main->action(commandId) : nullptr)
        a->setEnabled(enabled);
}

void AppShell::setCommandText(int commandId, const QString& text)
{
    if (QAction* a = m_main ? m_main->action(commandId) : nullptr)
        a->setText(text);
}

} // namespace qm
