#include "scene/background_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <memory>

#include "appcore/alert_service.h"
#include "framework/command_ids.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/menu_state.h"
#include "framework/resource_images.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/files/file_types.h"
#include "quicktime/files/image_file.h"
#include "render/map_pictures.h"
#include "render/map_text.h"
#include "scene/attribute_selector.h"
#include "scene/map_area.h"
#include "scene/map_edit_command.h"
#include "scene/scene_window.h"

namespace qm {

namespace {

struct ToolButton {
    int item;
    int icon;
    const char* tip;
};
// In tool order 1..8; the tool number is the kind of object it makes.
constexpr ToolButton kTools[8] = {
    {446, imgToolSelect, "Select and move"},  {445, imgToolLine, "Line"},
    {444, imgToolRectangle, "Rectangle"},      {443, imgToolOval, "Oval"},
    {450, imgToolText, "Text"},                {449, imgToolArc, "Arc"},
    {448, imgToolFilledRectangle, "Filled rectangle"}, {447, imgToolFilledOval, "Filled oval"},
};
const char* const kStyleNames[8] = {"Plain Text", "Boldface", "Italic",    "Underlined",
                                    "Outlined",   "Shadow",   "Condensed", "Extended"};
constexpr int kTextSizes[] = {9, 10, 12, 14, 18, 24, 36, 48, 72};

Point mapPoint(QPoint p)
{
    return Point{std::int16_t(std::clamp(p.y(), -32768, 32767)), std::int16_t(std::clamp(p.x(), -32768, 32767))};
}

QColor qcolor(const RGBColor& c) { return QColor::fromRgba64(c.red, c.green, c.blue); }

void setSwatch(QFrame* swatch, const RGBColor& c)
{
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, qcolor(c));
    swatch->setPalette(palette);
}

void offsetRect(Rect& r, int dh, int dv)
{
    auto c = [](int v) { return std::int16_t(std::clamp(v, -32768, 32767)); };
    r = Rect{c(r.top + dv), c(r.left + dh), c(r.bottom + dv), c(r.right + dh)};
}

// The size of a text's bounds: its lines unwrapped, with a little room around them.
QSize textBoundsSize(const MapTextStyle& style, const QString& text)
{
    const QFontMetrics metrics(mapTextFont(style));
    const QRect r = metrics.boundingRect(QRect(0, 0, 32000, 32000), Qt::AlignLeft | Qt::AlignTop, text);
    return QSize(std::max(r.width(), 8) + 4, std::max(r.height(), metrics.height()) + 2);
}

const char* attributeName(MapAttribute which)
{
    switch (which) {
    case MapAttribute::PenColor: return "Change Pen Colour";
    case MapAttribute::FillColor: return "Change Fill Colour";
    case MapAttribute::PenSize: return "Change Pen Size";
    case MapAttribute::Pattern: return "Change Pattern";
    case MapAttribute::Font: return "Change Font";
    case MapAttribute::TextSize: return "Change Text Size";
    case MapAttribute::TextStyle: return "Change Text Style";
    }
    return "Change";
}

const char* drawName(int kind)
{
    switch (kind) {
    case MapObjectKind::kLine: return "Draw Line";
    case MapObjectKind::kRectangle: return "Draw Rectangle";
    case MapObjectKind::kOval: return "Draw Oval";
    case MapObjectKind::kArc: return "Draw Arc";
    case MapObjectKind::kFilledRectangle: return "Draw Filled Rectangle";
    case MapObjectKind::kFilledOval: return "Draw Filled Oval";
    default: return "Draw";
    }
}

// Keypad Enter and Escape end the text editing.
class EditorKeys : public QObject {
public:
    explicit EditorKeys(BackgroundPage* page) : QObject(page), m_page(page) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape ||
                (key->key() == Qt::Key_Enter && (key->modifiers() & Qt::KeypadModifier))) {
                m_page->endTextEditing();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    BackgroundPage* m_page;
};

} // namespace

BackgroundPage::BackgroundPage(SceneWindow& window, SceneDocument& document, QWidget* parent)
    : ScenePage(window, 2, parent), m_document(document)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setObjectName(QStringLiteral("dialog201"));
    m_shown = sceneWindow().mapDefaults();
    buildControls();
    connect(&document, &SceneDocument::changed, this, [this] {
        m_map->updateScrollRanges();
        refresh();
    });
    chooseTool(1);
    showAttributes();
    QApplication::restoreOverrideCursor();
}

BackgroundPage::~BackgroundPage()
{
    // An edit in progress is kept, as leaving the page would keep it.
    if (m_editor)
        endTextEditing();
}

void BackgroundPage::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    layout->addLayout(bar);
    auto* add = new QPushButton(resourceIcon(imgAdd), tr("Add..."), this);
    items::setItemId(add, 423);
    add->setToolTip(tr("Add a picture from an image file"));
    bar->addWidget(add);
    bar->addSpacing(8);
    m_tools = new QButtonGroup(this);
    for (int i = 0; i < 8; ++i) {
        auto* b = new QToolButton(this);
        items::setItemId(b, kTools[i].item);
        b->setCheckable(true);
        b->setIcon(resourceIcon(kTools[i].icon));
        b->setIconSize(QSize(24, 24));
        b->setToolTip(tr(kTools[i].tip));
        m_tools->addButton(b, i + 1);
        bar->addWidget(b);
    }
    bar->addSpacing(8);
    auto smallButton = [this, bar](int item, int icon, const QString& tip) {
        auto* b = new QToolButton(this);
        items::setItemId(b, item);
        b->setIcon(resourceIcon(icon));
        b->setIconSize(QSize(20, 20));
        b->setToolTip(tip);
        bar->addWidget(b);
        return b;
    };
    auto swatch = [this, bar](int item, const QString& tip) {
        auto* f = new QFrame(this);
        items::setItemId(f, item);
        f->setFrameShape(QFrame::Box);
        f->setFixedSize(22, 22);
        f->setAutoFillBackground(true);
        f->setToolTip(tip);
        bar->addWidget(f);
        return f;
    };
    auto* pen = smallButton(426, imgColorButton, tr("Pen colour"));
    m_penSwatch = swatch(428, tr("Pen colour"));
    auto* penSize = smallButton(427, imgPenSizeButton, tr("Pen size"));
    bar->addSpacing(6);
    auto* fill = smallButton(429, imgColorButton, tr("Fill colour"));
    m_fillSwatch = swatch(431, tr("Fill colour"));
    auto* pattern = smallButton(430, imgPatternButton, tr("Pattern"));
    bar->addStretch(1);

    auto* second = new QHBoxLayout;
    layout->addLayout(second);
    second->addWidget(new QLabel(tr("Layer:"), this));
    m_layer = new QSpinBox(this);
    items::setItemId(m_layer, 607);
    m_layer->setRange(0, kMapLayers);
    m_layer->setSpecialValueText(tr("n/a"));
    items::setItemId(m_layer->findChild<QLineEdit*>(), 432);
    second->addWidget(m_layer);
    second->addSpacing(12);
    second->addWidget(new QLabel(tr("Text Attributes"), this));
    m_font = new QComboBox(this);
    items::setItemId(m_font, 433);
    for (const MapFont& f : mapFonts())
        m_font->addItem(QString::fromLatin1(f.name), int(f.number));
    m_size = new QComboBox(this);
    items::setItemId(m_size, 434);
    for (int size : kTextSizes)
        m_size->addItem(QString::asprintf("%d pt", size), size);
    m_style = new QComboBox(this);
    items::setItemId(m_style, 435);
    for (int i = 0; i < 8; ++i)
        m_style->addItem(tr(kStyleNames[i]), i == 0 ? 0 : 1 << (i - 1));
    second->addWidget(m_font);
    second->addWidget(m_size);
    second->addWidget(m_style);
    second->addStretch(1);

    auto* grid = new QGridLayout;
    grid->setSpacing(0);
    m_map = new MapArea(m_document, MapRenderOptions{MapGrid::Background, false, true}, this);
    items::setItemId(m_map, 601);
    m_vertical = new QScrollBar(Qt::Vertical, this);
    items::setItemId(m_vertical, 597);
    m_horizontal = new QScrollBar(Qt::Horizontal, this);
    items::setItemId(m_horizontal, 598);
    grid->addWidget(m_map, 0, 0);
    grid->addWidget(m_vertical, 0, 1);
    grid->addWidget(m_horizontal, 1, 0);
    layout->addLayout(grid, 1);
    m_map->setScrollBars(m_horizontal, m_vertical);
    m_map->setOverlay([this](QPainter& p) { drawOverlay(p); });

    auto send = [this](int item) { sceneWindow().handleEvent(std::int16_t(item)); };
    connect(add, &QPushButton::clicked, this, [send] { send(423); });
    connect(m_tools, &QButtonGroup::idClicked, this, [send](int id) { send(kTools[id - 1].item); });
    connect(pen, &QToolButton::clicked, this, [send] { send(426); });
    connect(penSize, &QToolButton::clicked, this, [send] { send(427); });
    connect(fill, &QToolButton::clicked, this, [send] { send(429); });
    connect(pattern, &QToolButton::clicked, this, [send] { send(430); });
    connect(m_font, &QComboBox::activated, this, [send] { send(433); });
    connect(m_size, &QComboBox::activated, this, [send] { send(434); });
    connect(m_style, &QComboBox::activated, this, [send] { send(435); });
    connect(m_layer, &QSpinBox::valueChanged, this, [send] { send(607); });
    connect(m_map, &MapArea::pressed, this, &BackgroundPage::pressed);
    connect(m_map, &MapArea::moved, this, &BackgroundPage::moved);
    connect(m_map, &MapArea::released, this, &BackgroundPage::released);
    connect(m_map, &MapArea::doubleClicked, this, &BackgroundPage::doubleClicked);
    connect(m_map, &MapArea::keyPressed, this, [this](int key, Qt::KeyboardModifiers) { keyPressed(key); });
    connect(m_map, &MapArea::scrolled, this, [this] { placeEditor(); });
}

void BackgroundPage::chooseTool(int tool)
{
    m_tool = std::clamp(tool, 1, 8);
    m_tools->button(m_tool)->setChecked(true);
    m_map->setCursor(m_tool == 1 ? Qt::ArrowCursor : m_tool == 5 ? Qt::IBeamCursor : Qt::CrossCursor);
}

bool BackgroundPage::leave()
{
    endTextEditing();
    return true;
}

int BackgroundPage::handleEvent(std::int16_t code)
{
    for (int i = 0; i < 8; ++i)
        if (code == kTools[i].item) {
            if (i + 1 != 5)
                endTextEditing();
            chooseTool(i + 1);
            return 1;
        }
    MapAttributes value = m_shown;
    switch (code) {
    case 423: {
        const OSErr err = addPicture();
        if (err != 0)
            alerts().reportError(err);
        return 1;
    }
    case 426: pickColor(true); return 1;
    case 429: pickColor(false); return 1;
    case 427: pickPenSize(); return 1;
    case 430: pickPattern(); return 1;
    case 433:
        value.fontNumber = std::int16_t(m_font->currentData().toInt());
        changeAttribute(MapAttribute::Font, value);
        return 1;
    case 434:
        value.textSize = std::int16_t(m_size->currentData().toInt());
        changeAttribute(MapAttribute::TextSize, value);
        return 1;
    case 435:
        value.textStyle = std::uint8_t(m_style->currentData().toInt());
        changeAttribute(MapAttribute::TextStyle, value);
        return 1;
    case 607: layerChosen(m_layer->value()); return 1;
    case evEnterKey: endTextEditing(); return 1;
    case evCut:
        if (m_editor) m_editor->cut(); else cutSelection();
        return 1;
    case evCopy:
        if (m_editor) m_editor->copy(); else copySelection();
        return 1;
    case evPaste:
        if (m_editor) {
            m_editor->paste();
        } else if (const OSErr err = paste(); err != 0) {
            alerts().reportError(err);
        }
        return 1;
    case evDelete:
        if (m_editor) m_editor->textCursor().removeSelectedText(); else deleteSelection();
        return 1;
    case evSelectAll:
        if (m_editor) {
            m_editor->selectAll();
        } else {
            for (MapObject& o : m_document.editableScene().mapObjects)
                o.selected = true;
            refresh();
        }
        return 1;
    case evMenuUpdate:
        if (MenuState* menus = sceneWindow().menus()) {
            const Scene& scene = m_document.scene();
            const bool selected = firstSelectedObject(scene) >= 0;
            const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
            const bool clip = mime && (mime->hasFormat(QString::fromLatin1(kBackgroundClipboardFormat)) ||
                                       mime->hasImage() || (m_editor && mime->hasText()));
            const bool textSelected = m_editor && m_editor->textCursor().hasSelection();
            menus->enableCommand(cmdCut, m_editor ? textSelected : selected);
            menus->enableCommand(cmdCopy, m_editor ? textSelected : selected);
            menus->enableCommand(cmdDelete, m_editor ? textSelected : selected);
            menus->enableCommand(cmdPaste, clip);
            menus->enableCommand(cmdSelectAll, m_editor || !scene.mapObjects.empty());
        }
        return 1;
    case evSize:
        m_map->updateScrollRanges();
        placeEditor();
        return 1;
    default:
        return 1;
    }
}

void BackgroundPage::refresh()
{
    m_map->update();
    showAttributes();
    if (MenuState* menus = sceneWindow().menus())
        menus->requestUpdate();
}

void BackgroundPage::showAttributes()
{
    const Scene& scene = m_document.scene();
    const int first = firstSelectedObject(scene);
    const MapAttributes& defaults = sceneWindow().mapDefaults();
    m_shown = first >= 0 ? objectAttributes(scene.mapObjects[std::size_t(first)], defaults) : defaults;
    if (m_editor && m_editIndex < 0)
        m_shown = defaults;
    setSwatch(m_penSwatch, m_shown.penColor);
    setSwatch(m_fillSwatch, m_shown.fillColor);
    const QSignalBlocker b1(m_font), b2(m_size), b3(m_style), b4(m_layer);
    int fontIndex = m_font->findData(int(m_shown.fontNumber));
    m_font->setCurrentIndex(std::max(fontIndex, 0));
    int sizeIndex = m_size->findData(int(m_shown.textSize));
    if (sizeIndex < 0) {
        m_size->addItem(QString::asprintf("%d pt", m_shown.textSize), int(m_shown.textSize));
        sizeIndex = m_size->count() - 1;
    }
    m_size->setCurrentIndex(sizeIndex);
    int styleIndex = 0;
    for (int i = 7; i >= 1; --i)
        if (m_shown.textStyle & (1 << (i - 1)))
            styleIndex = i;
    m_style->setCurrentIndex(styleIndex);
    m_layer->setValue(selectedObjectsLayer(scene));
    m_layer->setEnabled(first >= 0);
}

void BackgroundPage::changeAttribute(MapAttribute which, const MapAttributes& value)
{
    endTextEditing();
    if (firstSelectedObject(m_document.scene()) >= 0) {
        MapEditCommand::apply(m_document, tr(attributeName(which)), [&](Scene& s) {
            bool changed = false;
            for (MapObject& o : s.mapObjects)
                if (o.selected) {
                    const MapObject before = o;
                    applyMapAttribute(o, which, value);
                    changed = changed || !(o == before);
                }
            return changed;
        });
    } else {
        MapAttributes& d = sceneWindow().mapDefaults();
        switch (which) {
        case MapAttribute::PenColor: d.penColor = value.penColor; break;
        case MapAttribute::FillColor: d.fillColor = value.fillColor; break;
        case MapAttribute::PenSize: d.penSize = value.penSize; break;
        case MapAttribute::Pattern: d.pattern = value.pattern; break;
        case MapAttribute::Font: d.fontNumber = value.fontNumber; break;
        case MapAttribute::TextSize: d.textSize = value.textSize; break;
        case MapAttribute::TextStyle: d.textStyle = value.textStyle; break;
        }
    }
    showAttributes();
}

void BackgroundPage::pickColor(bool pen)
{
    endTextEditing();
    const auto chosen = StandardDialogs::current().colour(window(), pen ? m_shown.penColor : m_shown.fillColor);
    if (!chosen)
        return;
    MapAttributes value = m_shown;
    (pen ? value.penColor : value.fillColor) = *chosen;
    changeAttribute(pen ? MapAttribute::PenColor : MapAttribute::FillColor, value);
}

void BackgroundPage::pickPenSize()
{
    endTextEditing();
    std::unique_ptr<AttributeSelector> dialog(AttributeSelector::penSizeSelector(m_shown.penSize, window()));
    if (dialog->exec() != QDialog::Accepted || dialog->selection() < 1)
        return;
    MapAttributes value = m_shown;
    value.penSize = std::int16_t(dialog->selection());
    changeAttribute(MapAttribute::PenSize, value);
}

void BackgroundPage::pickPattern()
{
    endTextEditing();
    std::unique_ptr<AttributeSelector> dialog(AttributeSelector::patternSelector(m_shown.pattern, window()));
    if (dialog->exec() != QDialog::Accepted || dialog->selection() < 1)
        return;
    MapAttributes value = m_shown;
    value.pattern = std::int16_t(dialog->selection());
    changeAttribute(MapAttribute::Pattern, value);
}

void BackgroundPage::layerChosen(int layer)
{
    if (layer < 1 || firstSelectedObject(m_document.scene()) < 0)
        return;
    MapEditCommand::apply(m_document, tr("Change Layer"), [&](Scene& s) { return setSelectedObjectsLayer(s, layer); });
    showAttributes();
}

void BackgroundPage::selectOnly(int index)
{
    auto& objects = m_document.editableScene().mapObjects;
    for (std::size_t i = 0; i < objects.size(); ++i)
        objects[i].selected = int(i) == index;
}

QPoint BackgroundPage::clampToVisible(QPoint p) const
{
    const QPoint s = m_map->scroll();
    const QSize v = m_map->visibleSize();
    return QPoint(std::clamp(p.x(), s.x(), s.x() + std::max(v.width() - 1, 0)),
                  std::clamp(p.y(), s.y(), s.y() + std::max(v.height() - 1, 0)));
}

void BackgroundPage::pressed(QPoint p, Qt::KeyboardModifiers modifiers)
{
    m_map->setFocus();
    m_pressPoint = m_mouse = p;
    Scene& scene = m_document.editableScene();
    if (m_tool == 5) {
        const int hit = hitMapObject(scene, mapPoint(p));
        const bool onText = hit >= 0 && scene.mapObjects[std::size_t(hit)].kind == MapObjectKind::kText;
        endTextEditing();
        chooseTool(5);
        // Ending the edit may have removed an emptied object before the hit one.
        const int again = hitMapObject(m_document.scene(), mapPoint(p));
        startTextEditing(onText && again >= 0 && m_document.scene().mapObjects[std::size_t(again)].kind ==
                                                     MapObjectKind::kText
                             ? again
                             : -1,
                         p);
        return;
    }
    endTextEditing();
    if (m_tool != 1) {
        m_gesture = Gesture::Drawing;
        return;
    }
    const int hit = hitMapObject(scene, mapPoint(p));
    if (hit < 0) {
        if (!(modifiers & Qt::ShiftModifier))
            selectOnly(-1);
        m_gesture = Gesture::Selecting;
    } else if (modifiers & Qt::ShiftModifier) {
        scene.mapObjects[std::size_t(hit)].selected = !scene.mapObjects[std::size_t(hit)].selected;
        m_gesture = Gesture::None;
    } else {
        if (!scene.mapObjects[std::size_t(hit)].selected)
            selectOnly(hit);
        m_gesture = Gesture::Pressed;
    }
    refresh();
}

void BackgroundPage::moved(QPoint p)
{
    if (m_gesture == Gesture::None)
        return;
    m_mouse = m_gesture == Gesture::Drawing ? clampToVisible(p) : p;
    if (m_gesture == Gesture::Pressed && m_mouse != m_pressPoint)
        m_gesture = Gesture::Moving;
    m_map->update();
}

void BackgroundPage::released(QPoint p, bool inside)
{
    const Gesture gesture = m_gesture;
    m_gesture = Gesture::None;
    switch (gesture) {
    case Gesture::Drawing: {
        const QPoint end = clampToVisible(p);
        if (end == m_pressPoint)
            break; // a click without movement makes nothing
        const std::int16_t kind = std::int16_t(m_tool);
        const MapAttributes attributes = m_shown;
        MapEditCommand::apply(m_document, tr(drawName(kind)), [&](Scene& s) {
            const Rect bounds = draggedObjectBounds(s, kind, mapPoint(m_pressPoint), mapPoint(end));
            for (MapObject& o : s.mapObjects)
                o.selected = false;
            MapObject o = newMapObject(kind, bounds, attributes);
            o.selected = true;
            s.mapObjects.push_back(std::move(o));
            return true;
        });
        chooseTool(1);
        break;
    }
    case Gesture::Moving: {
        const QPoint delta = p - m_pressPoint;
        if (inside && !delta.isNull())
            MapEditCommand::apply(m_document, tr("Move"), [&](Scene& s) {
                for (MapObject& o : s.mapObjects)
                    if (o.selected) {
                        offsetRect(o.bounds, delta.x(), delta.y());
                        offsetRect(o.secondRect, delta.x(), delta.y());
                        if (o.text) {
                            offsetRect(o.text->viewRect, delta.x(), delta.y());
                            offsetRect(o.text->destRect, delta.x(), delta.y());
                        }
                    }
                return true;
            });
        break;
    }
    case Gesture::Selecting: {
        const QRect band = QRect(m_pressPoint, p).normalized();
        if (band.width() > 2 || band.height() > 2)
            for (MapObject& o : m_document.editableScene().mapObjects) {
                const QRect r = QRect(QPoint(std::min(o.bounds.left, o.bounds.right), std::min(o.bounds.top, o.bounds.bottom)),
                                      QPoint(std::max(o.bounds.left, o.bounds.right), std::max(o.bounds.top, o.bounds.bottom)));
                if (band.intersects(r))
                    o.selected = true;
            }
        break;
    }
    default:
        break;
    }
    refresh();
}

void BackgroundPage::doubleClicked(QPoint p, Qt::KeyboardModifiers modifiers)
{
    const int hit = hitMapObject(m_document.scene(), mapPoint(p));
    if (m_tool == 1 && hit >= 0 && m_document.scene().mapObjects[std::size_t(hit)].kind == MapObjectKind::kText) {
        m_gesture = Gesture::None;
        chooseTool(5);
        startTextEditing(hit, p);
        return;
    }
    pressed(p, modifiers);
}

void BackgroundPage::keyPressed(int key)
{
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete)
        deleteSelection();
}

void BackgroundPage::drawOverlay(QPainter& p)
{
    if (m_gesture == Gesture::Moving) {
        const QPoint delta = m_mouse - m_pressPoint;
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 2, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        for (const MapObject& o : m_document.scene().mapObjects)
            if (o.selected) {
                const QRect r(QPoint(std::min(o.bounds.left, o.bounds.right), std::min(o.bounds.top, o.bounds.bottom)),
                              QPoint(std::max(o.bounds.left, o.bounds.right), std::max(o.bounds.top, o.bounds.bottom)));
                p.drawRect(r.translated(delta));
            }
    } else if (m_gesture == Gesture::Selecting) {
        p.setPen(QPen(QColor(0x20, 0x3f, 0x9a), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(m_pressPoint, m_mouse).normalized());
    } else if (m_gesture == Gesture::Drawing && m_mouse != m_pressPoint) {
        const Rect b = draggedObjectBounds(m_document.scene(), std::int16_t(m_tool), mapPoint(m_pressPoint), mapPoint(m_mouse));
        QPen pen(QColor(0x60, 0x60, 0x60), 2, m_tool == MapObjectKind::kLine ? Qt::SolidLine : Qt::DashLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.setRenderHint(QPainter::Antialiasing);
        const QRect r(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1));
        switch (m_tool) {
        case MapObjectKind::kLine: p.drawLine(b.left, b.top, b.right, b.bottom); break;
        case MapObjectKind::kOval:
        case MapObjectKind::kFilledOval: p.drawEllipse(r); break;
        case MapObjectKind::kArc: {
            QRectF box;
            int start = 0;
            if (mapArcGeometry(b, box, start))
                p.drawArc(box, (90 - start) * 16, -90 * 16);
            else
                p.drawLine(b.left, b.top, b.right, b.bottom);
            break;
        }
        default: p.drawRect(r); break;
        }
    }
}

void BackgroundPage::startTextEditing(int objectIndex, QPoint at)
{
    const Scene& scene = m_document.scene();
    MapTextStyle style{m_shown.fontNumber, m_shown.textSize, m_shown.textStyle, m_shown.penColor};
    QString text;
    QColor background = Qt::white;
    if (objectIndex >= 0) {
        const MapObject& o = scene.mapObjects[std::size_t(objectIndex)];
        if (o.text) {
            style = decodeMapTextStyle(o.text->styleData);
            text = QString::fromStdString(o.text->text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        style.color = o.penColor;
        if (o.fillStyle)
            background = qcolor(o.fillColor);
        m_editPoint = QPoint(std::min(o.bounds.left, o.bounds.right), std::min(o.bounds.top, o.bounds.bottom));
    } else {
        style = MapTextStyle{sceneWindow().mapDefaults().fontNumber, sceneWindow().mapDefaults().textSize,
                             sceneWindow().mapDefaults().textStyle, m_shown.penColor};
        m_editPoint = at;
    }
    m_editIndex = objectIndex;
    auto* editor = new QPlainTextEdit(m_map);
    editor->setObjectName(QStringLiteral("mapTextEditor"));
    editor->setFrameShape(QFrame::NoFrame);
    editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->document()->setDocumentMargin(1);
    editor->setFont(mapTextFont(style));
    QPalette palette = editor->palette();
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::Text, qcolor(style.color));
    editor->setPalette(palette);
    editor->setPlainText(text);
    editor->installEventFilter(new EditorKeys(this));
    m_editor = editor;
    connect(editor, &QPlainTextEdit::textChanged, this, [this] { placeEditor(); });
    placeEditor();
    editor->show();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    if (objectIndex >= 0)
        selectOnly(objectIndex);
    refresh();
}

void BackgroundPage::placeEditor()
{
    if (!m_editor)
        return;
    const QFontMetrics metrics(m_editor->font());
    const QString text = m_editor->toPlainText();
    const QRect r = metrics.boundingRect(QRect(0, 0, 32000, 32000), Qt::AlignLeft | Qt::AlignTop, text + QLatin1Char('M'));
    m_editor->setGeometry(QRect(m_map->toWidget(m_editPoint) - QPoint(1, 1),
                                QSize(std::max(r.width() + 12, 60), std::max(r.height(), metrics.height()) + 6)));
}

void BackgroundPage::endTextEditing()
{
    if (!m_editor || m_ending)
        return;
    m_ending = true;
    QPlainTextEdit* editor = m_editor;
    const QString text = editor->toPlainText();
    const int index = m_editIndex;
    m_editor = nullptr;
    editor->hide();
    editor->deleteLater();
    const std::string utf8 = text.toStdString();
    if (index < 0) {
        if (!text.isEmpty()) {
            const MapAttributes defaults = sceneWindow().mapDefaults();
            const MapAttributes attributes{m_shown.penColor, m_shown.fillColor, m_shown.penSize, m_shown.pattern,
                                           defaults.fontNumber, defaults.textSize, defaults.textStyle};
            const QSize size = textBoundsSize({attributes.fontNumber, attributes.textSize, attributes.textStyle}, text);
            const Rect bounds{std::int16_t(m_editPoint.y()), std::int16_t(m_editPoint.x()),
                              std::int16_t(m_editPoint.y() + size.height()), std::int16_t(m_editPoint.x() + size.width())};
            MapEditCommand::apply(m_document, tr("Text"), [&](Scene& s) {
                for (MapObject& o : s.mapObjects)
                    o.selected = false;
                MapObject o = newMapObject(MapObjectKind::kText, bounds, attributes);
                o.text->text = utf8;
                o.selected = true;
                s.mapObjects.push_back(std::move(o));
                return true;
            });
        }
    } else if (index < int(m_document.scene().mapObjects.size())) {
        const MapObject& current = m_document.scene().mapObjects[std::size_t(index)];
        if (!current.text || current.text->text != utf8) {
            MapEditCommand::apply(m_document, text.isEmpty() ? tr("Delete Text") : tr("Edit Text"), [&](Scene& s) {
                if (text.isEmpty()) {
                    s.mapObjects.erase(s.mapObjects.begin() + index);
                    return true;
                }
                MapObject& o = s.mapObjects[std::size_t(index)];
                if (!o.text)
                    o.text = MapObjectText{};
                o.text->text = utf8;
                const QSize size = textBoundsSize(decodeMapTextStyle(o.text->styleData), text);
                const int left = std::min(o.bounds.left, o.bounds.right), top = std::min(o.bounds.top, o.bounds.bottom);
                o.bounds = Rect{std::int16_t(top), std::int16_t(left), std::int16_t(top + size.height()),
                                std::int16_t(left + size.width())};
                o.text->viewRect = o.text->destRect = o.bounds;
                for (std::size_t i = 0; i < s.mapObjects.size(); ++i)
                    s.mapObjects[i].selected = int(i) == index;
                return true;
            });
        } else {
            selectOnly(index);
        }
    }
    m_editIndex = -1;
    m_ending = false;
    chooseTool(1);
    m_map->setFocus();
    refresh();
}

void BackgroundPage::deleteSelection()
{
    if (firstSelectedObject(m_document.scene()) < 0)
        return;
    MapEditCommand::apply(m_document, tr("Delete"), [](Scene& s) {
        return std::erase_if(s.mapObjects, [](const MapObject& o) { return o.selected; }) > 0;
    });
    refresh();
}

void BackgroundPage::copySelection()
{
    const Scene& scene = m_document.scene();
    if (firstSelectedObject(scene) < 0)
        return;
    auto* mime = new QMimeData;
    const Bytes list = writeMapObjectList(scene.mapObjects, true);
    mime->setData(QString::fromLatin1(kBackgroundClipboardFormat),
                  QByteArray(reinterpret_cast<const char*>(list.data()), qsizetype(list.size())));
    // Other programs get the first selected picture as a bitmap, beside the objects.
    for (const MapObject& o : scene.mapObjects)
        if (o.selected && o.kind == MapObjectKind::kPicture) {
            const QImage image = mapPictureImage(o.data);
            if (!image.isNull()) {
                mime->setImageData(image);
                break;
            }
        }
    QGuiApplication::clipboard()->setMimeData(mime);
    if (MenuState* menus = sceneWindow().menus())
        menus->requestUpdate();
}

void BackgroundPage::cutSelection()
{
    if (firstSelectedObject(m_document.scene()) < 0)
        return;
    copySelection();
    MapEditCommand::apply(m_document, tr("Cut"), [](Scene& s) {
        return std::erase_if(s.mapObjects, [](const MapObject& o) { return o.selected; }) > 0;
    });
    refresh();
}

OSErr BackgroundPage::paste()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime)
        return 0;
    const QString format = QString::fromLatin1(kBackgroundClipboardFormat);
    OSErr err = 0;
    if (mime->hasFormat(format)) {
        const QByteArray bytes = mime->data(format);
        std::string detail;
        MapEditCommand::apply(m_document, tr("Paste"), [&](Scene& s) {
            std::vector<MapObject> objects = s.mapObjects;
            for (MapObject& o : objects)
                o.selected = false;
            err = readMapObjectList(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                              std::size_t(bytes.size())),
                                    objects, true, &detail);
            if (err != 0 || objects.size() == s.mapObjects.size())
                return false;
            s.mapObjects = std::move(objects);
            return true;
        });
        if (err != 0)
            alerts().setErrorDetail(detail);
    } else if (mime->hasImage()) {
        addPictureObject(qvariant_cast<QImage>(mime->imageData()), tr("Paste"));
    }
    refresh();
    return err;
}

bool BackgroundPage::addPictureObject(const QImage& source, const QString& text)
{
    if (source.isNull())
        return false;
    QImage image = source;
    // A picture larger than the scene is brought down to the scene's size.
    const QSize boundary = mapBoundarySize(m_document.scene());
    if (boundary.width() > 16 && boundary.height() > 16 &&
        (image.width() > boundary.width() || image.height() > boundary.height()))
        image = image.scaled(boundary, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const Bytes pictureData = mapPictureData(image);
    if (pictureData.empty())
        return false;
    const QPoint at = m_map->scroll() + QPoint(16, 16);
    const QPoint origin(std::clamp(at.x(), 0, std::max(0, boundary.width() - image.width())),
                        std::clamp(at.y(), 0, std::max(0, boundary.height() - image.height())));
    const Rect bounds{std::int16_t(origin.y()), std::int16_t(origin.x()), std::int16_t(origin.y() + image.height()),
                      std::int16_t(origin.x() + image.width())};
    MapEditCommand::apply(m_document, text, [&](Scene& s) {
        for (MapObject& o : s.mapObjects)
            o.selected = false;
        MapObject o = newMapObject(MapObjectKind::kPicture, bounds, m_shown);
        o.penStyle = 0;
        o.data = pictureData;
        o.selected = true;
        s.mapObjects.push_back(std::move(o));
        return true;
    });
    return true;
}

OSErr BackgroundPage::addPicture()
{
    endTextEditing();
    QString filter;
    const QString path = StandardDialogs::current().openFileName(
        window(), tr("Add Picture"), QString(),
        tr("Images (*.png *.jpg *.jpeg *.bmp *.gif *.tif *.tiff *.pct *.pict *.pic *.psd *.sgi *.rgb *.tga *.qtif "
           "*.qti *.mac *.pntg);;All Files (*)"),
        &filter);
    if (path.isEmpty())
        return -128;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::filesystem::path file(path.toStdString());
    OSType type = 0;
    OSErr err = getFileType(file, type);
    OffscreenPicture picture;
    std::string detail;
    if (err == 0)
        err = readImageFile(file, type, picture, &detail);
    QImage image;
    if (err == 0) {
        image = QImage(picture.width(), picture.height(), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                image.setPixel(x, y, picture.argb(picture.bounds().left + x, picture.bounds().top + y));
    } else if (image.load(path)) {
        err = 0;
    }
    if (err == 0)
        addPictureObject(image, tr("Add Picture"));
    QApplication::restoreOverrideCursor();
    if (err != 0)
        alerts().setErrorDetail(detail);
    refresh();
    return err;
}

} // namespace qm
