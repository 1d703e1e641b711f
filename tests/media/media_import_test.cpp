// What still images and linear movies make as nodes, and the files an import refuses.
#include <gtest/gtest.h>

#include <fstream>

#include "media/media_analysis.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_types.h"
#include "support/ffprobe_oracle.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

std::string fileNameFor(OSType type, int variant)
{
    std::string ext = test::stillImageExtension(type);
    if (ext.empty())
        ext = type == fourCC("8BPS") ? "psd" : type == fourCC("PNTG") ? "mac" : type == fourCC("qtif") ? "qtif" : "pct";
    return "still" + std::to_string(variant) + "." + ext;
}

struct StillCase {
    OSType type;
    int variant;
};

class StillImageTest : public ::testing::TestWithParam<StillCase> {};

TEST_P(StillImageTest, MakesAOneViewObjectRecordOfTheImageSize)
{
    const StillCase c = GetParam();
    TempDir dir;
    const auto file = dir / fileNameFor(c.type, c.variant);
    if (!test::writeStillImage(file, c.type, 640, 480, c.variant))
        GTEST_SKIP() << "cannot make a '" << fourCCToString(c.type) << "' image here (ffmpeg missing?)";
    OSType detected = 0;
    ASSERT_EQ(getFileType(file, detected), 0);
    ASSERT_TRUE(isStillImageFileType(detected)) << fourCCToString(detected);

    MediaAnalysis a;
    std::string detail;
    ASSERT_EQ(analyzeMediaFile(file, a, &detail), 0) << detail;
    EXPECT_EQ(a.kind, NodeKind::kStillImage);
    EXPECT_EQ(a.vrVersion, 0u);
    const Rect expected = c.type == fourCC("PNTG") ? Rect{0, 0, 720, 576} : Rect{0, 0, 480, 640};
    EXPECT_EQ(a.displayBounds, expected);
    EXPECT_EQ(a.movieBounds, expected);
    const auto& o = std::get<ObjectSampleRecord>(a.mediaData);
    EXPECT_EQ(o.majorVersion, 2);
    EXPECT_EQ(o.movieType, 1);
    EXPECT_EQ(o.viewStateCount, 1);
    EXPECT_EQ(o.defaultViewState, 1);
    EXPECT_EQ(o.mouseDownViewState, 1);
    EXPECT_EQ(o.columns, 1u);
    EXPECT_EQ(o.rows, 1u);
    EXPECT_EQ(o.viewDuration, 600u); // one second of the image movie's time scale
    EXPECT_EQ(o.mouseMotionScale, 180.0f);
    EXPECT_EQ(o.minFieldOfView, 1.0f);
    EXPECT_EQ(o.fieldOfView, 120.0f);
    EXPECT_EQ(o.defaultFieldOfView, 120.0f);
    EXPECT_EQ(o.controlSettings, 0x44u);
    EXPECT_EQ(o.animationSettings, 0u);
    EXPECT_EQ(o.frameRate, 0.0f);
    EXPECT_EQ(a.name, file.filename().string());
}

INSTANTIATE_TEST_SUITE_P(
    Types, StillImageTest,
    ::testing::Values(StillCase{fourCC("JPEG"), 0}, StillCase{fourCC("PNGf"), 0}, StillCase{fourCC("BMPf"), 0},
                      StillCase{fourCC("GIFf"), 0}, StillCase{fourCC("TIFF"), 0}, StillCase{fourCC("SGI "), 0},
                      StillCase{fourCC("TPIC"), 0}, StillCase{fourCC("8BPS"), 0}, StillCase{fourCC("PNTG"), 0},
                      StillCase{fourCC("qtif"), 0}, StillCase{fourCC("PICT"), 0}, StillCase{fourCC("PICT"), 1},
                      StillCase{fourCC("PICT"), 2}),
    [](const ::testing::TestParamInfo<StillCase>& p) {
        std::string name = fourCCToString(p.param.type);
        name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
        return name + std::to_string(p.param.variant);
    });

TEST(LinearMovie, RecordsDurationFirstFrameAndRate)
{
    TempDir dir;
    test::LinearMovieFixture f;
    f.emptyLead = 120;
    f.preferredRate = 0x00018000;
    ASSERT_EQ(test::writeLinearMovie(dir / "clip.mov", f), 0);
    MediaAnalysis a;
    std::string detail;
    ASSERT_EQ(analyzeMediaFile(dir / "clip.mov", a, &detail), 0) << detail;
    EXPECT_EQ(a.kind, NodeKind::kLinearMovie);
    EXPECT_EQ(a.vrVersion, 0u);
    EXPECT_EQ(a.movieDuration, 120 + 5 * 60);
    EXPECT_EQ(a.movieFirstFrameTime, 120);
    EXPECT_EQ(a.displayBounds, (Rect{0, 0, 48, 64}));
    const auto& o = std::get<ObjectSampleRecord>(a.mediaData);
    EXPECT_EQ(o.viewDuration, 420u);
    EXPECT_EQ(o.frameRate, 1.5f);
    EXPECT_EQ(o.animationSettings, 1u);
    EXPECT_EQ(o.controlSettings, 0u);
    EXPECT_EQ(a.name, "clip.mov");
}

TEST(LinearMovie, FirstFrameTimeIsTheFirstFramesDurationAndStoredName)
{
    TempDir dir;
    test::LinearMovieFixture f;
    f.fullName = "A Walk Through the Garden of the Old Observatory, Summer Afternoon Light";
    ASSERT_EQ(test::writeLinearMovie(dir / "clip.mov", f), 0);
    MediaAnalysis a;
    ASSERT_EQ(analyzeMediaFile(dir / "clip.mov", a), 0);
    EXPECT_EQ(a.movieFirstFrameTime, 60);
    EXPECT_EQ(a.name, f.fullName.substr(0, 63));

    // 5 frames a second at time scale 1000: a frame step of 200.
    f.timeScale = 1000;
    f.frameDuration = 200;
    ASSERT_EQ(test::writeLinearMovie(dir / "five.mov", f), 0);
    ASSERT_EQ(analyzeMediaFile(dir / "five.mov", a), 0);
    EXPECT_EQ(a.movieFirstFrameTime, 200);

    // One frame: it steps by the whole movie.
    f.frames = 1;
    f.frameDuration = 700;
    ASSERT_EQ(test::writeLinearMovie(dir / "one.mov", f), 0);
    ASSERT_EQ(analyzeMediaFile(dir / "one.mov", a), 0);
    EXPECT_EQ(a.movieFirstFrameTime, 700);
}

TEST(NodeName, StoredNameElseFileNameCutTo63)
{
    EXPECT_EQ(nodeNameFor("", "/some/where/My Pano.mov"), "My Pano.mov");
    EXPECT_EQ(nodeNameFor("Lobby", "/some/where/My Pano.mov"), "Lobby");
    EXPECT_EQ(nodeNameFor(std::string(300, 'x'), "a.mov").size(), 63u);
    // 8-bit names from Macintosh files become UTF-8 without being split inside a character.
    const NameText n = nodeNameFor("Caf\xE9", "a.mov");
    EXPECT_EQ(n, "Caf\xC3\xA9");
    EXPECT_EQ(nodeNameFor("", std::string(70, 'y') + "\xC3\xA9.mov").size(), 63u);
}

class RefusedFileTest : public ::testing::Test {
protected:
    TempDir dir;
    OSErr analyze(const std::filesystem::path& file)
    {
        MediaAnalysis a;
        return analyzeMediaFile(file, a, &detail);
    }
    std::string detail;
};

TEST_F(RefusedFileTest, FileThatIsNotMedia)
{
    std::ofstream(dir / "notes.txt") << "shopping list: bread, milk\n";
    EXPECT_NE(analyze(dir / "notes.txt"), 0);
    EXPECT_EQ(analyze(dir / "missing.mov"), err::fnfErr);
}

TEST_F(RefusedFileTest, TruncatedMovie)
{
    ASSERT_EQ(test::writePanorama2x(dir / "pano.mov", {}), 0);
    const auto size = std::filesystem::file_size(dir / "pano.mov");
    for (std::uintmax_t keep : {std::uintmax_t(40), size / 3, size - 100}) {
        std::filesystem::copy_file(dir / "pano.mov", dir / "cut.mov", std::filesystem::copy_options::overwrite_existing);
        std::filesystem::resize_file(dir / "cut.mov", keep);
        EXPECT_NE(analyze(dir / "cut.mov"), 0) << "kept " << keep << " bytes";
    }
}

TEST_F(RefusedFileTest, MovieWithoutTracks)
{
    ASSERT_EQ(test::writeMovieWithoutTracks(dir / "empty.mov"), 0);
    EXPECT_EQ(analyze(dir / "empty.mov"), err::invalidMovie);
    ASSERT_EQ(test::writeMovieWithoutTracks(dir / "emptyvr.mov", fourCC("qtvr")), 0);
    EXPECT_EQ(analyze(dir / "emptyvr.mov"), err::invalidMovie);
}

TEST_F(RefusedFileTest, DamagedStillImage)
{
    ASSERT_TRUE(test::writeStillImage(dir / "a.pct", fourCC("PICT"), 64, 48));
    std::filesystem::resize_file(dir / "a.pct", 700);
    EXPECT_EQ(analyze(dir / "a.pct"), err::codecErr);
    std::ofstream(dir / "b.jpg") << "\xFF\xD8\xFF\xE0 not really";
    EXPECT_NE(analyze(dir / "b.jpg"), 0);
}

TEST(Fixtures, MoviesOpenInFfprobe)
{
    QM_REQUIRE_FFPROBE();
    TempDir dir;
    ASSERT_EQ(test::writePanorama2x(dir / "p2.mov", {}), 0);
    ASSERT_EQ(test::writeObject2x(dir / "o2.mov", {}), 0);
    ASSERT_EQ(test::writePanorama1x(dir / "p1.mov", {}), 0);
    ASSERT_EQ(test::writeObject1x(dir / "o1.mov", {}), 0);
    ASSERT_EQ(test::writeLinearMovie(dir / "m.mov", {}), 0);
    for (const char* name : {"p2.mov", "o2.mov", "p1.mov", "o1.mov", "m.mov"}) {
        const test::ProbeResult r = test::probeMovie(dir / name);
        EXPECT_EQ(r.exitStatus, 0) << name << ": " << r.errors;
        EXPECT_FALSE(r.streams.empty()) << name;
    }
}

} // namespace
} // namespace qm
