#include "quicktime/raster/raster_geometry.h"

#include <algorithm>
#include <limits>

namespace qm {
namespace {

std::int16_t clamp16(long long x)
{
    return std::int16_t(std::clamp<long long>(x, std::numeric_limits<std::int16_t>::min(),
                                              std::numeric_limits<std::int16_t>::max()));
}

long long floorDiv(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

Rect makeRect(int top, int left, int bottom, int right)
{
    return Rect{clamp16(top), clamp16(left), clamp16(bottom), clamp16(right)};
}

Rect rectFromCorners(Point a, Point b)
{
    return Rect{std::min(a.v, b.v), std::min(a.h, b.h), std::max(a.v, b.v), std::max(a.h, b.h)};
}

Rect sectRect(const Rect& a, const Rect& b)
{
    Rect r{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
           std::min(a.right, b.right)};
    return r.empty() ? Rect{} : r;
}

Rect unionRect(const Rect& a, const Rect& b)
{
    if (a.empty())
        return b.empty() ? Rect{} : b;
    if (b.empty())
        return a;
    return Rect{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
                std::max(a.right, b.right)};
}

Rect offsetRect(const Rect& r, int dh, int dv)
{
    return makeRect(r.top + dv, r.left + dh, r.bottom + dv, r.right + dh);
}

Rect insetRect(const Rect& r, int dh, int dv)
{
    const Rect inset = makeRect(r.top + dv, r.left + dh, r.bottom - dv, r.right - dh);
    return inset.empty() ? Rect{} : inset;
}

bool ptInRect(Point p, const Rect& r)
{
    return p.h >= r.left && p.h < r.right && p.v >= r.top && p.v < r.bottom;
}

bool mappingDefined(const Rect& from, const Rect& to) { return !from.empty() && !to.empty(); }

int mapCoordinate(int x, int from0, int fromLength, int to0, int toLength)
{
    if (fromLength <= 0)
        return x;
    long long scaled = floorDiv((long long)(x - (long long)from0) * toLength, fromLength);
    long long r = to0 + scaled;
    return int(std::clamp<long long>(r, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

Point mapPoint(Point p, const Rect& from, const Rect& to)
{
    if (!mappingDefined(from, to))
        return p;
    return Point{clamp16(mapCoordinate(p.v, from.top, from.height(), to.top, to.height())),
                 clamp16(mapCoordinate(p.h, from.left, from.width(), to.left, to.width()))};
}

Rect mapRect(const Rect& r, const Rect& from, const Rect& to)
{
    if (!mappingDefined(from, to))
        return r;
    Point tl = mapPoint(Point{r.top, r.left}, from, to);
    Point br = mapPoint(Point{r.bottom, r.right}, from, to);
    return Rect{tl.v, tl.h, br.v, br.h};
}

} // namespace qm
