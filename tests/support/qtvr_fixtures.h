#pragma once
// Small QuickTime VR movies, linear movies and still images written by code, for tests of the
// import and the composer. Every movie is a real, self-contained QuickTime file written through
// the movie layer (deterministic: fixed creation times), with image tiles and frames compressed
// by the codec layer, so players and ffprobe accept them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/base/os_types.h"
#include "quicktime/vr/vr_records.h"

namespace qm::test {

// A QuickTime VR 2.x single-node panorama: QTVR, panorama and image tracks (vertical cylinder
// tiles), optionally an 8-bit hot spot track.
struct Panorama2xFixture {
    PanoramaSampleRecord record = defaultRecord();
    bool writePanoramaData = true; // false: the panorama sample lacks 'pdat'
    std::uint32_t nodeId = 1;
    std::string nodeName;          // empty: the node header names no string atom
    int tileWidth = 48;            // of each stored (rotated) tile
    int tileHeight = 32;
    bool hotSpotTrack = false;

    // 4 tiles of 48 x 32 (stored image 48 x 128), pan 0..360, tilt -30..30, image and hot spot
    // track reference 1.
    static PanoramaSampleRecord defaultRecord();
};
OSErr writePanorama2x(const std::filesystem::path& file, const Panorama2xFixture& fixture);

// A QuickTime VR 2.x single-node object movie: QTVR, object and image tracks, one frame per
// view (columns x rows x view states).
struct Object2xFixture {
    ObjectSampleRecord record = defaultRecord();
    bool writeObjectData = true;           // false: the object sample lacks 'obji'
    std::optional<std::uint32_t> imageTrackRefIndex;   // an 'imgt' atom in the sample
    std::optional<std::uint32_t> hotSpotTrackRefIndex; // a 'hott' atom in the sample
    bool documentedEntryNames = false;  // the entries as 'imtr' / 'hstr'
    // A first image track of other frames (half the size), so the real one is 'imgt' index 2.
    bool decoyImageTrack = false;
    std::uint32_t nodeId = 1;
    std::string nodeName;
    int frameWidth = 40;
    int frameHeight = 30;

    // 4 columns, 2 rows, 1 view state, pan 0..360, tilt 45..-45, view duration 600.
    static ObjectSampleRecord defaultRecord();
};
OSErr writeObject2x(const std::filesystem::path& file, const Object2xFixture& fixture);

// A QuickTime VR 2.x movie of several panorama nodes (IDs 1..nodeCount), for refusal tests.
OSErr writeMultiNode2x(const std::filesystem::path& file, int nodeCount);

// A QuickTime VR 1.x panorama ('STpn' controller): a scene video track of tiles, a panorama
// track with the 152-byte 'pano' description and one sample per node holding 'pHdr' (after a
// string table, so that readers must look for it) and 'strT'.
struct Panorama1xFixture {
    Fixed panStart = 0, panEnd = 360 << 16;
    Fixed tiltTop = 30 << 16, tiltBottom = -(30 << 16);
    Fixed minZoom = 10 << 16, maxZoom = 60 << 16;
    std::int32_t sceneSizeX = 48, sceneSizeY = 128; // stored (rotated) size
    std::int16_t sceneFramesX = 1, sceneFramesY = 4;
    std::int32_t hotSpotSizeX = 0, hotSpotSizeY = 0;
    std::int16_t hotSpotFramesX = 0, hotSpotFramesY = 0;
    Fixed defaultPan = 90 << 16, defaultTilt = 5 << 16, defaultZoom = 45 << 16;
    std::vector<std::uint32_t> nodeIds = {1};
    std::string nodeName; // given to the first node; empty: none
    bool pHdrFirst = false;

    // A hot spot track: the unrolled 8-bit picture of IDs (the scene's unrolled size or a
    // smaller one), stored in rotated 'smc ' tiles of the scene's grid; the hot spot sizes and
    // frames above are filled in from it.
    std::optional<OffscreenPicture> hotSpotImage;
    // The first node's hot spot table ('pHot'), links in 'pLnk' (in reverse order, so that an
    // entry is found by its ID rather than its place) and names in 'strT'.
    struct HotSpotEntry {
        std::uint16_t id = 0;
        OSType type = 0;
        std::string name;
        std::int32_t mouseOverCursor = 0;
        std::uint32_t toNodeId = 0; // links
        Fixed toPan = 0, toTilt = 0, toZoom = 0;
    };
    std::vector<HotSpotEntry> hotSpots;
};
OSErr writePanorama1x(const std::filesystem::path& file, const Panorama1xFixture& fixture);

// A QuickTime VR 1.x object movie ('stna' controller): one video track holding
// columns x rows x loopSize frames and the 'NAVG' user data item.
struct Object1xFixture {
    std::int16_t columns = 6, rows = 2, loopSize = 1, frameDuration = 60, movieType = 1;
    Fixed fieldOfView = 180 << 16;
    Fixed startPan = 0, endPan = 360 << 16;
    Fixed startTilt = 40 << 16, endTilt = -(40 << 16);
    Fixed initialPan = 60 << 16, initialTilt = 0;
    int frameWidth = 41;
    int frameHeight = 31;
    bool writeNavg = true;
};
OSErr writeObject1x(const std::filesystem::path& file, const Object1xFixture& fixture);

// An ordinary movie: one video track of frames, optionally starting after an empty edit.
struct LinearMovieFixture {
    int width = 64;
    int height = 48;
    int frames = 5;
    TimeScale timeScale = 600;
    TimeValue frameDuration = 60;
    TimeValue emptyLead = 0;        // movie time before the first frame
    Fixed preferredRate = 0x00010000;
    std::string fullName;           // a '©nam' annotation when not empty
};
OSErr writeLinearMovie(const std::filesystem::path& file, const LinearMovieFixture& fixture);

// A movie file whose movie has no tracks (controller type given when not 0).
OSErr writeMovieWithoutTracks(const std::filesystem::path& file, OSType controllerType = 0);

// A still image of the given file type and size: a gradient with a few coloured bars.
// JPEG, PNG, BMP, GIF, TIFF, SGI and Targa files are made by the ffmpeg program (false when it
// is missing); Photoshop, MacPaint, PICT and QuickTime Image files are built byte by byte. PICT
// pictures come as a 32-bit direct pixel map; pictVariant 1 gives an 8-bit packed pixel map
// and 2 a QuickTime Photo-JPEG picture. MacPaint pages are always 576 x 720.
bool writeStillImage(const std::filesystem::path& file, OSType fileType, int width, int height, int pictVariant = 0);
// The file name extension writeStillImage's ffmpeg route needs for a type ("" for the others).
std::string stillImageExtension(OSType fileType);

} // namespace qm::test
