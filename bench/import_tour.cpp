// Importing a tour: twenty 4096 x 1024 panoramas (16 Photo-JPEG tiles each, linked in a ring,
// two drawn hot spots each) composed once, then opened as a scene with import-tour. The time is
// reported against copying the tour file, with and without the hot spots (tracing them is the
// part of the work beyond copying).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/demo_media.h"
#include "compose/scene_map_edit.h"
#include "compose/tour_import.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copies.h"
#include "project/scene_defaults.h"
#include "quicktime/movie/movie.h"

using namespace qm;

namespace {

constexpr int kNodes = 20;

struct BenchTour {
    std::filesystem::path dir;
    std::filesystem::path tour;
    ~BenchTour()
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

bool makeTour(BenchTour& b)
{
    b.dir = std::filesystem::temp_directory_path() / ("qm-bench-tour-" + std::to_string(::getpid()));
    std::filesystem::create_directories(b.dir);
    Scene scene = makeNewScene();
    scene.name = "Bench tour";
    scene.mapWidth = 400;
    scene.mapHeight = 400;
    for (auto& c : scene.compression)
        c.enabled = false;
    std::map<std::int16_t, std::filesystem::path> files;
    for (int i = 1; i <= kNodes; ++i) {
        const auto file = b.dir / ("pano" + std::to_string(i) + ".mov");
        if (demo::writePanorama(file, 4096, 1024, 16, demo::PlaceStyle{i, i % 2 == 1, i % 3 == 0}))
            return false;
        Node n = panoramaNode(std::int16_t(i), file, Point{std::int16_t(72 + 144 * (i / 5)), std::int16_t(72 + 144 * (i % 5))});
        n.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kRectangle, .id = 200, .bounds = {50, 100, 200, 400},
                                     .type = HotSpotType::kUrl, .url = "http://example.org/"});
        n.hotSpots.push_back(HotSpot{.shape = HotSpotShape::kOval, .id = 201, .bounds = {100, 3996, 300, 4196},
                                     .type = HotSpotType::kMisc});
        n.initial = i == 1;
        scene.nodes.push_back(std::move(n));
        files[std::int16_t(i)] = file;
    }
    for (int i = 1; i <= kNodes; ++i)
        if (createLink(scene, std::int16_t(i), std::int16_t(i % kNodes + 1), {}))
            return false;
    ComposeEnvironment env;
    env.scratchFolder = b.dir;
    env.deterministic = true;
    env.resolveMedia = [files](const Scene&, const Node& n, std::filesystem::path& out) {
        out = files.at(n.id);
        return OSErr(0);
    };
    WorkingCopies copies;
    NullProgress progress;
    if (composeScene(scene, copies, env, progress))
        return false;
    b.tour = b.dir / "tour.mov";
    std::filesystem::rename(scene.composedMovieFile, b.tour);
    scene.composedMovieFile.clear();
    copies.discardAll();
    return true;
}

void BM_ImportTwentyNodeTour(benchmark::State& state)
{
    BenchTour b;
    if (!makeTour(b)) {
        state.SkipWithError("could not make the tour");
        return;
    }
    TourImportOptions options;
    options.keepHotSpots = state.range(0) != 0;
    double importTotal = 0;
    double copyTotal = 0;
    int run = 0;
    for (auto _ : state) {
        const auto project = b.dir / ("imported" + std::to_string(run++) + ".qmp");
        Scene scene;
        NullProgress progress;
        const auto start = std::chrono::steady_clock::now();
        const OSErr e = importTour(b.tour, project, options, progress, scene);
        importTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e) {
            state.SkipWithError("import failed");
            break;
        }
        state.PauseTiming();
        std::filesystem::remove(project);
        std::filesystem::remove_all(tourNodeFolder(project));
        const auto copy = b.dir / "copy.mov";
        const auto copyStart = std::chrono::steady_clock::now();
        std::filesystem::copy_file(b.tour, copy, std::filesystem::copy_options::overwrite_existing);
        copyTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count();
        std::filesystem::remove(copy);
        state.ResumeTiming();
    }
    state.counters["tour_MB"] = double(std::filesystem::file_size(b.tour)) / 1e6;
    state.counters["copy_ms"] = run ? copyTotal / run * 1000.0 : 0;
    state.counters["ratio_to_cp"] = copyTotal > 0 ? importTotal / copyTotal : 0;
}
// Argument: keep (trace) the hot spots.
BENCHMARK(BM_ImportTwentyNodeTour)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
