#pragma once
// A plain per-pixel set over a window of the plane, used as an independent oracle for regions.
#include <cstdint>
#include <random>
#include <vector>

#include "quicktime/raster/region.h"

namespace qm::test {

class PixelGrid {
public:
    PixelGrid(int left, int top, int width, int height)
        : m_left(left), m_top(top), m_width(width), m_height(height), m_bits(std::size_t(width) * height)
    {
    }

    static PixelGrid of(const Region& r, int left, int top, int width, int height)
    {
        PixelGrid g(left, top, width, height);
        for (int v = top; v < top + height; ++v)
            for (int h = left; h < left + width; ++h)
                g.set(h, v, r.contains(h, v));
        return g;
    }

    bool get(int h, int v) const
    {
        if (h < m_left || v < m_top || h >= m_left + m_width || v >= m_top + m_height)
            return false;
        return m_bits[std::size_t(v - m_top) * m_width + (h - m_left)];
    }
    void set(int h, int v, bool on) { m_bits[std::size_t(v - m_top) * m_width + (h - m_left)] = on; }

    template <class F> PixelGrid combine(const PixelGrid& o, F f) const
    {
        PixelGrid g(m_left, m_top, m_width, m_height);
        for (std::size_t i = 0; i < m_bits.size(); ++i)
            g.m_bits[i] = f(bool(m_bits[i]), bool(o.m_bits[i]));
        return g;
    }

    std::size_t count() const
    {
        std::size_t n = 0;
        for (bool b : m_bits)
            n += b;
        return n;
    }

    int left() const { return m_left; }
    int top() const { return m_top; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    friend bool operator==(const PixelGrid& a, const PixelGrid& b) { return a.m_bits == b.m_bits; }

private:
    int m_left, m_top, m_width, m_height;
    std::vector<bool> m_bits;
};

// A random region of a few rectangles joined by random operations inside [0, 40) x [0, 30),
// together with the same set built pixel by pixel.
inline Region randomRegion(std::mt19937& rng, PixelGrid* oracle = nullptr)
{
    std::uniform_int_distribution<int> x(0, 40), y(0, 30), op(0, 2), n(1, 6);
    Region r;
    PixelGrid g(0, 0, 40, 30);
    const int count = n(rng);
    for (int i = 0; i < count; ++i) {
        const int l = x(rng), rr = x(rng), t = y(rng), b = y(rng);
        const Rect box{std::int16_t(std::min(t, b)), std::int16_t(std::min(l, rr)), std::int16_t(std::max(t, b)),
                       std::int16_t(std::max(l, rr))};
        const Region piece = Region::fromRect(box);
        const int which = op(rng);
        r = which == 0 ? r.united(piece) : which == 1 ? r.xored(piece) : r.subtracted(piece);
        for (int v = box.top; v < box.bottom; ++v)
            for (int h = box.left; h < box.right; ++h)
                g.set(h, v, which == 0 ? true : which == 1 ? !g.get(h, v) : false);
    }
    if (oracle)
        *oracle = g;
    return r;
}

} // namespace qm::test
