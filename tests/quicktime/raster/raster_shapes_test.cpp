#include "quicktime/raster/raster_shapes.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "raster_test_grid.h"

using namespace qm;
using qm::test::PixelGrid;

namespace {

std::vector<int> rowWidths(const Region& r)
{
    std::vector<int> widths;
    for (int v = r.top(); v < r.bottom(); ++v) {
        int n = 0;
        for (int h = r.left(); h < r.right(); ++h)
            n += r.contains(h, v);
        widths.push_back(n);
    }
    return widths;
}

// Even-odd test of a point against a closed polygon by casting a ray to the right, in doubles.
bool insidePolygon(const std::vector<Point>& p, double x, double y)
{
    bool inside = false;
    for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const double xi = p[i].h, yi = p[i].v, xj = p[j].h, yj = p[j].v;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

} // namespace

TEST(RasterShapes, CircleOfRadiusFiveCoversExactlyThePixelsInscribedInItsBounds)
{
    // A circle drawn at (100, 100) with radius 5 is the oval of the bounds (95, 95, 105, 105).
    // Pixel (h, v) belongs to it when its centre (h + 0.5, v + 0.5) lies within 5 of (100, 100).
    // Row 95 has centre y = 95.5, 4.5 from the middle: the half chord is sqrt(25 - 20.25) = 2.18,
    // so the centres 98.5 to 101.5 fit (4 pixels). Row 96 (3.5): sqrt(12.75) = 3.57, centres
    // 96.5..103.5 (8). Row 97 (2.5): 4.33 (8). Rows 98 and 99 (1.5, 0.5): 4.77 and 4.97, every
    // centre 95.5..104.5 (10). The lower half mirrors the upper.
    const Region circle = ovalRegion(Rect{95, 95, 105, 105});
    EXPECT_EQ(rowWidths(circle), (std::vector<int>{4, 8, 8, 10, 10, 10, 10, 8, 8, 4}));
    EXPECT_EQ(circle.bounds(), (Rect{95, 95, 105, 105}));
    for (int v = 90; v < 110; ++v)
        for (int h = 90; h < 110; ++h) {
            const double dx = h + 0.5 - 100, dy = v + 0.5 - 100;
            EXPECT_EQ(circle.contains(h, v), dx * dx + dy * dy <= 25.0) << h << "," << v;
        }
    EXPECT_EQ(circle.area(), 80u);
}

TEST(RasterShapes, OvalsFollowTheEllipseEquationAndAreSymmetric)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pos(-200, 200), size(1, 120);
    for (int round = 0; round < 60; ++round) {
        const int top = pos(rng), left = pos(rng), w = size(rng), h = size(rng);
        const Rect r{std::int16_t(top), std::int16_t(left), std::int16_t(top + h), std::int16_t(left + w)};
        const Region oval = ovalRegion(r);
        EXPECT_EQ(sectRect(oval.bounds(), r), oval.bounds());
        for (int v = r.top; v < r.bottom; ++v)
            for (int x = r.left; x < r.right; ++x) {
                // Exact in doubles: every term is an integer below 2^53 in doubled coordinates.
                const double X = 2.0 * x + 1 - (r.left + r.right), Y = 2.0 * v + 1 - (r.top + r.bottom);
                const bool expected = X * X * h * h + Y * Y * w * w <= double(w) * w * h * h;
                ASSERT_EQ(oval.contains(x, v), expected) << x << "," << v << " in " << w << "x" << h;
                ASSERT_EQ(oval.contains(r.left + r.right - 1 - x, v), expected);
                ASSERT_EQ(oval.contains(x, r.top + r.bottom - 1 - v), expected);
                ASSERT_EQ(ovalContains(r, x, v), expected);
            }
    }
    // The largest rectangle of the plane stays within 64-bit arithmetic.
    const Region huge = ovalRegion(Rect{-32768, -32768, 32767, 32767});
    EXPECT_EQ(huge.bounds(), (Rect{-32768, -32768, 32767, 32767}));
    EXPECT_TRUE(huge.contains(0, 0));
    EXPECT_FALSE(huge.contains(-32768, -32768));
    EXPECT_TRUE(ovalRegion(Rect{0, 0, 0, 5}).isEmpty());
}

TEST(RasterShapes, SelfCrossingStarIsFilledEvenOdd)
{
    // A five-pointed star drawn in one stroke: its outline crosses itself, and the pentagon in
    // the middle is crossed twice from outside, so even-odd leaves it empty.
    const std::vector<Point> star = {{0, 50}, {95, 20}, {35, 100}, {35, 0}, {95, 80}};
    const Region r = polygonRegion(star);
    EXPECT_FALSE(r.contains(50, 50));
    EXPECT_TRUE(r.contains(50, 10));  // top point
    EXPECT_TRUE(r.contains(10, 38));  // left point
    EXPECT_TRUE(r.contains(25, 85));  // bottom-left point
    for (int v = -2; v < 100; ++v)
        for (int h = -2; h < 103; ++h)
            ASSERT_EQ(r.contains(h, v), insidePolygon(star, h + 0.5, v + 0.5)) << h << "," << v;

    // A polygon through a rectangle's corners covers exactly that rectangle, in either direction.
    const std::vector<Point> box = {{10, 20}, {10, 50}, {40, 50}, {40, 20}};
    EXPECT_EQ(polygonRegion(box), Region::fromRect(10, 20, 40, 50));
    EXPECT_EQ(polygonRegion(std::vector<Point>(box.rbegin(), box.rend())), Region::fromRect(10, 20, 40, 50));
    // A closed polygon that repeats its first point, as the hot spot editor makes them.
    const std::vector<Point> closed = {{0, 0}, {0, 10}, {10, 0}, {0, 0}};
    const Region triangle = polygonRegion(closed);
    // Rows of 9, 8, ..., 1: the centres on the slanted edge have the inside on their left.
    EXPECT_EQ(triangle.area(), 45u);
    EXPECT_TRUE(polygonRegion(std::vector<Point>{{0, 0}, {5, 5}}).isEmpty());
}

TEST(RasterShapes, FramesLieInsideTheirShapesWithThePenSize)
{
    const Rect r{0, 0, 10, 20};
    EXPECT_EQ(frameRectRegion(r, PenSize{1, 1}).area(), 2u * (20 + 10) - 4);
    EXPECT_EQ(frameRectRegion(r, PenSize{3, 2}).area(), 200u - 14 * 6);
    EXPECT_EQ(frameRectRegion(r, PenSize{10, 1}), Region::fromRect(r)); // wider than half: solid
    EXPECT_TRUE(frameRectRegion(r, PenSize{0, 1}).isEmpty());

    const Rect ovalBox{5, 5, 65, 45};
    for (PenSize pen : {PenSize{1, 1}, PenSize{2, 3}, PenSize{6, 6}}) {
        const Region fill = ovalRegion(ovalBox), frame = frameOvalRegion(ovalBox, pen);
        EXPECT_TRUE(frame.subtracted(fill).isEmpty());
        EXPECT_EQ(frame.area(), fill.area() - ovalRegion(insetRect(ovalBox, pen.h, pen.v)).area());
        EXPECT_EQ(frame.bounds(), ovalBox);
    }

    // A region's frame: the pixels within the pen of its outside. A 1-pixel frame of a donut
    // holds both rings.
    const Region donut = Region::fromRect(0, 0, 10, 10).subtracted(Region::fromRect(3, 3, 7, 7));
    EXPECT_EQ(frameRegion(donut, PenSize{1, 1}).area(), 36u + 20u);
    EXPECT_EQ(frameRegion(donut, PenSize{2, 2}), donut);

    // A polygon's frame hangs the pen below and to the right of its lines, so framing a
    // rectangle's corners reaches one column and one row beyond the filled rectangle.
    const std::vector<Point> box = {{0, 0}, {0, 20}, {10, 20}, {10, 0}};
    const Region outline = framePolygonRegion(box, PenSize{1, 1});
    EXPECT_EQ(outline.bounds(), (Rect{0, 0, 11, 21}));
    EXPECT_EQ(outline.area(), 21u * 11 - 19 * 9);
}

TEST(RasterShapes, LinesAreThinConnectedAndIndependentOfDirection)
{
    EXPECT_EQ(lineRegion(Point{5, 10}, Point{5, 30}, PenSize{2, 3}), Region::fromRect(5, 10, 8, 32));
    EXPECT_EQ(lineRegion(Point{5, 5}, Point{5, 5}, PenSize{1, 1}), Region::fromRect(5, 5, 6, 6));
    EXPECT_TRUE(lineRegion(Point{0, 0}, Point{9, 9}, PenSize{0, 0}).isEmpty());
    std::mt19937 rng(8);
    std::uniform_int_distribution<int> c(-60, 60);
    for (int round = 0; round < 300; ++round) {
        const Point a{std::int16_t(c(rng)), std::int16_t(c(rng))}, b{std::int16_t(c(rng)), std::int16_t(c(rng))};
        const Region line = lineRegion(a, b, PenSize{1, 1});
        EXPECT_EQ(line, lineRegion(b, a, PenSize{1, 1}));
        const int steps = std::max(std::abs(a.h - b.h), std::abs(a.v - b.v));
        EXPECT_EQ(line.area(), std::uint64_t(steps + 1)) << "one pixel per step of the longer axis";
        EXPECT_TRUE(line.contains(a.h, a.v));
        EXPECT_TRUE(line.contains(b.h, b.v));
        EXPECT_EQ(line.bounds(), (Rect{std::min(a.v, b.v), std::min(a.h, b.h), std::int16_t(std::max(a.v, b.v) + 1),
                                       std::int16_t(std::max(a.h, b.h) + 1)}));
        // Within a pixel of the ideal line through the pixel centres.
        for (std::size_t i = 0; i < line.bandCount(); ++i) {
            const auto band = line.band(i);
            for (int v = band.top; v < band.bottom; ++v)
                for (int h = band.edges.front(); h < band.edges.back(); ++h) {
                    const double dx = b.h - a.h, dy = b.v - a.v;
                    const double distance = std::abs(dy * (h - a.h) - dx * (v - a.v)) / std::hypot(dx, dy);
                    EXPECT_LE(distance, 0.75);
                }
        }
        // A wide pen sweeps the pen rectangle along the thin line.
        Region swept;
        for (std::size_t i = 0; i < line.bandCount(); ++i) {
            const auto band = line.band(i);
            for (std::size_t k = 0; k < band.edges.size(); k += 2)
                swept = swept.united(Region::fromRect(band.top, band.edges[k], band.bottom + 1, band.edges[k + 1] + 2));
        }
        EXPECT_EQ(lineRegion(a, b, PenSize{3, 2}), swept);
    }
}

TEST(RasterShapes, ArcsCutTheOvalAtRectangleRelativeAngles)
{
    const Rect r{-30, -30, 30, 30};
    const Region q0 = arcRegion(r, 0, 90), q1 = arcRegion(r, 90, 90), q2 = arcRegion(r, 180, 90),
                 q3 = arcRegion(r, 270, 90);
    EXPECT_EQ(q0, ovalRegion(r).intersected(Region::fromRect(-30, 0, 0, 30))); // top right
    EXPECT_EQ(q1, ovalRegion(r).intersected(Region::fromRect(0, 0, 30, 30)));  // bottom right
    EXPECT_EQ(q0.united(q1).united(q2).united(q3), ovalRegion(r));
    EXPECT_EQ(q0.area() + q1.area() + q2.area() + q3.area(), ovalRegion(r).area());
    EXPECT_EQ(arcRegion(r, 90, -90), q0);
    EXPECT_EQ(arcRegion(r, -90, 90), q3);
    EXPECT_EQ(arcRegion(r, 0, 270), ovalRegion(r).subtracted(q3));
    EXPECT_EQ(arcRegion(r, 45, 720), ovalRegion(r));
    EXPECT_TRUE(arcRegion(r, 45, 0).isEmpty());
    EXPECT_EQ(arcRegion(r, 10, 100).united(arcRegion(r, 110, 260)), ovalRegion(r));
    EXPECT_TRUE(arcRegion(r, 10, 100).intersected(arcRegion(r, 110, 260)).isEmpty());

    // 45 degrees points at the corner whatever the proportions: in a 40 x 20 rectangle centred
    // on (20, 10), the centre of pixel (26, 6) lies just anticlockwise of the diagonal to the
    // top-right corner (6.5 right, 3.5 up: 0.1625 of the width against 0.175 of the height) and
    // that of pixel (27, 6) just clockwise of it (7.5 right: 0.1875), although both are well
    // anticlockwise of a true 45-degree line.
    const Rect wide{0, 0, 20, 40};
    EXPECT_TRUE(arcRegion(wide, 0, 45).contains(26, 6));
    EXPECT_TRUE(arcRegion(wide, 45, 45).contains(27, 6));

    // The quarter-ellipse map object from (top 10, left 20) to (bottom 40, right 60): the box of
    // half-size 30 x 40 centred on the first corner, moved down by 30, from 0 through 90 degrees.
    const Rect box{10 - 30 + 30, 20 - 40, 10 + 30 + 30, 20 + 40};
    const Region quarter = frameArcRegion(box, 0, 90, PenSize{2, 2});
    EXPECT_EQ(quarter.bounds(), (Rect{10, 20, 40, 60}));
    EXPECT_TRUE(quarter.contains(20, 10));
    EXPECT_TRUE(quarter.contains(59, 39));
}
