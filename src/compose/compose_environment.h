#pragma once
// What the composer needs from its surroundings: where scratch files go, how a node's media
// file is found and a still image read, the annotations to write, and how much of the machine
// it may use.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "project/scene.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm {

class ScratchFileNamer;

struct ComposeEnvironment {
    // Scratch folder for working copies and the composed movie; empty: the system's temporary
    // folder.
    std::filesystem::path scratchFolder;
    // Namer of scratch files; null: the program's.
    ScratchFileNamer* namer = nullptr;
    // The node's media file from its media reference. Errors: fnfErr and the alias errors.
    std::function<OSErr(const Scene&, const Node&, std::filesystem::path&)> resolveMedia;
    // A still image file as a 32-bit picture.
    std::function<OSErr(const std::filesystem::path&, OffscreenPicture&)> readStillImage;
    // The "Annotations" texts: '©nam', '©cpy', '©inf'.
    std::string annotationName;
    std::string annotationCopyright;
    std::string annotationDescription;
    // Fixed creation times and a fixed composed-at, so that the same project composes to the
    // same bytes.
    bool deterministic = false;
    // Tile compression threads; 0: one per core.
    unsigned threads = 0;
};

// The program's environment: media found through the nodes' file aliases (relative to the
// project's folder first), still images read by their file type, the annotations and scratch
// folder of the preferences when given.
class PreferencesRecord;
ComposeEnvironment standardComposeEnvironment(const PreferencesRecord* preferences = nullptr);

// The scene time stamp of a successful compose: calendar seconds, or 1 in deterministic mode.
std::uint32_t composeTimestamp(const ComposeEnvironment& env);
unsigned compressionThreads(const ComposeEnvironment& env);

} // namespace qm
