#include "compose_test_scene.h"

#include <gtest/gtest.h>

#include <fstream>

#include "compose/track_samples.h"
#include "compose/vr_atoms.h"
#include "compose/working_copy_conversions.h"
#include "quicktime/codec/codec.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/movie_vr.h"

namespace qm::test {

namespace {

// Generated media are named by the node ID; still images carry their picture's recipe.
constexpr const char* kStillMagic = "QMTESTSTILL";

} // namespace

OffscreenPicture testPicture(int width, int height, int seed)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool block = x > width / 4 && x < width / 2 && y > height / 4 && y < height / 2;
            const std::uint32_t r = block ? 255u : std::uint32_t(x * 255 / std::max(width - 1, 1));
            const std::uint32_t g = std::uint32_t((y * 255 / std::max(height - 1, 1) + seed * 40) & 0xFF);
            const std::uint32_t b = block ? 0u : std::uint32_t((seed * 70) & 0xFF);
            p.setPixel(x, y, 0xFF000000u | (r << 16) | (g << 8) | b);
        }
    return p;
}

void writeTestStill(const std::filesystem::path& file, int width, int height, int seed)
{
    std::ofstream(file) << kStillMagic << ' ' << width << ' ' << height << ' ' << seed;
}

void writeTestLinearMovie(const std::filesystem::path& file, int width, int height, int frames)
{
    std::unique_ptr<Movie> movie;
    ASSERT_EQ(Movie::createFile(file, true, movie), 0);
    movie->setTimeScale(600);
    Track* track = movie->newTrack(Fixed(width) << 16, Fixed(height) << 16, 0);
    ASSERT_TRUE(track);
    ASSERT_TRUE(track->newMedia(videoMediaType, 600));
    for (int i = 0; i < frames; ++i) {
        CompressedImage image;
        ImageCompressionParams params;
        ASSERT_EQ(compressImage(testPicture(width, height, i), params, image), 0);
        image.description.dataSize = std::uint32_t(image.data.size());
        ASSERT_EQ(appendSample(*track, image.data, SampleDescription(image.description.build()), 600, 600 * i), 0);
    }
    ASSERT_EQ(movie->addMovieResource(), 0);
}

ComposeEnvironment TestMedia::environment(const std::filesystem::path& scratch) const
{
    ComposeEnvironment env;
    env.scratchFolder = scratch;
    env.deterministic = true;
    env.threads = 2;
    env.resolveMedia = [byNode = files](const Scene&, const Node& node, std::filesystem::path& out) {
        auto it = byNode.find(node.id);
        if (it == byNode.end())
            return err::fnfErr;
        out = it->second;
        return err::noErr;
    };
    env.readStillImage = [](const std::filesystem::path& file, OffscreenPicture& out) {
        std::ifstream in(file);
        std::string magic;
        int w = 0, h = 0, seed = 0;
        in >> magic >> w >> h >> seed;
        if (magic != kStillMagic)
            return err::codecErr;
        out = testPicture(w, h, seed);
        return err::noErr;
    };
    env.annotationName = "Test scene";
    return env;
}

Node panoramaNodeFor(std::int16_t id, const std::filesystem::path& file, const char* name, Point at)
{
    Node n;
    n.id = id;
    n.kind = NodeKind::kPanorama;
    n.vrVersion = 0x200;
    n.name = name;
    n.mapPosition = at;
    n.mediaReference = {1};
    std::unique_ptr<Movie> movie;
    if (Movie::open(file, MovieOpenMode::read, movie) == 0) {
        if (Track* pano = vrTrack(*movie, vrNodeType::kPanorama)) {
            AtomContainer sample;
            if (readSampleContainer(*pano, sample) == 0) {
                const auto r = PanoramaSampleRecord::fromBytes(
                    sample.data(sample.findChild(AtomContainer::kRoot, vrAtom::kPanoSample)));
                n.mediaData = r;
                n.displayBounds = Rect{0, 0, std::int16_t(r.imageSizeY), std::int16_t(r.imageSizeX)};
            }
        }
    }
    return n;
}

namespace {

Node objectLike(std::int16_t id, OSType kind, int width, int height, const char* name, Point at)
{
    Node n;
    n.id = id;
    n.kind = kind;
    n.name = name;
    n.mapPosition = at;
    n.mediaReference = {1};
    n.movieBounds = n.displayBounds = Rect{0, 0, std::int16_t(height), std::int16_t(width)};
    n.mediaData = objectRecordOf(Node{});
    return n;
}

} // namespace

Node stillNode(std::int16_t id, int width, int height, const char* name, Point at)
{
    return objectLike(id, NodeKind::kStillImage, width, height, name, at);
}

Node movieNode(std::int16_t id, int width, int height, const char* name, Point at)
{
    return objectLike(id, NodeKind::kLinearMovie, width, height, name, at);
}

Node objectNode(std::int16_t id, int width, int height, const char* name, Point at)
{
    Node n = objectLike(id, NodeKind::kObject, width, height, name, at);
    n.vrVersion = 0x200;
    return n;
}

Scene baseScene()
{
    Scene s;
    s.name = "Test";
    s.unitIndex = 2;
    s.scaleFactor = 1;
    s.mapWidth = 20;
    s.mapHeight = 20;
    s.playbackWidth = 320;
    s.playbackHeight = 240;
    s.imaging = ImagingSettings{1, 1, 3, 3, 1, 3};
    for (auto& c : s.compression)
        c = CompressionSettings{false, 0, 32, fourCC("jpeg"), 0, 512};
    return s;
}

} // namespace qm::test
