#include "scene/node_map_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "appcore/alert_service.h"
#include "appcore/preferences_store.h"
#include "compose/automatic_hot_spots.h"
#include "compose/scene_map_edit.h"
#include "framework/command_ids.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/menu_state.h"
#include "framework/resource_images.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "media/node_import.h"
#include "scene/map_area.h"
#include "scene/map_edit_command.h"
#include "scene/scene_window.h"

namespace qm {

namespace {

constexpr int kFirstToolItem = 593;
const char* const kToolTips[4] = {"Select and move nodes", "Link one way", "Link both ways", "Delete links"};
constexpr int kToolIcons[4] = {imgToolSelect, imgToolOneWayLink, imgToolTwoWayLink, imgToolDeleteLink};

Point mapPoint(QPoint p)
{
    return Point{std::int16_t(std::clamp(p.y(), INT16_MIN + 0, INT16_MAX + 0)),
                 std::int16_t(std::clamp(p.x(), INT16_MIN + 0, INT16_MAX + 0))};
}

AutoHotSpotStyle hotSpotStyle() { return autoHotSpotStyle(appPreferences().record()); }

QString mediaFilters()
{
    return QObject::tr("QuickTime Movies and Images (*.mov *.qt *.moov *.qtif *.qti *.jpg *.jpeg *.png *.bmp *.gif "
                       "*.tif *.tiff *.pct *.pict *.pic *.psd *.sgi *.rgb *.tga *.mac *.pntg);;All Files (*)");
}

} // namespace

NodeMapPage::NodeMapPage(SceneWindow& window, SceneDocument& document, QWidget* parent)
    : ScenePage(window, 3, parent), m_document(document)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setObjectName(QStringLiteral("dialog202"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);

    m_add = new QPushButton(resourceIcon(imgAdd), tr("Add..."), this);
    items::setItemId(m_add, 436);
    m_add->setToolTip(tr("Add a movie or QuickTime image as a node"));
    bar->addWidget(m_add);
    bar->addSpacing(12);

    m_tools = new QButtonGroup(this);
    m_tools->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton(this);
        items::setItemId(button, kFirstToolItem + i);
        button->setCheckable(true);
        button->setIcon(resourceIcon(kToolIcons[i]));
        button->setIconSize(QSize(24, 24));
        button->setToolTip(tr(kToolTips[i]));
        m_tools->addButton(button, i + 1);
        bar->addWidget(button);
    }
    bar->addStretch(1);
    m_browse = new QPushButton(resourceIcon(imgBrowse), QString(), this);
    items::setItemId(m_browse, 437);
    m_browse->setIconSize(QSize(24, 24));
    m_browse->setToolTip(tr("Open the node browser on the selected node"));
    m_browseLabel = new QLabel(tr("Browse..."), this);
    items::setItemId(m_browseLabel, 606);
    m_browseLabel->setBuddy(m_browse);
    bar->addWidget(m_browse);
    bar->addWidget(m_browseLabel);

    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    m_map = new MapArea(document, MapRenderOptions{MapGrid::Node, true, true}, this);
    items::setItemId(m_map, 602);
    m_horizontal = new QScrollBar(Qt::Horizontal, this);
    items::setItemId(m_horizontal, 603);
    m_vertical = new QScrollBar(Qt::Vertical, this);
    items::setItemId(m_vertical, 604);
    grid->addWidget(m_map, 0, 0);
    grid->addWidget(m_vertical, 0, 1);
    grid->addWidget(m_horizontal, 1, 0);
    layout->addLayout(grid, 1);
    m_map->setScrollBars(m_horizontal, m_vertical);
    m_map->setOverlay([this](QPainter& p) { drawOverlay(p); });

    connect(m_add, &QPushButton::clicked, this, [this] { sceneWindow().handleEvent(436); });
    connect(m_browse, &QPushButton::clicked, this, [this] { sceneWindow().handleEvent(437); });
    connect(m_tools, &QButtonGroup::idClicked, this,
            [this](int id) { sceneWindow().handleEvent(std::int16_t(kFirstToolItem + id - 1)); });
    connect(m_map, &MapArea::pressed, this, &NodeMapPage::pressed);
    connect(m_map, &MapArea::moved, this, &NodeMapPage::moved);
    connect(m_map, &MapArea::released, this, &NodeMapPage::released);
    connect(m_map, &MapArea::doubleClicked, this, &NodeMapPage::doubleClicked);
    connect(m_map, &MapArea::keyPressed, this, [this](int key, Qt::KeyboardModifiers) { keyPressed(key); });
    connect(&document, &SceneDocument::changed, this, [this] {
        m_map->updateScrollRanges();
        m_map->update();
        updateEnabling();
    });

    chooseTool(1);
    updateEnabling();
    QApplication::restoreOverrideCursor();
}

void NodeMapPage::chooseTool(int tool)
{
    m_tool = std::clamp(tool, 1, 4);
    if (QAbstractButton* b = m_tools->button(m_tool))
        b->setChecked(true);
    updateCursor();
}

int NodeMapPage::handleEvent(std::int16_t code)
{
    switch (code) {
    case 436: {
        const OSErr err = addNode();
        if (err != 0)
            alerts().reportError(err);
        return 1;
    }
    case 437: browse(); return 1;
    case 593: case 594: case 595: case 596:
        chooseTool(code - kFirstToolItem + 1);
        updateEnabling();
        return 1;
    case evDelete: deleteSelection(); return 1;
    case evSelectAll: selectAll(); return 1;
    case evMenuUpdate:
        if (MenuState* menus = sceneWindow().menus()) {
            menus->enableCommand(cmdDelete, countSelectedNodes(m_document.scene()) > 0);
            menus->enableCommand(cmdSelectAll, !m_document.scene().nodes.empty());
        }
        return 1;
    case evNodeDataChanged:
        m_map->update();
        return 1;
    case evSize:
        m_map->updateScrollRanges();
        return 1;
    case evIdle:
        updateEnabling();
        return 1;
    default:
        return 1;
    }
}

OSErr NodeMapPage::addNode()
{
    QString filter;
    const QString path = StandardDialogs::current().openFileName(window(), tr("Add Node"), QString(),
                                                                 mediaFilters(), &filter);
    if (path.isEmpty())
        return -128;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    OSErr err = 0;
    std::string detail;
    NodeImportHooks hooks;
    hooks.snapToNodeGrid = [](const Scene& s, Point p) { return snapToNodeGrid(s, p); };
    hooks.separateNode = [](Scene& s, std::int16_t id) { separateNode(s, id); };
    MapEditCommand::apply(m_document, tr("Add Node"), [&](Scene& scene) {
        err = AddNodeFromFile(scene, Point{72, 72}, std::filesystem::path(path.toStdString()), true, hooks, nullptr,
                              &detail);
        return err == 0;
    });
    QApplication::restoreOverrideCursor();
    if (err != 0) {
        alerts().setErrorDetail(detail);
        return err;
    }
    m_map->ensureVisible(QPoint(72, 72));
    chooseTool(1);
    updateEnabling();
    return 0;
}

void NodeMapPage::browse()
{
    for (const Node& n : m_document.scene().nodes)
        if (n.selected) {
            sceneWindow().requestNodeBrowser(n.id);
            return;
        }
}

void NodeMapPage::selectionChanged()
{
    m_map->update();
    updateEnabling();
    if (MenuState* menus = sceneWindow().menus())
        menus->requestUpdate();
}

void NodeMapPage::pressed(QPoint p, Qt::KeyboardModifiers modifiers)
{
    m_map->setFocus();
    Scene& scene = m_document.editableScene();
    const std::int16_t hit = hitTestNode(scene, mapPoint(p));
    m_pressPoint = m_mouse = p;
    m_pressedNode = hit;
    m_gesture = Gesture::None;
    if (m_tool == 4) {
        std::int16_t source = 0, destination = 0;
        if (!findLinkAt(scene, mapPoint(p), source, destination))
            return;
        QApplication::setOverrideCursor(resourceCursor(curDeletingLink));
        m_gesture = Gesture::DeletingLinks;
        // Links found at the point go one after the other, so two links over each other (both
        // directions between two nodes) go together.
        MapEditCommand::apply(m_document, tr("Delete Link"), [&](Scene& s) {
            bool any = false;
            std::int16_t src = 0, dst = 0;
            while (findLinkAt(s, mapPoint(p), src, dst))
                any = deleteLink(s, src, dst) || any;
            return any;
        });
        return;
    }
    const bool toggle = m_tool == 1 && (modifiers & Qt::ShiftModifier);
    if (selectNode(scene, hit, toggle))
        selectionChanged();
    if (hit == 0)
        return;
    if (m_tool == 1) {
        const Node* node = findNode(scene, hit);
        if (!node->selected)
            return; // a shift-click that took the node out of the selection
        m_grabOffset = p - QPoint(node->mapPosition.h, node->mapPosition.v);
        m_gesture = Gesture::Pressed;
    } else {
        m_gesture = Gesture::Linking;
        m_map->update();
    }
}

void NodeMapPage::moved(QPoint p)
{
    m_mouse = p;
    if (m_gesture == Gesture::Pressed && (p - m_pressPoint).manhattanLength() >= 1)
        m_gesture = Gesture::Dragging;
    if (m_gesture == Gesture::Dragging || m_gesture == Gesture::Linking)
        m_map->update();
}

void NodeMapPage::released(QPoint p, bool inside)
{
    const Gesture gesture = m_gesture;
    m_gesture = Gesture::None;
    m_mouse = p;
    switch (gesture) {
    case Gesture::Pressed:
        m_lastClickedNode = m_pressedNode;
        break;
    case Gesture::Dragging: {
        m_lastClickedNode = 0;
        const Node* node = findNode(m_document.scene(), m_pressedNode);
        if (inside && node) {
            const QPoint delta = p - m_grabOffset - QPoint(node->mapPosition.h, node->mapPosition.v);
            const AutoHotSpotStyle style = hotSpotStyle();
            MapEditCommand::apply(m_document, tr("Move"), [&](Scene& s) {
                return moveSelectedNodes(s, delta.x(), delta.y(), style);
            });
        }
        m_map->update();
        break;
    }
    case Gesture::Linking: {
        const std::int16_t destination = linkDestinationAt(p);
        const std::int16_t source = m_pressedNode;
        const bool both = m_tool == 3;
        if (destination != 0 && inside) {
            OSErr err = 0;
            const AutoHotSpotStyle style = hotSpotStyle();
            MapEditCommand::apply(m_document, both ? tr("Link Both Ways") : tr("Link"), [&](Scene& s) {
                bool made = false, madeBack = false;
                err = createLink(s, source, destination, style, nullptr, &made);
                if (err == 0 && both)
                    err = createLink(s, destination, source, style, nullptr, &madeBack);
                return err == 0 && (made || madeBack);
            });
            if (err != 0)
                alerts().reportError(err);
        }
        m_map->update();
        break;
    }
    case Gesture::DeletingLinks:
        QApplication::restoreOverrideCursor();
        break;
    case Gesture::None:
        break;
    }
    updateEnabling();
}

void NodeMapPage::doubleClicked(QPoint p, Qt::KeyboardModifiers modifiers)
{
    const std::int16_t hit = hitTestNode(m_document.scene(), mapPoint(p));
    if (m_tool == 1 && hit != 0 && hit == m_lastClickedNode) {
        m_lastClickedNode = 0;
        m_gesture = Gesture::None;
        sceneWindow().requestNodeBrowser(hit);
        return;
    }
    pressed(p, modifiers);
}

std::int16_t NodeMapPage::linkDestinationAt(QPoint p) const
{
    const Scene& scene = m_document.scene();
    const std::int16_t hit = hitTestNode(scene, mapPoint(p));
    if (hit == 0 || hit == m_pressedNode)
        return 0;
    // Two-way links may end on a node linked one way: the missing direction is added.
    if (linkExists(scene, m_pressedNode, hit) && (m_tool != 3 || linkExists(scene, hit, m_pressedNode)))
        return 0;
    return hit;
}

void NodeMapPage::drawOverlay(QPainter& p)
{
    const Scene& scene = m_document.scene();
    if (m_gesture == Gesture::Dragging) {
        const QPoint delta = m_mouse - m_pressPoint;
        QPen pen(QColor(0x60, 0x60, 0x60), 2, Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        for (const Node& n : scene.nodes)
            if (n.selected)
                p.drawRect(QRect(n.mapPosition.h - 16 + 2, n.mapPosition.v - 16 + 2, 28, 28).translated(delta));
    } else if (m_gesture == Gesture::Linking) {
        const Node* source = findNode(scene, m_pressedNode);
        if (!source)
            return;
        QPoint end = m_mouse;
        if (const std::int16_t d = linkDestinationAt(m_mouse))
            if (const Node* dn = findNode(scene, d))
                end = QPoint(dn->mapPosition.h, dn->mapPosition.v);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x20, 0x3f, 0x9a), 2, Qt::DashLine));
        p.drawLine(QPoint(source->mapPosition.h, source->mapPosition.v), end);
    }
}

void NodeMapPage::keyPressed(int key)
{
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
        deleteSelection();
}

void NodeMapPage::deleteSelection()
{
    if (countSelectedNodes(m_document.scene()) == 0)
        return;
    MapEditCommand::apply(m_document, tr("Delete"), [](Scene& s) { return deleteSelectedNodes(s) > 0; });
    updateEnabling();
}

void NodeMapPage::selectAll()
{
    if (selectAllNodes(m_document.editableScene()))
        selectionChanged();
}

void NodeMapPage::updateEnabling()
{
    const Scene& scene = m_document.scene();
    const bool selected = countSelectedNodes(scene) > 0;
    m_browse->setEnabled(selected);
    m_browseLabel->setEnabled(selected);
    const bool linkable = scene.nodes.size() >= 2;
    const bool links = countLinks(scene) > 0;
    m_tools->button(2)->setEnabled(linkable);
    m_tools->button(3)->setEnabled(linkable);
    m_tools->button(4)->setEnabled(links);
    if ((m_tool == 2 || m_tool == 3) && !linkable)
        chooseTool(1);
    else if (m_tool == 4 && !links)
        chooseTool(1);
}

void NodeMapPage::updateCursor()
{
    switch (m_tool) {
    case 2:
    case 3: m_map->setCursor(Qt::CrossCursor); break;
    case 4: m_map->setCursor(resourceCursor(curDeleteLink)); break;
    default: m_map->setCursor(Qt::ArrowCursor); break;
    }
}

} // namespace qm
