// Linear movies of today's cameras and encoders (H.264 with frames stored out of display order)
// composed with "Recompress Movies" on.
#include <gtest/gtest.h>

#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose_test_scene.h"
#include "media/node_import.h"
#include "quicktime/codec/codec.h"
#include "quicktime/movie/movie.h"
#include "support/test_paths.h"

using namespace qm;
using namespace qm::test;

namespace {

bool hasEncoder(const std::string& name)
{
    std::string out;
    return runCommand("ffmpeg -hide_banner -encoders 2>/dev/null", &out) == 0 && out.find(" " + name + " ") != std::string::npos;
}

// The mean of one colour component over a picture.
double meanRed(const OffscreenPicture& p)
{
    double sum = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            sum += (p.pixel(x, y) >> 16) & 0xFF;
    return sum / (double(p.width()) * p.height());
}

class H264Movie : public testing::TestWithParam<const char*> {};

} // namespace

TEST_P(H264Movie, RecompressedFramesComeOutInDisplayOrder)
{
    if (!hasEncoder("libx264"))
        GTEST_SKIP() << "ffmpeg has no libx264 encoder";
    TempDir dir;
    const auto file = dir / (std::string("clip.") + GetParam());
    // Ten frames at 5 per second, B-frames on, each frame a flat grey that brightens with time,
    // so that a frame shown at the wrong place is seen.
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                                "\"color=c=black:size=64x48:rate=5:duration=2,geq=lum='20+10*N':cb=128:cr=128\" "
                                "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p \"" + file.string() + "\"";
    ASSERT_EQ(runCommand(command), 0) << command;

    Scene scene = baseScene();
    std::int16_t id = 0;
    std::string detail;
    ASSERT_EQ(AddNodeFromFile(scene, Point{100, 100}, file, false, {}, &id, &detail), 0) << detail;
    ASSERT_EQ(scene.nodes.back().kind, NodeKind::kLinearMovie);
    scene.compression[kMovieCompression] = CompressionSettings{true, 0, 32, fourCC("jpeg"), 0, 1023};
    TestMedia media;
    media.files[id] = file;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    Track* object = vrTrack(*movie, vrNodeType::kObject);
    ASSERT_TRUE(object);
    Track* image = object->reference(vrAtom::kImageTrackRef, 1);
    ASSERT_TRUE(image);
    // Every frame the track shows: all ten, over the clip's two seconds.
    const auto frames = shownSamples(*image);
    EXPECT_EQ(frames.size(), 10u);
    EXPECT_EQ(image->duration(), 2 * movie->timeScale());
    double previous = -1;
    for (const ShownSample& frame : frames) {
        MediaSample m;
        ASSERT_EQ(image->media()->getSample(frame.mediaTime, m), 0);
        EXPECT_EQ(m.description.format(), fourCC("jpeg"));
        ImageDescription d;
        ASSERT_EQ(ImageDescription::parse(m.description.bytes(), d), 0);
        OffscreenPicture p;
        ASSERT_EQ(decompressImage(d, m.data, PixelDepth::Argb32, p), 0);
        const double level = meanRed(p);
        EXPECT_GT(level, previous + 4) << "frame at " << frame.trackTime << " is out of order";
        previous = level;
    }
}

TEST_P(H264Movie, CopiedMovieKeepsItsLastFrames)
{
    if (!hasEncoder("libx264"))
        GTEST_SKIP() << "ffmpeg has no libx264 encoder";
    TempDir dir;
    const auto file = dir / (std::string("clip.") + GetParam());
    // Two seconds at 5 frames per second with B-frames: the file's edit starts at the first
    // frame's display time, so the edit ends after the last decode time.
    const std::string command = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                                "\"testsrc=size=64x48:rate=5:duration=2\" "
                                "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p \"" + file.string() + "\"";
    ASSERT_EQ(runCommand(command), 0) << command;

    Scene scene = baseScene();
    std::int16_t id = 0;
    std::string detail;
    ASSERT_EQ(AddNodeFromFile(scene, Point{100, 100}, file, false, {}, &id, &detail), 0) << detail;
    TestMedia media;
    media.files[id] = file;
    WorkingCopies copies;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, media.environment(dir.path()), progress), 0);

    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::open(scene.composedMovieFile, MovieOpenMode::read, movie), 0);
    Track* object = vrTrack(*movie, vrNodeType::kObject);
    ASSERT_TRUE(object);
    Track* image = object->reference(vrAtom::kImageTrackRef, 1);
    ASSERT_TRUE(image && image->media());
    // All ten frames are there and the track shows two seconds of them.
    EXPECT_EQ(image->media()->sampleCount(), 10u);
    EXPECT_EQ(image->duration(), 2 * movie->timeScale());
}

INSTANTIATE_TEST_SUITE_P(MovAndMp4, H264Movie, testing::Values("mov", "mp4"));
