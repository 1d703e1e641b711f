#include "scene/scene_window.h"
#include "scene/web_tour_export.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "appcore/alert_service.h"
#include "appcore/string_table.h"
#include "framework/command_ids.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/menu_state.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "framework/window_registry.h"
#include "nodes/node_browser.h"
#include "scene/document_io.h"
#include "scene/background_page.h"
#include "scene/node_map_page.h"
#include "scene/placeholder_page.h"
#include "scene/compose_page.h"
#include "scene/preview_page.h"
#include "scene/settings_page.h"

namespace qm {

namespace {

constexpr qint64 kIdleAfterMs = 2000; // 120 ticks

const char* const kTabTitles[SceneWindow::kPageCount] = {"Scene", "Background", "Node Map",
                                                          "Compose", "Preview"};

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

SceneWindow::SceneWindow(std::unique_ptr<SceneDocument> document, MenuState* menus,
                         QWidget* parent)
    : QWidget(parent), m_document(std::move(document)), m_menus(menus)
{
    WaitCursor wait;
    setObjectName(QStringLiteral("sceneWindow"));
    m_busy = true;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_tabs = new QTabWidget(this);
    items::setItemId(m_tabs, 592);
    for (const char* title : kTabTitles) {
        auto* holder = new QWidget(m_tabs);
        auto* holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        m_tabs->addTab(holder, tr(title));
    }
    m_tabs->tabBar()->installEventFilter(this);
    layout->addWidget(m_tabs);
    setMinimumSize(598, 436);

    connect(m_tabs, &QTabWidget::currentChanged, this, &SceneWindow::tabChosen);
    connectDocument();
    // A double-click on a map node and Browse... open the node browser on that node.
    connect(this, &SceneWindow::nodeBrowserRequested, this,
            [this](std::int16_t nodeId) { NodeBrowser::open(*m_document, nodeId); });

    WindowRegistry::instance().add(this);
    m_lastEvent.start();
    m_enabledTabs = kPageCount;
    openPage(1);
    updateTabs();
    updateTitle();
    m_busy = false;
}

SceneWindow::~SceneWindow()
{
    WindowRegistry::instance().remove(this);
    closePage();
    // The document goes while this window is still whole; it tells nobody on its way out.
    disconnect(m_document.get(), nullptr, this, nullptr);
    disconnect(&m_document->undoStack(), nullptr, this, nullptr);
    m_document.reset();
}

int SceneWindow::handleEvent(std::int16_t code)
{
    if (code != evIdle) {
        m_lastEvent.restart();
        m_idle = false;
    } else if (m_lastEvent.elapsed() >= kIdleAfterMs) {
        m_idle = true;
    }
    // Events that arrive while one is handled (from a modal dialog's loop) are dropped.
    if (m_busy && code != evClose)
        return 1;
    m_busy = true;
    const int result = dispatch(code);
    m_busy = false;
    return result;
}

int SceneWindow::dispatch(std::int16_t code)
{
    switch (code) {
    case evClose:
        if (!confirmClose()) {
            WindowRegistry::instance().cancelClose();
            return 0;
        }
        closePage();
        WindowRegistry::instance().remove(this);
        emit closed();
        return 1;
    case evMenuUpdate:
        updateMenus();
        break;
    case evIdle:
        updateTabs();
        break;
    case evSave:
        return save() == 0 ? 1 : 0;
    case evSaveAs:
        return saveAs() == 0 ? 1 : 0;
    case evRevert:
        revert();
        return 1;
    case evExportWebTour:
        exportWebTourFromWindow(this, m_document->scene());
        return 1;
    case evUndo:
        if (m_document->undoStack().canUndo())
            m_document->undoStack().undo();
        return 1;
    case evRedo:
        if (m_document->undoStack().canRedo())
            m_document->undoStack().redo();
        return 1;
    default:
        break;
    }
    return m_page ? m_page->handleEvent(code) : 1;
}

bool SceneWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tabs->tabBar() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int index = m_tabs->tabBar()->tabAt(mouse->position().toPoint());
        if (index >= 0 && !m_tabs->isTabEnabled(index)) {
            QApplication::beep();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SceneWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        updateTitle();
}

void SceneWindow::updateTabs()
{
    const Scene& scene = m_document->scene();
    int usable = 3;
    const bool composeReady =
        !scene.nodes.empty() &&
        std::none_of(scene.nodes.begin(), scene.nodes.end(),
                     [](const Node& n) { return n.kind == NodeKind::kGeneric; });
    if (composeReady) {
        usable = 4;
        if (scene.composedAt != 0)
            usable = 5;
    }
    if (usable == m_enabledTabs)
        return;
    m_enabledTabs = usable;
    for (int i = 0; i < kPageCount; ++i)
        m_tabs->setTabEnabled(i, i < usable);
}

bool SceneWindow::choosePage(int number)
{
    if (number < 1 || number > kPageCount)
        return false;
    if (number == m_currentPage)
        return true;
    if (number > m_enabledTabs) {
        QApplication::beep();
        return false;
    }
    WaitCursor wait;
    if (m_page && !m_page->leave())
        return false;
    openPage(number);
    return true;
}

void SceneWindow::tabChosen(int index)
{
    if (index + 1 == m_currentPage)
        return;
    if (!choosePage(index + 1)) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(m_currentPage - 1);
    }
}

void SceneWindow::openPage(int number)
{
    closePage();
    QWidget* holder = m_tabs->widget(number - 1);
    ScenePage* page = nullptr;
    switch (number) {
    case 1: page = new SettingsPage(*this, *m_document, holder); break;
    case 2: page = new BackgroundPage(*this, *m_document, holder); break;
    case 3: page = new NodeMapPage(*this, *m_document, holder); break;
    case 4: page = new ComposePage(*this, *m_document, holder); break;
    case 5: page = new PreviewPage(*this, *m_document, holder); break;
    default: page = new PlaceholderPage(*this, number, holder); break;
    }
    holder->layout()->addWidget(page);
    m_page = page;
    m_currentPage = number;
    if (m_tabs->currentIndex() != number - 1) {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(number - 1);
    }
    page->show();
}

void SceneWindow::closePage()
{
    if (m_page) {
        ScenePage* page = m_page;
        m_page = nullptr;
        page->hide();
        delete page;
    }
    m_currentPage = -1;
}

void SceneWindow::updateMenus()
{
    if (!m_menus)
        return;
    const SceneDocument& doc = *m_document;
    m_menus->enableCommand(cmdClose, true);
    m_menus->enableCommand(cmdSaveAs, true);
    m_menus->enableCommand(cmdExportWebTour, !doc.scene().nodes.empty());
    m_menus->enableCommand(cmdSave, doc.isDirty());
    std::error_code ec;
    const bool fileExists =
        !doc.projectFile().empty() && std::filesystem::exists(doc.projectFile(), ec);
    m_menus->enableCommand(cmdRevert, doc.isDirty() && fileExists);

    QUndoStack& undo = m_document->undoStack();
    m_menus->enableCommand(cmdUndo, undo.canUndo());
    m_menus->setCommandText(cmdUndo, undo.canUndo() ? tr("&Undo %1").arg(undo.undoText())
                                                    : tr("Can't Undo"));
    m_menus->enableCommand(cmdRedo, undo.canRedo());
    m_menus->setCommandText(cmdRedo, undo.canRedo() ? tr("&Redo %1").arg(undo.redoText())
                                                    : tr("Can't Redo"));

    // The text commands act on the focused text field of the page.
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const bool editable = edit && isAncestorOf(edit) && !edit->isReadOnly();
    const bool selection = editable && edit->hasSelectedText();
    m_menus->enableCommand(cmdCut, selection);
    m_menus->enableCommand(cmdCopy, selection);
    m_menus->enableCommand(cmdPaste, editable);
    m_menus->enableCommand(cmdDelete, editable && !edit->text().isEmpty());
    m_menus->enableCommand(cmdSelectAll, editable && !edit->text().isEmpty());
    updateTabs();
}

void SceneWindow::connectDocument()
{
    connect(m_document.get(), &SceneDocument::changed, this, [this] {
        updateTitle();
        emit stateChanged();
    });
    connect(m_document.get(), &SceneDocument::dirtyChanged, this, [this] {
        updateTitle();
        emit stateChanged();
    });
    connect(&m_document->undoStack(), &QUndoStack::indexChanged, this, &SceneWindow::stateChanged);
}

void SceneWindow::updateTitle()
{
    // The document's name, the platform's mark of unsaved changes, the program's name.
    QWidget* top = window();
    top->setWindowTitle(m_document->title() + QStringLiteral("[*] \u2014 Quillmere"));
    top->setWindowModified(m_document->isDirty());
}

OSErr SceneWindow::saveTo(const QString& path)
{
    WaitCursor wait;
    const OSErr err = saveDocument(*m_document, std::filesystem::path(path.toStdString()));
    if (err != 0)
        alerts().reportError(err);
    updateTitle();
    return err;
}

OSErr SceneWindow::save()
{
    const std::filesystem::path file = m_document->saveFile();
    if (file.empty())
        return saveAs();
    return saveTo(QString::fromStdString(file.string()));
}

OSErr SceneWindow::saveAs()
{
    const SceneDocument& doc = *m_document;
    // The chooser opens in the document's own folder, else the folder last chosen in, with the
    // file's name (never a folder) in the name field.
    QString start;
    const QFileInfo own(QString::fromStdString(doc.saveFile().string()));
    if (!doc.saveFile().empty() && own.absoluteDir().exists())
        start = own.absoluteFilePath();
    else
        start = QDir(startFolder()).filePath(QString::fromStdString(doc.scene().name.str()) +
                                             QStringLiteral(".qmp"));
    QString filter = start.endsWith(QStringLiteral(".qmt"), Qt::CaseInsensitive)
                         ? templateFilter()
                         : projectFilter();
    QString path = StandardDialogs::current().saveFileName(window(), tr("Save As"), start,
                                                           documentFilters(), &filter);
    if (path.isEmpty())
        return 0;
    noteChosenFile(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("qmp") && suffix != QStringLiteral("qmt"))
        path += filter == templateFilter() ? QStringLiteral(".qmt") : QStringLiteral(".qmp");
    return saveTo(path);
}

OSErr SceneWindow::revert()
{
    const std::filesystem::path file = m_document->projectFile();
    if (file.empty())
        return 0;
    const std::string name = file.filename().string();
    alerts().setParameters(name);
    if (alerts().cautionAlert(alertRevert) != 1)
        return 0;
    // The file is read before the document is let go: when it cannot be read, the document
    // stays as it is.
    std::unique_ptr<SceneDocument> reopened;
    OSErr err;
    {
        WaitCursor wait;
        err = openDocument(file, reopened);
    }
    if (err != 0) {
        alerts().reportError(err);
        return err;
    }
    replaceDocument(std::move(reopened));
    return 0;
}

void SceneWindow::replaceDocument(std::unique_ptr<SceneDocument> document)
{
    closePage();
    disconnect(m_document.get(), nullptr, this, nullptr);
    disconnect(&m_document->undoStack(), nullptr, this, nullptr);
    m_document = std::move(document);
    connectDocument();
    m_enabledTabs = kPageCount;
    for (int i = 0; i < kPageCount; ++i)
        m_tabs->setTabEnabled(i, true);
    openPage(1);
    updateTabs();
    updateTitle();
}

bool SceneWindow::confirmClose()
{
    if (!m_document->isDirty())
        return true;
    alerts().setParameters(m_document->scene().name.str());
    switch (alerts().cautionAlert(alertSaveChanges)) {
    case 1: // Yes: the close goes on only when the save succeeded
        if (save() != 0)
            return false;
        return !m_document->isDirty();
    case 3: // No
        return true;
    default: // Cancel
        return false;
    }
}

} // namespace qm
