#include "quicktime/raster/raster_color_table.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace qm {

// Colour space cut into 16 x 16 x 16 cells of 16 x 16 x 16 colours. Each cell lists, in index
// order, every entry that could be nearest to some colour of the cell: those whose distance to
// the cell is no more than the smallest farthest-corner distance of any entry. The true nearest
// entry of a colour is always among its cell's candidates.
//
// The cells take some milliseconds to build and most tables (those of decoded images, of
// stored descriptions) never match a colour: they are built by the first nearest() on any copy.
struct ColorTable::Lookup {
    std::array<std::uint32_t, 256> argb{};
    std::array<std::array<std::uint8_t, 3>, 256> rgb{};
    int count = 0;
    mutable std::once_flag cellsBuilt;
    mutable std::vector<std::uint32_t> cellStart; // 4097 offsets into candidates
    mutable std::vector<std::uint8_t> candidates;

    void buildCells() const;
};

namespace {

constexpr int kCellBits = 4;
constexpr int kCells = 1 << kCellBits;
constexpr int kCellSpan = 256 / kCells;

int sq(int x) { return x * x; }

} // namespace

void ColorTable::Lookup::buildCells() const
{
    cellStart.reserve(kCells * kCells * kCells + 1);
    std::vector<int> nearDistance(static_cast<std::size_t>(count));
    for (int cr = 0; cr < kCells; ++cr)
        for (int cg = 0; cg < kCells; ++cg)
            for (int cb = 0; cb < kCells; ++cb) {
                cellStart.push_back(std::uint32_t(candidates.size()));
                const int lo[3] = {cr * kCellSpan, cg * kCellSpan, cb * kCellSpan};
                int bestFar = 1 << 30;
                for (int i = 0; i < count; ++i) {
                    int nearSum = 0, farSum = 0;
                    for (int k = 0; k < 3; ++k) {
                        const int c = rgb[i][k], a = lo[k], b = lo[k] + kCellSpan - 1;
                        nearSum += c < a ? sq(a - c) : c > b ? sq(c - b) : 0;
                        farSum += std::max(sq(c - a), sq(c - b));
                    }
                    nearDistance[std::size_t(i)] = nearSum;
                    bestFar = std::min(bestFar, farSum);
                }
                for (int i = 0; i < count; ++i)
                    if (nearDistance[std::size_t(i)] <= bestFar)
                        candidates.push_back(std::uint8_t(i));
            }
    cellStart.push_back(std::uint32_t(candidates.size()));
}

ColorTable::ColorTable()
{
    static const std::shared_ptr<const Lookup> empty = ColorTable(std::vector<RGBColor>{}).m_lookup;
    m_lookup = empty;
}

ColorTable::ColorTable(std::vector<RGBColor> entries) : m_entries(std::move(entries))
{
    if (m_entries.size() > kMaxEntries)
        m_entries.resize(kMaxEntries);
    auto lookup = std::make_shared<Lookup>();
    lookup->argb.fill(argbPixel(0, 0, 0));
    lookup->count = int(m_entries.size());
    for (int i = 0; i < lookup->count; ++i) {
        lookup->argb[i] = argbPixel(m_entries[i]);
        lookup->rgb[i] = {std::uint8_t(m_entries[i].red >> 8), std::uint8_t(m_entries[i].green >> 8),
                          std::uint8_t(m_entries[i].blue >> 8)};
    }
    m_lookup = std::move(lookup);
}

const ColorTable& ColorTable::standard8()
{
    static const ColorTable table = [] {
        std::vector<RGBColor> e;
        auto add = [&e](int r, int g, int b) {
            e.push_back(RGBColor{std::uint16_t(r * 0x101), std::uint16_t(g * 0x101), std::uint16_t(b * 0x101)});
        };
        const int cube[] = {0xFF, 0xCC, 0x99, 0x66, 0x33, 0x00};
        for (int r : cube)
            for (int g : cube)
                for (int b : cube)
                    if (r || g || b)
                        add(r, g, b);
        const int ramp[] = {0xEE, 0xDD, 0xBB, 0xAA, 0x88, 0x77, 0x55, 0x44, 0x22, 0x11};
        for (int x : ramp)
            add(x, 0, 0);
        for (int x : ramp)
            add(0, x, 0);
        for (int x : ramp)
            add(0, 0, x);
        for (int x : ramp)
            add(x, x, x);
        add(0, 0, 0);
        return ColorTable(std::move(e));
    }();
    return table;
}

RGBColor ColorTable::color(std::size_t index) const
{
    return index < m_entries.size() ? m_entries[index] : RGBColor{};
}

std::uint32_t ColorTable::argb(std::uint8_t index) const { return m_lookup->argb[index]; }

std::uint8_t ColorTable::nearest(std::uint8_t r, std::uint8_t g, std::uint8_t b) const
{
    const Lookup& l = *m_lookup;
    std::call_once(l.cellsBuilt, [&l] { l.buildCells(); });
    const int cell = ((r >> kCellBits) << (2 * kCellBits)) | ((g >> kCellBits) << kCellBits) | (b >> kCellBits);
    std::uint8_t best = 0;
    int bestDistance = 1 << 30;
    for (std::uint32_t k = l.cellStart[cell]; k < l.cellStart[cell + 1]; ++k) {
        const std::uint8_t i = l.candidates[k];
        const int d = sq(l.rgb[i][0] - r) + sq(l.rgb[i][1] - g) + sq(l.rgb[i][2] - b);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

std::uint8_t ColorTable::nearest(const RGBColor& c) const
{
    return nearest(std::uint8_t(c.red >> 8), std::uint8_t(c.green >> 8), std::uint8_t(c.blue >> 8));
}

} // namespace qm
