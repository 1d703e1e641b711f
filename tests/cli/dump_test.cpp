// quillmere-cli dump: atom tree and track summary of movies, the movie inside a project file,
// and clean failures for files that are not movies.
#include <gtest/gtest.h>

#include <fstream>

#include "quicktime/base/byte_io.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;
namespace fs = std::filesystem;

namespace {

int dump(const fs::path& file, std::string& out)
{
    out.clear();
    return runCommand("'" + cliPath().string() + "' dump '" + file.string() + "' 2>&1", &out);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A movie with a QTVR track referring to a video track of two 4 x 2 raw frames.
std::unique_ptr<Movie> smallQtvrMovie()
{
    auto movie = Movie::create();
    movie->setTimeScale(3600);
    SetControllerType(movie.get(), fourCC("qtvr"));
    Track* q = movie->newTrack(320 << 16, 240 << 16, 0);
    Track* v = movie->newTrack(4 << 16, 2 << 16, 0);
    v->setEnabled(false);
    Media* qm = q->newMedia(fourCC("qtvr"), 3600);
    Media* vm = v->newMedia(videoMediaType, 600);
    q->addReference(*v, fourCC("imgt"));
    qm->addSample(Bytes{1, 2, 3}, 3600, SampleDescription::make(fourCC("qtvr"), {}));
    q->insertMedia(0, 0, 3600);
    ByteWriter d;
    d.zeros(16);
    d.u16(4);
    d.u16(2);
    d.zeros(46);
    d.i16(24);
    d.i16(-1);
    for (int i = 0; i < 2; ++i)
        vm->addSample(Bytes(24, std::uint8_t(i)), 300, SampleDescription::make(fourCC("raw "), d.data()));
    v->insertMedia(0, 0, 600);
    return movie;
}

} // namespace

TEST(CliDump, ShowsTheAtomTreeAndEveryTrack)
{
    TempDir tmp;
    ASSERT_EQ(smallQtvrMovie()->flatten(tmp / "small.mov"), 0);
    std::string out;
    ASSERT_EQ(dump(tmp / "small.mov", out), 0) << out;
    EXPECT_TRUE(contains(out, "'moov' @0 size")) << out;
    EXPECT_TRUE(contains(out, "      'stsd' @")) << out;
    EXPECT_TRUE(contains(out, "controller type 'qtvr'")) << out;
    EXPECT_TRUE(contains(out, "Track 1 (ID 1): handler 'qtvr', enabled, size 320x240")) << out;
    EXPECT_TRUE(contains(out, "references 'imgt': 2")) << out;
    EXPECT_TRUE(contains(out, "Track 2 (ID 2): handler 'vide', disabled")) << out;
    EXPECT_TRUE(contains(out, "2 samples in 1 chunks")) << out;
    EXPECT_TRUE(contains(out, "format 'raw ', 86 bytes, 4x2, depth 24")) << out;
}

TEST(CliDump, ShowsTheComposedMovieOfAProjectFile)
{
    TempDir tmp;
    fs::path project = tmp / "scene.qmp";
    FlattenResult where;
    ASSERT_EQ(smallQtvrMovie()->flatten(project, {}, &where), 0);
    ByteWriter tail;
    std::uint64_t containerAt = fs::file_size(project);
    tail.zeros(32);   // stands for the project's atom container
    tail.type(fourCC("QLMx"));
    tail.type(fourCC("OFFS"));
    tail.u32(std::uint32_t(containerAt));
    tail.u32(32);
    tail.u32(std::uint32_t(where.movieAtomOffset));
    tail.zeros(128);
    {
        std::ofstream f(project, std::ios::binary | std::ios::app);
        f.write(reinterpret_cast<const char*>(tail.data().data()), std::streamsize(tail.size()));
    }
    std::string out;
    ASSERT_EQ(dump(project, out), 0) << out;
    EXPECT_TRUE(contains(out, "Project: container at " + std::to_string(containerAt) + ", 32 bytes")) << out;
    EXPECT_TRUE(contains(out, "Track 2 (ID 2): handler 'vide'")) << out;

    // A project without a composed movie.
    Bytes bare(32, 0);
    ByteWriter t2;
    t2.type(fourCC("QLMx"));
    t2.type(fourCC("OFFS"));
    t2.u32(0);
    t2.u32(32);
    t2.u32(0xFFFFFFFF);
    t2.zeros(128);
    bare.insert(bare.end(), t2.data().begin(), t2.data().end());
    std::ofstream(tmp / "empty.qmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bare.data()), std::streamsize(bare.size()));
    ASSERT_EQ(dump(tmp / "empty.qmp", out), 0) << out;
    EXPECT_TRUE(contains(out, "no composed movie")) << out;
}

TEST(CliDump, RealSampleShowsItsQtvrStructure)
{
    fs::path file = samplesDir() / "wyk_pano_8.mov";
    QM_REQUIRE_SAMPLE(file);
    std::string out;
    ASSERT_EQ(dump(file, out), 0) << out;
    EXPECT_TRUE(contains(out, "references 'hott': 4")) << out;
    EXPECT_TRUE(contains(out, "format 'smc ', 2142 bytes, 392x232, depth 8")) << out;
    EXPECT_TRUE(contains(out, "12 samples in 4 chunks")) << out;
}

TEST(CliDump, FailsCleanlyOnFilesThatAreNotMovies)
{
    TempDir tmp;
    std::ofstream(tmp / "text.mov") << "this is not a movie at all";
    std::string out;
    EXPECT_EQ(dump(tmp / "text.mov", out), 1);
    EXPECT_TRUE(contains(out, "quillmere-cli: cannot read")) << out;
    EXPECT_EQ(dump(tmp / "missing.mov", out), 1);
    EXPECT_TRUE(contains(out, "error -43")) << out;
    EXPECT_EQ(runCommand("'" + cliPath().string() + "' dump 2>/dev/null"), 2);
}
