#include "scene/map_area.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include "framework/scene_document.h"

namespace qm {

namespace {
constexpr int kLineStep = 18;
}

MapArea::MapArea(const SceneDocument& document, MapRenderOptions options, QWidget* parent)
    : QWidget(parent), m_document(document), m_options(options)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MapArea::setScrollBars(QScrollBar* horizontal, QScrollBar* vertical)
{
    m_horizontal = horizontal;
    m_vertical = vertical;
    for (QScrollBar* bar : {horizontal, vertical}) {
        bar->setSingleStep(kLineStep);
        connect(bar, &QScrollBar::valueChanged, this, &MapArea::scrollBarMoved);
    }
    updateScrollRanges();
}

QSize MapArea::visibleSize() const { return QSize(std::max(0, width() - 2), std::max(0, height() - 2)); }

bool MapArea::insideMap(QPoint p) const
{
    return p.x() >= 1 && p.y() >= 1 && p.x() < width() - 1 && p.y() < height() - 1;
}

void MapArea::updateScrollRanges()
{
    if (!m_horizontal || !m_vertical)
        return;
    // The frame just outside the boundary belongs to the map, so it can be scrolled into view.
    const QSize boundary = mapBoundarySize(m_document.scene()) + QSize(1, 1);
    const QSize visible = visibleSize();
    const QSignalBlocker bh(m_horizontal), bv(m_vertical);
    m_horizontal->setRange(0, std::max(0, boundary.width() - visible.width()));
    m_horizontal->setPageStep(std::max(1, visible.width()));
    m_horizontal->setEnabled(m_horizontal->maximum() > 0);
    m_vertical->setRange(0, std::max(0, boundary.height() - visible.height()));
    m_vertical->setPageStep(std::max(1, visible.height()));
    m_vertical->setEnabled(m_vertical->maximum() > 0);
    const QPoint scroll(m_horizontal->value(), m_vertical->value());
    if (scroll != m_scroll) {
        m_scroll = scroll;
        update();
    }
}

void MapArea::ensureVisible(QPoint mapPoint)
{
    if (!m_horizontal || !m_vertical)
        return;
    const QSize visible = visibleSize();
    if (mapPoint.x() < m_scroll.x() || mapPoint.x() >= m_scroll.x() + visible.width())
        m_horizontal->setValue(mapPoint.x() - visible.width() / 2);
    if (mapPoint.y() < m_scroll.y() || mapPoint.y() >= m_scroll.y() + visible.height())
        m_vertical->setValue(mapPoint.y() - visible.height() / 2);
}

void MapArea::scrollBarMoved()
{
    m_scroll = QPoint(m_horizontal->value(), m_vertical->value());
    update();
    emit scrolled();
}

void MapArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.translate(1, 1);
    m_renderer.render(m_document.scene(), p, visibleSize(), m_scroll, m_options);
    if (m_overlay) {
        p.setClipRect(QRect(QPoint(0, 0), visibleSize()));
        p.translate(-m_scroll);
        m_overlay(p);
    }
}

void MapArea::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateScrollRanges();
}

void MapArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !insideMap(event->position().toPoint()))
        return;
    m_tracking = true;
    emit pressed(toMap(event->position().toPoint()), event->modifiers());
}

void MapArea::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(toMap(event->position().toPoint()));
}

void MapArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_tracking)
        return;
    m_tracking = false;
    const QPoint p = event->position().toPoint();
    emit released(toMap(p), insideMap(p));
}

void MapArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !insideMap(event->position().toPoint()))
        return;
    m_tracking = true;
    emit doubleClicked(toMap(event->position().toPoint()), event->modifiers());
}

void MapArea::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left: if (m_horizontal) m_horizontal->triggerAction(QScrollBar::SliderSingleStepSub); return;
    case Qt::Key_Right: if (m_horizontal) m_horizontal->triggerAction(QScrollBar::SliderSingleStepAdd); return;
    case Qt::Key_Up: if (m_vertical) m_vertical->triggerAction(QScrollBar::SliderSingleStepSub); return;
    case Qt::Key_Down: if (m_vertical) m_vertical->triggerAction(QScrollBar::SliderSingleStepAdd); return;
    case Qt::Key_PageUp: if (m_vertical) m_vertical->triggerAction(QScrollBar::SliderPageStepSub); return;
    case Qt::Key_PageDown: if (m_vertical) m_vertical->triggerAction(QScrollBar::SliderPageStepAdd); return;
    default: break;
    }
    emit keyPressed(event->key(), event->modifiers());
    event->accept();
}

void MapArea::wheelEvent(QWheelEvent* event)
{
    const QPoint steps = event->angleDelta() / 120;
    QScrollBar* bar = (event->modifiers() & Qt::ShiftModifier) || steps.y() == 0 ? m_horizontal : m_vertical;
    const int delta = steps.y() != 0 ? steps.y() : steps.x();
    if (bar)
        bar->setValue(bar->value() - delta * 3 * kLineStep);
    event->accept();
}

} // namespace qm
