// Player views while turning: 1280 x 720 views of a 4096 x 768 cylindrical panorama, the pan
// moving on every frame, on one core. Frames per second = items_per_second.
#include <benchmark/benchmark.h>

#include <cmath>

#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/panorama_view.h"

namespace {

qm::OffscreenPicture& panorama()
{
    static qm::OffscreenPicture p = [] {
        qm::OffscreenPicture pic;
        pic.allocate(qm::PixelDepth::Argb32, qm::makeRect(0, 0, 768, 4096));
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 4096; ++x)
                pic.row32(y)[x] = 0xFF000000u | std::uint32_t((x * 7) & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 |
                                  std::uint32_t((x ^ y) & 0xFF);
        return pic;
    }();
    return p;
}

void turning(benchmark::State& state, qm::ImagingQuality quality)
{
    const qm::OffscreenPicture& source = panorama();
    qm::PanoramaGeometry g;
    const float half = float(std::atan(M_PI * 768 / 4096) * 180 / M_PI);
    g.minTilt = -half;
    g.maxTilt = half;
    qm::OffscreenPicture view;
    float pan = 0;
    for (auto _ : state) {
        pan = std::fmod(pan + 1.7f, 360.0f);
        qm::renderPanoramaView(source, g, qm::PanoramaViewAngles{pan, 5.0f, 2 * half * 0.8f}, 1280, 720, quality, view);
        benchmark::DoNotOptimize(view.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TurningNearest(benchmark::State& s) { turning(s, qm::ImagingQuality::Nearest); }
void BM_TurningBilinear(benchmark::State& s) { turning(s, qm::ImagingQuality::Bilinear); }

} // namespace

BENCHMARK(BM_TurningNearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurningBilinear)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
