#include "quicktime/raster/raster_painter.h"

#include <algorithm>
#include <limits>

#include "quicktime/raster/raster_shapes.h"

namespace qm {
namespace {

std::uint32_t minComponents(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t out = b & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= std::min((a >> shift) & 0xFF, (b >> shift) & 0xFF) << shift;
    return out;
}

std::int16_t clamp16(int x)
{
    return std::int16_t(std::clamp(x, int(std::numeric_limits<std::int16_t>::min()),
                                   int(std::numeric_limits<std::int16_t>::max())));
}

} // namespace

RasterPainter::RasterPainter(OffscreenPicture& picture)
    : m_picture(picture), m_fore(picture.valueFor(RGBColor{})),
      m_back(picture.valueFor(RGBColor{0xFFFF, 0xFFFF, 0xFFFF}))
{
}

void RasterPainter::setForeColor(const RGBColor& c) { m_fore = m_picture.valueFor(c); }
void RasterPainter::setBackColor(const RGBColor& c) { m_back = m_picture.valueFor(c); }

void RasterPainter::setClip(const Region& clip)
{
    m_clip = clip;
    m_clipped = true;
}

void RasterPainter::clearClip()
{
    m_clip = Region();
    m_clipped = false;
}

template <class Pixel>
void RasterPainter::writeRun(Pixel* row, int v, int from, int to, const Pattern& pattern, TransferMode mode)
{
    const Rect& b = m_picture.bounds();
    const std::uint8_t bits = pattern.rows[v & 7];
    const bool indexed = sizeof(Pixel) == 1;
    const Pixel fore = Pixel(m_fore), back = Pixel(m_back);
    Pixel* p = row + (from - b.left);
    const int count = to - from;
    if (mode == TransferMode::Copy && (bits == 0xFF || bits == 0)) {
        std::fill_n(p, count, bits ? fore : back);
        return;
    }
    const ColorTable& table = m_picture.colorTable();
    const std::uint32_t foreArgb = indexed ? table.argb(std::uint8_t(m_fore)) : m_fore;
    const std::uint32_t backArgb = indexed ? table.argb(std::uint8_t(m_back)) : m_back;
    const Pixel invert = indexed ? Pixel(0xFF) : Pixel(0x00FFFFFFu);
    for (int i = 0; i < count; ++i) {
        const int column = (from + i) & 7;
        const bool set = (bits >> (7 - column)) & 1;
        Pixel& px = p[i];
        switch (mode) {
        case TransferMode::Copy:
            px = set ? fore : back;
            break;
        case TransferMode::Or:
            if (set)
                px = fore;
            break;
        case TransferMode::Xor:
            if (set)
                px = Pixel(px ^ invert);
            break;
        case TransferMode::Bic:
            if (set)
                px = back;
            break;
        case TransferMode::Min: {
            const std::uint32_t source = set ? foreArgb : backArgb;
            if (indexed)
                px = Pixel(table.nearestToPixel(minComponents(source, table.argb(std::uint8_t(px)))));
            else
                px = Pixel(minComponents(source, px));
            break;
        }
        }
    }
}

void RasterPainter::apply(const Region& shape, const Pattern& pattern, TransferMode mode)
{
    if (m_picture.isNull() || shape.isEmpty())
        return;
    const Rect& b = m_picture.bounds();
    const bool inside = shape.top() >= b.top && shape.left() >= b.left && shape.bottom() <= b.bottom &&
                        shape.right() <= b.right;
    Region area = inside ? shape : shape.intersected(Region::fromRect(b));
    if (m_clipped)
        area = area.intersected(m_clip);
    for (std::size_t i = 0; i < area.bandCount(); ++i) {
        const auto band = area.band(i);
        for (int v = band.top; v < band.bottom; ++v)
            for (std::size_t k = 0; k < band.edges.size(); k += 2) {
                if (m_picture.depth() == PixelDepth::Argb32)
                    writeRun(m_picture.row32(v), v, band.edges[k], band.edges[k + 1], pattern, mode);
                else
                    writeRun(m_picture.row8(v), v, band.edges[k], band.edges[k + 1], pattern, mode);
            }
    }
}

void RasterPainter::paintRegion(const Region& region) { apply(region, m_pattern, m_mode); }
void RasterPainter::paintRect(const Rect& r) { paintRegion(Region::fromRect(r)); }
void RasterPainter::paintOval(const Rect& r) { paintRegion(ovalRegion(r)); }
void RasterPainter::paintArc(const Rect& r, int startAngle, int arcAngle)
{
    paintRegion(arcRegion(r, startAngle, arcAngle));
}
void RasterPainter::paintPolygon(std::span<const Point> points) { paintRegion(polygonRegion(points)); }

void RasterPainter::frameRegion(const Region& region) { paintRegion(qm::frameRegion(region, m_pen)); }
void RasterPainter::frameRect(const Rect& r) { paintRegion(frameRectRegion(r, m_pen)); }
void RasterPainter::frameOval(const Rect& r) { paintRegion(frameOvalRegion(r, m_pen)); }
void RasterPainter::frameArc(const Rect& r, int startAngle, int arcAngle)
{
    paintRegion(frameArcRegion(r, startAngle, arcAngle, m_pen));
}
void RasterPainter::framePolygon(std::span<const Point> points)
{
    paintRegion(framePolygonRegion(points, m_pen));
}

void RasterPainter::fillRegion(const Region& region, const Pattern& pattern)
{
    apply(region, pattern, TransferMode::Copy);
}
void RasterPainter::fillRect(const Rect& r, const Pattern& pattern) { fillRegion(Region::fromRect(r), pattern); }
void RasterPainter::fillOval(const Rect& r, const Pattern& pattern) { fillRegion(ovalRegion(r), pattern); }
void RasterPainter::fillArc(const Rect& r, int startAngle, int arcAngle, const Pattern& pattern)
{
    fillRegion(arcRegion(r, startAngle, arcAngle), pattern);
}
void RasterPainter::fillPolygon(std::span<const Point> points, const Pattern& pattern)
{
    fillRegion(polygonRegion(points), pattern);
}
void RasterPainter::eraseRegion(const Region& region) { apply(region, kWhitePattern, TransferMode::Copy); }
void RasterPainter::eraseRect(const Rect& r) { eraseRegion(Region::fromRect(r)); }
void RasterPainter::invertRegion(const Region& region) { apply(region, kBlackPattern, TransferMode::Xor); }

void RasterPainter::moveTo(int h, int v) { m_location = Point{clamp16(v), clamp16(h)}; }

void RasterPainter::lineTo(int h, int v)
{
    const Point to{clamp16(v), clamp16(h)};
    drawLine(m_location, to);
    m_location = to;
}

void RasterPainter::drawLine(Point from, Point to) { paintRegion(lineRegion(from, to, m_pen)); }

} // namespace qm
