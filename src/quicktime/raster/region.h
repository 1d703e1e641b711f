#pragma once
// An arbitrary set of pixels of the QuickDraw plane, held as horizontal bands.
//
// A band is a run of rows [top, bottom) that all cover the same columns, given as a sorted list
// of edges x0 < x1 < x2 < ... in which each pair [x0, x1), [x2, x3) ... is a run of covered
// pixels. The form is canonical: bands are sorted, never empty, never overlap, and two bands that
// touch never have the same edges; runs within a band never touch. Two regions covering the
// same pixels therefore compare equal member by member.
//
// Coordinates are kept in 32 bits so that offsets and maps cannot overflow; bounds() clamps to
// the 16-bit range of Rect, and the stored byte form (region_bytes.h) refuses what does not fit.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "quicktime/base/os_types.h"

namespace qm {

class Region {
public:
    struct Band {
        int top;
        int bottom;
        std::span<const std::int32_t> edges;
    };

    Region() = default;
    static Region fromRect(const Rect& r);
    static Region fromRect(int top, int left, int bottom, int right);

    bool isEmpty() const { return m_bands.empty(); }
    // True for a region that is exactly one non-empty rectangle.
    bool isRect() const { return m_bands.size() == 1 && m_bands[0].count == 2; }
    Rect bounds() const;
    // Bounds without clamping: top, left, bottom, right.
    int top() const { return m_top; }
    int left() const { return m_left; }
    int bottom() const { return m_bottom; }
    int right() const { return m_right; }
    // Number of pixels covered.
    std::uint64_t area() const;

    bool contains(int h, int v) const;
    bool contains(Point p) const { return contains(p.h, p.v); }

    Region united(const Region& other) const;
    Region intersected(const Region& other) const;
    Region subtracted(const Region& other) const;
    Region xored(const Region& other) const;

    Region offset(int dh, int dv) const;
    // QuickDraw's InsetRgn: every boundary moves inwards by dh horizontally and dv vertically
    // (outwards for negative values). A pixel stays when the whole box of (2dh+1) x (2dv+1)
    // pixels centred on it lies in the region.
    Region inset(int dh, int dv) const;
    // QuickDraw's MapRgn: every band edge goes through the rectangle map of raster_geometry.h.
    // Parts thinner than one step of a shrinking map vanish. Undefined maps (an empty rectangle)
    // leave the region unchanged.
    Region mapped(const Rect& from, const Rect& to) const;

    std::size_t bandCount() const { return m_bands.size(); }
    Band band(std::size_t i) const;

    friend bool operator==(const Region& a, const Region& b);

private:
    friend class RegionBuilder;
    enum class Op { Union, Intersect, Subtract, Xor };
    static Region combine(const Region& a, const Region& b, Op op);
    // Union (or intersection) of the region shifted up by 0, 1, ..., n - 1 rows.
    Region verticalSweep(int n, bool unite) const;

    struct BandRecord {
        std::int32_t top;
        std::int32_t bottom;
        std::uint32_t first;
        std::uint32_t count;
    };
    std::vector<BandRecord> m_bands;
    std::vector<std::int32_t> m_edges;
    int m_top = 0, m_left = 0, m_bottom = 0, m_right = 0;
};

// Assembles a canonical region from bands given top to bottom. Bands may touch or leave gaps but
// must not overlap; each band's edges must be sorted and strictly increasing, in pairs. Empty
// bands are dropped and touching bands with equal edges merged.
class RegionBuilder {
public:
    // Returns false (and adds nothing) when the band breaks the rules above.
    bool addBand(int top, int bottom, std::span<const std::int32_t> edges);
    // Adds the band after bringing its runs into canonical form: runs given as pairs in
    // ascending order of their left edges, possibly empty, touching or overlapping.
    bool addRuns(int top, int bottom, std::span<const std::int32_t> runs);
    Region finish();

private:
    Region m_region;
    std::vector<std::int32_t> m_scratch;
};

} // namespace qm
