#pragma once
// Maps 24-bit colours to the nearest entry of a colour table (the inverse table of QuickDraw's
// Color2Index). Colours that are in the table map to their own index (the lowest such index);
// others go through a 32x32x32 cube of nearest entries, so the result is within half a cube
// cell (4 levels per component) of the true nearest colour.
#include <cstdint>
#include <vector>

#include "quicktime/color_table.h"

namespace qm {

class InverseColorTable {
public:
    explicit InverseColorTable(const ColorTable& table);

    // The shared inverse table of the standard 8-bit Macintosh palette (built once, thread-safe).
    static const InverseColorTable& macDefault8();

    std::uint8_t index(std::uint8_t r, std::uint8_t g, std::uint8_t b) const
    {
        const std::size_t cell = (std::size_t(r >> 3) << 10) | (std::size_t(g >> 3) << 5) | (b >> 3);
        const std::uint32_t rgb = (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
        for (std::uint16_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k)
            if (m_members[k].rgb == rgb)
                return m_members[k].index;
        return m_nearest[cell];
    }

private:
    static constexpr std::size_t cells = 32 * 32 * 32;
    struct Member {
        std::uint32_t rgb;
        std::uint8_t index;
    };
    std::vector<std::uint8_t> m_nearest;    // per cell: the entry nearest its centre
    std::vector<std::uint16_t> m_cellStart; // per cell: its table colours in m_members
    std::vector<Member> m_members;          // table colours ordered by cell, then index
};

} // namespace qm
