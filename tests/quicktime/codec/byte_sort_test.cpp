// The process's qsort (byte_sort.cpp): short runs of single bytes take a fast path that must
// sort exactly as any correct sort does, and FFmpeg's Graphics encoder, which sorts every block
// with it, must keep its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "quicktime/codec/codec.h"
#include "quicktime/raster/offscreen_picture.h"

using namespace qm;

namespace {

int ascending(const void* a, const void* b)
{
    return int(*static_cast<const unsigned char*>(a)) - int(*static_cast<const unsigned char*>(b));
}

int descending(const void* a, const void* b) { return ascending(b, a); }

// Orders by the high nibble only: different bytes compare equal, so the order among them is the
// library's; the result must still be ordered and a permutation of the input.
int highNibble(const void* a, const void* b)
{
    return int(*static_cast<const unsigned char*>(a) >> 4) - int(*static_cast<const unsigned char*>(b) >> 4);
}

int ascendingInt(const void* a, const void* b)
{
    const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return (x > y) - (x < y);
}

} // namespace

TEST(ByteSort, ShortByteRunsSortAsAnyCorrectSortAndOthersStillSort)
{
    // Sorted in place in a fixed buffer: an empty vector's data() may be null, which qsort's
    // declaration does not allow even for a count of 0.
    const auto sorted = [](const std::vector<unsigned char>& bytes, int (*compare)(const void*, const void*)) {
        unsigned char buffer[80];
        std::copy(bytes.begin(), bytes.end(), buffer);
        std::qsort(buffer, bytes.size(), 1, compare);
        return std::vector<unsigned char>(buffer, buffer + bytes.size());
    };
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        const std::size_t count = std::size_t(random() % 80); // across the fast path's limit
        const int colours = 1 + int(random() % 6);             // blocks have few colours
        std::vector<unsigned char> bytes(count);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random() % unsigned(colours) * 37);
        auto expected = bytes;
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(sorted(bytes, ascending), expected) << count;

        std::reverse(expected.begin(), expected.end());
        ASSERT_EQ(sorted(bytes, descending), expected) << count;

        const auto coarse = sorted(bytes, highNibble);
        ASSERT_TRUE(std::is_sorted(coarse.begin(), coarse.end(), [](unsigned char a, unsigned char b) { return (a >> 4) < (b >> 4); }));
        ASSERT_TRUE(std::is_permutation(coarse.begin(), coarse.end(), bytes.begin()));
    }
    std::vector<int> wide{5, -3, 9, 0, 5, 1};
    std::qsort(wide.data(), wide.size(), sizeof(int), ascendingInt);
    EXPECT_EQ(wide, (std::vector<int>{-3, 0, 1, 5, 5, 9}));
}

TEST(ByteSort, GraphicsTilesKeepTheirBytes)
{
    // A mostly blank 8-bit tile with flat shapes, a noisy corner (blocks of many colours) and a
    // width that is not a whole number of blocks, as the composer's hot spot tiles are.
    OffscreenPicture picture;
    ASSERT_EQ(picture.allocate(PixelDepth::Indexed8, Rect{0, 0, 61, 203}), 0);
    std::mt19937 random(3);
    for (int v = 0; v < 61; ++v)
        for (int h = 0; h < 203; ++h) {
            std::uint8_t value = 0;
            if (h > 20 && h < 90 && v > 10 && v < 40)
                value = 3;
            if ((h - 150) * (h - 150) + (v - 30) * (v - 30) < 300)
                value = 7;
            if (h < 12 && v < 12)
                value = std::uint8_t(random() % 20);
            picture.row8(v)[h] = value;
        }
    ImageCompressionParams params;
    params.codecType = codecType::graphics;
    params.depth = 8;
    params.spatialQuality = codecQuality::lossless;
    CompressedImage compressed;
    ASSERT_EQ(compressImage(picture, params, compressed), 0);
    // Recorded with the C library's own qsort.
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : compressed.data)
        h = (h ^ b) * 0x100000001b3ull;
    EXPECT_EQ(compressed.data.size(), 410u);
    EXPECT_EQ(h, 0xdea28293ddca82c4ull) << std::hex << "0x" << h;
    OffscreenPicture decoded;
    ASSERT_EQ(decompressImage(compressed.description, compressed.data, PixelDepth::Indexed8, decoded), 0);
    for (int v = 0; v < 61; ++v)
        ASSERT_TRUE(std::equal(picture.row8(v), picture.row8(v) + 203, decoded.row8(v))) << v;
}
