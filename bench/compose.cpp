// Composing scenes: the demo scene and ten real-sized panoramas without recompression (as a
// ratio to copying the same media bytes), the same with recompression to Photo-JPEG on every
// core, and the peak memory of composing panoramas 8,192 pixels wide.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "appcore/progress.h"
#include "compose/composed_movie.h"
#include "compose/composer.h"
#include "compose/demo_media.h"
#include "compose/tile_compressor.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"

using namespace qm;

namespace {

struct BenchScene {
    std::filesystem::path dir;
    Scene scene;
    std::map<std::int16_t, std::filesystem::path> files;
    std::uintmax_t mediaBytes = 0;

    ~BenchScene()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Node panoramaNode(std::int16_t id, const std::filesystem::path& file, Point at)
{
    Node n;
    n.id = id;
    n.kind = NodeKind::kPanorama;
    n.vrVersion = 0x200;
    n.name = "Place " + std::to_string(id);
    n.mapPosition = at;
    n.mediaReference = {1};
    std::unique_ptr<Movie> movie;
    if (Movie::open(file, MovieOpenMode::read, movie) == 0)
        if (Track* pano = vrTrack(*movie, vrNodeType::kPanorama)) {
            AtomContainer sample;
            if (readSampleContainer(*pano, sample) == 0) {
                const auto r = PanoramaSampleRecord::fromBytes(
                    sample.data(sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample)));
                n.mediaData = r;
                n.displayBounds = Rect{0, 0, std::int16_t(r.imageSizeY), std::int16_t(r.imageSizeX)};
            }
        }
    return n;
}

// count panoramas of width x height in `tiles` tiles, each with two hot spots when asked.
void makePanoramaScene(BenchScene& b, int count, int width, int height, int tiles, bool hotSpots = true)
{
    b.dir = std::filesystem::temp_directory_path() / ("qm-bench-" + std::to_string(::getpid()) + "-" + std::to_string(count) +
                                                     "-" + std::to_string(width));
    std::filesystem::create_directories(b.dir);
    b.scene.name = "Bench";
    b.scene.playbackWidth = 320;
    b.scene.playbackHeight = 240;
    b.scene.imaging = ImagingSettings{1, 1, 3, 3, 1, 3};
    for (int i = 1; i <= count; ++i) {
        const auto file = b.dir / ("pano" + std::to_string(i) + ".mov");
        demo::writePanorama(file, width, height, tiles, demo::PlaceStyle{i, i % 2 == 1, i % 3 == 0});
        b.mediaBytes += std::filesystem::file_size(file);
        Node n = panoramaNode(std::int16_t(i), file, Point{std::int16_t(72 * i), 72});
        if (hotSpots) {
            n.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kRectangle, .id = 1, .bounds = {50, 100, 200, 400}});
            n.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kOval, .id = 2,
                                         .bounds = {100, std::int16_t(width - 100), 300, std::int16_t(width + 100)}});
        }
        b.scene.nodes.push_back(std::move(n));
        b.files[std::int16_t(i)] = file;
    }
}

ComposeEnvironment environment(const BenchScene& b)
{
    ComposeEnvironment env;
    env.scratchFolder = b.dir;
    env.deterministic = true;
    // QM_BENCH_THREADS=n: compose on n threads instead of one per core.
    if (const char* t = std::getenv("QM_BENCH_THREADS"))
        env.threads = unsigned(std::atoi(t));
    env.resolveMedia = [files = b.files](const Scene&, const Node& n, std::filesystem::path& out) {
        out = files.at(n.id);
        return OSErr(0);
    };
    return env;
}

double copySeconds(const BenchScene& b)
{
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [id, file] : b.files) {
        auto copy = file;
        copy += ".copy";
        std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(copy);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void runCompose(benchmark::State& state, BenchScene& b, bool recompress)
{
    for (auto& c : b.scene.compression)
        c = CompressionSettings{recompress, 0, 32, fourCC("jpeg"), 0, 512};
    const ComposeEnvironment env = environment(b);
    double composeTotal = 0;
    double copyTotal = 0;
    for (auto _ : state) {
        WorkingCopies copies;
        NullProgress progress;
        const auto start = std::chrono::steady_clock::now();
        const OSErr e = composeScene(b.scene, copies, env, progress);
        composeTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e) {
            state.SkipWithError("compose failed");
            break;
        }
        copies.discardAll();
        copyTotal += copySeconds(b);
    }
    clearComposedMovie(b.scene);
    state.counters["media_MB"] = double(b.mediaBytes) / 1e6;
    state.counters["ratio_to_cp"] = copyTotal > 0 ? composeTotal / copyTotal : 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_ComposeTenPanoramas(benchmark::State& state)
{
    BenchScene b;
    makePanoramaScene(b, 10, 4096, 1024, 16, state.range(1) != 0);
    runCompose(state, b, state.range(0) != 0);
}
// Arguments: recompression to Photo-JPEG, hot spots drawn into every node.
BENCHMARK(BM_ComposeTenPanoramas)->Args({0, 0})->Args({0, 1})->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The same ten panoramas with and without two hot spots each, composed in one run: the cost of
// hot spots as a ratio (goal: within 3). Cold: every iteration starts without the hot spot tiles
// earlier composes left for sharing, as a user's first compose does; the goal is judged on it.
// Warm: the same scene composed again straight after, its tiles already known.
void BM_ComposeHotSpotCost(benchmark::State& state)
{
    BenchScene with;
    BenchScene without;
    makePanoramaScene(with, 10, 4096, 1024, 16, true);
    makePanoramaScene(without, 10, 4096, 1024, 16, false);
    without.dir += "-plain";
    std::filesystem::create_directories(without.dir);
    for (auto& [id, file] : without.files) {
        const auto moved = without.dir / file.filename();
        std::filesystem::copy_file(file, moved, std::filesystem::copy_options::overwrite_existing);
        file = moved;
    }
    // Wall-clock and process CPU seconds (all threads) of each kind of compose.
    struct Cost {
        double wall = 0;
        double cpu = 0;
    };
    Cost withCost, warmCost, withoutCost;
    const auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    };
    const auto compose = [&](BenchScene& b, Cost& total) {
        WorkingCopies copies;
        NullProgress progress;
        const double cpu = cpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const OSErr e = composeScene(b.scene, copies, environment(b), progress);
        total.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total.cpu += cpuSeconds() - cpu;
        copies.discardAll();
        clearComposedMovie(b.scene);
        return e;
    };
    for (auto _ : state) {
        forgetSharedHotSpotTiles();
        if (compose(without, withoutCost) || compose(with, withCost) || compose(with, warmCost)) {
            state.SkipWithError("compose failed");
            return;
        }
    }
    const double n = double(state.iterations());
    state.counters["without_ms"] = withoutCost.wall * 1e3 / n;
    state.counters["cold_ms"] = withCost.wall * 1e3 / n;
    state.counters["warm_ms"] = warmCost.wall * 1e3 / n;
    state.counters["hot_spot_ratio"] = withoutCost.wall > 0 ? withCost.wall / withoutCost.wall : 0;
    state.counters["warm_ratio"] = withoutCost.wall > 0 ? warmCost.wall / withoutCost.wall : 0;
    // The same ratios in CPU time: steadier than wall-clock time on a busy machine.
    state.counters["cpu_ratio"] = withoutCost.cpu > 0 ? withCost.cpu / withoutCost.cpu : 0;
    state.counters["warm_cpu_ratio"] = withoutCost.cpu > 0 ? warmCost.cpu / withoutCost.cpu : 0;
}
BENCHMARK(BM_ComposeHotSpotCost)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Seventeen nodes made from the real cylindrical panoramas of the samples folder, each linked to
// the next by a hot spot and the last to the first, against `cat` of their media into one file
// (goal: within 10).
void BM_ComposeRealPanoramaRing(benchmark::State& state)
{
    const std::filesystem::path samples = QM_SAMPLES_DIR;
    const std::filesystem::path sources[] = {samples / "wyk_pano_8.mov", samples / "osu_facilities-panorama-sm.mov"};
    for (const auto& f : sources)
        if (!std::filesystem::exists(f)) {
            state.SkipWithError("real samples not available");
            return;
        }
    constexpr int kNodes = 17;
    BenchScene b;
    b.dir = std::filesystem::temp_directory_path() / ("qm-bench-ring-" + std::to_string(::getpid()));
    std::filesystem::create_directories(b.dir);
    b.scene.name = "Ring";
    b.scene.playbackWidth = 320;
    b.scene.playbackHeight = 240;
    b.scene.imaging = ImagingSettings{1, 1, 3, 3, 1, 3};
    for (int i = 1; i <= kNodes; ++i) {
        const auto file = b.dir / ("node" + std::to_string(i) + ".mov");
        std::filesystem::copy_file(sources[i % 2], file, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
        b.mediaBytes += std::filesystem::file_size(file);
        Node n = panoramaNode(std::int16_t(i), file, Point{std::int16_t(40 * i), 72});
        HotSpot link;
        link.id = 1;
        link.shape = HotSpotShape::kRectangle;
        link.type = HotSpotType::kLink;
        link.destinationNodeId = std::int16_t(i % kNodes + 1);
        link.bounds = Rect{40, 200, 120, 320};
        n.hotSpots.push_back(link);
        b.scene.nodes.push_back(std::move(n));
        b.files[std::int16_t(i)] = file;
    }
    const ComposeEnvironment env = environment(b);
    double composeSeconds = 0;
    double catSeconds = 0;
    for (auto _ : state) {
        forgetSharedHotSpotTiles(); // every compose cold
        WorkingCopies copies;
        NullProgress progress;
        auto start = std::chrono::steady_clock::now();
        const OSErr e = composeScene(b.scene, copies, env, progress);
        composeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e) {
            state.SkipWithError("compose failed");
            return;
        }
        copies.discardAll();
        clearComposedMovie(b.scene);
        std::string command = "cat";
        for (const auto& [id, file] : b.files)
            command += " '" + file.string() + "'";
        command += " > '" + (b.dir / "cat.out").string() + "'";
        start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cat failed");
            return;
        }
        catSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["media_MB"] = double(b.mediaBytes) / 1e6;
    state.counters["compose_ms"] = composeSeconds * 1e3 / double(state.iterations());
    state.counters["cat_ms"] = catSeconds * 1e3 / double(state.iterations());
    state.counters["ratio_to_cat"] = catSeconds > 0 ? composeSeconds / catSeconds : 0;
}
BENCHMARK(BM_ComposeRealPanoramaRing)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_ComposeDemoLikeScene(benchmark::State& state)
{
    BenchScene b;
    makePanoramaScene(b, 3, 2048, 512, 8);
    runCompose(state, b, false);
}
BENCHMARK(BM_ComposeDemoLikeScene)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Run alone (--benchmark_filter=Wide) for a meaningful peak memory figure.
void BM_ComposeWidePanoramas(benchmark::State& state)
{
    BenchScene b;
    makePanoramaScene(b, 2, 8192, 2048, 24);
    runCompose(state, b, state.range(0) != 0);
}
BENCHMARK(BM_ComposeWidePanoramas)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
