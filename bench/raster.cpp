// Hot spot painting, dithering, scaling and rotation at the sizes the composer and the hot spot
// editor meet: a 2592 x 314 panorama hot spot image, a 1024 x 768 picture shown in 8 bits, a
// 4096-pixel panorama cut down to the 1536-pixel editing width, and one rotated strip.
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "quicktime/raster/raster_copy.h"
#include "quicktime/raster/raster_painter.h"
#include "quicktime/raster/raster_shapes.h"

namespace {

using namespace qm;

struct HotSpotShape {
    int shape; // 2 region, 3 square, 4 rectangle, 5 circle, 6 oval
    Rect bounds;
    Region region;
};

// 40 hot spots spread along a 2592 x 314 unrolled panorama, the last one across the seam.
std::vector<HotSpotShape> makeHotSpots()
{
    std::vector<HotSpotShape> spots;
    std::mt19937 rng(42);
    for (int i = 0; i < 40; ++i) {
        const int shape = 2 + i % 5;
        const int w = 30 + int(rng() % 150), h = shape == 3 || shape == 5 ? w : 20 + int(rng() % 150);
        const int left = i == 39 ? 2592 - w / 2 : int(rng() % (2592 - w)), top = int(rng() % (314 - std::min(h, 300)));
        const Rect bounds = makeRect(top, left, top + std::min(h, 314 - top), left + w);
        Region region;
        if (shape == 2) {
            std::vector<Point> points;
            for (int k = 0; k < 12; ++k)
                points.push_back(Point{std::int16_t(bounds.top + rng() % std::max(1, bounds.height())),
                                       std::int16_t(bounds.left + rng() % std::max(1, bounds.width()))});
            points.push_back(points.front());
            region = polygonRegion(points);
        }
        spots.push_back({shape, bounds, region});
    }
    return spots;
}

void paintHotSpot(RasterPainter& painter, const HotSpotShape& s, int wrap)
{
    for (int pass = 0; pass < (wrap ? 2 : 1); ++pass) {
        const int dh = pass * wrap;
        const Rect r = offsetRect(s.bounds, dh, 0);
        switch (s.shape) {
        case 2:
            painter.paintRegion(s.region.offset(dh, 0));
            painter.frameRegion(s.region.offset(dh, 0));
            break;
        case 3:
        case 4:
            painter.paintRect(r);
            painter.frameRect(r);
            break;
        default:
            painter.paintOval(r);
            painter.frameOval(r);
        }
    }
}

void BM_PaintHotSpotImage(benchmark::State& state)
{
    const auto spots = makeHotSpots();
    OffscreenPicture image;
    if (image.allocate(PixelDepth::Indexed8, Rect{0, 0, 314, 2592}))
        state.SkipWithError("allocation failed");
    for (auto _ : state) {
        RasterPainter painter(image);
        painter.eraseRect(image.bounds());
        for (std::size_t i = 0; i < spots.size(); ++i) {
            painter.setForeValue(std::uint32_t(i + 1));
            // Shapes are painted again one unrolled width to the left so that one crossing the
            // seam shows at both ends.
            paintHotSpot(painter, spots[i], -2592);
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(spots.size()));
}
BENCHMARK(BM_PaintHotSpotImage)->Unit(benchmark::kMillisecond);

OffscreenPicture photo(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width));
    std::mt19937 rng(7);
    for (int v = 0; v < height; ++v) {
        std::uint32_t* row = p.row32(v);
        for (int h = 0; h < width; ++h) {
            const int noise = int(rng() % 24) - 12;
            auto c = [&](int x) { return std::uint8_t(std::clamp(x + noise, 0, 255)); };
            row[h] = argbPixel(c(h * 255 / width), c(v * 255 / height), c(128 + (h - v) / 8));
        }
    }
    return p;
}

void BM_DitherTo8Bit(benchmark::State& state)
{
    const OffscreenPicture src = photo(1024, 768);
    OffscreenPicture dst;
    dst.allocate(PixelDepth::Indexed8, src.bounds());
    for (auto _ : state) {
        copyBits(src, src.bounds(), dst, dst.bounds(), CopyMode::Dither);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 768);
}
BENCHMARK(BM_DitherTo8Bit)->Unit(benchmark::kMillisecond);

void BM_SmoothShrinkPanorama(benchmark::State& state)
{
    const OffscreenPicture src = photo(4096, 768);
    OffscreenPicture dst;
    dst.allocate(PixelDepth::Argb32, Rect{0, 0, 288, 1536});
    for (auto _ : state) {
        copyBits(src, src.bounds(), dst, dst.bounds(), CopyMode::Exact, ScaleFilter::Smooth);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(BM_SmoothShrinkPanorama)->Unit(benchmark::kMillisecond);

void BM_RotateHotSpotStrip(benchmark::State& state)
{
    OffscreenPicture strip, rotated;
    strip.allocate(PixelDepth::Indexed8, Rect{0, 0, 314, 108});
    for (auto _ : state) {
        rotatePicture(strip, Rotation::CounterClockwise, rotated);
        benchmark::DoNotOptimize(rotated.data());
    }
}
BENCHMARK(BM_RotateHotSpotStrip)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
