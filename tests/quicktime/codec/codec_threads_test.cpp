#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

#include <thread>

#include "quicktime/codec/codec_test_pictures.h"

using namespace qm;

// Tiles of one panorama compressed on several threads at once give the bytes that compressing
// them one after another gives: the calls share no state.
TEST(CodecThreads, ParallelCompressionMatchesSerial)
{
    const OffscreenPicture pano = test::naturalPicture(4 * 48, 64);
    const OffscreenPicture hotSpots = test::hotSpotPicture(4 * 48, 64);
    constexpr int tiles = 4;
    const OSType types[] = {codecType::photoJpeg, codecType::cinepak, codecType::graphics, codecType::roadPizza};

    auto compressTile = [&](OSType type, int tile, CompressedImage& out) {
        ImageCompressionParams p;
        p.codecType = type;
        const Rect r{0, std::int16_t(tile * 48), 64, std::int16_t(tile * 48 + 48)};
        return compressImage(type == codecType::graphics ? hotSpots : pano, r, p, out);
    };

    std::vector<CompressedImage> serial(std::size(types) * tiles), parallel(serial.size());
    for (std::size_t t = 0; t < std::size(types); ++t)
        for (int i = 0; i < tiles; ++i)
            ASSERT_EQ(compressTile(types[t], i, serial[t * tiles + std::size_t(i)]), err::noErr);

    std::vector<OSErr> results(serial.size(), err::noErr);
    std::vector<std::thread> threads;
    for (int round = 0; round < 3; ++round) {
        threads.clear();
        for (std::size_t k = 0; k < serial.size(); ++k)
            threads.emplace_back([&, k] { results[k] = compressTile(types[k / tiles], int(k % tiles), parallel[k]); });
        for (auto& th : threads)
            th.join();
        for (std::size_t k = 0; k < serial.size(); ++k) {
            EXPECT_EQ(results[k], err::noErr);
            EXPECT_EQ(parallel[k].data, serial[k].data) << fourCCToString(types[k / tiles]) << " tile " << k % tiles;
        }
    }
}
