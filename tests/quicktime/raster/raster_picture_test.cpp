#include "quicktime/base/errors.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_painter.h"
#include "quicktime/raster/raster_shapes.h"

#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

using namespace qm;

namespace {

OffscreenPicture picture(PixelDepth depth, Rect bounds)
{
    OffscreenPicture p;
    EXPECT_EQ(p.allocate(depth, bounds), err::noErr);
    return p;
}

OffscreenPicture noisy(PixelDepth depth, Rect bounds, unsigned seed)
{
    OffscreenPicture p = picture(depth, bounds);
    std::mt19937 rng(seed);
    for (int v = bounds.top; v < bounds.bottom; ++v)
        for (int h = bounds.left; h < bounds.right; ++h)
            p.setPixel(h, v, depth == PixelDepth::Indexed8 ? rng() & 0xFF : (rng() | 0xFF000000u));
    return p;
}

std::map<std::uint32_t, std::uint64_t> histogram(const OffscreenPicture& p)
{
    std::map<std::uint32_t, std::uint64_t> counts;
    for (int v = p.bounds().top; v < p.bounds().bottom; ++v)
        for (int h = p.bounds().left; h < p.bounds().right; ++h)
            ++counts[p.pixel(h, v)];
    return counts;
}

} // namespace

TEST(RasterPicture, AllocatesErasedPicturesInTheirOwnCoordinates)
{
    OffscreenPicture p;
    EXPECT_EQ(p.allocate(PixelDepth::Indexed8, Rect{10, 10, 10, 20}), err::paramErr);
    EXPECT_TRUE(p.isNull());
    EXPECT_EQ(p.allocate(PixelDepth::Argb32, Rect{-32768, -32768, 32767, 32767}), err::memFullErr);
    EXPECT_TRUE(p.isNull());

    ASSERT_EQ(p.allocate(PixelDepth::Indexed8, Rect{10, 100, 20, 131}), err::noErr);
    EXPECT_EQ(p.rowBytes(), 32u);
    EXPECT_EQ(histogram(p), (std::map<std::uint32_t, std::uint64_t>{{0, 310}}));
    EXPECT_TRUE(p.isAllZero());
    p.setPixel(130, 19, 1); // the last pixel of the last row, just before the row's padding
    EXPECT_FALSE(p.isAllZero());
    p.setPixel(130, 19, 0);
    EXPECT_EQ(p.color(100, 10), (RGBColor{0xFFFF, 0xFFFF, 0xFFFF}));
    p.setPixel(100, 10, 255);
    EXPECT_EQ(p.data()[0], 255);
    EXPECT_EQ(p.color(100, 10), RGBColor{});
    p.setPixel(99, 10, 7); // outside: ignored
    EXPECT_EQ(p.pixel(99, 10), 0u);
    ASSERT_TRUE(p.setOrigin(0, 0));
    EXPECT_EQ(p.bounds(), (Rect{0, 0, 10, 31}));
    EXPECT_EQ(p.pixel(0, 0), 255u);
    EXPECT_FALSE(p.setOrigin(32760, 0));

    OffscreenPicture q = picture(PixelDepth::Argb32, Rect{0, 0, 2, 2});
    EXPECT_EQ(q.pixel(1, 1), argbPixel(255, 255, 255));
    EXPECT_EQ(q.valueFor(RGBColor{0x1234, 0xFFFF, 0}), argbPixel(0x12, 0xFF, 0));
}

TEST(RasterPicture, StandardTableMatchesColoursExactly)
{
    const ColorTable& t = ColorTable::standard8();
    ASSERT_EQ(t.size(), 256u);
    EXPECT_EQ(t.color(0), (RGBColor{0xFFFF, 0xFFFF, 0xFFFF}));
    EXPECT_EQ(t.color(1), (RGBColor{0xFFFF, 0xFFFF, 0xCCCC}));
    EXPECT_EQ(t.color(215), (RGBColor{0xEEEE, 0, 0}));
    EXPECT_EQ(t.color(254), (RGBColor{0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(t.color(255), RGBColor{});
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(t.nearest(t.color(std::size_t(i))), i);
    // Against a plain search over all entries.
    std::mt19937 rng(2);
    for (int i = 0; i < 20000; ++i) {
        const std::uint8_t r = std::uint8_t(rng()), g = std::uint8_t(rng()), b = std::uint8_t(rng());
        int best = 0, bestDistance = 1 << 30;
        for (int k = 0; k < 256; ++k) {
            const RGBColor c = t.color(std::size_t(k));
            const int d = (r - (c.red >> 8)) * (r - (c.red >> 8)) + (g - (c.green >> 8)) * (g - (c.green >> 8)) +
                          (b - (c.blue >> 8)) * (b - (c.blue >> 8));
            if (d < bestDistance)
                bestDistance = d, best = k;
        }
        ASSERT_EQ(t.nearest(r, g, b), best);
    }
    EXPECT_EQ(ColorTable().nearest(1, 2, 3), 0);
}

TEST(RasterPainter, PaintsHotSpotIdsExactlyWithWrapAndLaterShapesOnTop)
{
    // The hot spot image of a 360-degree panorama: 8-bit, every pixel a hot spot ID or 0.
    OffscreenPicture image = picture(PixelDepth::Indexed8, Rect{0, 0, 100, 720});
    RasterPainter painter(image);
    const Rect seam{20, 690, 60, 750}; // crosses the right edge
    const Region oval = ovalRegion(Rect{10, 100, 90, 200});
    const std::vector<Point> polygon = {{30, 150}, {80, 260}, {95, 120}};
    const Region star = polygonRegion(polygon);

    painter.setForeValue(3);
    painter.paintRect(seam);
    painter.paintRect(offsetRect(seam, -720, 0));
    painter.setForeValue(7);
    painter.paintRegion(oval);
    painter.setForeValue(254);
    painter.paintPolygon(polygon);
    painter.frameRegion(star);

    for (int v = 0; v < 100; ++v)
        for (int h = 0; h < 720; ++h) {
            std::uint32_t expected = 0;
            if (ptInRect(Point{std::int16_t(v), std::int16_t(h)}, seam) || (h < 30 && v >= 20 && v < 60))
                expected = 3;
            if (oval.contains(h, v))
                expected = 7;
            if (star.contains(h, v))
                expected = 254;
            ASSERT_EQ(image.pixel(h, v), expected) << h << "," << v;
        }

    // A strip of the same image, painted in its own coordinates (bounds moved right).
    OffscreenPicture strip = picture(PixelDepth::Indexed8, Rect{0, 120, 100, 240});
    RasterPainter stripPainter(strip);
    stripPainter.setForeValue(7);
    stripPainter.paintRegion(oval);
    for (int v = 0; v < 100; ++v)
        for (int h = 120; h < 240; ++h)
            ASSERT_EQ(strip.pixel(h, v), oval.contains(h, v) ? 7u : 0u);
}

TEST(RasterPainter, PatternsModesAndClipping)
{
    ASSERT_FALSE(fillPattern(0).has_value());
    ASSERT_FALSE(fillPattern(39).has_value());
    EXPECT_TRUE(fillPattern(1)->solid());
    EXPECT_TRUE(fillPattern(20)->blank());
    EXPECT_EQ(*fillPattern(4), (Pattern{{0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA}}));

    // Patterns lie on the coordinate grid, not on the shape or the picture's corner.
    OffscreenPicture p = picture(PixelDepth::Argb32, Rect{-3, -5, 13, 11});
    RasterPainter painter(p);
    const std::uint32_t black = argbPixel(0, 0, 0), white = argbPixel(255, 255, 255), red = argbPixel(255, 0, 0);
    const Pattern diagonal = *fillPattern(7); // stored 22 44 88 11 ...: drawn DD BB 77 EE ...
    painter.fillRect(Rect{-3, -5, 13, 11}, diagonal);
    for (int v = -3; v < 13; ++v)
        for (int h = -5; h < 11; ++h)
            ASSERT_EQ(p.pixel(h, v), diagonal.bit(h, v) ? black : white) << h << "," << v;
    EXPECT_EQ(p.pixel(2, 0), white); // row 0 drawn DD: 1101 1101, column 2 clear
    EXPECT_EQ(p.pixel(-5, -3), black); // row 5 (drawn BB), column 3 set

    // Or paints set bits only; Copy paints clear bits in the background.
    p.fill(red);
    painter.setPenPattern(*fillPattern(6)); // stored AA in every row: odd columns set
    painter.setPenMode(TransferMode::Or);
    painter.paintRect(Rect{-3, -5, 13, 11});
    EXPECT_EQ(p.pixel(-4, 0), red);
    EXPECT_EQ(p.pixel(-5, 0), black);
    painter.setPenMode(TransferMode::Copy);
    painter.paintRect(Rect{-3, -5, 13, 11});
    EXPECT_EQ(p.pixel(-4, 0), white);

    // Min tints: each component becomes the smaller of the two.
    p.fill(argbPixel(200, 100, 50));
    painter.setPenPattern(kBlackPattern);
    painter.setPenMode(TransferMode::Min);
    painter.setForeColor(RGBColor{100 * 0x101, 150 * 0x101, 255 * 0x101});
    painter.paintOval(Rect{-3, -5, 13, 11});
    EXPECT_EQ(p.pixel(3, 5), argbPixel(100, 100, 50));
    EXPECT_EQ(p.pixel(-5, -3), argbPixel(200, 100, 50)); // corner outside the oval

    // Inverting twice restores the picture; a clip region limits everything.
    const OffscreenPicture before = p;
    painter.invertRegion(ovalRegion(Rect{0, 0, 9, 9}));
    EXPECT_EQ(p.pixel(4, 4), argbPixel(155, 155, 205));
    painter.invertRegion(ovalRegion(Rect{0, 0, 9, 9}));
    EXPECT_EQ(p, before);
    painter.setClip(Region::fromRect(0, 0, 2, 2));
    painter.eraseRect(Rect{-3, -5, 13, 11});
    EXPECT_EQ(histogram(p)[white], 4u);
    painter.clearClip();
    painter.setPenMode(TransferMode::Copy);
    painter.setForeColor(RGBColor{});
    painter.setPenSize(PenSize{2, 2});
    painter.moveTo(-5, -3);
    painter.lineTo(10, -3);
    EXPECT_EQ(p.pixel(10, -2), black);
    EXPECT_EQ(painter.penLocation(), (Point{-3, 10}));

    // In an 8-bit picture colours become the nearest index, and Min goes through the table.
    OffscreenPicture q = picture(PixelDepth::Indexed8, Rect{0, 0, 4, 4});
    RasterPainter qp(q);
    qp.setForeColor(RGBColor{0xFFFF, 0, 0});
    qp.paintRect(Rect{0, 0, 2, 4});
    EXPECT_EQ(q.color(0, 0), (RGBColor{0xFFFF, 0, 0}));
    qp.setPenMode(TransferMode::Min);
    qp.setForeColor(RGBColor{0, 0, 0xFFFF});
    qp.paintRect(Rect{0, 0, 4, 4});
    EXPECT_EQ(q.color(0, 0), RGBColor{});                     // red tinted blue: black
    EXPECT_EQ(q.color(0, 3), (RGBColor{0, 0, 0xFFFF}));       // white tinted blue: blue
}

TEST(RasterCopy, IndexedCopiesKeepIdsAndScaleByNearestPixel)
{
    const OffscreenPicture src = noisy(PixelDepth::Indexed8, Rect{0, 0, 30, 40}, 1);
    OffscreenPicture big = picture(PixelDepth::Indexed8, Rect{0, 0, 60, 120});
    ASSERT_EQ(copyBits(src, src.bounds(), big, big.bounds(), CopyMode::Dither, ScaleFilter::Smooth), err::noErr);
    for (int v = 0; v < 60; ++v)
        for (int h = 0; h < 120; ++h)
            ASSERT_EQ(big.pixel(h, v), src.pixel(h / 3, v / 2));
    OffscreenPicture back = picture(PixelDepth::Indexed8, Rect{0, 0, 30, 40});
    ASSERT_EQ(copyBits(big, big.bounds(), back, back.bounds()), err::noErr);
    EXPECT_EQ(back, src);

    // Part of the destination rectangle lies outside the picture; only the inside is written.
    OffscreenPicture small = picture(PixelDepth::Indexed8, Rect{0, 0, 10, 10});
    ASSERT_EQ(copyBits(src, Rect{0, 0, 10, 10}, small, Rect{5, 5, 15, 15}), err::noErr);
    EXPECT_EQ(small.pixel(4, 4), 0u);
    EXPECT_EQ(small.pixel(5, 5), src.pixel(0, 0));
    EXPECT_EQ(small.pixel(9, 9), src.pixel(4, 4));
    EXPECT_EQ(copyBits(src, Rect{0, 0, 31, 10}, small, small.bounds()), err::paramErr);
    EXPECT_EQ(copyBits(src, Rect{}, small, small.bounds()), err::paramErr);

    // A picture copied onto itself, overlapping.
    OffscreenPicture self = src;
    ASSERT_EQ(copyBits(self, Rect{0, 0, 30, 39}, self, Rect{0, 1, 30, 40}), err::noErr);
    EXPECT_EQ(self.pixel(1, 0), src.pixel(0, 0));
    EXPECT_EQ(self.pixel(39, 29), src.pixel(38, 29));
}

TEST(RasterCopy, DitheringKeepsTableColoursAndAveragesOthers)
{
    // A 32-bit picture whose colours are all in the table dithers back to the same indices.
    const OffscreenPicture indexed = noisy(PixelDepth::Indexed8, Rect{0, 0, 48, 64}, 4);
    OffscreenPicture direct = picture(PixelDepth::Argb32, indexed.bounds());
    ASSERT_EQ(copyBits(indexed, indexed.bounds(), direct, direct.bounds()), err::noErr);
    EXPECT_EQ(direct.argb(5, 5), indexed.argb(5, 5));
    OffscreenPicture again = picture(PixelDepth::Indexed8, indexed.bounds());
    ASSERT_EQ(copyBits(direct, direct.bounds(), again, again.bounds(), CopyMode::Dither), err::noErr);
    EXPECT_EQ(again, indexed);

    // A flat grey that is not in the table: the exact copy takes one nearest entry, the dither
    // mixes entries whose average is the grey.
    OffscreenPicture grey = picture(PixelDepth::Argb32, Rect{0, 0, 64, 64});
    grey.fill(argbPixel(0x80, 0x80, 0x80));
    OffscreenPicture exact = picture(PixelDepth::Indexed8, grey.bounds());
    ASSERT_EQ(copyBits(grey, grey.bounds(), exact, exact.bounds(), CopyMode::Exact), err::noErr);
    EXPECT_EQ(histogram(exact).size(), 1u);
    OffscreenPicture dithered = picture(PixelDepth::Indexed8, grey.bounds());
    ASSERT_EQ(copyBits(grey, grey.bounds(), dithered, dithered.bounds(), CopyMode::Dither), err::noErr);
    const auto counts = histogram(dithered);
    EXPECT_GE(counts.size(), 2u);
    double sum[3] = {};
    for (const auto& [index, n] : counts) {
        const RGBColor c = dithered.colorTable().color(index);
        sum[0] += (c.red >> 8) * double(n);
        sum[1] += (c.green >> 8) * double(n);
        sum[2] += (c.blue >> 8) * double(n);
    }
    for (double s : sum)
        EXPECT_NEAR(s / (64 * 64), 128.0, 1.5);
}

TEST(RasterCopy, SmoothScalingAveragesAreasAndInterpolates)
{
    OffscreenPicture checker = picture(PixelDepth::Argb32, Rect{0, 0, 32, 32});
    for (int v = 0; v < 32; ++v)
        for (int h = 0; h < 32; ++h)
            checker.setPixel(h, v, (h + v) % 2 ? argbPixel(0, 0, 0) : argbPixel(255, 255, 255));
    OffscreenPicture half = picture(PixelDepth::Argb32, Rect{0, 0, 16, 16});
    ASSERT_EQ(copyBits(checker, checker.bounds(), half, half.bounds(), CopyMode::Exact, ScaleFilter::Smooth), err::noErr);
    for (const auto& [value, n] : histogram(half)) {
        EXPECT_EQ(n, 256u);
        EXPECT_NEAR(double(value & 0xFF), 127.5, 0.6);
        EXPECT_EQ(value >> 24, 0xFFu);
    }
    // Shrinking by a factor that does not divide still averages to the same grey.
    OffscreenPicture odd = picture(PixelDepth::Argb32, Rect{0, 0, 13, 7});
    ASSERT_EQ(copyBits(checker, Rect{0, 0, 30, 30}, odd, odd.bounds(), CopyMode::Exact, ScaleFilter::Smooth), err::noErr);
    for (const auto& [value, n] : histogram(odd))
        EXPECT_NEAR(double(value & 0xFF), 127.5, 20.0);

    // Enlarging a ramp interpolates between neighbours and never overshoots.
    OffscreenPicture ramp = picture(PixelDepth::Argb32, Rect{0, 0, 1, 4});
    for (int h = 0; h < 4; ++h)
        ramp.setPixel(h, 0, argbPixel(std::uint8_t(h * 80), 0, 0));
    OffscreenPicture wide = picture(PixelDepth::Argb32, Rect{0, 0, 1, 16});
    ASSERT_EQ(copyBits(ramp, ramp.bounds(), wide, wide.bounds(), CopyMode::Exact, ScaleFilter::Smooth), err::noErr);
    int previous = -1;
    for (int h = 0; h < 16; ++h) {
        const int red = int((wide.pixel(h, 0) >> 16) & 0xFF);
        EXPECT_GE(red, previous);
        previous = red;
    }
    EXPECT_EQ((wide.pixel(0, 0) >> 16) & 0xFF, 0u);
    EXPECT_EQ((wide.pixel(15, 0) >> 16) & 0xFF, 240u);
    // Pixel 6's centre falls at 6.5 / 4 - 0.5 = 1.125 source pixels: 80 + 0.125 * 80.
    EXPECT_EQ((wide.pixel(6, 0) >> 16) & 0xFF, 90u);

    // A constant picture stays constant through any smooth scale.
    OffscreenPicture flat = picture(PixelDepth::Argb32, Rect{0, 0, 17, 23});
    flat.fill(argbPixel(10, 200, 33));
    OffscreenPicture scaled = picture(PixelDepth::Argb32, Rect{0, 0, 40, 9});
    ASSERT_EQ(copyBits(flat, flat.bounds(), scaled, scaled.bounds(), CopyMode::Exact, ScaleFilter::Smooth), err::noErr);
    EXPECT_EQ(histogram(scaled), (std::map<std::uint32_t, std::uint64_t>{{argbPixel(10, 200, 33), 360}}));
}

TEST(RasterRotate, QuarterTurnsComposeAndPlaceTilesAsStored)
{
    for (PixelDepth depth : {PixelDepth::Indexed8, PixelDepth::Argb32}) {
        const OffscreenPicture src = noisy(depth, Rect{5, -7, 18, 24}, 9);
        OffscreenPicture cw, cw2, ccw, ccw2, half, back;
        ASSERT_EQ(rotatePicture(src, Rotation::Clockwise, cw), err::noErr);
        EXPECT_EQ(cw.bounds(), (Rect{0, 0, 31, 13}));
        ASSERT_EQ(rotatePicture(cw, Rotation::Clockwise, cw2), err::noErr);
        ASSERT_EQ(rotatePicture(src, Rotation::CounterClockwise, ccw), err::noErr);
        ASSERT_EQ(rotatePicture(ccw, Rotation::CounterClockwise, ccw2), err::noErr);
        ASSERT_EQ(rotatePicture(src, Rotation::HalfTurn, half), err::noErr);
        EXPECT_EQ(cw2, half);
        EXPECT_EQ(ccw2, half);
        ASSERT_EQ(rotatePicture(cw, Rotation::CounterClockwise, back), err::noErr);
        OffscreenPicture atOrigin = src;
        atOrigin.setOrigin(0, 0);
        EXPECT_EQ(back, atOrigin);
        // A clockwise turn puts the source's top row in the rightmost column, top to bottom,
        // and its left column in the top row.
        for (int h = 0; h < 31; ++h)
            ASSERT_EQ(cw.pixel(12, h), src.pixel(-7 + h, 5));
        for (int v = 0; v < 13; ++v)
            ASSERT_EQ(cw.pixel(12 - v, 0), src.pixel(-7, 5 + v));
        OffscreenPicture inPlace = src;
        ASSERT_EQ(rotatePicture(inPlace, Rotation::Clockwise, inPlace), err::noErr);
        EXPECT_EQ(inPlace, cw);
    }
    OffscreenPicture none, out;
    EXPECT_EQ(rotatePicture(none, Rotation::Clockwise, out), err::paramErr);
}
