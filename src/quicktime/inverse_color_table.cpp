#include "quicktime/inverse_color_table.h"

#include <algorithm>
#include <limits>

namespace qm {

namespace {

std::size_t cellOf(int r, int g, int b) { return (std::size_t(r >> 3) << 10) | (std::size_t(g >> 3) << 5) | std::size_t(b >> 3); }

} // namespace

InverseColorTable::InverseColorTable(const ColorTable& table) : m_nearest(cells, 0), m_cellStart(cells + 1, 0)
{
    const std::size_t n = std::min(table.size(), ColorTable::maxEntries);
    if (n == 0)
        return;
    std::vector<int> r(n), g(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
        r[i] = table[i].red >> 8;
        g[i] = table[i].green >> 8;
        b[i] = table[i].blue >> 8;
        m_members.push_back({(std::uint32_t(r[i]) << 16) | (std::uint32_t(g[i]) << 8) | std::uint32_t(b[i]),
                             std::uint8_t(i)});
    }
    // Stable: within a cell the lowest index of a repeated colour comes first.
    std::stable_sort(m_members.begin(), m_members.end(), [](const Member& x, const Member& y) {
        return cellOf(int(x.rgb >> 16), int(x.rgb >> 8 & 0xFF), int(x.rgb & 0xFF)) <
               cellOf(int(y.rgb >> 16), int(y.rgb >> 8 & 0xFF), int(y.rgb & 0xFF));
    });
    for (const Member& m : m_members)
        ++m_cellStart[cellOf(int(m.rgb >> 16), int(m.rgb >> 8 & 0xFF), int(m.rgb & 0xFF)) + 1];
    for (std::size_t c = 0; c < cells; ++c)
        m_cellStart[c + 1] = std::uint16_t(m_cellStart[c + 1] + m_cellStart[c]);

    // Cell centres: level c covers components 8c..8c+7, centre 8c+3.5 (doubled to stay integral).
    for (int cr = 0; cr < 32; ++cr)
        for (int cg = 0; cg < 32; ++cg)
            for (int cb = 0; cb < 32; ++cb) {
                long best = std::numeric_limits<long>::max();
                std::uint8_t bestIndex = 0;
                for (std::size_t i = 0; i < n; ++i) {
                    const long dr = 2 * r[i] - (16 * cr + 7);
                    const long dg = 2 * g[i] - (16 * cg + 7);
                    const long db = 2 * b[i] - (16 * cb + 7);
                    const long d = dr * dr + dg * dg + db * db;
                    if (d < best) {
                        best = d;
                        bestIndex = std::uint8_t(i);
                    }
                }
                m_nearest[(std::size_t(cr) << 10) | (std::size_t(cg) << 5) | std::size_t(cb)] = bestIndex;
            }
}

const InverseColorTable& InverseColorTable::macDefault8()
{
    static const InverseColorTable table(ColorTable::macDefault(8));
    return table;
}

} // namespace qm
