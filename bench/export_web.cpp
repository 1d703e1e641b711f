// Exporting a web tour of ten 4096 x 1024 panoramas (unrolling, reprojection to the viewer's
// band, JPEG through the codec layer, tour.json, viewer files), against `ffmpeg -c:v mjpeg`
// encoding the same unrolled pixels to ten JPEG files. The counter "vs_ffmpeg" is the export's
// time over ffmpeg's (ffmpeg timed once, from raw BGRA frames in a file, process start included).
// "cpu_vs_ffmpeg" compares the processor time of both (user + system), which a busy machine
// disturbs far less than the elapsed time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "appcore/progress.h"
#include "compose/compose_environment.h"
#include "compose/demo_media.h"
#include "media/node_import.h"
#include "project/scene_defaults.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/panorama_image.h"
#include "web/web_export.h"

namespace fs = std::filesystem;
using namespace qm;

namespace {

constexpr int kPanoramas = 10;
constexpr int kWidth = 4096;
constexpr int kHeight = 1024;

struct Fixture {
    fs::path dir;
    Scene scene;
    double ffmpegSeconds = -1;
    double ffmpegCpuSeconds = -1;

    Fixture()
    {
        dir = fs::temp_directory_path() / ("qm-bench-web-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        scene = makeNewScene();
        scene.name = "Bench";
        scene.projectFile = dir / "bench.qmp";
        std::ofstream raw(dir / "frames.bgra", std::ios::binary);
        for (int i = 0; i < kPanoramas; ++i) {
            const fs::path file = dir / ("pano" + std::to_string(i) + ".mov");
            demo::writePanorama(file, kWidth, kHeight, 16, demo::PlaceStyle{i + 1, i % 2 == 0, i % 3 == 0});
            AddNodeFromFile(scene, Point{std::int16_t(40 + 30 * i), std::int16_t(40 + 20 * i)}, file, false);
            std::unique_ptr<Movie> movie;
            UnrolledPanorama unrolled;
            if (Movie::open(file, MovieOpenMode::read, movie) == 0 && UnrollPanorama(*movie, 0, {}, unrolled) == 0)
                for (int y = 0; y < unrolled.image.height(); ++y)
                    raw.write(reinterpret_cast<const char*>(unrolled.image.row8(y)), std::streamsize(kWidth) * 4);
        }
        raw.close();
        // ffmpeg's MJPEG at the quality the export uses by default (85 %: qscale 4).
        const std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt bgra -s " + std::to_string(kWidth) +
                                    "x" + std::to_string(kHeight) + " -i '" + (dir / "frames.bgra").string() +
                                    "' -c:v mjpeg -q:v 4 -pix_fmt yuvj420p '" + (dir / "ff%02d.jpg").string() + "'";
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) == 0) {
            ffmpegSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            getrusage(RUSAGE_CHILDREN, &after);
            auto secs = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
            ffmpegCpuSeconds = secs(after.ru_utime) + secs(after.ru_stime) - secs(before.ru_utime) - secs(before.ru_stime);
        }
    }
    ~Fixture()
    {
        disposeScene(scene);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void BM_ExportTenPanoramas(benchmark::State& state)
{
    static Fixture f;
    const ComposeEnvironment env = standardComposeEnvironment();
    double seconds = 0, cpu = 0;
    for (auto _ : state) {
        web::WebExportOptions options;
        options.folder = f.dir / "tour";
        options.maxWidth = kWidth;
        NullProgress progress;
        web::WebExportReport report;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        const OSErr e = web::exportWebTour(f.scene, options, env, progress, report);
        cpu += processCpuSeconds() - cpuStart;
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e || report.exportedNodes != kPanoramas)
            state.SkipWithError("export failed");
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(options.folder, ec);
        state.ResumeTiming();
    }
    const double perExport = seconds / double(state.iterations());
    state.counters["export_s"] = perExport;
    state.counters["ffmpeg_mjpeg_s"] = f.ffmpegSeconds;
    if (f.ffmpegSeconds > 0)
        state.counters["vs_ffmpeg"] = perExport / f.ffmpegSeconds;
    const double cpuPerExport = cpu / double(state.iterations());
    state.counters["export_cpu_s"] = cpuPerExport;
    state.counters["ffmpeg_cpu_s"] = f.ffmpegCpuSeconds;
    if (f.ffmpegCpuSeconds > 0)
        state.counters["cpu_vs_ffmpeg"] = cpuPerExport / f.ffmpegCpuSeconds;
}
BENCHMARK(BM_ExportTenPanoramas)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
