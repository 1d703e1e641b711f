#include "quicktime/base/errors.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"

#include <gtest/gtest.h>

#include "raster_test_grid.h"

using namespace qm;

namespace {

Bytes words(std::initializer_list<int> values)
{
    ByteWriter w;
    for (int v : values)
        w.i16(std::int16_t(v));
    return w.take();
}

Bytes bytesOf(const Region& r)
{
    Bytes out;
    EXPECT_EQ(writeRegion(r, out), err::noErr);
    return out;
}

} // namespace

TEST(RasterRegionBytes, WritesTheClassicInversionPointForm)
{
    // A 6 x 5 block with a 2-pixel hole in row 2 (columns 2 and 3). Row 0 switches on columns
    // 0..5 (inversions at 0 and 6); row 2 toggles the hole's edges 2 and 4 and row 3 toggles them
    // back; row 5 switches everything off: 10 header bytes, 4 lines of 4 words, the final mark.
    const Region r = Region::fromRect(0, 0, 5, 6).subtracted(Region::fromRect(2, 2, 3, 4));
    const Bytes expected = words({44, 0, 0, 5, 6,             //
                                  0, 0, 6, 0x7FFF,            //
                                  2, 2, 4, 0x7FFF,            //
                                  3, 2, 4, 0x7FFF,            //
                                  5, 0, 6, 0x7FFF, 0x7FFF});
    EXPECT_EQ(bytesOf(r), expected);
    Region back;
    ASSERT_EQ(readRegion(expected, back), err::noErr);
    EXPECT_EQ(back, r);

    EXPECT_EQ(bytesOf(Region::fromRect(-3, 4, 10, 12)), words({10, -3, 4, 10, 12}));
    EXPECT_EQ(bytesOf(Region()), words({10, 0, 0, 0, 0}));
    ASSERT_EQ(readRegion(words({10, 7, 7, 7, 9}), back), err::noErr); // an empty box is the empty region
    EXPECT_TRUE(back.isEmpty());
}

TEST(RasterRegionBytes, RoundTripsShapesAndDisjointParts)
{
    const Point star[] = {{0, 50}, {95, 20}, {35, 100}, {35, 0}, {95, 80}};
    std::vector<Region> shapes = {
        ovalRegion(Rect{95, 95, 105, 105}),
        ovalRegion(Rect{-40, -300, 200, 17}),
        polygonRegion(star),
        frameOvalRegion(Rect{0, 0, 64, 48}, PenSize{3, 2}),
        Region::fromRect(0, 0, 4, 4).united(Region::fromRect(10, 10, 12, 30)), // a gap between bands
        arcRegion(Rect{-20, -20, 20, 20}, 30, 200),
    };
    std::mt19937 rng(5);
    for (int i = 0; i < 100; ++i)
        shapes.push_back(qm::test::randomRegion(rng).offset(-20, 7));
    for (const Region& r : shapes) {
        const Bytes b = bytesOf(r);
        EXPECT_EQ(loadBE16(b.data()), b.size());
        Region back;
        ASSERT_EQ(readRegion(b, back), err::noErr);
        EXPECT_EQ(back, r);
        EXPECT_EQ(back.bounds(), r.bounds());
        Bytes padded = b; // a handle larger than the region: the tail is not part of it
        padded.insert(padded.end(), {1, 2, 3});
        ASSERT_EQ(readRegion(padded, back), err::noErr);
        EXPECT_EQ(back, r);
    }
}

TEST(RasterRegionBytes, DamagedRecordsGiveAnErrorAndLeaveTheRegionAlone)
{
    const Bytes good = bytesOf(Region::fromRect(0, 0, 5, 6).subtracted(Region::fromRect(2, 2, 3, 4)));
    const std::vector<std::pair<const char*, Bytes>> bad = {
        {"shorter than a header", words({10, 0, 0})},
        {"size below 10", words({8, 0, 0, 5, 6})},
        {"size beyond the data", Bytes(good.begin(), good.end() - 2)},
        {"no final mark", words({42, 0, 0, 5, 6, 0, 0, 6, 0x7FFF, 2, 2, 4, 0x7FFF, 3, 2, 4, 0x7FFF, 5, 0, 6, 0x7FFF})},
        {"odd inversions", words({32, 0, 0, 5, 6, 0, 0, 3, 6, 0x7FFF, 5, 0, 3, 6, 0x7FFF, 0x7FFF})},
        {"rows going back", words({36, 0, 0, 5, 6, 3, 0, 6, 0x7FFF, 2, 2, 4, 0x7FFF, 5, 2, 4, 0x7FFF, 0x7FFF})},
        {"columns out of order", words({28, 0, 0, 5, 6, 0, 6, 0, 0x7FFF, 5, 0, 6, 0x7FFF, 0x7FFF})},
        {"left open at the end", words({28, 0, 0, 5, 6, 0, 0, 6, 0x7FFF, 2, 2, 4, 0x7FFF, 0x7FFF})},
        {"box does not match", words({28, 0, 0, 5, 7, 0, 0, 6, 0x7FFF, 5, 0, 6, 0x7FFF, 0x7FFF})},
        {"no pixels but a box", words({20, 0, 0, 5, 6, 0, 0x7FFF, 1, 0x7FFF, 0x7FFF})},
        {"bytes left before the size", words({30, 0, 0, 5, 6, 0, 0, 6, 0x7FFF, 5, 0, 6, 0x7FFF, 0x7FFF, 0})},
    };
    for (const auto& [what, bytes] : bad) {
        Region r = Region::fromRect(1, 1, 2, 2);
        EXPECT_EQ(readRegion(bytes, r), err::paramErr) << what;
        EXPECT_EQ(r, Region::fromRect(1, 1, 2, 2)) << what;
    }

    // Random damage never crashes; whatever is accepted is a sound region.
    std::mt19937 rng(11);
    const Bytes base = bytesOf(polygonRegion(std::vector<Point>{{0, 50}, {95, 20}, {35, 100}, {35, 0}, {95, 80}}));
    for (int i = 0; i < 3000; ++i) {
        Bytes b = base;
        for (int k = 0; k < 1 + i % 3; ++k)
            b[rng() % b.size()] = std::uint8_t(rng());
        Region r;
        if (readRegion(b, r) == err::noErr) {
            Region again;
            ASSERT_EQ(readRegion(bytesOf(r), again), err::noErr);
            EXPECT_EQ(again, r);
        }
    }
}

TEST(RasterRegionBytes, RegionsThatCannotBeStoredAreRefused)
{
    // Random noise of 256 x 256 pixels: each row toggles about 128 columns against the row
    // above, far beyond the 65535 bytes a size field holds.
    std::mt19937 rng(21);
    RegionBuilder builder;
    for (int v = 0; v < 256; ++v) {
        std::vector<std::int32_t> runs;
        for (int h = 0; h < 256; ++h)
            if (rng() & 1)
                runs.insert(runs.end(), {h, h + 1});
        builder.addRuns(v, v + 1, runs);
    }
    const Region noise = builder.finish();
    Bytes out = {9};
    EXPECT_EQ(writeRegion(noise, out), err::rgnTooBigErr);
    EXPECT_EQ(out, Bytes{9});

    EXPECT_EQ(writeRegion(Region::fromRect(0, 0, 10, 10).offset(40000, 0), out), err::paramErr);
    // The right edge 32767 would read as the end-of-line mark.
    const Region atEdge = Region::fromRect(0, 32700, 4, 32767).united(Region::fromRect(4, 32700, 8, 32710));
    EXPECT_EQ(writeRegion(atEdge, out), err::paramErr);
    EXPECT_EQ(writeRegion(Region::fromRect(0, 32700, 4, 32767), out), err::noErr); // a plain rectangle is fine
}
