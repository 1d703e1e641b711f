#include "quicktime/raster/region.h"

#include <algorithm>
#include <limits>

#include "quicktime/raster/raster_geometry.h"

namespace qm {
namespace {

constexpr int kFar = std::numeric_limits<int>::max();

std::int16_t clamp16(int x)
{
    return std::int16_t(std::clamp(x, int(std::numeric_limits<std::int16_t>::min()),
                                   int(std::numeric_limits<std::int16_t>::max())));
}

} // namespace

bool RegionBuilder::addBand(int top, int bottom, std::span<const std::int32_t> edges)
{
    if (top >= bottom || edges.empty())
        return true;
    if (edges.size() % 2 != 0)
        return false;
    for (std::size_t i = 1; i < edges.size(); ++i)
        if (edges[i] <= edges[i - 1])
            return false;
    auto& bands = m_region.m_bands;
    auto& all = m_region.m_edges;
    if (!bands.empty()) {
        auto& last = bands.back();
        if (top < last.bottom)
            return false;
        if (top == last.bottom && last.count == edges.size() &&
            std::equal(edges.begin(), edges.end(), all.begin() + last.first)) {
            last.bottom = bottom;
            return true;
        }
    }
    bands.push_back({top, bottom, std::uint32_t(all.size()), std::uint32_t(edges.size())});
    all.insert(all.end(), edges.begin(), edges.end());
    return true;
}

bool RegionBuilder::addRuns(int top, int bottom, std::span<const std::int32_t> runs)
{
    if (runs.size() % 2 != 0)
        return false;
    m_scratch.clear();
    std::int32_t lastStart = std::numeric_limits<std::int32_t>::min();
    for (std::size_t i = 0; i < runs.size(); i += 2) {
        std::int32_t a = runs[i], b = runs[i + 1];
        if (a >= b)
            continue;
        if (a < lastStart)
            return false;
        lastStart = a;
        if (!m_scratch.empty() && a <= m_scratch.back())
            m_scratch.back() = std::max(m_scratch.back(), b);
        else {
            m_scratch.push_back(a);
            m_scratch.push_back(b);
        }
    }
    return addBand(top, bottom, m_scratch);
}

Region RegionBuilder::finish()
{
    Region r = std::move(m_region);
    m_region = Region();
    if (r.m_bands.empty()) {
        r.m_edges.clear();
        return r;
    }
    r.m_top = r.m_bands.front().top;
    r.m_bottom = r.m_bands.back().bottom;
    r.m_left = kFar;
    r.m_right = std::numeric_limits<int>::min();
    for (const auto& b : r.m_bands) {
        r.m_left = std::min(r.m_left, r.m_edges[b.first]);
        r.m_right = std::max(r.m_right, r.m_edges[b.first + b.count - 1]);
    }
    return r;
}

Region Region::fromRect(const Rect& r) { return fromRect(r.top, r.left, r.bottom, r.right); }

Region Region::fromRect(int top, int left, int bottom, int right)
{
    if (bottom <= top || right <= left)
        return Region();
    RegionBuilder b;
    const std::int32_t edges[] = {left, right};
    b.addBand(top, bottom, edges);
    return b.finish();
}

Rect Region::bounds() const
{
    if (isEmpty())
        return Rect{};
    return Rect{clamp16(m_top), clamp16(m_left), clamp16(m_bottom), clamp16(m_right)};
}

std::uint64_t Region::area() const
{
    std::uint64_t total = 0;
    for (const auto& b : m_bands) {
        std::uint64_t width = 0;
        for (std::uint32_t i = 0; i < b.count; i += 2)
            width += std::uint64_t(std::int64_t(m_edges[b.first + i + 1]) - m_edges[b.first + i]);
        total += width * std::uint64_t(std::int64_t(b.bottom) - b.top);
    }
    return total;
}

bool Region::contains(int h, int v) const
{
    if (isEmpty() || v < m_top || v >= m_bottom || h < m_left || h >= m_right)
        return false;
    auto it = std::upper_bound(m_bands.begin(), m_bands.end(), v,
                               [](int value, const BandRecord& b) { return value < b.top; });
    if (it == m_bands.begin())
        return false;
    --it;
    if (v >= it->bottom)
        return false;
    auto first = m_edges.begin() + it->first;
    auto passed = std::upper_bound(first, first + it->count, h) - first;
    return passed % 2 == 1;
}

Region::Band Region::band(std::size_t i) const
{
    const auto& b = m_bands.at(i);
    return Band{b.top, b.bottom, std::span<const std::int32_t>(m_edges.data() + b.first, b.count)};
}

bool operator==(const Region& a, const Region& b)
{
    if (a.m_bands.size() != b.m_bands.size())
        return false;
    for (std::size_t i = 0; i < a.m_bands.size(); ++i) {
        auto x = a.band(i), y = b.band(i);
        if (x.top != y.top || x.bottom != y.bottom ||
            !std::equal(x.edges.begin(), x.edges.end(), y.edges.begin(), y.edges.end()))
            return false;
    }
    return true;
}

Region Region::combine(const Region& a, const Region& b, Op op)
{
    const bool disjoint = a.isEmpty() || b.isEmpty() || a.m_right <= b.m_left ||
                          b.m_right <= a.m_left || a.m_bottom <= b.m_top || b.m_bottom <= a.m_top;
    switch (op) {
    case Op::Union:
    case Op::Xor:
        if (a.isEmpty())
            return b;
        if (b.isEmpty())
            return a;
        break;
    case Op::Intersect:
        if (disjoint)
            return Region();
        break;
    case Op::Subtract:
        if (disjoint)
            return a;
        break;
    }
    auto keep = [op](bool inA, bool inB) {
        switch (op) {
        case Op::Union:
            return inA || inB;
        case Op::Intersect:
            return inA && inB;
        case Op::Subtract:
            return inA && !inB;
        case Op::Xor:
            break;
        }
        return inA != inB;
    };

    RegionBuilder builder;
    std::vector<std::int32_t> out;
    const std::size_t na = a.m_bands.size(), nb = b.m_bands.size();
    std::size_t ia = 0, ib = 0;
    int y = std::numeric_limits<int>::min();
    for (;;) {
        while (ia < na && a.m_bands[ia].bottom <= y)
            ++ia;
        while (ib < nb && b.m_bands[ib].bottom <= y)
            ++ib;
        if ((ia >= na && ib >= nb) || (op == Op::Intersect && (ia >= na || ib >= nb)) ||
            (op == Op::Subtract && ia >= na))
            break;
        const int topA = ia < na ? a.m_bands[ia].top : kFar;
        const int topB = ib < nb ? b.m_bands[ib].top : kFar;
        const int start = std::max(y, std::min(topA, topB));
        const bool inA = topA <= start;
        const bool inB = topB <= start;
        const int end = std::min(inA ? a.m_bands[ia].bottom : topA, inB ? b.m_bands[ib].bottom : topB);

        std::span<const std::int32_t> ea, eb;
        if (inA)
            ea = a.band(ia).edges;
        if (inB)
            eb = b.band(ib).edges;
        out.clear();
        std::size_t i = 0, j = 0;
        bool sa = false, sb = false, sr = false;
        while (i < ea.size() || j < eb.size()) {
            std::int32_t x = std::min(i < ea.size() ? ea[i] : kFar, j < eb.size() ? eb[j] : kFar);
            if (i < ea.size() && ea[i] == x) {
                sa = !sa;
                ++i;
            }
            if (j < eb.size() && eb[j] == x) {
                sb = !sb;
                ++j;
            }
            if (keep(sa, sb) != sr) {
                sr = !sr;
                out.push_back(x);
            }
        }
        builder.addBand(start, end, out);
        y = end;
    }
    return builder.finish();
}

Region Region::united(const Region& other) const { return combine(*this, other, Op::Union); }
Region Region::intersected(const Region& other) const { return combine(*this, other, Op::Intersect); }
Region Region::subtracted(const Region& other) const { return combine(*this, other, Op::Subtract); }
Region Region::xored(const Region& other) const { return combine(*this, other, Op::Xor); }

Region Region::offset(int dh, int dv) const
{
    Region r = *this;
    if (r.isEmpty() || (dh == 0 && dv == 0))
        return r;
    for (auto& b : r.m_bands) {
        b.top += dv;
        b.bottom += dv;
    }
    for (auto& e : r.m_edges)
        e += dh;
    r.m_top += dv;
    r.m_bottom += dv;
    r.m_left += dh;
    r.m_right += dh;
    return r;
}

Region Region::verticalSweep(int n, bool unite) const
{
    const Op op = unite ? Op::Union : Op::Intersect;
    Region acc, power = *this;
    int accLength = 0, powerLength = 1;
    for (int m = n; m > 0;) {
        if (m & 1) {
            acc = accLength == 0 ? power : combine(acc, power.offset(0, -accLength), op);
            accLength += powerLength;
        }
        m >>= 1;
        if (m) {
            power = combine(power, power.offset(0, -powerLength), op);
            powerLength *= 2;
        }
    }
    return acc;
}

Region Region::inset(int dh, int dv) const
{
    if (isEmpty())
        return *this;
    // Beyond the 16-bit plane every erosion is empty and every dilation covers it.
    constexpr int kLimit = 1 << 16;
    dh = std::clamp(dh, -kLimit, kLimit);
    dv = std::clamp(dv, -kLimit, kLimit);
    if (dh > 0 && 2LL * dh >= (long long)m_right - m_left)
        return Region();
    if (dv > 0 && 2LL * dv >= (long long)m_bottom - m_top)
        return Region();
    Region horizontal = *this;
    if (dh != 0) {
        RegionBuilder builder;
        std::vector<std::int32_t> runs;
        for (std::size_t i = 0; i < m_bands.size(); ++i) {
            auto b = band(i);
            runs.clear();
            for (std::size_t k = 0; k < b.edges.size(); k += 2) {
                runs.push_back(b.edges[k] + dh);
                runs.push_back(b.edges[k + 1] - dh);
            }
            builder.addRuns(b.top, b.bottom, runs);
        }
        horizontal = builder.finish();
    }
    if (dv == 0 || horizontal.isEmpty())
        return horizontal;
    const int reach = dv > 0 ? dv : -dv;
    return horizontal.verticalSweep(2 * reach + 1, dv < 0).offset(0, reach);
}

Region Region::mapped(const Rect& from, const Rect& to) const
{
    if (isEmpty() || !mappingDefined(from, to))
        return *this;
    auto mapH = [&](int x) { return mapCoordinate(x, from.left, from.width(), to.left, to.width()); };
    auto mapV = [&](int y) { return mapCoordinate(y, from.top, from.height(), to.top, to.height()); };
    RegionBuilder builder;
    std::vector<std::int32_t> runs;
    for (std::size_t i = 0; i < m_bands.size(); ++i) {
        auto b = band(i);
        runs.clear();
        for (auto e : b.edges)
            runs.push_back(mapH(e));
        builder.addRuns(mapV(b.top), mapV(b.bottom), runs);
    }
    return builder.finish();
}

} // namespace qm
