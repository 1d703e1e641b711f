#include "render/map_renderer.h"

#include <algorithm>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "compose/map_objects.h"
#include "compose/scene_map_edit.h"
#include "render/map_pictures.h"
#include "render/map_text.h"
#include "quicktime/raster/raster_pattern.h"

namespace qm {

namespace {

QColor toQColor(const RGBColor& c) { return QColor::fromRgba64(c.red, c.green, c.blue); }

constexpr int kIcon = 32;

// A fill pattern as a brush laid on the map grid: set bits in the foreground colour, clear bits
// white. Cached per pattern and colour (a map has few of each).
QBrush patternBrush(int number, const QColor& foreground)
{
    const std::optional<Pattern> pattern = fillPattern(number);
    if (!pattern || pattern->solid())
        return QBrush(foreground);
    static QHash<quint64, QBrush> cache;
    const quint64 key = (quint64(number) << 32) | foreground.rgba();
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int v = 0; v < 8; ++v)
        for (int h = 0; h < 8; ++h)
            tile.setPixel(h, v, pattern->bit(h, v) ? foreground.rgb() : 0xFFFFFFFFu);
    QBrush brush(tile);
    if (cache.size() > 512)
        cache.clear();
    cache.insert(key, brush);
    return brush;
}

QRect objectRect(const Rect& r)
{
    return QRect(QPoint(std::min(r.left, r.right), std::min(r.top, r.bottom)),
                 QPoint(std::max(r.left, r.right) - 1, std::max(r.top, r.bottom) - 1));
}

// A frame of pen size p inside the rectangle, as QuickDraw frames.
void frameRect(QPainter& p, const QRect& r, int pen, const QColor& color)
{
    if (r.isEmpty())
        return;
    if (pen * 2 >= r.width() || pen * 2 >= r.height()) {
        p.fillRect(r, color);
        return;
    }
    p.fillRect(QRect(r.left(), r.top(), r.width(), pen), color);
    p.fillRect(QRect(r.left(), r.bottom() - pen + 1, r.width(), pen), color);
    p.fillRect(QRect(r.left(), r.top() + pen, pen, r.height() - 2 * pen), color);
    p.fillRect(QRect(r.right() - pen + 1, r.top() + pen, pen, r.height() - 2 * pen), color);
}

QPen shapePen(int size, const QColor& color)
{
    QPen pen(color, std::max(size, 1));
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::SquareCap);
    return pen;
}

} // namespace

bool mapArcGeometry(const Rect& b, QRectF& box, int& start)
{
    const int dv = std::abs(b.bottom - b.top);
    const int dh = std::abs(b.right - b.left);
    if (dv == 0 || dh == 0)
        return false;
    QRectF r(b.left - dh, b.top - dv, 2.0 * dh, 2.0 * dv);
    if (b.left < b.right && b.top < b.bottom) {
        r.translate(0, dv);
        start = 0;
    } else if (b.left < b.right) {
        r.translate(0, -dv);
        start = 90;
    } else if (b.top < b.bottom) {
        r.translate(-dh, 0);
        start = 90;
    } else {
        r.translate(0, -dv);
        start = 180;
    }
    box = r;
    return true;
}

namespace {

void drawMapObject(QPainter& p, const MapObject& o, const MapRenderOptions& options)
{
    const QRect r = objectRect(o.bounds);
    const QColor penColor = toQColor(o.penColor);
    const QColor fillColor = toQColor(o.fillColor);
    const int pattern = o.drawingValues[0];
    const bool filled = o.fillStyle != 0;
    const bool framed = o.penStyle != 0;
    const int penSize = std::max<int>(o.penSize, 1);

    switch (o.kind) {
    case MapObjectKind::kRectangle:
    case MapObjectKind::kFilledRectangle:
        if (filled && pattern >= 1)
            p.fillRect(r, patternBrush(pattern, fillColor));
        if (framed)
            frameRect(p, r, penSize, penColor);
        break;
    case MapObjectKind::kOval:
    case MapObjectKind::kFilledOval:
        if (filled && pattern >= 1) {
            p.setPen(Qt::NoPen);
            p.setBrush(patternBrush(pattern, fillColor));
            p.drawEllipse(QRectF(r.left(), r.top(), r.width(), r.height()));
        }
        if (framed) {
            p.setPen(shapePen(penSize, penColor));
            p.setBrush(Qt::NoBrush);
            const qreal half = penSize / 2.0;
            p.drawEllipse(QRectF(r.left() + half, r.top() + half, r.width() - penSize, r.height() - penSize));
        }
        break;
    case MapObjectKind::kLine:
        if (framed) {
            // QuickDraw's pen hangs below and to the right of the line.
            p.setPen(shapePen(penSize, penColor));
            const qreal half = penSize > 1 ? penSize / 2.0 : 0;
            p.drawLine(QPointF(o.bounds.left + half, o.bounds.top + half),
                       QPointF(o.bounds.right + half, o.bounds.bottom + half));
        }
        break;
    case MapObjectKind::kArc: {
        QRectF box;
        int start = 0;
        const bool curved = mapArcGeometry(o.bounds, box, start);
        if (filled && pattern >= 1 && curved) {
            p.setPen(Qt::NoPen);
            p.setBrush(patternBrush(pattern, fillColor));
            p.drawPie(box, (90 - start) * 16, -90 * 16);
        }
        if (framed) {
            p.setPen(shapePen(penSize, penColor));
            p.setBrush(Qt::NoBrush);
            if (curved)
                p.drawArc(box, (90 - start) * 16, -90 * 16);
            else
                p.drawLine(QPoint(o.bounds.left, o.bounds.top), QPoint(o.bounds.right, o.bounds.bottom));
        }
        break;
    }
    case MapObjectKind::kText:
        if (filled)
            p.fillRect(r, fillColor);
        drawMapText(p, o, r);
        break;
    case MapObjectKind::kPicture:
        if (const QImage picture = mapPictureImage(o.data); !picture.isNull())
            p.drawImage(r, picture);
        if (framed)
            frameRect(p, r, penSize, penColor);
        break;
    default:
        break;
    }

    if (options.selectionMarks && o.selected) {
        auto mark = [&](int h, int v, QColor c) { p.fillRect(QRect(h - 3, v - 3, 7, 7), c); };
        const Rect& b = o.bounds;
        mark(b.left, b.top, o.kind == MapObjectKind::kArc ? QColor(kMapMidGrey) : QColor(Qt::black));
        mark(b.right - 1, b.bottom - 1, Qt::black);
        if (o.kind != MapObjectKind::kLine && o.kind != MapObjectKind::kArc) {
            mark(b.right - 1, b.top, Qt::black);
            mark(b.left, b.bottom - 1, Qt::black);
        }
    }
}

void drawGrid(QPainter& p, const Scene& scene, const GridSettings& grid, QSize boundary, const QRect& visible)
{
    if (!grid.shown)
        return;
    const int ppu = mapPixelsPerUnit(scene);
    const int divisions = std::max<int>(grid.divisions, 1);
    const double cell = double(ppu) / divisions;
    const int x0 = std::max(visible.left(), 0), x1 = std::min(visible.right(), boundary.width() - 1);
    const int y0 = std::max(visible.top(), 0), y1 = std::min(visible.bottom(), boundary.height() - 1);
    if (x0 > x1 || y0 > y1)
        return;
    auto vertical = [&](int x, QRgb c) {
        if (x >= x0 && x <= x1)
            p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), QColor(c));
    };
    auto horizontal = [&](int y, QRgb c) {
        if (y >= y0 && y <= y1)
            p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), QColor(c));
    };
    if (divisions > 1) {
        for (int n = x0 / ppu; n * ppu <= x1; ++n)
            for (int k = 1; k < divisions; ++k)
                vertical(n * ppu + int(k * cell), kMapSubdivision);
        for (int n = y0 / ppu; n * ppu <= y1; ++n)
            for (int k = 1; k < divisions; ++k)
                horizontal(n * ppu + int(k * cell), kMapSubdivision);
    }
    for (int n = std::max(1, x0 / ppu); n * ppu <= x1; ++n)
        vertical(n * ppu, kMapLightBlue);
    for (int n = std::max(1, y0 / ppu); n * ppu <= y1; ++n)
        horizontal(n * ppu, kMapLightBlue);
}

void drawLink(QPainter& p, QPointF from, QPointF to)
{
    p.setPen(QPen(Qt::black, 0));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1)
        return;
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    const QPointF tip = to - u * 14.0;
    const QPointF base = tip - u * 10.0;
    const QPointF arrow[3] = {tip, base + n * 5.0, base - n * 5.0};
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(arrow, 3);
}

const QFont& labelFont()
{
    static const QFont font = [] {
        QFont f(QStringLiteral("Sans Serif"));
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(10);
        return f;
    }();
    return font;
}

void drawNode(QPainter& p, const Node& node, qreal ratio)
{
    const int h = node.mapPosition.h;
    const int v = node.mapPosition.v;
    const QImage icon = nodeIcon(node, ratio);
    if (!icon.isNull())
        p.drawImage(QRect(h - kIcon / 2, v - kIcon / 2, kIcon, kIcon), icon);
    const QString name = QString::fromStdString(node.name.str());
    p.setFont(labelFont());
    const QFontMetrics metrics(labelFont());
    const int w = metrics.horizontalAdvance(name);
    p.fillRect(QRect(QPoint(h - w / 2 - 2, v + 18), QPoint(h + w / 2 + 2 - 1, v + 32 - 1)), QColor(kMapMidGrey));
    p.setPen(Qt::white);
    p.drawText(QPoint(h - w / 2 + 1, v + 29), name);
    p.setPen(Qt::black);
    p.drawText(QPoint(h - w / 2, v + 28), name);
}

} // namespace

QSize mapBoundarySize(const Scene& scene)
{
    const double scale = scene.scaleFactor > 0 ? scene.scaleFactor : 1;
    const double ppu = mapPixelsPerUnit(scene);
    return QSize(std::max(0, int(scene.mapWidth / scale * ppu)), std::max(0, int(scene.mapHeight / scale * ppu)));
}

QSize nodeIconSize() { return QSize(kIcon, kIcon); }

void renderMap(const Scene& scene, QPainter& p, QSize size, QPoint scroll, const MapRenderOptions& options)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipRect(QRect(QPoint(0, 0), size));
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    p.translate(-scroll);
    p.setBrushOrigin(0, 0);
    const QRect visible(scroll, size);
    const QSize boundary = mapBoundarySize(scene);

    for (const MapObject& o : scene.mapObjects)
        drawMapObject(p, o, options);

    if (options.grid == MapGrid::Node)
        drawGrid(p, scene, scene.nodeGrid, boundary, visible);
    else if (options.grid == MapGrid::Background)
        drawGrid(p, scene, scene.backgroundGrid, boundary, visible);

    // Outside the boundary: light grey, with a black frame just outside its edges.
    const QRegion outside = QRegion(visible).subtracted(QRegion(QRect(QPoint(0, 0), boundary)));
    for (const QRect& r : outside)
        p.fillRect(r, QColor(kMapLightGrey));
    frameRect(p, QRect(-1, -1, boundary.width() + 2, boundary.height() + 2), 1, Qt::black);

    if (options.nodes) {
        for (const Node& node : scene.nodes)
            for (const HotSpot& h : node.hotSpots) {
                if (h.destinationNodeId == 0)
                    continue;
                const Node* destination = findNode(scene, h.destinationNodeId);
                if (!destination)
                    continue;
                drawLink(p, QPointF(node.mapPosition.h, node.mapPosition.v),
                         QPointF(destination->mapPosition.h, destination->mapPosition.v));
            }
        const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        for (const Node& node : scene.nodes)
            drawNode(p, node, ratio);
    }
    p.restore();
}

void renderMap(const Scene& scene, QImage& image, QPoint scroll, const MapRenderOptions& options)
{
    QPainter p(&image);
    renderMap(scene, p, image.deviceIndependentSize().toSize(), scroll, options);
}

} // namespace qm
