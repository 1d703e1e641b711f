// Panorama hot spot tiles made the quick way (only the part hot spots reach painted, then turned)
// must hold exactly the pixels of painting the whole tile and turning it; and sharing tile
// encodings must never hand one picture the bytes of another.
#include <gtest/gtest.h>

#include <random>

#include "compose/hot_spot_painter.h"
#include "compose/tile_compressor.h"
#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/raster/raster_shapes.h"
#include "quicktime/raster/region_bytes.h"

using namespace qm;

namespace {

bool samePixels(const OffscreenPicture& a, const OffscreenPicture& b)
{
    if (a.bounds() != b.bounds())
        return false;
    for (int v = a.bounds().top; v < a.bounds().bottom; ++v)
        if (!std::equal(a.row8(v), a.row8(v) + a.width(), b.row8(v)))
            return false;
    return true;
}

// A full-circle panorama node 1000 x 200 (unrolled) with hot spots of every shape at random,
// some across the seam and past the image's edges.
Node randomNode(std::mt19937& random)
{
    Node node;
    node.kind = NodeKind::kPanorama;
    PanoramaSampleRecord record;
    record.minPan = 0.0f;
    record.maxPan = 360.0f;
    node.mediaData = record;
    node.displayBounds = Rect{0, 0, 1000, 200}; // a quarter turned: its height is the width
    const int count = 1 + int(random() % 5);
    for (int i = 0; i < count; ++i) {
        HotSpot h;
        h.id = std::int16_t(1 + random() % 254);
        const int top = int(random() % 220) - 10, left = int(random() % 1100) - 50;
        h.bounds = makeRect(top, left, top + 1 + int(random() % 120), left + 1 + int(random() % 300));
        switch (random() % 4) {
        case 0: h.shape = HotSpotShape::kRectangle; break;
        case 1: h.shape = HotSpotShape::kOval; break;
        case 2: h.shape = HotSpotShape::kCircle; break;
        default: {
            h.shape = HotSpotShape::kRegion;
            Bytes outline;
            EXPECT_EQ(writeRegion(ovalRegion(h.bounds), outline), 0);
            h.regionData = outline;
        }
        }
        node.hotSpots.push_back(h);
    }
    return node;
}

} // namespace

TEST(HotSpotTiles, PaintingOnlyTheReachedPartThenTurningGivesTheWholeTileTurned)
{
    std::mt19937 random(11);
    const Rect image = makeRect(0, 0, 200, 1000);
    for (int round = 0; round < 40; ++round) {
        const Node node = randomNode(random);
        // Hot spot image the same size as the image or half of it (bounds mapped).
        const Rect hotImage = round % 2 ? image : makeRect(0, 0, 100, 500);
        const HotSpotGeometry geometry{image, hotImage, hotSpotWrapDistance(node)};
        const std::vector<PaintedShape> shapes = hotSpotShapes(node, 0, 0, geometry);
        const int stripWidth = hotImage.width() / 8;
        for (int strip = 0; strip < 8; ++strip)
            for (int j = 0; j < 2; ++j) {
                const int tileLength = hotImage.height() / 2;
                const Rect tile = makeRect(j * tileLength, strip * stripWidth, (j + 1) * tileLength, (strip + 1) * stripWidth);
                OffscreenPicture whole, expected;
                ASSERT_EQ(paintHotSpots(node, 0, 0, geometry, tile, whole), 0);
                ASSERT_EQ(rotatePicture(whole, Rotation::CounterClockwise, expected), 0);

                Rect reach;
                for (const PaintedShape& s : shapes)
                    if (Rect part = sectRect(s.shape.bounds(), tile); !part.empty())
                        reach = reach.empty() ? part : unionRect(reach, part);
                OffscreenPicture part, turned;
                if (reach.empty()) {
                    EXPECT_TRUE(whole.isAllZero());
                    continue;
                }
                ASSERT_EQ(paintHotSpotShapes(shapes, reach, part), 0);
                ASSERT_EQ(turnHotSpotTile(part, tile, turned), 0);
                ASSERT_TRUE(samePixels(turned, expected)) << "round " << round << " strip " << strip << " tile " << j;
            }
    }
}

TEST(HotSpotTiles, SharedEncodingsAreKeptApartBySizeLayoutPartAndPixels)
{
    forgetSharedHotSpotTiles();
    int encodes = 0;
    const auto share = [&](int width, int height, int layout, Rect content, Bytes pixels, std::uint8_t mark) {
        EncodedImage out;
        EXPECT_EQ(compressSharedHotSpotTile(SharedTileKey{width, height, layout, content, std::move(pixels)},
                                            [&](EncodedImage& e) {
                                                ++encodes;
                                                e.data = {mark};
                                                return OSErr(0);
                                            },
                                            out),
                  0);
        return out.data.empty() ? -1 : int(out.data[0]);
    };
    const Rect part = makeRect(0, 0, 2, 2);
    EXPECT_EQ(share(8, 8, 1, part, {1, 2, 3, 4}, 10), 10);
    EXPECT_EQ(share(8, 8, 1, part, {1, 2, 3, 4}, 11), 10); // the same picture: kept bytes
    EXPECT_EQ(share(8, 4, 1, part, {1, 2, 3, 4}, 12), 12);
    EXPECT_EQ(share(8, 8, 0, part, {1, 2, 3, 4}, 13), 13);
    EXPECT_EQ(share(8, 8, 1, offsetRect(part, 1, 0), {1, 2, 3, 4}, 14), 14);
    EXPECT_EQ(share(8, 8, 1, part, {1, 2, 3, 5}, 15), 15);
    EXPECT_EQ(encodes, 5);
    forgetSharedHotSpotTiles();
    EXPECT_EQ(share(8, 8, 1, part, {1, 2, 3, 4}, 16), 16); // forgotten
}
