#include <gtest/gtest.h>

#include <fstream>

#include "compose/composer.h"
#include "project/project_format.h"
#include "project/project_reader.h"
#include "quicktime/movie/movie.h"
#include "support/ffprobe_oracle.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

int cli(const std::string& args, std::string* out = nullptr)
{
    std::string text;
    const int status = test::runCommand(quote(test::cliPath()) + " " + args + " 2>&1", &text);
    if (out)
        *out = text;
    return status;
}

Bytes fileBytes(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Scene readProject(const std::filesystem::path& file)
{
    Scene s;
    ProjectReadOptions options;
    options.extractComposedMovie = false;
    EXPECT_EQ(openProject(file, s, options), 0);
    return s;
}

// The demo scene is made once for the whole suite.
class ComposeCli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new test::TempDir;
        std::string out;
        ASSERT_EQ(cli("demo " + quote(s_dir->path()), &out), 0) << out;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::filesystem::path project() { return s_dir->path() / "Demo.qmp"; }
    static test::TempDir* s_dir;
};
test::TempDir* ComposeCli::s_dir = nullptr;

} // namespace

TEST_F(ComposeCli, DemoWritesAProjectAndAMovieThatFfprobeReads)
{
    const Scene scene = readProject(project());
    ASSERT_EQ(scene.nodes.size(), 5u);
    EXPECT_FALSE(scene.mapObjects.empty());
    EXPECT_NE(scene.composedAt, 0u) << "the demo project holds its composed movie";
    int panoramas = 0;
    for (const Node& n : scene.nodes)
        panoramas += n.kind == NodeKind::kPanorama;
    EXPECT_EQ(panoramas, 3);
    QM_REQUIRE_FFPROBE();
    const auto probe = test::probeMovie(s_dir->path() / "Demo.mov");
    EXPECT_EQ(probe.exitStatus, 0);
    EXPECT_EQ(probe.errors, "");
    EXPECT_EQ(probe.streams.size(), 7u);
}

TEST_F(ComposeCli, DeterministicComposeWritesTheSameBytesTwice)
{
    const auto a = s_dir->path() / "a.mov";
    const auto b = s_dir->path() / "b.mov";
    std::string out;
    ASSERT_EQ(cli("compose " + quote(project()) + " -o " + quote(a) + " --deterministic", &out), 0) << out;
    ASSERT_EQ(cli("compose " + quote(project()) + " -o " + quote(b) + " --deterministic", &out), 0) << out;
    EXPECT_EQ(fileBytes(a), fileBytes(b));
    EXPECT_GT(fileBytes(a).size(), 10000u);
}

TEST_F(ComposeCli, SceneEditsLinkMoveAndDelete)
{
    test::TempDir dir;
    const auto copy = dir / "Edit.qmp";
    std::filesystem::copy_file(project(), copy);
    std::filesystem::create_directory_symlink(s_dir->path() / "Media", dir / "Media");

    std::string out;
    Scene before = readProject(copy);
    const auto& sculpture = before.nodes[3];
    const auto& plan = before.nodes[4];
    const std::string s = std::to_string(sculpture.id);
    const std::string p = std::to_string(plan.id);
    ASSERT_EQ(cli("scene link " + quote(copy) + " " + s + " " + p + " --both", &out), 0) << out;
    EXPECT_NE(out.find("linked " + s + " -> " + p), std::string::npos) << out;
    ASSERT_EQ(cli("scene link " + quote(copy) + " " + s + " " + p, &out), 0) << out;
    EXPECT_NE(out.find("already linked"), std::string::npos) << out;
    Scene linked = readProject(copy);
    EXPECT_EQ(linked.nodes[3].hotSpots.size(), sculpture.hotSpots.size() + 1);

    ASSERT_EQ(cli("scene move " + quote(copy) + " " + s + " 200 300", &out), 0) << out;
    Scene moved = readProject(copy);
    EXPECT_NE(moved.nodes[3].mapPosition, sculpture.mapPosition);
    EXPECT_EQ(moved.composedAt, 0u) << "moving a node makes the composed movie stale";

    ASSERT_EQ(cli("scene delete " + quote(copy) + " " + p, &out), 0) << out;
    Scene deleted = readProject(copy);
    ASSERT_EQ(deleted.nodes.size(), 4u);
    for (const Node& n : deleted.nodes)
        for (const HotSpot& h : n.hotSpots)
            EXPECT_NE(h.destinationNodeId, plan.id) << "links to the deleted node are gone";

    EXPECT_EQ(cli("scene delete " + quote(copy) + " 999", &out), 1);
    EXPECT_EQ(cli("scene link " + quote(copy) + " " + s + " " + s, &out), 1);
    EXPECT_EQ(cli("scene frobnicate " + quote(copy), &out), 2);
}

TEST_F(ComposeCli, ComposeWithSaveStoresTheMovieAndMissingMediaIsRefused)
{
    test::TempDir dir;
    const auto copy = dir / "Save.qmp";
    std::filesystem::copy_file(project(), copy);
    std::filesystem::copy(s_dir->path() / "Media", dir / "Media");
    std::string out;
    ASSERT_EQ(cli("compose " + quote(copy) + " -o " + quote(dir / "out.mov") + " --save", &out), 0) << out;
    EXPECT_NE(readProject(copy).composedAt, 0u);

    std::filesystem::remove(dir / "Media" / "Old Wood.mov");
    EXPECT_EQ(cli("compose " + quote(copy) + " -o " + quote(dir / "none.mov"), &out), 1);
    EXPECT_NE(out.find("Generic Node"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(dir / "none.mov"));
}

namespace {

// Every sample of every track, in track and sample order.
std::vector<Bytes> allSamples(const Movie& movie)
{
    std::vector<Bytes> samples;
    for (int t = 1; t <= movie.trackCount(); ++t) {
        const Media* media = movie.track(t)->media();
        if (!media)
            continue;
        for (std::uint32_t i = 0; i < media->sampleCount(); ++i) {
            Bytes b;
            EXPECT_EQ(media->readSample(i, b), 0) << "track " << t << " sample " << i;
            samples.push_back(std::move(b));
        }
    }
    return samples;
}

} // namespace

TEST_F(ComposeCli, AProjectSavedWithItsMovieReopensWithTheSameSamplesInAScratchFile)
{
    test::TempDir dir;
    const auto copy = dir / "Stored.qmp";
    std::filesystem::copy_file(project(), copy);
    std::filesystem::copy(s_dir->path() / "Media", dir / "Media");
    std::string out;
    ASSERT_EQ(cli("compose " + quote(copy) + " -o " + quote(dir / "out.mov") + " --save", &out), 0) << out;

    // The movie is stored from offset 0: the movie inside the project reads the same samples.
    std::unique_ptr<Movie> original, stored, reopened;
    ASSERT_EQ(Movie::open(dir / "out.mov", MovieOpenMode::read, original), 0);
    const auto expected = allSamples(*original);
    ASSERT_GT(expected.size(), 5u);
    const Bytes file = fileBytes(copy);
    ASSERT_GE(file.size(), project::kTrailerSize);
    project::Trailer trailer;
    ASSERT_EQ(project::parseTrailer(std::span(file).last<project::kTrailerSize>(), trailer), 0);
    ASSERT_EQ(Movie::openAt(copy, trailer.movieOffset, stored), 0);
    EXPECT_EQ(allSamples(*stored), expected);

    // Opening the project copies the movie into a new scratch file with the same samples.
    Scene s;
    ProjectReadOptions options;
    options.scratchFile = [&](std::filesystem::path& p) {
        p = dir / "scratch.mov";
        return OSErr(0);
    };
    ASSERT_EQ(openProject(copy, s, options), 0);
    ASSERT_EQ(s.composedMovieFile, dir / "scratch.mov");
    ASSERT_EQ(Movie::open(s.composedMovieFile, MovieOpenMode::read, reopened), 0);
    EXPECT_EQ(allSamples(*reopened), expected);
    disposeScene(s);
    EXPECT_FALSE(std::filesystem::exists(dir / "scratch.mov"));
}
