#pragma once
// The drawing area of the two map pages: the scene map drawn by the map renderer inside a
// 1-pixel frame, with the page's scroll bars. Mouse points are handed to the page in map
// coordinates; the page draws its own feedback (drag outlines, link lines) over the map.
#include <QPoint>
#include <QWidget>
#include <functional>

#include "render/map_renderer.h"

class QScrollBar;

namespace qm {

class SceneDocument;

class MapArea : public QWidget {
    Q_OBJECT
public:
    MapArea(const SceneDocument& document, MapRenderOptions options, QWidget* parent = nullptr);

    // The page's scroll bars; the area sets their ranges and follows them.
    void setScrollBars(QScrollBar* horizontal, QScrollBar* vertical);
    QPoint scroll() const { return m_scroll; }
    // The part of the map that shows: the area inside its frame.
    QSize visibleSize() const;
    // Map point under a point of this widget, and back.
    QPoint toMap(QPoint widgetPoint) const { return widgetPoint - QPoint(1, 1) + m_scroll; }
    QPoint toWidget(QPoint mapPoint) const { return mapPoint + QPoint(1, 1) - m_scroll; }
    // Whether a widget point lies inside the map area (inset by its frame).
    bool insideMap(QPoint widgetPoint) const;
    // Scrolls so that the map point shows.
    void ensureVisible(QPoint mapPoint);

    // Recomputes the scroll ranges (after the scene's dimensions changed).
    void updateScrollRanges();
    // Extra drawing over the map, in map coordinates.
    void setOverlay(std::function<void(QPainter&)> overlay) { m_overlay = std::move(overlay); }

    QSize sizeHint() const override { return QSize(640, 440); }
    QSize minimumSizeHint() const override { return QSize(120, 80); }

signals:
    void pressed(QPoint mapPoint, Qt::KeyboardModifiers modifiers);
    void moved(QPoint mapPoint);
    void released(QPoint mapPoint, bool inside);
    void doubleClicked(QPoint mapPoint, Qt::KeyboardModifiers modifiers);
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void scrolled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void scrollBarMoved();

    const SceneDocument& m_document;
    MapRenderOptions m_options;
    CachedMapRenderer m_renderer; // keeps the background while nodes are dragged over it
    QScrollBar* m_horizontal = nullptr;
    QScrollBar* m_vertical = nullptr;
    QPoint m_scroll;
    bool m_tracking = false;
    std::function<void(QPainter&)> m_overlay;
};

} // namespace qm
