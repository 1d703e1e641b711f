#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

#include "framework/command_ids.h"
#include "framework/event_codes.h"
#include "framework/recent_documents.h"
#include "framework/resource_images.h"
#include "framework/window_registry.h"

namespace qm {

namespace {

// The key this program documents first, then the platform's other keys for the same command.
QList<QKeySequence> keys(QKeyCombination primary, QKeySequence::StandardKey standard)
{
    QList<QKeySequence> list{QKeySequence(primary)};
    for (const QKeySequence& k : QKeySequence::keyBindings(standard))
        if (!list.contains(k))
            list << k;
    return list;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quillmere"));
    setWindowIcon(resourceIcon(imgAppIcon));

    QMenu* file = menuBar()->addMenu(tr("&File"));
    addCommand(file, tr("&New"), cmdNew, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    addCommand(file, tr("&Open..."), cmdOpen, keys(Qt::CTRL | Qt::Key_O, QKeySequence::Open));
    addCommand(file, tr("Import &Tour..."), cmdImportTour);
    m_recentMenu = file->addMenu(tr("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("recentMenu"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    addCommand(file, tr("&Close"), cmdClose, keys(Qt::CTRL | Qt::Key_W, QKeySequence::Close));
    file->addSeparator();
    addCommand(file, tr("&Save"), cmdSave, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    addCommand(file, tr("Save &As..."), cmdSaveAs);
    addCommand(file, tr("Export &Web Tour..."), cmdExportWebTour);
    addCommand(file, tr("&Revert"), cmdRevert);
    file->addSeparator();
    addCommand(file, tr("E&xit"), cmdExit, keys(Qt::CTRL | Qt::Key_Q, QKeySequence::Quit));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    addCommand(edit, tr("&Undo"), cmdUndo, keys(Qt::CTRL | Qt::Key_Z, QKeySequence::Undo));
    addCommand(edit, tr("&Redo"), cmdRedo, keys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z, QKeySequence::Redo));
    edit->addSeparator();
    addCommand(edit, tr("Cu&t"), cmdCut, {QKeySequence(Qt::CTRL | Qt::Key_X)});
    addCommand(edit, tr("&Copy"), cmdCopy, {QKeySequence(Qt::CTRL | Qt::Key_C)});
    addCommand(edit, tr("&Paste"), cmdPaste, {QKeySequence(Qt::CTRL | Qt::Key_V)});
    addCommand(edit, tr("&Delete"), cmdDelete, {QKeySequence(Qt::Key_Delete)});
    addCommand(edit, tr("Select &All"), cmdSelectAll);
    edit->addSeparator();
    addCommand(edit, tr("Pre&ferences..."), cmdPreferences);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    addCommand(help, tr("&Contents"), cmdContents, keys(Qt::Key_F1, QKeySequence::HelpContents));
    help->addSeparator();
    addCommand(help, tr("&About Quillmere©"), cmdAbout);

    for (QMenu* menu : {file, edit, help})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::menuAboutToShow);

    resetMenus();
    becomeBar();
}

QAction* MainWindow::addCommand(QMenu* menu, const QString& text, int commandId,
                                const QList<QKeySequence>& shortcuts)
{
    auto* action = menu->addAction(text);
    action->setData(commandId);
    action->setObjectName(QStringLiteral("command%1").arg(commandId));
    if (!shortcuts.isEmpty()) {
        action->setShortcuts(shortcuts);
        // The shortcut works while the document's text fields have the focus only when the
        // field does not claim the key itself (Ctrl+C in a field copies its text).
        action->setShortcutContext(Qt::WindowShortcut);
    }
    connect(action, &QAction::triggered, this, [this, commandId] { emit commandTriggered(commandId); });
    m_actions.insert(commandId, action);
    return action;
}

void MainWindow::fillRecentMenu()
{
    // Rebuilt each time it opens: files that have gone since are left out.
    m_recentMenu->clear();
    const QStringList files = RecentDocuments::files();
    int n = 0;
    for (const QString& file : files) {
        ++n;
        const QString label = QStringLiteral("&%1 %2").arg(n % 10).arg(
            QFileInfo(file).fileName().replace(QLatin1Char('&'), QStringLiteral("&&")));
        QAction* a = m_recentMenu->addAction(label);
        a->setData(file);
        a->setToolTip(file);
        a->setStatusTip(file);
        connect(a, &QAction::triggered, this, [this, file] { emit openRecentRequested(file); });
    }
    if (files.isEmpty())
        m_recentMenu->addAction(tr("No Recent Documents"))->setEnabled(false);
    m_recentMenu->addSeparator();
    QAction* clear = m_recentMenu->addAction(tr("&Clear Menu"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, this, [] { RecentDocuments::clear(); });
}

QList<QAction*> MainWindow::accelerators() const
{
    QList<QAction*> list;
    for (QAction* a : m_actions)
        if (!a->shortcut().isEmpty())
            list << a;
    return list;
}

void MainWindow::resetMenus()
{
    for (int id : {cmdAbout, cmdNew, cmdOpen, cmdImportTour, cmdExit, cmdContents})
        action(id)->setEnabled(true);
    action(cmdPreferences)->setEnabled(!m_preferencesBlocked);
    for (int id : {cmdClose, cmdSave, cmdSaveAs, cmdExportWebTour, cmdRevert, cmdUndo, cmdRedo, cmdCut, cmdCopy,
                   cmdPaste, cmdDelete, cmdSelectAll})
        action(id)->setEnabled(false);
    action(cmdUndo)->setText(tr("Can't Undo"));
    action(cmdRedo)->setText(tr("Can't Redo"));
}

void MainWindow::setPreferencesBlocked(bool blocked)
{
    m_preferencesBlocked = blocked;
    action(cmdPreferences)->setEnabled(!blocked);
}

void MainWindow::becomeBar()
{
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    const QSize screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableSize()
                             : QSize(kDocumentWidth, kDocumentHeight);
    const int width = std::min(screen.width(), kDocumentWidth);
    menuBar()->adjustSize();
    setMinimumSize(0, 0);
    setFixedSize(width, menuBar()->sizeHint().height());
}

void MainWindow::showDocument(QWidget* document, EventHandler* handler)
{
    const bool wasVisible = isVisible();
    m_document = document;
    m_documentHandler = handler;
    setCentralWidget(document);
    const QSize screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableSize()
                             : QSize(kDocumentWidth, kDocumentHeight);
    const QSize size(std::min(screen.width(), kDocumentWidth),
                     std::min(screen.height(), kDocumentHeight));
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(size);
    setMinimumSize(size);
    if (wasVisible)
        show();
}

QWidget* MainWindow::takeDocument()
{
    QWidget* document = m_document;
    if (document) {
        takeCentralWidget();
        document->hide();
    }
    m_document = nullptr;
    m_documentHandler = nullptr;
    const bool wasVisible = isVisible();
    if (isMaximized() || isFullScreen())
        showNormal();
    becomeBar();
    setWindowModified(false);
    setWindowTitle(QStringLiteral("Quillmere"));
    if (wasVisible)
        show();
    return document;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_document && !m_quitRequested) {
        // Closing the window closes the document; the bar stays.
        event->ignore();
        WindowRegistry::instance().send(m_documentHandler, evClose);
        return;
    }
    event->accept();
    emit quitRequested();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_documentHandler) {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        std::int16_t code = 0;
        if (isMinimized())
            code = evMinimize;
        else if (isMaximized() && !(old & Qt::WindowMaximized))
            code = evMaximize;
        else if (!isMaximized() && (old & (Qt::WindowMaximized | Qt::WindowMinimized)))
            code = evRestore;
        if (code)
            WindowRegistry::instance().send(m_documentHandler, code);
    }
}

} // namespace qm
