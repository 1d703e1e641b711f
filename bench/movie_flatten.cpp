// Flattening: copying all samples of one movie into a new file, against copying the same file
// with the system's own copy (what cp does). The ratio counter is flatten speed / copy speed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <filesystem>

#include "quicktime/movie/movie.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

constexpr int kChunks = 256;
constexpr std::size_t kChunkBytes = 1 << 20;

struct BigMovie {
    fs::path dir = fs::temp_directory_path() / "qm-bench-flatten";
    fs::path source = dir / "source.mov";
    BigMovie()
    {
        fs::create_directories(dir);
        std::unique_ptr<Movie> movie;
        Movie::createFile(source, true, movie);
        // Two tracks whose chunks alternate in the file, as in an interleaved movie.
        Track* tracks[2] = {movie->newTrack(640 << 16, 480 << 16, 0), movie->newTrack(640 << 16, 480 << 16, 0)};
        SampleDescription desc = SampleDescription::make(fourCC("jpeg"), Bytes(70, 0));
        for (Track* t : tracks)
            t->newMedia(videoMediaType, 600);
        Bytes frame(kChunkBytes);
        for (int i = 0; i < kChunks; ++i) {
            for (std::size_t b = 0; b < frame.size(); b += 4096)
                frame[b] = std::uint8_t(i + b);
            tracks[i % 2]->media()->addSample(frame, 20, desc);
        }
        for (Track* t : tracks)
            t->insertMedia(0, 0, t->media()->duration());
        movie->addMovieResource();
    }
    ~BigMovie() { fs::remove_all(dir); }
};

const BigMovie& fixture()
{
    static BigMovie f;
    return f;
}

double secondsOf(const std::function<void()>& f)
{
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_FlattenVersusCopy(benchmark::State& state)
{
    const auto& f = fixture();
    std::unique_ptr<Movie> movie;
    if (Movie::open(f.source, MovieOpenMode::read, movie) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    double flattenTime = 0, copyTime = 0;
    std::uint64_t bytes = fs::file_size(f.source);
    for (auto _ : state) {
        flattenTime += secondsOf([&] {
            if (movie->flatten(f.dir / "flat.mov") != 0)
                state.SkipWithError("flatten failed");
        });
        copyTime += secondsOf([&] { fs::copy_file(f.source, f.dir / "copy.mov", fs::copy_options::overwrite_existing); });
    }
    state.counters["flatten_MBps"] = double(bytes) * double(state.iterations()) / flattenTime / 1e6;
    state.counters["copy_MBps"] = double(bytes) * double(state.iterations()) / copyTime / 1e6;
    state.counters["flatten_vs_copy"] = copyTime / flattenTime;
}
BENCHMARK(BM_FlattenVersusCopy)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
