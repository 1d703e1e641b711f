#pragma once
// The project records: one Scene with its nodes, their hot spots, the map's background drawing
// and the compression settings. Plain values; byte layouts exist only in the project file.
//
// Coordinate spaces: map positions and map object rectangles are map pixels from the top-left
// of the scene boundary; hot spot bounds are in the node's image coordinates.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "project/bounded_string.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

constexpr std::size_t kMaxNameLength = 63;
constexpr std::size_t kMaxCommentLength = 255;
using NameText = BoundedString<kMaxNameLength>;
using CommentText = BoundedString<kMaxCommentLength>;

namespace NodeKind {
inline constexpr OSType kGeneric = 0;
inline constexpr OSType kPanorama = fourCC("PANO");
inline constexpr OSType kObject = fourCC("OBJ ");
inline constexpr OSType kStillImage = fourCC("IMAG");
inline constexpr OSType kLinearMovie = fourCC("MOOV");
// Stands as the kind while a media file is being examined.
inline constexpr OSType kExamining = fourCC("QTVR");
// "QTVR Panorama", "QTVR Object", "Still Image", "Linear Movie"; anything else "Generic Node".
const char* displayName(OSType kind);
} // namespace NodeKind

namespace HotSpotType {
inline constexpr OSType kLink = fourCC("link");
inline constexpr OSType kNavigation = fourCC("navg");
inline constexpr OSType kStill = fourCC("stil");
inline constexpr OSType kMisc = fourCC("misc");
inline constexpr OSType kUrl = fourCC("url ");
inline constexpr OSType kUndefined = fourCC("undf");
} // namespace HotSpotType

// One numbering for hot spot shapes and the hot spot drawing tools.
namespace HotSpotShape {
inline constexpr std::int16_t kArrow = 1; // tool only
inline constexpr std::int16_t kRegion = 2; // outline in HotSpot::regionData
inline constexpr std::int16_t kSquare = 3;
inline constexpr std::int16_t kRectangle = 4;
inline constexpr std::int16_t kCircle = 5;
inline constexpr std::int16_t kOval = 6;
} // namespace HotSpotShape

namespace MapObjectKind {
inline constexpr std::int16_t kLine = 2;
inline constexpr std::int16_t kRectangle = 3;
inline constexpr std::int16_t kOval = 4;
inline constexpr std::int16_t kText = 5;
inline constexpr std::int16_t kArc = 6; // quarter ellipse
inline constexpr std::int16_t kFilledRectangle = 7;
inline constexpr std::int16_t kFilledOval = 8;
inline constexpr std::int16_t kPicture = 32;
} // namespace MapObjectKind

// Scene unit indexes: 1..4 imperial, 11..14 metric.
bool isMetricUnit(std::int16_t unitIndex);
// "Inches", "Feet", "Yards", "Miles", "Millimeters", "Centimeters", "Meters", "Kilometers";
// an empty text for any other value.
const char* unitName(std::int16_t unitIndex);

struct CompressionSettings {
    bool enabled = false;
    std::int16_t dialogDepth = 0;
    std::int16_t colorDepth = 0; // 8, 16 or 32
    OSType codecType = 0;
    std::uint32_t codecComponent = 0;  // 0: any compressor of the type
    std::uint32_t spatialQuality = 0;  // QuickTime quality scale, 512 normal .. 1024 lossless
    // Temporal and data-rate settings: used by the movies record only, zero in the others.
    Fixed frameRate = 0;
    std::int32_t keyFrameRate = 0;
    std::int32_t dataRate = 0;
    std::int32_t frameDuration = 0;
    std::int32_t minSpatialQuality = 0;
    std::int32_t minTemporalQuality = 0;
    std::uint32_t temporalQuality = 0;
    friend bool operator==(const CompressionSettings&, const CompressionSettings&) = default;
};

// Order of Scene::compression.
enum CompressionSlot : std::size_t {
    kPanoramaCompression = 0,
    kObjectCompression = 1,
    kStillImageCompression = 2,
    kMovieCompression = 3,
    kCompressionSlots = 4
};

struct GridSettings {
    bool shown = false;
    std::int16_t divisions = 0; // at least 1 in a usable scene
    bool active = false;        // snapping applies while shown and active are both set
    friend bool operator==(const GridSettings&, const GridSettings&) = default;
};

// The "Panorama Imaging Properties" values: 1-based slider positions. The two leading values
// (1 and 1 in a new scene) have no known meaning and are only kept and stored.
struct ImagingSettings {
    std::int16_t leading1 = 0;
    std::int16_t leading2 = 0;
    std::int16_t staticQuality = 0;
    std::int16_t staticCorrection = 0;
    std::int16_t motionQuality = 0;
    std::int16_t motionCorrection = 0;
    friend bool operator==(const ImagingSettings&, const ImagingSettings&) = default;
};

// Playback hint bits ("Track Hints:"); other bits pass through unchanged.
constexpr std::uint32_t kHintPreload = 0x10000000;
constexpr std::uint32_t kHintCacheData = 0x00000004;

// A view to show when a link is followed; angles in degrees.
struct LinkView {
    bool panSet = false;
    bool tiltSet = false;
    bool fieldOfViewSet = false;
    bool viewCenterSet = false;
    float pan = 0;
    float tilt = 0;
    float fieldOfView = 0;
    Point viewCenter;
    friend bool operator==(const LinkView&, const LinkView&) = default;
};

struct HotSpot {
    std::int16_t shape = 0;
    std::int16_t id = 0; // 1..254, unique within the node; the QuickTime VR hot spot ID
    Rect bounds;
    bool autoGenerated = false;
    bool selected = false; // editing state, never stored
    OSType type = 0;       // HotSpotType
    std::string name;
    std::string comment;
    Bytes regionData; // region hot spots: the outline as its editor stores it
    std::int16_t viewColumn = 0; // object nodes: the view holding the hot spot
    std::int16_t viewRow = 0;
    std::string url;
    bool customCursors = false;
    std::int16_t mouseOverCursor = 0;
    std::int16_t mouseDownCursor = 0;
    std::int16_t mouseUpCursor = 0;
    std::int16_t destinationNodeId = 0; // link hot spots
    bool customLinkView = false;
    LinkView linkView;
    LinkView secondView; // kept and stored only
    friend bool operator==(const HotSpot&, const HotSpot&) = default;
};

// A node's kind-specific sample record: a panorama record for 'PANO' nodes, an object record
// for the other kinds, or the stored bytes unchanged for a generic node.
using NodeMediaData = std::variant<std::monostate, PanoramaSampleRecord, ObjectSampleRecord, Bytes>;

struct Node {
    OSType kind = NodeKind::kGeneric;
    std::uint32_t vrVersion = 0; // 0x100 QuickTime VR 1.x, 0x200 2.x, 0 otherwise
    std::int16_t id = 0;         // scene-wide key, 1 or more
    NameText name;
    CommentText comment;
    bool initial = false;
    Point mapPosition; // centre of the node's icon, map pixels
    Rect movieBounds;  // the media's natural bounds, moved to 0,0
    Rect displayBounds;
    Bytes mediaReference; // file alias of the media file; empty: no media (a generic node)
    NodeMediaData mediaData;
    std::int32_t imageTrackReference = 1;
    std::int32_t hotSpotTrackReference = 1;
    bool autoColorSet = false;
    RGBColor autoColor;
    bool manualColorSet = false;
    RGBColor manualColor;
    std::vector<HotSpot> hotSpots;
    std::int32_t vr1VideoTrackId = 0;     // QuickTime VR 1.x: the video track's ID
    std::int32_t movieDuration = 0;       // linear movies
    std::int32_t movieFirstFrameTime = 0; // linear movies
    bool selected = false; // map selection, never stored
    friend bool operator==(const Node&, const Node&) = default;
};

// A text object's text record. Rectangles in map pixels.
struct MapObjectText {
    std::int16_t selectionStart = 0;
    std::int16_t selectionEnd = 0;
    Rect viewRect;
    Rect destRect;
    std::string text;
    Bytes styleData; // kept as the text editor stores it
    friend bool operator==(const MapObjectText&, const MapObjectText&) = default;
};

struct MapObject {
    std::int16_t kind = 0;        // MapObjectKind
    std::int16_t secondValue = 0; // kept with the kind by the map editor
    bool selected = false;        // editing state, never stored
    Rect bounds;                  // the two corners as dragged: first in top/left
    Rect secondRect;
    Bytes data;                         // picture data (and data of kinds other than text)
    std::optional<MapObjectText> text;  // text objects
    std::uint8_t penStyle = 0;
    std::int16_t penSize = 0;
    RGBColor penColor;
    std::uint8_t fillStyle = 0;
    RGBColor fillColor;
    // The first is the fill pattern number, 1..38, never 0.
    std::array<std::int16_t, 4> drawingValues{};
    friend bool operator==(const MapObject&, const MapObject&) = default;
};

struct Scene {
    NameText name;
    std::int16_t mapWidth = 0; // map units
    std::int16_t mapHeight = 0;
    std::int16_t unitIndex = 0;
    std::int16_t scaleFactor = 0; // 1, 10, 100 or 1000
    GridSettings backgroundGrid;
    GridSettings nodeGrid;
    float orientation = 0;
    std::int16_t masterWidth = 0;
    std::int16_t masterHeight = 0;
    std::vector<Node> nodes;
    std::vector<MapObject> mapObjects;
    std::array<CompressionSettings, kCompressionSlots> compression{};
    // Calendar time (seconds since 1970) of the last successful compose; 0 when no up-to-date
    // composed movie exists.
    std::uint32_t composedAt = 0;
    std::int16_t playbackWidth = 0;
    std::int16_t playbackHeight = 0;
    ImagingSettings imaging;
    std::uint32_t playbackHints = 0;
    bool dirty = false;
    bool untouchedNew = false; // set by File > New, cleared by the first edit
    std::filesystem::path projectFile;       // empty: never saved
    std::filesystem::path composedMovieFile; // scratch file owned by the scene; empty: none
    friend bool operator==(const Scene&, const Scene&) = default;
};

// The smallest ID of 1 or more that no node uses; 0 when all positive 16-bit IDs are taken.
std::int16_t nextFreeNodeId(const Scene& scene);
// Gives every node with ID 0 the next free ID, in array order. False when any ID was given.
bool giveNodeIds(Scene& scene);
Node* findNode(Scene& scene, std::int16_t id);
const Node* findNode(const Scene& scene, std::int16_t id);
void markDirty(Scene& scene);
// Deletes the composed movie scratch file (when there is one) and empties the scene.
void disposeScene(Scene& scene);

} // namespace qm
