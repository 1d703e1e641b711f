#include "nodes/hot_spots_page.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "appcore/preferences_store.h"
#include "compose/hot_spot_transfer.h"
#include "framework/event_codes.h"
#include "framework/scene_document.h"
#include "framework/standard_dialogs.h"
#include "nodes/hot_spot_view.h"
#include "nodes/node_browser.h"
#include "nodes/node_edit_command.h"

namespace qm {

int HotSpotTool::buttonItem(int tool)
{
    static constexpr int items[] = {608, 611, 609, 612, 610, 613};
    return tool >= 1 && tool <= 6 ? items[tool - 1] : 608;
}

QString hotSpotMimeFormat() { return QString::fromLatin1(kHotSpotClipboardFormat); }

// A colour swatch (items 532 and 534): the colour inside a frame; a click chooses another.
class ColorSwatch : public QWidget {
public:
    ColorSwatch(int item, std::function<void()> clicked, QWidget* parent)
        : QWidget(parent), m_clicked(std::move(clicked))
    {
        setObjectName(QStringLiteral("item%1").arg(item));
        setFixedSize(32, 18);
        setCursor(Qt::PointingHandCursor);
    }
    void setColor(const RGBColor& c)
    {
        m_color = QColor(c.red >> 8, c.green >> 8, c.blue >> 8);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.fillRect(rect().adjusted(2, 2, -2, -2), m_color);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_clicked();
    }

private:
    std::function<void()> m_clicked;
    QColor m_color;
};

namespace {

// The tool and arrow button pictures, drawn in code.
QIcon toolIcon(int kind)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    switch (kind) {
    case HotSpotTool::kArrow: {
        const QPoint arrow[] = {{9, 4}, {9, 26}, {14, 21}, {18, 29}, {21, 28}, {17, 20}, {24, 20}};
        p.setBrush(Qt::white);
        p.drawPolygon(arrow, 7);
        break;
    }
    case HotSpotTool::kPolygon: {
        const QPoint poly[] = {{5, 8}, {20, 4}, {28, 16}, {18, 28}, {6, 22}};
        p.drawPolygon(poly, 5);
        break;
    }
    case HotSpotTool::kSquare: p.drawRect(7, 7, 18, 18); break;
    case HotSpotTool::kRectangle: p.drawRect(4, 9, 24, 14); break;
    case HotSpotTool::kCircle: p.drawEllipse(6, 6, 20, 20); break;
    case HotSpotTool::kOval: p.drawEllipse(3, 9, 26, 14); break;
    default: {
        // 10 + direction: 0 up, 1 down, 2 left, 3 right, 4 back to start
        p.setBrush(Qt::black);
        const int d = kind - 10;
        QPolygon tri;
        if (d == 0)
            tri << QPoint(16, 8) << QPoint(26, 22) << QPoint(6, 22);
        else if (d == 1)
            tri << QPoint(16, 24) << QPoint(26, 10) << QPoint(6, 10);
        else if (d == 2 || d == 4)
            tri << QPoint(8, 16) << QPoint(22, 6) << QPoint(22, 26);
        else
            tri << QPoint(24, 16) << QPoint(10, 6) << QPoint(10, 26);
        p.drawPolygon(tri);
        if (d == 4)
            p.drawRect(4, 6, 2, 20);
    }
    }
    return QIcon(pm);
}

QToolButton* iconButton(int item, int picture, QWidget* parent)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("item%1").arg(item));
    b->setIcon(toolIcon(picture));
    b->setIconSize(QSize(14, 14));
    b->setAutoRaise(false);
    return b;
}

} // namespace

HotSpotsPage::HotSpotsPage(NodeBrowser& browser, QWidget* parent)
    : QWidget(parent), m_browser(browser), m_env(standardComposeEnvironment())
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);

    auto* side = new QVBoxLayout;
    side->setSpacing(2);
    auto* tools = new QGroupBox(QStringLiteral("Tools"), this);
    tools->setObjectName(QStringLiteral("item576"));
    // Tight groups: the three of them must fit the height of the browser's smallest size.
    auto tighten = [](QGridLayout* l) {
        l->setContentsMargins(6, 2, 6, 4);
        l->setVerticalSpacing(2);
    };
    auto* tl = new QGridLayout(tools);
    tighten(tl);
    const int order[] = {HotSpotTool::kArrow, HotSpotTool::kPolygon, HotSpotTool::kSquare,
                         HotSpotTool::kRectangle, HotSpotTool::kCircle, HotSpotTool::kOval};
    const QString tips[] = {QStringLiteral("Select, move and resize"), QStringLiteral("Polygon"),
                            QStringLiteral("Square"), QStringLiteral("Rectangle"), QStringLiteral("Circle"),
                            QStringLiteral("Oval")};
    for (int i = 0; i < 6; ++i) {
        const int tool = order[i];
        QToolButton* b = iconButton(HotSpotTool::buttonItem(tool), tool, tools);
        b->setCheckable(true);
        b->setToolTip(tips[i]);
        b->setIconSize(QSize(20, 20));
        connect(b, &QToolButton::clicked, this, [this, tool] {
            chooseTool(tool, QApplication::keyboardModifiers() & Qt::ControlModifier);
        });
        m_tools[std::size_t(tool - 1)] = b;
        tl->addWidget(b, i / 2, i % 2);
    }
    auto* swatches = new QGridLayout;
    m_autoSwatch = new ColorSwatch(532, [this] { chooseColor(true); }, tools);
    m_manualSwatch = new ColorSwatch(534, [this] { chooseColor(false); }, tools);
    // Side by side: the page must fit the browser's smallest size without squeezing the labels.
    swatches->setContentsMargins(0, 4, 0, 0);
    swatches->addWidget(new QLabel(QStringLiteral("Auto:"), tools), 0, 0);
    swatches->addWidget(m_autoSwatch, 1, 0);
    swatches->addWidget(new QLabel(QStringLiteral("Manual:"), tools), 0, 1);
    swatches->addWidget(m_manualSwatch, 1, 1);
    tl->addLayout(swatches, 3, 0, 1, 2);
    side->addWidget(tools);

    m_viewGroup = new QGroupBox(QStringLiteral("View"), this);
    m_viewGroup->setObjectName(QStringLiteral("item579"));
    auto* vl = new QGridLayout(m_viewGroup);
    tighten(vl);
    m_viewButtons = {iconButton(527, 10, m_viewGroup), iconButton(530, 11, m_viewGroup),
                     iconButton(528, 12, m_viewGroup), iconButton(529, 13, m_viewGroup)};
    vl->addWidget(m_viewButtons[0], 0, 1);
    vl->addWidget(m_viewButtons[2], 1, 0);
    vl->addWidget(m_viewButtons[3], 1, 2);
    vl->addWidget(m_viewButtons[1], 2, 1);
    connect(m_viewButtons[0], &QToolButton::clicked, this, [this] { stepView(0, -1); });
    connect(m_viewButtons[1], &QToolButton::clicked, this, [this] { stepView(0, 1); });
    connect(m_viewButtons[2], &QToolButton::clicked, this, [this] { stepView(-1, 0); });
    connect(m_viewButtons[3], &QToolButton::clicked, this, [this] { stepView(1, 0); });
    auto* rcLabel = new QLabel(QStringLiteral("Row, Column:"), m_viewGroup);
    rcLabel->setObjectName(QStringLiteral("item619"));
    m_rowColumn = new QLabel(m_viewGroup);
    m_rowColumn->setObjectName(QStringLiteral("item531"));
    vl->addWidget(rcLabel, 3, 0, 1, 2);
    vl->addWidget(m_rowColumn, 3, 2);
    side->addWidget(m_viewGroup);

    m_frameGroup = new QGroupBox(QStringLiteral("Frame"), this);
    m_frameGroup->setObjectName(QStringLiteral("item580"));
    auto* fl = new QGridLayout(m_frameGroup);
    tighten(fl);
    QToolButton* first = iconButton(526, 14, m_frameGroup);
    QToolButton* previous = iconButton(523, 12, m_frameGroup);
    QToolButton* next = iconButton(524, 13, m_frameGroup);
    fl->addWidget(first, 0, 0);
    fl->addWidget(previous, 0, 1);
    fl->addWidget(next, 0, 2);
    connect(first, &QToolButton::clicked, this, [this] { stepFrame(526); });
    connect(previous, &QToolButton::clicked, this, [this] { stepFrame(523); });
    connect(next, &QToolButton::clicked, this, [this] { stepFrame(524); });
    auto* offLabel = new QLabel(QStringLiteral("Offset:"), m_frameGroup);
    offLabel->setObjectName(QStringLiteral("item620"));
    m_offset = new QLabel(m_frameGroup);
    m_offset->setObjectName(QStringLiteral("item525"));
    fl->addWidget(offLabel, 1, 0);
    fl->addWidget(m_offset, 1, 1, 1, 2);
    side->addWidget(m_frameGroup);
    side->addStretch();
    grid->addLayout(side, 0, 0, 2, 1);

    m_view = new HotSpotView(*this, this);
    m_hbar = new QScrollBar(Qt::Horizontal, this);
    m_hbar->setObjectName(QStringLiteral("item615"));
    m_vbar = new QScrollBar(Qt::Vertical, this);
    m_vbar->setObjectName(QStringLiteral("item616"));
    m_hbar->setSingleStep(18);
    m_vbar->setSingleStep(18);
    grid->addWidget(m_view, 0, 1);
    grid->addWidget(m_vbar, 0, 2);
    grid->addWidget(m_hbar, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    connect(m_hbar, &QScrollBar::valueChanged, this, [this](int v) { m_view->setScroll(v, m_view->scrollV()); });
    connect(m_vbar, &QScrollBar::valueChanged, this, [this](int v) { m_view->setScroll(m_view->scrollH(), v); });

    chooseTool(HotSpotTool::kArrow);
}

SceneDocument& HotSpotsPage::document() const { return m_browser.document(); }
std::int16_t HotSpotsPage::nodeId() const { return m_browser.currentNodeId(); }
const Node* HotSpotsPage::node() const { return findNode(document().scene(), nodeId()); }

void HotSpotsPage::takeColors()
{
    if (const Node* n = node())
        m_colors = hotSpotColorsOf(*n, appPreferences().record());
    m_autoSwatch->setColor(m_colors.autoColor);
    m_manualSwatch->setColor(m_colors.manualColor);
}

void HotSpotsPage::showNode(bool newNode)
{
    const Node* n = node();
    if (!n)
        return;
    if (newNode || m_loadedNode != n->id) {
        m_viewIndex = {};
        m_frameOffset = 0;
        m_view->discardPolygon();
        m_view->setScroll(0, 0);
        m_loaded = false;
    }
    takeColors();
    if (!m_loaded)
        loadImage();
    updateControls();
    m_view->invalidate();
}

void HotSpotsPage::nodeEdited()
{
    const Node* n = node();
    if (!n)
        return;
    if (n->mediaReference != m_loadedMedia || n->id != m_loadedNode) {
        m_loaded = false;
        showNode(n->id != m_loadedNode);
        return;
    }
    takeColors();
    m_view->invalidate();
}

void HotSpotsPage::loadImage()
{
    const Node* n = node();
    m_image = WorkingImage{};
    m_loaded = true;
    if (!n)
        return;
    m_loadedNode = n->id;
    m_loadedMedia = n->mediaReference;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    WorkingImageView request{m_viewIndex.column, m_viewIndex.row, m_frameOffset};
    loadWorkingImage(document().scene(), *n, request, m_env, m_image);
    QApplication::restoreOverrideCursor();
    updateScrollBars();
    m_view->invalidate();
}

void HotSpotsPage::updateScrollBars()
{
    if (!m_hbar || !m_vbar)
        return;
    const QRect a = m_view->area();
    const int w = m_image.isNull() ? a.width() : m_image.workingRect.width();
    const int h = m_image.isNull() ? a.height() : m_image.workingRect.height();
    const QSignalBlocker hb(m_hbar);
    const QSignalBlocker vb(m_vbar);
    m_hbar->setRange(0, std::max(0, w - a.width()));
    m_hbar->setPageStep(std::max(1, a.width()));
    m_hbar->setValue(m_view->scrollH());
    m_hbar->setEnabled(w > a.width());
    m_vbar->setRange(0, std::max(0, h - a.height()));
    m_vbar->setPageStep(std::max(1, a.height()));
    m_vbar->setValue(m_view->scrollV());
    m_vbar->setEnabled(h > a.height());
}

QSize HotSpotsPage::zoomSize() const
{
    // The view's drawing area is the view inset by 1 pixel.
    if (m_image.isNull())
        return m_browser.size();
    const QSize view = m_view->size();
    return m_browser.size() +
           QSize(m_image.workingRect.width() - view.width() + 2, m_image.workingRect.height() - view.height() + 2);
}

void HotSpotsPage::updateControls()
{
    const Node* n = node();
    const OSType kind = n ? n->kind : 0;
    const bool object = kind == NodeKind::kObject;
    const bool movie = kind == NodeKind::kLinearMovie;
    m_viewGroup->setEnabled(object);
    m_frameGroup->setEnabled(movie);
    m_rowColumn->setText(object ? QStringLiteral("%1, %2").arg(m_viewIndex.row).arg(m_viewIndex.column) : QString());
    if (object) {
        const auto* r = std::get_if<ObjectSampleRecord>(&n->mediaData);
        const bool columns = r && r->columns >= 2;
        const bool rows = r && r->rows >= 2;
        m_viewButtons[0]->setEnabled(rows);
        m_viewButtons[1]->setEnabled(rows);
        m_viewButtons[2]->setEnabled(columns);
        m_viewButtons[3]->setEnabled(columns);
    }
    m_offset->setText(movie ? QString::fromStdString(timeCodeText(TimeValue(m_frameOffset) * m_image.frameDuration,
                                                                  m_image.frameDuration, m_image.timeScale))
                            : QString());
}

void HotSpotsPage::chooseTool(int tool, bool ctrl)
{
    if (ctrl && tool != HotSpotTool::kArrow && tool != HotSpotTool::kPolygon && selectedCount() > 0) {
        const ViewIndex view = m_viewIndex;
        editNode(document(), nodeId(), QStringLiteral("Change Shape"),
                 [&](Node& n) { reshapeSelectedHotSpots(n, std::int16_t(tool), view); });
        tool = HotSpotTool::kArrow;
    }
    if (tool != HotSpotTool::kPolygon)
        m_view->discardPolygon();
    m_tool = tool;
    for (int t = 1; t <= 6; ++t)
        m_tools[std::size_t(t - 1)]->setChecked(t == tool);
    m_view->setCursor(tool == HotSpotTool::kArrow ? Qt::ArrowCursor : Qt::CrossCursor);
    m_view->invalidate();
}

void HotSpotsPage::stepView(int dColumn, int dRow)
{
    const Node* n = node();
    const auto* r = n ? std::get_if<ObjectSampleRecord>(&n->mediaData) : nullptr;
    if (!r || n->kind != NodeKind::kObject)
        return;
    const int columns = int(std::max<std::uint32_t>(r->columns, 1));
    const int rows = int(std::max<std::uint32_t>(r->rows, 1));
    auto wrap = [](int v, int count) { return v < 0 ? count - 1 : v >= count ? 0 : v; };
    m_viewIndex.column = wrap(m_viewIndex.column + dColumn, columns);
    m_viewIndex.row = wrap(m_viewIndex.row + dRow, rows);
    m_view->discardPolygon();
    loadImage();
    updateControls();
}

void HotSpotsPage::stepFrame(int item)
{
    const Node* n = node();
    if (!n || n->kind != NodeKind::kLinearMovie)
        return;
    std::int32_t offset = m_frameOffset;
    if (item == 526)
        offset = 0;
    else
        offset += item == 523 ? -1 : 1;
    const TimeValue duration = std::max<TimeValue>(m_image.frameDuration, 1);
    if (TimeValue(offset) * duration > m_image.movieDuration)
        offset = 0;
    if (offset < 0)
        offset = std::int32_t(m_image.movieDuration / duration);
    m_frameOffset = offset;
    loadImage();
    updateControls();
}

void HotSpotsPage::chooseColor(bool automatic)
{
    const std::optional<RGBColor> chosen =
        StandardDialogs::current().colour(this, automatic ? m_colors.autoColor : m_colors.manualColor);
    if (!chosen)
        return;
    editNode(document(), nodeId(), QStringLiteral("Hot Spot Colour"), [&](Node& n) {
        if (automatic) {
            n.autoColor = *chosen;
            n.autoColorSet = true;
        } else {
            n.manualColor = *chosen;
            n.manualColorSet = true;
        }
    });
    takeColors();
    m_view->invalidate();
}

int HotSpotsPage::selectedCount() const
{
    const Node* n = node();
    return n ? countSelectedHotSpots(*n, m_viewIndex) : 0;
}

bool HotSpotsPage::canEdit(std::int16_t code) const
{
    switch (code) {
    case evCut:
    case evCopy:
    case evDelete: return selectedCount() > 0;
    case evPaste: {
        const QMimeData* mime = QApplication::clipboard()->mimeData();
        return mime && mime->hasFormat(hotSpotMimeFormat());
    }
    default: return false;
    }
}

int HotSpotsPage::handleEvent(std::int16_t code)
{
    switch (code) {
    case evCopy: copySelected(); return 1;
    case evCut: cutSelected(); return 1;
    case evPaste: paste(); return 1;
    case evDelete: deleteSelected(); return 1;
    default: return 0;
    }
}

void HotSpotsPage::copySelected()
{
    const Node* n = node();
    if (!n)
        return;
    const auto block = copySelectedHotSpots(*n, std::int16_t(m_viewIndex.column), std::int16_t(m_viewIndex.row));
    if (!block)
        return;
    auto* mime = new QMimeData;
    mime->setData(hotSpotMimeFormat(), QByteArray(reinterpret_cast<const char*>(block->data()), qsizetype(block->size())));
    QApplication::clipboard()->setMimeData(mime);
}

void HotSpotsPage::cutSelected()
{
    if (selectedCount() == 0)
        return;
    copySelected();
    const ViewIndex view = m_viewIndex;
    editNode(document(), nodeId(), QStringLiteral("Cut"), [&](Node& n) { deleteSelectedHotSpots(n, view); });
    m_view->invalidate();
}

void HotSpotsPage::deleteSelected()
{
    const ViewIndex view = m_viewIndex;
    editNode(document(), nodeId(), QStringLiteral("Delete"), [&](Node& n) { deleteSelectedHotSpots(n, view); });
    m_view->invalidate();
}

void HotSpotsPage::paste()
{
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    if (!mime || !mime->hasFormat(hotSpotMimeFormat()))
        return;
    const QByteArray bytes = mime->data(hotSpotMimeFormat());
    const Bytes block(bytes.begin(), bytes.end());
    const ViewIndex view = m_viewIndex;
    editNode(document(), nodeId(), QStringLiteral("Paste"), [&](Node& n) {
        const std::size_t before = n.hotSpots.size();
        const PasteResult result = pasteHotSpots(n, block, view.row, view.column);
        if (result.added > 0) {
            deselectAllHotSpots(n);
            for (std::size_t i = before; i < n.hotSpots.size(); ++i)
                n.hotSpots[i].selected = true;
        }
    });
    m_view->invalidate();
}

} // namespace qm
