// Compressing and decompressing 1024x768 pictures with each codec.
#include <benchmark/benchmark.h>

#include <cmath>

#include "quicktime/codec/codec.h"

using namespace qm;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// A picture of smooth gradients and hard-edged blocks.
const OffscreenPicture& photo()
{
    static const OffscreenPicture p = [] {
        OffscreenPicture q;
        q.allocate(PixelDepth::Argb32, Rect{0, 0, kHeight, kWidth});
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const auto r = std::uint32_t(255.0 * x / kWidth);
                const auto g = std::uint32_t(128 + 100 * std::sin(x * 0.02) * std::cos(y * 0.03));
                const auto b = std::uint32_t(((x / 64 + y / 48) % 2) ? 200 : 40);
                q.setPixel(x, y, argbPixel(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)));
            }
        return q;
    }();
    return p;
}

// A hot spot image: a few large regions of IDs on a zero background.
const OffscreenPicture& hotSpots()
{
    static const OffscreenPicture p = [] {
        OffscreenPicture q;
        q.allocate(PixelDepth::Indexed8, Rect{0, 0, kHeight, kWidth});
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double dx = x - 300, dy = y - 400;
                std::uint8_t id = 0;
                if (dx * dx + dy * dy < 150 * 150)
                    id = 12;
                if (x > 600 && x < 900 && y > 100 && y < 300)
                    id = 250;
                q.row8(y)[x] = id;
            }
        return q;
    }();
    return p;
}

void compress(benchmark::State& state, OSType type, std::int16_t depth, const OffscreenPicture& (*picture)())
{
    const OffscreenPicture& src = picture();
    ImageCompressionParams p;
    p.codecType = type;
    p.depth = depth;
    p.spatialQuality = codecQuality::normal;
    CompressedImage c;
    for (auto _ : state) {
        if (compressImage(src, p, c) != 0)
            state.SkipWithError("compression failed");
        benchmark::DoNotOptimize(c.data.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["bytes"] = double(c.data.size());
}

void decompress(benchmark::State& state, OSType type, std::int16_t depth, const OffscreenPicture& (*picture)())
{
    ImageCompressionParams p;
    p.codecType = type;
    p.depth = depth;
    CompressedImage c;
    if (compressImage(picture(), p, c) != 0) {
        state.SkipWithError("compression failed");
        return;
    }
    OffscreenPicture out;
    for (auto _ : state) {
        if (decompressImage(c.description, c.data, PixelDepth::Argb32, out) != 0)
            state.SkipWithError("decompression failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

} // namespace

BENCHMARK_CAPTURE(compress, jpeg, codecType::photoJpeg, std::int16_t(0), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, cvid, codecType::cinepak, std::int16_t(0), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, smc_from_32bit, codecType::graphics, std::int16_t(8), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, smc_hot_spots, codecType::graphics, std::int16_t(8), hotSpots)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, rle24, codecType::animation, std::int16_t(24), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, rle8_hot_spots, codecType::animation, std::int16_t(8), hotSpots)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, rpza, codecType::roadPizza, std::int16_t(0), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, raw24, codecType::raw, std::int16_t(24), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compress, png24, codecType::png, std::int16_t(24), photo)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(decompress, jpeg, codecType::photoJpeg, std::int16_t(0), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decompress, cvid, codecType::cinepak, std::int16_t(0), photo)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(decompress, smc_hot_spots, codecType::graphics, std::int16_t(8), hotSpots)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
