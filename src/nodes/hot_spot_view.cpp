#include "nodes/hot_spot_view.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "compose/hot_spot_edits.h"
#include "framework/scene_document.h"
#include "nodes/hot_spot_properties_dialog.h"
#include "nodes/hot_spots_page.h"
#include "nodes/node_edit_command.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {

namespace {

constexpr int kScrollMargin = 32; // pointer distance outside the picture that scrolls it
constexpr int kScrollStep = 10;

QRect qrect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

Point pointOf(QPoint p) { return Point{std::int16_t(p.y()), std::int16_t(p.x())}; }

} // namespace

HotSpotView::HotSpotView(HotSpotsPage& page, QWidget* parent) : QWidget(parent), m_page(page)
{
    setObjectName(QStringLiteral("item614"));
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scrollTimer.setInterval(30);
    connect(&m_scrollTimer, &QTimer::timeout, this, &HotSpotView::autoScroll);
}

void HotSpotView::invalidate()
{
    m_dirty = true;
    update();
}

const ViewGeometry& HotSpotView::geometry() const
{
    if (m_dirty)
        const_cast<HotSpotView*>(this)->render();
    return m_geometry;
}

void HotSpotView::setScroll(int h, int v)
{
    if (h == m_scrollH && v == m_scrollV)
        return;
    m_scrollH = std::max(0, h);
    m_scrollV = std::max(0, v);
    invalidate();
}

QRect HotSpotView::area() const { return rect().adjusted(1, 1, -1, -1); }

void HotSpotView::discardPolygon()
{
    m_polygon.clear();
    update();
}

void HotSpotView::render()
{
    const QRect a = area();
    const Rect r = makeRect(a.top(), a.left(), a.bottom() + 1, a.right() + 1);
    const Node* node = m_page.node();
    static const Node kNone;
    if (renderHotSpotView(m_page.workingImage(), node ? *node : kNone, m_page.viewIndex(), m_page.colors(), r,
                          m_scrollH, m_scrollV, m_buffer, m_geometry) != 0) {
        m_image = QImage();
        return;
    }
    // Clamped scroll positions come back through the geometry.
    if (m_geometry.valid()) {
        m_scrollH = m_geometry.source.left - m_page.workingImage().workingRect.left;
        m_scrollV = m_geometry.source.top - m_page.workingImage().workingRect.top;
    }
    m_image = QImage(m_buffer.data(), m_buffer.width(), m_buffer.height(), int(m_buffer.rowBytes()),
                     QImage::Format_RGB32);
    m_dirty = false;
}

QRect HotSpotView::toView(const Rect& w) const
{
    const Rect v = mapRect(w, m_geometry.source, m_geometry.display);
    return qrect(v);
}

Point HotSpotView::working(QPoint view) const
{
    const Rect& d = m_geometry.display;
    const int h = std::clamp(view.x(), int(d.left), int(d.right));
    const int v = std::clamp(view.y(), int(d.top), int(d.bottom));
    return mapPoint(Point{std::int16_t(v), std::int16_t(h)}, m_geometry.display, m_geometry.source);
}

QRect HotSpotView::outline() const
{
    if (m_drag == Drag::None || m_drag == Drag::Pending)
        return {};
    return toView(m_outline);
}

void HotSpotView::paintEvent(QPaintEvent*)
{
    if (m_dirty)
        render();
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Mid));
    if (!m_image.isNull())
        p.drawImage(area().topLeft(), m_image);
    const Node* node = m_page.node();
    if (!node || !m_geometry.valid())
        return;
    p.setClipRect(qrect(m_geometry.display));
    // Labels: the name in a white box centred in the hot spot.
    QFont font = p.font();
    font.setPointSize(9);
    p.setFont(font);
    const QFontMetrics metrics(font);
    for (const HotSpot& h : node->hotSpots) {
        if (!isInView(h, m_page.viewIndex()) || h.name.empty())
            continue;
        const QRect b = qrect(m_geometry.toView(h.bounds));
        const QString text = QString::fromStdString(h.name);
        QRect box(0, 0, metrics.horizontalAdvance(text) + 4, 12);
        box.moveCenter(b.center());
        box.adjust(-2, -2, 2, 2);
        p.fillRect(box, Qt::white);
        p.setPen(Qt::black);
        p.drawText(box, Qt::AlignCenter, text);
        p.drawRect(box.adjusted(0, 0, -1, -1));
    }
    // Outlines of a drag and the polygon in progress, XOR so that they show on any picture.
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 1, Qt::DotLine));
    if (m_drag == Drag::Move || m_drag == Drag::Resize || m_drag == Drag::Draw) {
        const QRect o = toView(m_outline).adjusted(0, 0, -1, -1);
        const std::int16_t shape = m_drag == Drag::Draw ? std::int16_t(m_page.tool()) : [&] {
            const HotSpot* h = findHotSpot(*node, m_dragId, m_page.viewIndex());
            return h ? h->shape : HotSpotShape::kRectangle;
        }();
        if (shape == HotSpotShape::kCircle || shape == HotSpotShape::kOval)
            p.drawEllipse(o);
        else
            p.drawRect(o);
    }
    if (!m_polygon.empty()) {
        QPoint last;
        for (std::size_t i = 0; i < m_polygon.size(); ++i) {
            const Point v = m_geometry.toView(m_polygon[i]);
            const QPoint q(v.h, v.v);
            if (i > 0)
                p.drawLine(last, q);
            last = q;
        }
        p.drawLine(last, m_rubberEnd);
    }
}

void HotSpotView::resizeEvent(QResizeEvent*)
{
    invalidate();
    m_page.updateScrollBars();
}

void HotSpotView::leaveEvent(QEvent*) { unsetCursor(); }

void HotSpotView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Backspace) {
        m_page.deleteSelected();
        return;
    }
    if (event->key() == Qt::Key_Escape && !m_polygon.empty()) {
        discardPolygon();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HotSpotView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        press(event->position().toPoint(), false);
}

void HotSpotView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        press(event->position().toPoint(), true);
}

void HotSpotView::press(QPoint pos, bool doubleClick)
{
    geometry();
    if (!m_geometry.valid() || !m_page.node())
        return;
    SceneDocument& doc = m_page.document();
    const std::int16_t nodeId = m_page.nodeId();
    const ViewIndex view = m_page.viewIndex();
    const int tool = m_page.tool();
    if (tool == HotSpotTool::kPolygon) {
        polygonClick(pos);
        return;
    }
    m_pressPos = m_lastPos = pos;
    if (tool != HotSpotTool::kArrow) {
        m_drag = Drag::Draw;
        m_origin = working(pos);
        m_outline = makeRect(m_origin.v, m_origin.h, m_origin.v, m_origin.h);
        m_scrollTimer.start();
        update();
        return;
    }
    const Rect& d = m_geometry.display;
    if (!ptInRect(pointOf(pos), insetRect(d, -kHandleSize, -kHandleSize)))
        return;
    const int hit = hitTestHotSpots(*m_page.node(), view, pointOf(pos),
                                    [&](const Rect& r) { return m_geometry.toView(r); });
    auto selectOnly = [&](std::int16_t id) {
        Node* node = findNode(doc.editableScene(), nodeId);
        if (!node)
            return;
        if (id == 0)
            deselectAllHotSpots(*node);
        else
            selectHotSpot(*node, id, view);
        invalidate();
    };
    if (hit == 0) {
        selectOnly(0);
        return;
    }
    const std::int16_t id = std::int16_t(hit & 0xFF);
    const HotSpot* h = findHotSpot(*m_page.node(), id, view);
    if (!h)
        return;
    if (hit > 256) {
        m_drag = Drag::Resize;
        m_handle = hit >> 8;
        m_dragId = id;
        m_start = m_outline = mapRect(h->bounds, m_geometry.nativeRect, m_geometry.workingRect);
        m_scrollTimer.start();
        update();
        return;
    }
    if (!h->selected)
        selectOnly(id);
    if (doubleClick) {
        m_drag = Drag::None;
        HotSpot copy = *findHotSpot(*m_page.node(), id, view);
        HotSpotPropertiesDialog dialog(doc.scene(), copy, this);
        if (dialog.run()) {
            const HotSpot edited = dialog.hotSpot();
            editNode(doc, nodeId, QStringLiteral("Hot Spot Properties"), [&](Node& n) {
                if (HotSpot* target = findHotSpot(n, id, view))
                    *target = edited;
            });
        }
        return;
    }
    m_drag = Drag::Pending;
    m_dragId = id;
    m_origin = working(pos);
    m_start = m_outline = mapRect(h->bounds, m_geometry.nativeRect, m_geometry.workingRect);
}

void HotSpotView::polygonClick(QPoint pos)
{
    const QRect display = qrect(m_geometry.display);
    pos.setX(std::clamp(pos.x(), display.left(), display.right()));
    pos.setY(std::clamp(pos.y(), display.top(), display.bottom()));
    const Point native = m_geometry.toNative(pointOf(pos));
    if (m_polygon.empty()) {
        m_polygon.push_back(native);
        m_lastVertexTime.start();
    } else if ((pos - m_lastVertexView).manhattanLength() <= 2) {
        // A second click on the last vertex closes the polygon, when it comes quickly.
        if (m_lastVertexTime.elapsed() >= QApplication::doubleClickInterval())
            return;
        std::vector<Point> points = std::move(m_polygon);
        m_polygon.clear();
        if (points.size() >= 3) {
            points.push_back(points.front());
            const ViewIndex view = m_page.viewIndex();
            editNode(m_page.document(), m_page.nodeId(), QStringLiteral("New Hot Spot"),
                     [&](Node& n) { createPolygonHotSpot(n, points, view); });
            m_page.chooseTool(HotSpotTool::kArrow);
        }
        invalidate();
        return;
    } else {
        m_polygon.push_back(native);
        m_lastVertexTime.restart();
    }
    m_lastVertexView = pos;
    m_rubberEnd = pos;
    update();
}

void HotSpotView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    setCursor(m_page.tool() == HotSpotTool::kArrow ? Qt::ArrowCursor : Qt::CrossCursor);
    if (!m_polygon.empty()) {
        m_rubberEnd = pos;
        update();
    }
    if (m_drag == Drag::None || !(event->buttons() & Qt::LeftButton))
        return;
    if (m_drag == Drag::Pending) {
        if ((pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return;
        m_drag = Drag::Move;
        m_scrollTimer.start();
    }
    track(pos);
}

void HotSpotView::track(QPoint pos)
{
    m_lastPos = pos;
    const Point w = working(pos);
    const Node* node = m_page.node();
    const HotSpot* h = node ? findHotSpot(*node, m_dragId, m_page.viewIndex()) : nullptr;
    switch (m_drag) {
    case Drag::Move: m_outline = offsetRect(m_start, w.h - m_origin.h, w.v - m_origin.v); break;
    case Drag::Resize:
        if (h)
            m_outline = resizedOutline(h->shape, m_start, m_handle, w);
        break;
    case Drag::Draw:
        m_outline = m_page.tool() == HotSpotTool::kSquare || m_page.tool() == HotSpotTool::kCircle
                        ? squareAround(m_origin, w)
                        : rectFromCorners(m_origin, w);
        break;
    default: break;
    }
    update();
}

void HotSpotView::autoScroll()
{
    if (m_drag == Drag::None || m_drag == Drag::Pending || !(QApplication::mouseButtons() & Qt::LeftButton))
        return;
    const QPoint pos = mapFromGlobal(QCursor::pos());
    const QRect d = qrect(m_geometry.display);
    int dh = 0;
    int dv = 0;
    if (pos.x() < d.left() && pos.x() > d.left() - kScrollMargin)
        dh = -kScrollStep;
    else if (pos.x() > d.right() && pos.x() < d.right() + kScrollMargin)
        dh = kScrollStep;
    if (pos.y() < d.top() && pos.y() > d.top() - kScrollMargin)
        dv = -kScrollStep;
    else if (pos.y() > d.bottom() && pos.y() < d.bottom() + kScrollMargin)
        dv = kScrollStep;
    if (dh == 0 && dv == 0)
        return;
    const int h = m_scrollH;
    const int v = m_scrollV;
    setScroll(m_scrollH + dh, m_scrollV + dv);
    geometry();
    if (h != m_scrollH || v != m_scrollV) {
        m_page.updateScrollBars();
        track(pos);
    }
}

void HotSpotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        finishDrag(event->position().toPoint());
}

void HotSpotView::finishDrag(QPoint pos)
{
    m_scrollTimer.stop();
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::None || drag == Drag::Pending) {
        update();
        return;
    }
    track(pos);
    m_drag = Drag::None;
    Rect native = mapRect(m_outline, m_geometry.workingRect, m_geometry.nativeRect);
    if (drag == Drag::Move) {
        // Moving keeps the size: the native bounds move by the native offset of the outline.
        const Node* node = m_page.node();
        const HotSpot* h = node ? findHotSpot(*node, m_dragId, m_page.viewIndex()) : nullptr;
        if (h) {
            const Point from = mapPoint(Point{m_start.top, m_start.left}, m_geometry.workingRect, m_geometry.nativeRect);
            const Point to = mapPoint(Point{m_outline.top, m_outline.left}, m_geometry.workingRect, m_geometry.nativeRect);
            native = offsetRect(h->bounds, to.h - from.h, to.v - from.v);
        }
    }
    SceneDocument& doc = m_page.document();
    const ViewIndex view = m_page.viewIndex();
    if (drag == Drag::Draw) {
        if (pos == m_pressPos || m_outline.empty()) {
            update(); // a click at one point makes nothing and keeps the tool
            return;
        }
        const std::int16_t shape = std::int16_t(m_page.tool());
        editNode(doc, m_page.nodeId(), QStringLiteral("New Hot Spot"),
                 [&](Node& n) { createShapedHotSpot(n, shape, native, view); });
        m_page.chooseTool(HotSpotTool::kArrow);
    } else {
        const std::int16_t id = m_dragId;
        editNode(doc, m_page.nodeId(), drag == Drag::Move ? QStringLiteral("Move Hot Spot")
                                                          : QStringLiteral("Resize Hot Spot"),
                 [&](Node& n) {
                     if (HotSpot* h = findHotSpot(n, id, view); h && h->bounds != native && !native.empty())
                         setHotSpotBounds(*h, native);
                 });
    }
    invalidate();
}

} // namespace qm
