#pragma once
// The Hot Spots page's image view (item 614): paints the working image with the hot spot
// overlays and labels, and runs the tools: selecting, moving (with auto-scroll near the edges),
// resizing by the handles, drawing shapes with an XOR outline and polygons with a rubber band.
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

#include "compose/hot_spot_view_render.h"

namespace qm {

class HotSpotsPage;

class HotSpotView : public QWidget {
    Q_OBJECT
public:
    explicit HotSpotView(HotSpotsPage& page, QWidget* parent);

    // The picture or the hot spots changed: render again at the next paint.
    void invalidate();
    const ViewGeometry& geometry() const;
    int scrollH() const { return m_scrollH; }
    int scrollV() const { return m_scrollV; }
    void setScroll(int h, int v);
    // The drawing area: the widget inset by 1 pixel.
    QRect area() const;

    bool polygonInProgress() const { return !m_polygon.empty(); }
    const std::vector<Point>& polygon() const { return m_polygon; }
    void discardPolygon();
    // Where a drag would draw its outline now (view coordinates); empty when none runs.
    QRect outline() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Pending, Move, Resize, Draw };

    void press(QPoint pos, bool doubleClick);
    void polygonClick(QPoint pos);
    void track(QPoint pos);
    void finishDrag(QPoint pos);
    void autoScroll();
    void render();
    Point working(QPoint view) const; // view to working image coordinates, clamped to the display
    QRect toView(const Rect& working) const;

    HotSpotsPage& m_page;
    OffscreenPicture m_buffer;
    QImage m_image;
    ViewGeometry m_geometry;
    bool m_dirty = true;
    int m_scrollH = 0;
    int m_scrollV = 0;

    Drag m_drag = Drag::None;
    std::int16_t m_dragId = 0;
    int m_handle = 0;
    Rect m_start;   // the hot spot's outline when the drag began (working coordinates)
    Rect m_outline; // now (working coordinates)
    Point m_origin; // press point (working coordinates)
    QPoint m_pressPos;
    QPoint m_lastPos;
    QTimer m_scrollTimer;

    std::vector<Point> m_polygon; // native coordinates
    QPoint m_lastVertexView;
    QPoint m_rubberEnd;
    QElapsedTimer m_lastVertexTime;
};

} // namespace qm
