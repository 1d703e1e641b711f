#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region.h"

#include <gtest/gtest.h>

#include "raster_test_grid.h"

using namespace qm;
using qm::test::PixelGrid;

namespace {

// The window every random region of raster_test_grid.h fits in, with room around it.
PixelGrid gridOf(const Region& r) { return PixelGrid::of(r, -12, -12, 66, 56); }

PixelGrid fromOracle(const PixelGrid& small)
{
    PixelGrid g(-12, -12, 66, 56);
    for (int v = small.top(); v < small.top() + small.height(); ++v)
        for (int h = small.left(); h < small.left() + small.width(); ++h)
            g.set(h, v, small.get(h, v));
    return g;
}

Rect boundsOf(const PixelGrid& g)
{
    int top = 1 << 20, left = 1 << 20, bottom = -(1 << 20), right = -(1 << 20);
    for (int v = g.top(); v < g.top() + g.height(); ++v)
        for (int h = g.left(); h < g.left() + g.width(); ++h)
            if (g.get(h, v)) {
                top = std::min(top, v);
                bottom = std::max(bottom, v + 1);
                left = std::min(left, h);
                right = std::max(right, h + 1);
            }
    return top > bottom ? Rect{} : makeRect(top, left, bottom, right);
}

} // namespace

TEST(RasterRegion, SetOperationsAgreeWithPixelByPixelLogic)
{
    std::mt19937 rng(1234);
    for (int round = 0; round < 120; ++round) {
        PixelGrid ga(0, 0, 1, 1), gb(0, 0, 1, 1);
        const Region a = qm::test::randomRegion(rng, &ga);
        const Region b = qm::test::randomRegion(rng, &gb).offset(round % 7 - 3, round % 5 - 2);
        const PixelGrid wa = fromOracle(ga);
        const PixelGrid wb = gridOf(b);
        ASSERT_EQ(gridOf(a), wa) << "region built by operations differs from its pixels, round " << round;
        EXPECT_EQ(a.area(), wa.count());
        EXPECT_EQ(a.bounds(), boundsOf(wa));

        const Region u = a.united(b), i = a.intersected(b), d = a.subtracted(b), x = a.xored(b);
        EXPECT_EQ(gridOf(u), wa.combine(wb, [](bool p, bool q) { return p || q; }));
        EXPECT_EQ(gridOf(i), wa.combine(wb, [](bool p, bool q) { return p && q; }));
        EXPECT_EQ(gridOf(d), wa.combine(wb, [](bool p, bool q) { return p && !q; }));
        EXPECT_EQ(gridOf(x), wa.combine(wb, [](bool p, bool q) { return p != q; }));
        EXPECT_EQ(i.bounds(), boundsOf(gridOf(i)));

        // The form is canonical: the same pixels reached by different roads compare equal.
        EXPECT_EQ(u, b.united(a));
        EXPECT_EQ(x, d.united(b.subtracted(a)));
        EXPECT_EQ(a, d.united(i));
        EXPECT_EQ(x.xored(b), a);
        EXPECT_EQ(a.offset(5, -4).offset(-5, 4), a);
    }
}

TEST(RasterRegion, InsetErodesAndDilatesByTheBox)
{
    std::mt19937 rng(99);
    const int steps[][2] = {{1, 1}, {2, 0}, {0, 3}, {-1, -2}, {2, -1}, {-3, 1}};
    for (int round = 0; round < 25; ++round) {
        const Region r = qm::test::randomRegion(rng);
        const PixelGrid g = gridOf(r);
        for (const auto& s : steps) {
            const int dh = s[0], dv = s[1];
            const PixelGrid got = gridOf(r.inset(dh, dv));
            for (int v = -10; v < 42; ++v)
                for (int h = -10; h < 52; ++h) {
                    // Erosion and dilation are separable: the horizontal step first.
                    auto horizontal = [&](int hh, int vv) {
                        bool all = true, any = false;
                        for (int k = -std::abs(dh); k <= std::abs(dh); ++k) {
                            all = all && g.get(hh + k, vv);
                            any = any || g.get(hh + k, vv);
                        }
                        return dh >= 0 ? all : any;
                    };
                    bool all = true, any = false;
                    for (int k = -std::abs(dv); k <= std::abs(dv); ++k) {
                        all = all && horizontal(h, v + k);
                        any = any || horizontal(h, v + k);
                    }
                    ASSERT_EQ(got.get(h, v), dv >= 0 ? all : any) << "inset " << dh << "," << dv << " at " << h << "," << v;
                }
        }
    }
    EXPECT_TRUE(Region::fromRect(0, 0, 10, 4).inset(2, 0).isEmpty());
    EXPECT_EQ(Region::fromRect(0, 0, 10, 5).inset(2, 1), Region::fromRect(1, 2, 9, 3));
}

TEST(RasterRegion, MappingToAMultipleRectangleAndBackIsExact)
{
    std::mt19937 rng(7);
    const Rect from{0, 0, 30, 40};
    const Rect targets[] = {{0, 0, 60, 120}, {-15, 100, 75, 180}, {5, 5, 35, 45}, {0, 0, 30, 160}};
    for (int round = 0; round < 50; ++round) {
        const Region r = qm::test::randomRegion(rng);
        for (const Rect& to : targets) {
            const Region there = r.mapped(from, to);
            EXPECT_EQ(there.area(), r.area() * std::uint64_t(to.width() / from.width()) * (to.height() / from.height()));
            EXPECT_EQ(there.mapped(to, from), r);
        }
    }
    // A rectangle maps as MapRect maps its corners, and a shrinking map drops thin parts.
    const Rect r{3, 7, 9, 21};
    EXPECT_EQ(Region::fromRect(r).mapped(from, Rect{0, 0, 15, 20}), Region::fromRect(mapRect(r, from, Rect{0, 0, 15, 20})));
    EXPECT_TRUE(Region::fromRect(0, 2, 30, 3).mapped(from, Rect{0, 0, 30, 20}).isEmpty());
    // Undefined maps change nothing.
    const Region oval = ovalRegion(Rect{0, 0, 10, 10});
    EXPECT_EQ(oval.mapped(Rect{}, from), oval);
}

TEST(RasterGeometry, MapsPointsAndRectanglesBetweenWorkingAndNativeImages)
{
    // An editing picture of 1536 x 288 stands for a 4096 x 768 native image: a hot spot drawn
    // over the full working width is stored 4096 pixels wide.
    const Rect working{0, 0, 288, 1536}, native{0, 0, 768, 4096};
    const Rect stored = mapRect(Rect{10, 0, 50, 1536}, working, native);
    EXPECT_EQ(stored.left, 0);
    EXPECT_EQ(stored.right, 4096);
    EXPECT_EQ(stored.top, 26); // floor(10 * 768 / 288)
    EXPECT_EQ(mapPoint(Point{-1, -1}, Rect{0, 0, 2, 2}, Rect{0, 0, 3, 3}), (Point{-2, -2})); // floors
    EXPECT_EQ(mapPoint(Point{5, 5}, Rect{0, 0, 0, 10}, native), (Point{5, 5}));
    EXPECT_EQ(rectFromCorners(Point{100, 100}, Point{60, 50}), (Rect{60, 50, 100, 100}));
    EXPECT_EQ(sectRect(Rect{0, 0, 5, 5}, Rect{5, 5, 9, 9}), Rect{});
    EXPECT_EQ(unionRect(Rect{}, Rect{1, 2, 3, 4}), (Rect{1, 2, 3, 4}));
}

TEST(RasterRegion, BuilderRefusesMalformedBands)
{
    RegionBuilder b;
    const std::int32_t good[] = {0, 4}, unsorted[] = {4, 2}, odd[] = {1, 2, 3};
    EXPECT_TRUE(b.addBand(0, 2, good));
    EXPECT_FALSE(b.addBand(1, 3, good)); // overlaps the band above
    EXPECT_FALSE(b.addBand(2, 3, unsorted));
    EXPECT_FALSE(b.addBand(2, 3, odd));
    EXPECT_TRUE(b.addBand(2, 5, good)); // touching and equal: merged
    const Region r = b.finish();
    EXPECT_EQ(r, Region::fromRect(0, 0, 5, 4));
    EXPECT_TRUE(r.isRect());
    EXPECT_EQ(Region::fromRect(Rect{5, 5, 5, 9}), Region());
}
