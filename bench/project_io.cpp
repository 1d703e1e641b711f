// Opening and saving a large project: 1,000 nodes with 20 hot spots each and 1,000 map objects.
// Goal: well under 100 ms for each of open and save.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "quicktime/files/file_alias.h"

namespace {

namespace fs = std::filesystem;
using namespace qm;

struct LargeProject {
    fs::path folder;
    fs::path file;
    Scene scene;

    LargeProject()
    {
        folder = fs::temp_directory_path() / ("qm-bench-" + std::to_string(std::random_device()()));
        fs::create_directories(folder / "media");
        file = folder / "large.qmp";
        std::ofstream(folder / "media" / "pano.mov") << "media";
        Bytes alias = FileAlias::forFile(folder / "media" / "pano.mov", folder).serialize();

        scene = makeNewScene();
        for (int i = 0; i < 1000; ++i) {
            Node n;
            n.kind = NodeKind::kPanorama;
            n.vrVersion = 0x200;
            n.id = std::int16_t(i + 1);
            n.name = "Node " + std::to_string(i + 1);
            n.comment = "A node of the benchmark scene with a comment of some length.";
            n.mapPosition = {std::int16_t(i % 100 * 10), std::int16_t(i / 100 * 10)};
            n.mediaReference = alias;
            PanoramaSampleRecord p;
            p.majorVersion = 2;
            p.maxPan = 360;
            n.mediaData = p;
            for (int k = 0; k < 20; ++k) {
                HotSpot h;
                h.shape = std::int16_t(2 + k % 5);
                h.id = std::int16_t(k + 1);
                h.bounds = {10, 20, 30, 40};
                h.type = HotSpotType::kLink;
                h.destinationNodeId = std::int16_t((i + 1) % 1000 + 1);
                h.name = "Link " + std::to_string(k);
                if (h.shape == HotSpotShape::kRegion)
                    h.regionData.assign(64, 0x55);
                n.hotSpots.push_back(h);
            }
            scene.nodes.push_back(std::move(n));
        }
        for (int i = 0; i < 1000; ++i) {
            MapObject o;
            o.kind = std::int16_t(2 + i % 7);
            o.bounds = {std::int16_t(i), 0, std::int16_t(i + 10), 50};
            o.drawingValues[0] = 1;
            if (o.kind == MapObjectKind::kText)
                o.text = MapObjectText{0, 0, o.bounds, o.bounds, "Room " + std::to_string(i), {}};
            scene.mapObjects.push_back(std::move(o));
        }
        saveProject(scene, file);
    }
    ~LargeProject()
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

LargeProject& project()
{
    static LargeProject p;
    return p;
}

void BM_SaveProject(benchmark::State& state)
{
    Scene scene = project().scene;
    for (auto _ : state)
        if (saveProject(scene, project().file) != 0)
            state.SkipWithError("save failed");
    state.counters["bytes"] = double(fs::file_size(project().file));
}
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond);

void BM_OpenProject(benchmark::State& state)
{
    for (auto _ : state) {
        Scene scene;
        if (openProject(project().file, scene) != 0)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(scene);
    }
}
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond);

// The same two without the file system: the container alone.
void BM_BuildContainer(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(buildProjectContainer(project().scene));
}
BENCHMARK(BM_BuildContainer)->Unit(benchmark::kMillisecond);

void BM_ReadImageWithoutMedia(benchmark::State& state)
{
    std::ifstream in(project().file, std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ProjectReadOptions options;
    options.resolveMedia = false;
    for (auto _ : state) {
        Scene scene;
        readProjectImage(file, project().file, scene, options);
        benchmark::DoNotOptimize(scene);
    }
}
BENCHMARK(BM_ReadImageWithoutMedia)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
