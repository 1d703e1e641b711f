#pragma once
// Scenes for composer tests: real panoramas from the samples folder and generated object,
// still-image and linear-movie media.
#include <filesystem>
#include <map>

#include "compose/compose_environment.h"
#include "project/scene.h"

namespace qm::test {

// Media files by node ID stand in for resolved aliases; generated still pictures by path.
struct TestMedia {
    std::map<std::int16_t, std::filesystem::path> files;
    ComposeEnvironment environment(const std::filesystem::path& scratch) const;
};

// A picture with a gradient and a block, so that decoded frames can be compared.
PixelBuffer testPicture(int width, int height, int seed);
// Writes a still image file (the test reader decodes it back into testPicture).
void writeTestStill(const std::filesystem::path& file, int width, int height, int seed);
// A linear movie: frames Photo-JPEG frames of width x height, each 600 units at scale 600.
void writeTestLinearMovie(const std::filesystem::path& file, int width, int height, int frames);

Node panoramaNodeFor(std::int16_t id, const std::filesystem::path& file, const char* name, Point at);
Node stillNode(std::int16_t id, int width, int height, const char* name, Point at);
Node movieNode(std::int16_t id, int width, int height, const char* name, Point at);
// An object node whose media is a 2.x object movie made from a still image.
Node objectNode(std::int16_t id, int width, int height, const char* name, Point at);

Scene baseScene();

} // namespace qm::test
