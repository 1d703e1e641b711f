// Reading the movie atom of a movie with 100,000 samples in two interleaved video tracks (one
// chunk per sample, sizes varying), from a file and from memory.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "quicktime/movie/movie.h"

using namespace qm;

namespace {

constexpr int kSamples = 100000;

struct ManySamples {
    std::filesystem::path path;
    Bytes file;
    ManySamples()
    {
        auto movie = Movie::create();
        Track* tracks[2] = {movie->newTrack(320 << 16, 240 << 16, 0), movie->newTrack(320 << 16, 240 << 16, 0)};
        SampleDescription desc = SampleDescription::make(fourCC("jpeg"), Bytes(70, 0));
        for (Track* t : tracks)
            t->newMedia(videoMediaType, 600);
        for (int i = 0; i < kSamples; ++i) {
            Bytes frame(std::size_t(8 + i % 13), std::uint8_t(i));
            tracks[i % 2]->media()->addSample(frame, 20, desc, 1, i % 24 ? mediaSampleNotSync : 0);
        }
        for (Track* t : tracks)
            t->insertMedia(0, 0, t->media()->duration());
        movie->flattenToMemory(file);
        path = std::filesystem::temp_directory_path() / "qm-bench-parse.mov";
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    ~ManySamples() { std::filesystem::remove(path); }
};

const ManySamples& fixture()
{
    static ManySamples f;
    return f;
}

void BM_OpenMovieFile100kSamples(benchmark::State& state)
{
    const auto& f = fixture();
    for (auto _ : state) {
        std::unique_ptr<Movie> movie;
        if (Movie::open(f.path, MovieOpenMode::read, movie) != 0 || movie->track(1)->media()->sampleCount() != kSamples / 2)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(movie);
    }
    state.counters["samples"] = kSamples;
}
BENCHMARK(BM_OpenMovieFile100kSamples)->Unit(benchmark::kMillisecond);

void BM_OpenMovieMemory100kSamples(benchmark::State& state)
{
    const auto& f = fixture();
    for (auto _ : state) {
        std::unique_ptr<Movie> movie;
        if (Movie::openMemory(f.file, movie) != 0)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(movie);
    }
}
BENCHMARK(BM_OpenMovieMemory100kSamples)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
