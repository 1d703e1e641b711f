#include "nodes/node_browser.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "framework/centre_window.h"
#include "framework/event_codes.h"
#include "framework/resource_images.h"
#include "framework/scene_document.h"
#include "framework/window_registry.h"
#include "nodes/hot_spots_page.h"
#include "nodes/node_preview.h"
#include "nodes/node_properties_page.h"

namespace qm {

namespace {

QHash<const SceneDocument*, QPointer<NodeBrowser>>& browsers()
{
    static QHash<const SceneDocument*, QPointer<NodeBrowser>> all;
    return all;
}


} // namespace

std::int16_t selectedNodeId(const SceneDocument& document)
{
    for (const Node& n : document.scene().nodes)
        if (n.selected)
            return n.id;
    return 0;
}

NodeBrowser* openNodeBrowser(SceneDocument& document, std::int16_t nodeId) { return NodeBrowser::open(document, nodeId); }

NodeBrowser* NodeBrowser::browserOf(const SceneDocument& document) { return browsers().value(&document).data(); }

void NodeBrowser::refresh(SceneDocument& document)
{
    if (NodeBrowser* b = browserOf(document))
        b->showCurrentNode();
}

NodeBrowser* NodeBrowser::open(SceneDocument& document, std::int16_t nodeId)
{
    if (nodeId != 0 && findNode(document.scene(), nodeId)) {
        bool changed = false;
        for (Node& n : document.editableScene().nodes) {
            const bool want = n.id == nodeId;
            changed |= n.selected != want;
            n.selected = want;
        }
        if (changed)
            document.notifyChanged();
    }
    if (NodeBrowser* existing = browserOf(document)) {
        existing->showCurrentNode();
        if (browserOf(document)) {
            existing->show();
            existing->raise();
            existing->activateWindow();
        }
        return browserOf(document);
    }
    if (selectedNodeId(document) == 0)
        return nullptr;
    auto* browser = new NodeBrowser(document);
    browsers().insert(&document, browser);
    browser->m_busy = true;
    const bool shown = browser->switchTab(kPropertiesTab);
    browser->m_busy = false;
    if (!shown || !browserOf(document))
        return nullptr;
    centreWindow(browser);
    browser->show();
    browser->raise();
    browser->activateWindow();
    return browser;
}

NodeBrowser::NodeBrowser(SceneDocument& document) : QWidget(nullptr, Qt::Window), m_document(&document)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Node Browser"));
    setWindowIcon(resourceIcon(imgAppIcon));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    buildMenus();
    layout->setMenuBar(m_menuBar);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("item1"));
    for (const char* title : {"Properties", "Hot Spots", "Preview"}) {
        auto* holder = new QWidget(m_tabs);
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        m_tabs->addTab(holder, QString::fromLatin1(title));
    }
    layout->addWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_busy || index + 1 == m_tab)
            return;
        if (!switchTab(index + 1) && !m_tabs->isTabEnabled(index) && m_tab >= 1) {
            // A greyed tab cannot be chosen: the current one stays shown.
            m_busy = true;
            m_tabs->setCurrentIndex(m_tab - 1);
            m_busy = false;
        }
    });
    QSize size(kInitialWidth, kInitialHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    setMinimumSize(size);
    connect(&document, &SceneDocument::changed, this, &NodeBrowser::documentChanged);
    connect(&document, &QObject::destroyed, this, [this] {
        m_document = nullptr;
        close();
    });
    WindowRegistry::instance().add(this);
}

NodeBrowser::~NodeBrowser()
{
    WindowRegistry::instance().remove(this);
    for (auto it = browsers().begin(); it != browsers().end();) {
        if (it.value() == this || it.value().isNull())
            it = browsers().erase(it);
        else
            ++it;
    }
}

void NodeBrowser::buildMenus()
{
    m_menuBar = new QMenuBar(this);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    QAction* close = file->addAction(QStringLiteral("&Close"), this, [this] { handleEvent(evClose); });
    close->setShortcut(QKeySequence::Close);
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    QMenu* window = m_menuBar->addMenu(QStringLiteral("&Window"));
    QAction* zoom = window->addAction(QStringLiteral("&Zoom"), this, [this] { handleEvent(evMaximize); });
    zoom->setObjectName(QStringLiteral("zoom"));
    struct Item {
        const char* text;
        QKeySequence key;
        std::int16_t code;
    };
    const Item items[] = {{"&Undo", QKeySequence::Undo, evUndo},   {"&Redo", QKeySequence::Redo, evRedo},
                          {"Cu&t", QKeySequence::Cut, evCut},      {"&Copy", QKeySequence::Copy, evCopy},
                          {"&Paste", QKeySequence::Paste, evPaste}, {"&Delete", QKeySequence::Delete, evDelete}};
    for (const Item& item : items) {
        if (item.code == evCut)
            edit->addSeparator();
        QAction* a = edit->addAction(QString::fromLatin1(item.text));
        a->setShortcut(item.key);
        a->setObjectName(QStringLiteral("edit%1").arg(-item.code));
        a->setData(int(item.code));
        connect(a, &QAction::triggered, this, [this, code = item.code] { handleEvent(code); });
    }
    // Menu update: what the Edit menu offers follows the undo stack and the Hot Spots page.
    connect(edit, &QMenu::aboutToShow, this, [this, edit] {
        for (QAction* a : edit->actions()) {
            const int code = a->data().toInt();
            if (code == 0 || !m_document)
                continue;
            bool on = true;
            if (code == evUndo)
                on = m_document->undoStack().canUndo();
            else if (code == evRedo)
                on = m_document->undoStack().canRedo();
            else if (HotSpotsPage* page = hotSpotsPage())
                on = page->canEdit(std::int16_t(code));
            else
                on = false;
            a->setEnabled(on);
        }
    });
    // Shortcuts stay live while the menu is closed; the commands check for themselves.
    connect(edit, &QMenu::aboutToHide, this, [edit] {
        QTimer::singleShot(0, edit, [edit] {
            for (QAction* a : edit->actions())
                a->setEnabled(true);
        });
    });
}

NodePropertiesPage* NodeBrowser::propertiesPage() const { return qobject_cast<NodePropertiesPage*>(m_page); }
HotSpotsPage* NodeBrowser::hotSpotsPage() const { return qobject_cast<HotSpotsPage*>(m_page); }
NodePreview* NodeBrowser::previewPage() const { return qobject_cast<NodePreview*>(m_page); }

void NodeBrowser::switchToNode(std::int16_t nodeId)
{
    if (!m_document)
        return;
    for (Node& n : m_document->editableScene().nodes)
        n.selected = n.id == nodeId;
    m_document->notifyChanged();
    if (m_nodeId != nodeId)
        showCurrentNode();
}

int NodeBrowser::handleEvent(std::int16_t code)
{
    if (m_busy && code != evClose)
        return 1;
    if (!m_document)
        return 1;
    m_busy = true;
    int result = 1;
    switch (code) {
    case evClose:
        m_busy = false;
        close();
        return 0;
    case evUndo:
        m_document->undoStack().undo();
        break;
    case evRedo:
        m_document->undoStack().redo();
        break;
    case evMaximize:
        zoom();
        break;
    case evRestore:
        break;
    default:
        if (HotSpotsPage* page = hotSpotsPage())
            result = page->handleEvent(code);
        break;
    }
    m_busy = false;
    return result;
}

QSize NodeBrowser::zoomSize() const
{
    if (const HotSpotsPage* page = hotSpotsPage())
        return page->zoomSize();
    return minimumSize();
}

void NodeBrowser::zoom()
{
    const QSize wanted = zoomSize();
    QScreen* s = screen();
    if (!s || !wanted.isValid() || wanted.isEmpty()) {
        showMaximized();
        return;
    }
    if (isMaximized() || isFullScreen())
        showNormal();
    // The frame (title bar and borders) comes on top of the size asked for.
    const QRect available = s->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    const QSize size = wanted.boundedTo(available.size() - frame).expandedTo(minimumSize());
    resize(size);
    // Kept where it is as far as the screen allows.
    QRect placed(frameGeometry().topLeft(), size + frame);
    if (placed.right() > available.right())
        placed.moveRight(available.right());
    if (placed.bottom() > available.bottom())
        placed.moveBottom(available.bottom());
    if (placed.left() < available.left())
        placed.moveLeft(available.left());
    if (placed.top() < available.top())
        placed.moveTop(available.top());
    move(placed.topLeft());
}

void NodeBrowser::closePage()
{
    if (!m_page)
        return;
    if (auto* props = propertiesPage())
        props->commitEdits();
    delete m_page;
    m_page = nullptr;
}

bool NodeBrowser::showCurrentNode()
{
    if (!m_document || m_closing)
        return false;
    const std::int16_t id = selectedNodeId(*m_document);
    const bool newNode = id != m_nodeId;
    if (newNode && m_nodeId != 0) {
        if (auto* props = propertiesPage())
            props->commitEdits();
    }
    m_nodeId = id;
    if (id == 0) {
        QTimer::singleShot(0, this, [this] {
            if (m_nodeId == 0)
                close();
        });
        return false;
    }
    const Node* node = findNode(m_document->scene(), id);
    if (!node) {
        m_nodeId = 0;
        QTimer::singleShot(0, this, [this] { close(); });
        return false;
    }
    const bool hasMedia = node->kind != NodeKind::kGeneric;
    m_tabs->setTabEnabled(kHotSpotsTab - 1, hasMedia);
    m_tabs->setTabEnabled(kPreviewTab - 1, hasMedia);
    if (!hasMedia && m_tab != kPropertiesTab)
        return switchTab(kPropertiesTab);
    if (auto* props = propertiesPage())
        props->showNode();
    else if (auto* hot = hotSpotsPage())
        hot->showNode(newNode);
    else if (auto* preview = previewPage(); preview && (newNode || preview->nodeId() != id))
        preview->showNode(id);
    return true;
}

bool NodeBrowser::switchTab(int tab)
{
    if (tab == m_tab || tab < 1 || tab > 3)
        return m_tab == tab && m_nodeId != 0;
    if (!m_tabs->isTabEnabled(tab - 1))
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    closePage();
    m_tab = tab;
    QWidget* holder = m_tabs->widget(tab - 1);
    switch (tab) {
    case kPropertiesTab: m_page = new NodePropertiesPage(*this, holder); break;
    case kHotSpotsTab: m_page = new HotSpotsPage(*this, holder); break;
    default: {
        auto* preview = new NodePreview(*m_document, m_workingCopies, holder);
        preview->onNodeSwitch = [this](std::int16_t id) { switchToNode(id); };
        m_page = preview;
        break;
    }
    }
    holder->layout()->addWidget(m_page);
    const bool busy = m_busy;
    m_busy = true;
    m_tabs->setCurrentIndex(tab - 1);
    m_busy = busy;
    const bool shown = showCurrentNode();
    QApplication::restoreOverrideCursor();
    return shown;
}

void NodeBrowser::documentChanged()
{
    if (!m_document || m_closing)
        return;
    if (selectedNodeId(*m_document) != m_nodeId || !findNode(m_document->scene(), m_nodeId)) {
        showCurrentNode();
        return;
    }
    const Node* node = findNode(m_document->scene(), m_nodeId);
    const bool hasMedia = node->kind != NodeKind::kGeneric;
    m_tabs->setTabEnabled(kHotSpotsTab - 1, hasMedia);
    m_tabs->setTabEnabled(kPreviewTab - 1, hasMedia);
    if (auto* props = propertiesPage())
        props->showNode();
    else if (auto* hot = hotSpotsPage())
        hot->nodeEdited();
}

void NodeBrowser::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    closePage();
    browsers().remove(m_document.data());
    event->accept();
}

} // namespace qm
