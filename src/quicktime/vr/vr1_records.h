#pragma once
// The QuickTime VR 1.x records an import reads, and their conversion to the 2.x sample records
// a node keeps. All fields are big-endian in files; angles are 16.16 fixed degrees there.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "quicktime/base/os_types.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

// The 'pano' sample description of a 1.x panorama ('STpn') track. Offsets count from the
// description's size field.
struct PanoramaDescription1x {
    static constexpr std::size_t kMinSize = 150; // up to and including hot spot frames Y

    std::int32_t sceneTrackId = 0;   // 20
    std::int32_t hotSpotTrackId = 0; // 52, 0 = none
    Fixed panStart = 0;              // 92
    Fixed panEnd = 0;                // 96
    Fixed tiltTop = 0;               // 100
    Fixed tiltBottom = 0;            // 104
    Fixed minZoom = 0;               // 108
    Fixed maxZoom = 0;               // 112
    std::int32_t sceneSizeX = 0;     // 116, stored (rotated) width
    std::int32_t sceneSizeY = 0;     // 120
    std::int16_t sceneFramesX = 0;   // 130
    std::int16_t sceneFramesY = 0;   // 132
    std::int32_t hotSpotSizeX = 0;   // 136
    std::int32_t hotSpotSizeY = 0;   // 140
    std::int16_t hotSpotFramesX = 0; // 146
    std::int16_t hotSpotFramesY = 0; // 148

    // err::invalidMedia when the description is too short to hold the fields.
    static OSErr parse(std::span<const std::uint8_t> description, PanoramaDescription1x& out);
};

// The panorama sample header ('pHdr') of one node of a 1.x panorama, with the node's name from
// the sample's string table ('strT').
struct PanoramaHeader1x {
    std::uint32_t nodeId = 0;
    Fixed defaultPan = 0;
    Fixed defaultTilt = 0;
    Fixed defaultZoom = 0;
    std::string name; // raw 8-bit text, empty when the node has none

    // A 1.x panorama sample is a list of classic atoms in any order; 'pHdr' is looked up among
    // them rather than assumed first. err::invalidMedia when there is no whole 'pHdr'.
    static OSErr parse(std::span<const std::uint8_t> sample, PanoramaHeader1x& out);
};

// One hot spot of a 1.x panorama node: its entry in the sample's hot spot table ('pHot') with
// name and comment from the string table and, for a link hot spot, the link table ('pLnk')
// entry its type data names.
struct PanoramaHotSpot1x {
    std::uint16_t id = 0;
    OSType type = 0;
    std::uint32_t typeData = 0;
    std::int32_t mouseOverCursor = 0, mouseDownCursor = 0, mouseUpCursor = 0;
    std::string name, comment; // raw 8-bit text
    bool link = false;         // a 'pLnk' entry was found
    std::uint32_t toNodeId = 0;
    Fixed toPan = 0, toTilt = 0, toZoom = 0;

    // The hot spots of a panorama sample in table order; none without a 'pHot' atom. Entries
    // beyond the atom's end are left out. A link names its 'pLnk' entry by ID, or failing that
    // by its place in the table.
    static std::vector<PanoramaHotSpot1x> parseAll(std::span<const std::uint8_t> sample);
};

// The 1.x object movie record: the movie's 'NAVG' user data item.
struct ObjectRecord1x {
    static constexpr std::size_t kSize = 48;

    std::int16_t version = 0;
    std::int16_t columns = 0;
    std::int16_t rows = 0;
    std::int16_t loopSize = 0;      // frames shot per position
    std::int16_t frameDuration = 0; // media time per frame
    std::int16_t movieType = 0;
    std::int16_t loopTicks = 0;
    Fixed fieldOfView = 0;
    Fixed startPan = 0;
    Fixed endPan = 0;
    Fixed endTilt = 0;
    Fixed startTilt = 0;
    Fixed initialPan = 0;
    Fixed initialTilt = 0;

    // err::invalidMedia for an item shorter than 48 bytes.
    static OSErr parse(std::span<const std::uint8_t> item, ObjectRecord1x& out);
};

float fixedToFloat(Fixed f);

// The 2.x panorama record of a 1.x panorama node: limits and sizes from the description, the
// default view from the node's header; no track references, flags or panorama type.
PanoramaSampleRecord panoramaRecordFrom1x(const PanoramaDescription1x& description, const PanoramaHeader1x& header);

// The 2.x object record of a 1.x object movie. movieBounds: the movie's box moved to 0,0; its
// integer halves become the default view centre.
ObjectSampleRecord objectRecordFrom1x(const ObjectRecord1x& record, const Rect& movieBounds);

} // namespace qm
