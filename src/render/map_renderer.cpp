#include "render/map_renderer.h"

#include <algorithm>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
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

// Curves with a pen wider than one pixel go through Qt's stroker, tens of microseconds an oval.
// Each such stroke is drawn once into a transparent image and kept; the stroke is unsmoothed, so
// each pixel is either the pen colour or untouched, and the image drawn back at a whole-pixel
// offset gives the same pixels. The stroke is made at its own map position so that Qt's stroker
// sees the very same coordinates as when drawing straight onto the map.
struct CurveStroke {
    bool arc = false; // a quarter-ellipse arc in box from start; otherwise an oval inside box
    QRectF box;       // map pixels
    int start = 0;
    int pen = 1;
    QColor color;
    bool operator==(const CurveStroke& o) const
    {
        return arc == o.arc && box.x() == o.box.x() && box.y() == o.box.y() && box.width() == o.box.width() &&
               box.height() == o.box.height() && start == o.start && pen == o.pen && color == o.color;
    }
};

void strokeCurve(QPainter& p, const CurveStroke& c)
{
    p.setPen(shapePen(c.pen, c.color));
    p.setBrush(Qt::NoBrush);
    if (c.arc)
        p.drawArc(c.box, (90 - c.start) * 16, -90 * 16);
    else
        p.drawEllipse(c.box);
}

struct StrokeImage {
    CurveStroke stroke;
    QImage image; // covering `area` of the map
    QPoint corner;
};

QMultiHash<quint64, StrokeImage>& strokeImages()
{
    static QMultiHash<quint64, StrokeImage> cache;
    return cache;
}
// Strokes drawn once: the image is made when one is drawn again, so a first drawing (or an
// object dragged across the background) costs no more than the stroke itself.
QSet<quint64>& strokesSeenOnce()
{
    static QSet<quint64> seen;
    return seen;
}
qsizetype strokeImageBytes = 0;

void drawCurveStroke(QPainter& p, const CurveStroke& c)
{
    const QTransform& t = p.deviceTransform();
    const bool wholePixels = t.type() <= QTransform::TxTranslate && t.dx() == std::floor(t.dx()) && t.dy() == std::floor(t.dy());
    // The pen hangs half its width outside the box, and a miter where a flat oval turns reaches
    // twice the pen width (the pen's miter limit) beyond its point.
    const int margin = 3 * c.pen + 2;
    const QRect area = c.box.normalized().toAlignedRect().adjusted(-margin, -margin, margin, margin);
    if (c.pen <= 1 || !wholePixels || qint64(area.width()) * area.height() > 512 * 512) {
        strokeCurve(p, c);
        return;
    }
    auto& cache = strokeImages();
    const quint64 key = qHashMulti(0, c.arc, c.box.x(), c.box.y(), c.box.width(), c.box.height(), c.start, c.pen,
                                   quint64(c.color.rgba64()));
    for (auto it = cache.constFind(key); it != cache.constEnd() && it.key() == key; ++it)
        if (it->stroke == c) {
            p.drawImage(it->corner, it->image);
            return;
        }
    QSet<quint64>& seen = strokesSeenOnce();
    if (!seen.contains(key)) {
        if (seen.size() > 100000)
            seen.clear();
        seen.insert(key);
        strokeCurve(p, c);
        return;
    }
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter sp(&image);
    sp.setRenderHint(QPainter::Antialiasing, false);
    sp.translate(-area.topLeft());
    strokeCurve(sp, c);
    sp.end();
    if (strokeImageBytes > 64 * 1024 * 1024) {
        cache.clear();
        seen.clear();
        strokeImageBytes = 0;
    }
    strokeImageBytes += image.sizeInBytes();
    p.drawImage(area.topLeft(), cache.insert(key, StrokeImage{c, image, area.topLeft()})->image);
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
            const qreal half = penSize / 2.0;
            CurveStroke c;
            c.box = QRectF(r.left() + half, r.top() + half, r.width() - penSize, r.height() - penSize);
            c.pen = penSize;
            c.color = penColor;
            drawCurveStroke(p, c);
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
            if (curved) {
                CurveStroke c;
                c.arc = true;
                c.box = box;
                c.start = start;
                c.pen = penSize;
                c.color = penColor;
                drawCurveStroke(p, c);
            } else {
                p.setPen(shapePen(penSize, penColor));
                p.setBrush(Qt::NoBrush);
                p.drawLine(QPoint(o.bounds.left, o.bounds.top), QPoint(o.bounds.right, o.bounds.bottom));
            }
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

// Where the painter's pixels can be written directly: a 32-bit image drawn at a whole-pixel
// offset, plainly (full opacity, source over), with no other clip than the map's own. The
// grid's hundreds of one-pixel lines are written there; through the painter each line costs a
// call per row.
struct DirectPixels {
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    QPoint offset;  // device pixel of map point (0, 0)
    QRect clip;     // in device pixels

    // Called with the painter at the map area's top-left corner.
    static DirectPixels of(QPainter& p, bool clippedBefore, QSize size, QPoint scroll)
    {
        DirectPixels d;
        QPaintDevice* device = p.device();
        if (clippedBefore || !device || device->devType() != QInternal::Image || p.opacity() != 1.0 ||
            p.compositionMode() != QPainter::CompositionMode_SourceOver)
            return d;
        auto* image = static_cast<QImage*>(device);
        const QImage::Format f = image->format();
        if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied)
            return d;
        const QTransform& t = p.deviceTransform();
        if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
            return d;
        const QPoint corner(int(t.dx()), int(t.dy()));
        d.offset = corner - scroll;
        d.clip = QRect(corner, size) & image->rect();
        // The painter already writes into these pixels; constBits() keeps the image from detaching.
        d.bits = const_cast<uchar*>(image->constBits());
        d.bytesPerLine = image->bytesPerLine();
        return d;
    }
};

void drawGrid(QPainter& p, const DirectPixels& direct, const Scene& scene, const GridSettings& grid, QSize boundary,
              const QRect& visible)
{
    if (!grid.shown)
        return;
    const int ppu = mapPixelsPerUnit(scene);
    const int divisions = std::max<int>(grid.divisions, 1);
    const double cell = double(ppu) / divisions;
    QRect area = QRect(QPoint(0, 0), boundary) & visible;
    if (direct.bits)
        area &= direct.clip.translated(-direct.offset);
    if (area.isEmpty())
        return;
    const int x0 = area.left(), x1 = area.right(), y0 = area.top(), y1 = area.bottom();
    // Lines in drawing order: subdivisions (vertical, then horizontal), then units likewise; a
    // later line covers an earlier one where they cross.
    enum Rank : std::uint8_t { kNone, kVerticalSubdivision, kHorizontalSubdivision, kVerticalUnit, kHorizontalUnit };
    std::vector<std::uint8_t> columns(std::size_t(x1 - x0 + 1), kNone), rows(std::size_t(y1 - y0 + 1), kNone);
    auto mark = [](std::vector<std::uint8_t>& ranks, int first, int at, std::uint8_t rank) {
        if (at >= first && at < first + int(ranks.size()))
            ranks[std::size_t(at - first)] = std::max(ranks[std::size_t(at - first)], rank);
    };
    if (divisions > 1) {
        for (int n = x0 / ppu; n * ppu <= x1; ++n)
            for (int k = 1; k < divisions; ++k)
                mark(columns, x0, n * ppu + int(k * cell), kVerticalSubdivision);
        for (int n = y0 / ppu; n * ppu <= y1; ++n)
            for (int k = 1; k < divisions; ++k)
                mark(rows, y0, n * ppu + int(k * cell), kHorizontalSubdivision);
    }
    for (int n = std::max(1, x0 / ppu); n * ppu <= x1; ++n)
        mark(columns, x0, n * ppu, kVerticalUnit);
    for (int n = std::max(1, y0 / ppu); n * ppu <= y1; ++n)
        mark(rows, y0, n * ppu, kHorizontalUnit);
    auto color = [](std::uint8_t rank) { return rank >= kVerticalUnit ? kMapLightBlue : kMapSubdivision; };

    if (!direct.bits) {
        for (std::uint8_t rank = kVerticalSubdivision; rank <= kHorizontalUnit; ++rank) {
            const bool vertical = rank == kVerticalSubdivision || rank == kVerticalUnit;
            const std::vector<std::uint8_t>& ranks = vertical ? columns : rows;
            for (std::size_t i = 0; i < ranks.size(); ++i)
                if (ranks[i] == rank)
                    p.fillRect(vertical ? QRect(x0 + int(i), y0, 1, y1 - y0 + 1) : QRect(x0, y0 + int(i), x1 - x0 + 1, 1),
                               QColor(color(rank)));
        }
        return;
    }
    // Row by row through the image, which is far quicker than column by column.
    std::vector<std::pair<int, std::uint8_t>> lineColumns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i] != kNone)
            lineColumns.emplace_back(x0 + int(i) + direct.offset.x(), columns[i]);
    for (int y = y0; y <= y1; ++y) {
        auto* line = reinterpret_cast<QRgb*>(direct.bits + (y + direct.offset.y()) * direct.bytesPerLine);
        const std::uint8_t rowRank = rows[std::size_t(y - y0)];
        if (rowRank != kNone)
            std::fill(line + x0 + direct.offset.x(), line + x1 + direct.offset.x() + 1, color(rowRank));
        for (const auto& [x, rank] : lineColumns)
            if (rank > rowRank)
                line[x] = color(rank);
    }
}

// All links: thin black lines with an arrowhead 14 pixels before the destination. Every link is
// black, so the lines go in one call and the arrowheads in another.
void drawLinks(QPainter& p, const Scene& scene, const QRect& visible)
{
    QHash<std::int16_t, QPointF> positions; // the first node with each id, as the scene's lookup finds it
    positions.reserve(qsizetype(scene.nodes.size()));
    for (const Node& node : scene.nodes)
        if (!positions.contains(node.id))
            positions.insert(node.id, QPointF(node.mapPosition.h, node.mapPosition.v));
    std::vector<QLineF> lines;
    std::vector<QPointF> arrows; // three corners each
    const QRectF area = QRectF(visible).adjusted(-8, -8, 8, 8);
    for (const Node& node : scene.nodes)
        for (const HotSpot& h : node.hotSpots) {
            if (h.destinationNodeId == 0)
                continue;
            const auto destination = positions.constFind(h.destinationNodeId);
            if (destination == positions.constEnd())
                continue;
            const QPointF from(node.mapPosition.h, node.mapPosition.v);
            const QPointF to = *destination;
            if (!area.intersects(QRectF(from, to).normalized().adjusted(-1, -1, 1, 1)))
                continue;
            lines.emplace_back(from, to);
            const QPointF d = to - from;
            const double length = std::hypot(d.x(), d.y());
            if (length < 1)
                continue;
            const QPointF u = d / length;
            const QPointF n(-u.y(), u.x());
            const QPointF tip = to - u * 14.0;
            const QPointF base = tip - u * 10.0;
            arrows.insert(arrows.end(), {tip, base + n * 5.0, base - n * 5.0});
        }
    if (lines.empty())
        return;
    p.setPen(QPen(Qt::black, 0));
    p.drawLines(lines.data(), int(lines.size()));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (std::size_t i = 0; i < arrows.size(); i += 3)
        p.drawPolygon(&arrows[i], 3);
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

// A node's grey label with its name, drawn once per name and pixel ratio and kept: labels are
// most of the cost of a map with many nodes. Text offsets are those of the label's rectangle
// from h - w/2 - 2, v + 18.
const QImage& nodeLabel(const QString& name, qreal ratio)
{
    static QHash<QString, QImage> cache;
    static qreal cachedRatio = 0;
    if (ratio != cachedRatio || cache.size() > 4096) {
        cache.clear();
        cachedRatio = ratio;
    }
    if (auto it = cache.constFind(name); it != cache.constEnd())
        return *it;
    const QFontMetrics metrics(labelFont());
    const int w = metrics.horizontalAdvance(name);
    const int left = -(w / 2) - 2, right = w / 2 + 2; // from h
    QImage label(QSize(right - left, 14) * ratio, QImage::Format_ARGB32_Premultiplied);
    label.setDevicePixelRatio(ratio);
    label.fill(QColor(kMapMidGrey));
    QPainter p(&label);
    p.setFont(labelFont());
    p.setPen(Qt::white);
    p.drawText(QPoint(-(w / 2) + 1 - left, 29 - 18), name);
    p.setPen(Qt::black);
    p.drawText(QPoint(-(w / 2) - left, 28 - 18), name);
    p.end();
    // Opaque throughout: without an alpha channel it is copied rather than blended.
    return *cache.insert(name, label.convertToFormat(QImage::Format_RGB32));
}

void drawNode(QPainter& p, const Node& node, qreal ratio)
{
    const int h = node.mapPosition.h;
    const int v = node.mapPosition.v;
    const QImage icon = nodeIcon(node, ratio);
    if (!icon.isNull())
        p.drawImage(QPoint(h - kIcon / 2, v - kIcon / 2), icon);
    const QString name = QString::fromStdString(node.name.str());
    const QImage& label = nodeLabel(name, ratio);
    p.drawImage(QPoint(h - int(label.deviceIndependentSize().width()) / 2, v + 18), label);
}

} // namespace

QSize mapBoundarySize(const Scene& scene)
{
    const double scale = scene.scaleFactor > 0 ? scene.scaleFactor : 1;
    const double ppu = mapPixelsPerUnit(scene);
    return QSize(std::max(0, int(scene.mapWidth / scale * ppu)), std::max(0, int(scene.mapHeight / scale * ppu)));
}

QSize nodeIconSize() { return QSize(kIcon, kIcon); }

namespace {

const GridSettings* shownGrid(const Scene& scene, const MapRenderOptions& options)
{
    switch (options.grid) {
    case MapGrid::Node: return &scene.nodeGrid;
    case MapGrid::Background: return &scene.backgroundGrid;
    default: return nullptr;
    }
}

// Map objects, grid, the grey outside the boundary and its frame, with the painter at the map
// area's top-left corner and clipped to it. Leaves the painter translated by -scroll.
void drawBackground(const Scene& scene, QPainter& p, QSize size, QPoint scroll, const MapRenderOptions& options,
                    bool clippedBefore)
{
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const DirectPixels direct = DirectPixels::of(p, clippedBefore, size, scroll);
    p.translate(-scroll);
    p.setBrushOrigin(0, 0);
    const QRect visible(scroll, size);
    const QSize boundary = mapBoundarySize(scene);

    for (const MapObject& o : scene.mapObjects) {
        // Pens, selection marks and the miter of a flat oval (twice the pen width past its point).
        const int margin = 3 * std::max<int>(o.penSize, 1) + 4;
        if (objectRect(o.bounds).adjusted(-margin, -margin, margin, margin).intersects(visible))
            drawMapObject(p, o, options);
    }

    if (const GridSettings* grid = shownGrid(scene, options))
        drawGrid(p, direct, scene, *grid, boundary, visible);

    // Outside the boundary: light grey, with a black frame just outside its edges.
    const QRegion outside = QRegion(visible).subtracted(QRegion(QRect(QPoint(0, 0), boundary)));
    for (const QRect& r : outside)
        p.fillRect(r, QColor(kMapLightGrey));
    frameRect(p, QRect(-1, -1, boundary.width() + 2, boundary.height() + 2), 1, Qt::black);
}

// Links and nodes, with the painter translated by -scroll.
void drawForeground(const Scene& scene, QPainter& p, QSize size, QPoint scroll, const MapRenderOptions& options)
{
    if (!options.nodes)
        return;
    const QRect visible(scroll, size);
    drawLinks(p, scene, visible);
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    for (const Node& node : scene.nodes)
        if (QRect(node.mapPosition.h - 400, node.mapPosition.v - 16, 800, 48).intersects(visible))
            drawNode(p, node, ratio);
}

} // namespace

void renderMap(const Scene& scene, QPainter& p, QSize size, QPoint scroll, const MapRenderOptions& options)
{
    const bool clippedBefore = p.hasClipping();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipRect(QRect(QPoint(0, 0), size));
    drawBackground(scene, p, size, scroll, options, clippedBefore);
    drawForeground(scene, p, size, scroll, options);
    p.restore();
}

bool CachedMapRenderer::matches(const Scene& scene, QSize size, QPoint scroll, const MapRenderOptions& options,
                                qreal ratio) const
{
    const GridSettings* grid = shownGrid(scene, options);
    return !m_background.isNull() && m_key.size == size && m_key.scroll == scroll && m_key.ratio == ratio &&
           m_key.gridKind == options.grid && m_key.selectionMarks == options.selectionMarks &&
           m_key.grid == (grid ? *grid : GridSettings{}) && m_key.pixelsPerUnit == mapPixelsPerUnit(scene) &&
           m_key.boundary == mapBoundarySize(scene) && m_key.objects == scene.mapObjects;
}

void CachedMapRenderer::render(const Scene& scene, QPainter& p, QSize size, QPoint scroll,
                               const MapRenderOptions& options)
{
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    m_reused = matches(scene, size, scroll, options, ratio);
    if (!m_reused) {
        const QSize pixels = (QSizeF(size) * ratio).toSize();
        if (m_background.size() != pixels)
            m_background = QImage(pixels, QImage::Format_RGB32);
        m_background.setDevicePixelRatio(ratio);
        if (m_background.isNull()) { // no memory for the image: draw straight through
            m_key = {};
            renderMap(scene, p, size, scroll, options);
            return;
        }
        QPainter bp(&m_background);
        bp.setRenderHint(QPainter::Antialiasing, false);
        bp.setClipRect(QRect(QPoint(0, 0), size));
        drawBackground(scene, bp, size, scroll, options, false);
        bp.end();
        const GridSettings* grid = shownGrid(scene, options);
        m_key.objects = scene.mapObjects;
        m_key.grid = grid ? *grid : GridSettings{};
        m_key.pixelsPerUnit = mapPixelsPerUnit(scene);
        m_key.boundary = mapBoundarySize(scene);
        m_key.size = size;
        m_key.scroll = scroll;
        m_key.gridKind = options.grid;
        m_key.selectionMarks = options.selectionMarks;
        m_key.ratio = ratio;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipRect(QRect(QPoint(0, 0), size));
    p.drawImage(QPoint(0, 0), m_background);
    p.translate(-scroll);
    p.setBrushOrigin(0, 0);
    drawForeground(scene, p, size, scroll, options);
    p.restore();
}

void CachedMapRenderer::invalidate()
{
    m_background = QImage();
    m_key = {};
}

void clearMapRenderCaches()
{
    strokeImages().clear();
    strokesSeenOnce().clear();
    strokeImageBytes = 0;
}

void renderMap(const Scene& scene, QImage& image, QPoint scroll, const MapRenderOptions& options)
{
    QPainter p(&image);
    renderMap(scene, p, image.deviceIndependentSize().toSize(), scroll, options);
}

} // namespace qm
