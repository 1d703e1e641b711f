#include "quicktime/raster/raster_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace qm {
namespace {

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

long long ceilDiv(long long a, long long b) { return -floorDiv(-a, b); }

std::uint64_t isqrt(std::uint64_t n)
{
    auto r = std::uint64_t(std::sqrt(double(n)));
    while (r * r > n)
        --r;
    while ((r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

// Columns [lo, hi) of row v inside the oval of r, in doubled coordinates relative to the centre:
// X = 2h + 1 - (left + right), Y = 2v + 1 - (top + bottom), W and H the width and height. The
// test X^2 H^2 + Y^2 W^2 <= W^2 H^2 becomes X^2 <= Q with Q = W^2 - ceil(W^2 Y^2 / H^2), which
// stays within 64 bits for every 16-bit rectangle.
bool ovalRow(const Rect& r, int v, int& lo, int& hi)
{
    if (r.empty() || v < r.top || v >= r.bottom)
        return false;
    const std::uint64_t w = std::uint64_t(r.width()), h = std::uint64_t(r.height());
    const long long y = 2LL * v + 1 - (r.top + r.bottom);
    const std::uint64_t y2 = std::uint64_t(y * y);
    const std::uint64_t w2 = w * w, h2 = h * h;
    const std::uint64_t num = w2 * y2;
    const std::uint64_t q = w2 - (num / h2 + (num % h2 != 0 ? 1 : 0));
    const long long xMax = (long long)isqrt(q);
    const long long c = (long long)r.left + r.right - 1;
    const long long first = ceilDiv(c - xMax, 2), last = floorDiv(c + xMax, 2);
    if (first > last)
        return false;
    lo = int(first);
    hi = int(last + 1);
    return true;
}

struct Ray {
    double dx, dy;
};

// Direction of the angle (degrees clockwise from 12 o'clock) in the rectangle's own proportions,
// in the doubled pixel-centre coordinates of ovalRow. Quarter turns are exact.
Ray rayFor(int angle, const Rect& r)
{
    int a = ((angle % 360) + 360) % 360;
    double s, c;
    switch (a) {
    case 0:
        s = 0, c = 1;
        break;
    case 90:
        s = 1, c = 0;
        break;
    case 180:
        s = 0, c = -1;
        break;
    case 270:
        s = -1, c = 0;
        break;
    default:
        s = std::sin(a * std::numbers::pi / 180.0);
        c = std::cos(a * std::numbers::pi / 180.0);
    }
    return Ray{s * r.width(), -c * r.height()};
}

// True when the point lies within the half-turn that starts at the ray and runs clockwise
// (the ray itself included, its opposite excluded).
bool clockwiseOf(const Ray& ray, double x, double y)
{
    const double cross = ray.dx * y - ray.dy * x;
    if (cross != 0)
        return cross > 0;
    return ray.dx * x + ray.dy * y > 0;
}

// Within one row a half-turn test holds on a prefix or a suffix of the columns. Returns the
// covered columns [lo, hi) of [left, right).
template <class Test> void halfLine(int left, int right, Test test, int& lo, int& hi)
{
    const bool atLeft = test(left), atRight = test(right - 1);
    if (atLeft == atRight) {
        lo = left;
        hi = atLeft ? right : left;
        return;
    }
    int a = left, b = right - 1; // test(a) == atLeft, test(b) == atRight
    while (b - a > 1) {
        int m = a + (b - a) / 2;
        (test(m) == atLeft ? a : b) = m;
    }
    if (atLeft)
        lo = left, hi = b;
    else
        lo = b, hi = right;
}

// The pie wedge [start, start + arc) with 0 < arc < 360, clipped to r.
Region wedgeRegion(const Rect& r, int start, int arc)
{
    const bool reflex = arc > 180;
    const int from = reflex ? start + arc : start;
    const int span = reflex ? 360 - arc : arc;
    const Ray a = rayFor(from, r), b = rayFor(from + span, r);
    RegionBuilder builder;
    std::vector<std::int32_t> runs;
    for (int v = r.top; v < r.bottom; ++v) {
        const double y = 2.0 * v + 1 - (r.top + r.bottom);
        auto xOf = [&](int h) { return 2.0 * h + 1 - (r.left + r.right); };
        int aLo, aHi, bLo, bHi;
        halfLine(r.left, r.right, [&](int h) { return clockwiseOf(a, xOf(h), y); }, aLo, aHi);
        halfLine(r.left, r.right, [&](int h) { return clockwiseOf(b, xOf(h), y); }, bLo, bHi);
        // In the wedge: clockwise of a and not clockwise of b; b's columns are a prefix or a
        // suffix, so their complement is one run.
        int nLo = r.left, nHi = r.right;
        if (bLo < bHi) {
            if (bLo == r.left)
                nLo = bHi;
            else
                nHi = bLo;
        }
        const int lo = std::max(aLo, nLo), hi = std::min(aHi, nHi);
        runs.clear();
        if (!reflex) {
            runs.insert(runs.end(), {lo, hi});
        } else if (lo >= hi) {
            runs.insert(runs.end(), {r.left, r.right});
        } else {
            runs.insert(runs.end(), {r.left, lo, hi, r.right});
        }
        builder.addRuns(v, v + 1, runs);
    }
    return builder.finish();
}

} // namespace

Region ovalRegion(const Rect& r)
{
    RegionBuilder builder;
    for (int v = r.top; v < r.bottom; ++v) {
        int lo, hi;
        if (ovalRow(r, v, lo, hi)) {
            const std::int32_t edges[] = {lo, hi};
            builder.addBand(v, v + 1, edges);
        }
    }
    return builder.finish();
}

bool ovalContains(const Rect& r, int h, int v)
{
    int lo, hi;
    return ovalRow(r, v, lo, hi) && h >= lo && h < hi;
}

Region polygonRegion(std::span<const Point> points)
{
    struct Edge {
        int top, bottom;     // rows top..bottom-1 cross the edge at their centre line
        long long x0, dx, dy; // upper end's h, and the edge's extent, dy > 0
    };
    std::vector<Edge> edges;
    const std::size_t n = points.size();
    for (std::size_t i = 0; i < n && n >= 3; ++i) {
        Point a = points[i], b = points[(i + 1) % n];
        if (a.v == b.v)
            continue;
        if (a.v > b.v)
            std::swap(a, b);
        edges.push_back({a.v, b.v, a.h, (long long)b.h - a.h, (long long)b.v - a.v});
    }
    if (edges.empty())
        return Region();
    std::sort(edges.begin(), edges.end(), [](const Edge& p, const Edge& q) { return p.top < q.top; });
    int bottom = edges.front().bottom;
    for (const auto& e : edges)
        bottom = std::max(bottom, e.bottom);

    RegionBuilder builder;
    std::vector<const Edge*> active;
    std::vector<std::int32_t> crossings;
    std::size_t next = 0;
    for (int v = edges.front().top; v < bottom; ++v) {
        while (next < edges.size() && edges[next].top <= v)
            active.push_back(&edges[next++]);
        std::erase_if(active, [v](const Edge* e) { return e->bottom <= v; });
        crossings.clear();
        for (const Edge* e : active) {
            // First pixel whose centre lies at or right of the edge at height v + 0.5:
            // ceil(x - 0.5) with x = x0 + dx (v + 0.5 - top) / dy.
            const long long num = 2 * e->x0 * e->dy + e->dx * (2LL * (v - e->top) + 1) - e->dy;
            crossings.push_back(std::int32_t(ceilDiv(num, 2 * e->dy)));
        }
        std::sort(crossings.begin(), crossings.end());
        builder.addRuns(v, v + 1, crossings);
    }
    return builder.finish();
}

Region arcRegion(const Rect& r, int startAngle, int arcAngle)
{
    if (r.empty() || arcAngle == 0)
        return Region();
    if (arcAngle >= 360 || arcAngle <= -360)
        return ovalRegion(r);
    if (arcAngle < 0) {
        startAngle += arcAngle;
        arcAngle = -arcAngle;
    }
    return ovalRegion(r).intersected(wedgeRegion(r, ((startAngle % 360) + 360) % 360, arcAngle));
}

Region lineRegion(Point from, Point to, PenSize pen)
{
    if (pen.h <= 0 || pen.v <= 0)
        return Region();
    // The pen corner's path as the range of columns visited on each row; a line is monotone in
    // both axes, so a row's columns are one run and a window of rows spans its two end rows.
    if (from.v > to.v || (from.v == to.v && from.h > to.h))
        std::swap(from, to);
    const long long dh = (long long)to.h - from.h, dv = (long long)to.v - from.v;
    const int rows = int(dv) + 1;
    std::vector<int> lo(rows), hi(rows);
    auto roundHalfUp = [](long long num, long long den) { return floorDiv(2 * num + den, 2 * den); };
    if (std::llabs(dh) >= dv) {
        const long long steps = std::llabs(dh);
        const int dir = dh < 0 ? -1 : 1;
        // Walk from the left end so that the rounding does not depend on the drawing direction.
        const Point start = dir > 0 ? from : to;
        const long long rise = dir > 0 ? dv : -dv;
        std::fill(lo.begin(), lo.end(), std::numeric_limits<int>::max());
        std::fill(hi.begin(), hi.end(), std::numeric_limits<int>::min());
        for (long long t = 0; t <= steps; ++t) {
            const int h = int(start.h + t);
            const int v = int(start.v + (steps == 0 ? 0 : roundHalfUp(rise * t, steps)));
            const int row = v - from.v;
            lo[row] = std::min(lo[row], h);
            hi[row] = std::max(hi[row], h);
        }
    } else {
        for (long long t = 0; t <= dv; ++t) {
            lo[t] = hi[t] = int(from.h + roundHalfUp(dh * t, dv));
        }
    }
    RegionBuilder builder;
    const int outRows = rows + pen.v - 1;
    for (int k = 0; k < outRows; ++k) {
        const int first = std::max(0, k - pen.v + 1), last = std::min(rows - 1, k);
        const std::int32_t runs[] = {std::min(lo[first], lo[last]),
                                     std::max(hi[first], hi[last]) + pen.h};
        builder.addRuns(from.v + k, from.v + k + 1, runs);
    }
    return builder.finish();
}

Region frameRectRegion(const Rect& r, PenSize pen)
{
    if (r.empty() || pen.h <= 0 || pen.v <= 0)
        return Region();
    return Region::fromRect(r).subtracted(Region::fromRect(r.top + pen.v, r.left + pen.h,
                                                           r.bottom - pen.v, r.right - pen.h));
}

Region frameOvalRegion(const Rect& r, PenSize pen)
{
    if (r.empty() || pen.h <= 0 || pen.v <= 0)
        return Region();
    const Rect inner = insetRect(r, pen.h, pen.v);
    Region outer = ovalRegion(r);
    return inner.empty() ? outer : outer.subtracted(ovalRegion(inner));
}

Region frameArcRegion(const Rect& r, int startAngle, int arcAngle, PenSize pen)
{
    if (arcAngle >= 360 || arcAngle <= -360)
        return frameOvalRegion(r, pen);
    return frameOvalRegion(r, pen).intersected(arcRegion(r, startAngle, arcAngle));
}

Region framePolygonRegion(std::span<const Point> points, PenSize pen)
{
    Region outline;
    const std::size_t n = points.size();
    if (n == 1)
        return lineRegion(points[0], points[0], pen);
    for (std::size_t i = 0; i < n; ++i) {
        const Point a = points[i], b = points[(i + 1) % n];
        if (i + 1 == n && (n == 2 || a == b))
            break;
        outline = outline.united(lineRegion(a, b, pen));
    }
    return outline;
}

Region frameRegion(const Region& region, PenSize pen)
{
    if (pen.h <= 0 || pen.v <= 0)
        return Region();
    return region.subtracted(region.inset(pen.h, pen.v));
}

} // namespace qm
