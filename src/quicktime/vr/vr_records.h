#pragma once
// The QuickTime VR 2.x panorama sample record ('pdat', 84 bytes) and object sample record
// ('obji', 88 bytes). In memory they are plain host-order values; in atoms and project files
// they are big-endian, every field converted by its own width.
#include <array>
#include <cstdint>
#include <span>

#include "quicktime/base/os_types.h"

namespace qm {

struct PanoramaSampleRecord {
    static constexpr std::size_t kSize = 84;

    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t imageRefTrackIndex = 0;   // 1-based into the panorama track's 'imgt' list
    std::uint32_t hotSpotRefTrackIndex = 0; // 1-based into 'hott'; 0 = no hot spot track
    // Degrees.
    float minPan = 0, maxPan = 0;
    float minTilt = 0, maxTilt = 0;
    float minFieldOfView = 0, maxFieldOfView = 0;
    float defaultPan = 0, defaultTilt = 0, defaultFieldOfView = 0;
    // Sizes in pixels of the image as stored (rotated for vertical cylinders), tile counts.
    std::uint32_t imageSizeX = 0, imageSizeY = 0;
    std::uint16_t imageNumFramesX = 0, imageNumFramesY = 0;
    std::uint32_t hotSpotSizeX = 0, hotSpotSizeY = 0;
    std::uint16_t hotSpotNumFramesX = 0, hotSpotNumFramesY = 0;
    std::uint32_t flags = 0;
    OSType panoType = 0; // 0, 'vcyl', 'hcyl' or 'cube'
    std::uint32_t reserved = 0;

    // From big-endian bytes. Fewer bytes read as if the rest were zero; extra bytes are ignored.
    static PanoramaSampleRecord fromBytes(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, kSize> toBytes() const;

    friend bool operator==(const PanoramaSampleRecord&, const PanoramaSampleRecord&) = default;
};

struct ObjectSampleRecord {
    static constexpr std::size_t kSize = 88;

    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint16_t movieType = 0;
    std::uint16_t viewStateCount = 0;
    std::uint16_t defaultViewState = 0;   // 1-based
    std::uint16_t mouseDownViewState = 0; // 1-based
    std::uint32_t viewDuration = 0;       // movie time units
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
    // Degrees unless noted. Note the order differs from the panorama record: pan minimum,
    // maximum, default, then tilt minimum, maximum, default.
    float mouseMotionScale = 0;
    float minPan = 0, maxPan = 0, defaultPan = 0;
    float minTilt = 0, maxTilt = 0, defaultTilt = 0;
    float minFieldOfView = 0, fieldOfView = 0, defaultFieldOfView = 0;
    float defaultViewCenterH = 0, defaultViewCenterV = 0;
    float viewRate = 0, frameRate = 0;
    std::uint32_t animationSettings = 0;
    std::uint32_t controlSettings = 0;

    static ObjectSampleRecord fromBytes(std::span<const std::uint8_t> bytes);
    std::array<std::uint8_t, kSize> toBytes() const;

    friend bool operator==(const ObjectSampleRecord&, const ObjectSampleRecord&) = default;
};

} // namespace qm
