#pragma once
// The project document (.qmp) and template (.qmt) layout: an optional flattened composed movie,
// the project atom container, and a 148-byte trailer that ends the file. Every number inside
// the container's leaves is big-endian.
#include <array>
#include <cstdint>
#include <span>

#include "quicktime/base/os_types.h"

namespace qm::project {

constexpr std::size_t kTrailerSize = 148;
constexpr OSType kSignature = fourCC("QLMx");
constexpr OSType kOffsetsTag = fourCC("OFFS");
constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

struct Trailer {
    std::uint32_t containerOffset = kNoOffset;
    std::uint32_t containerLength = 0;
    std::uint32_t movieOffset = kNoOffset; // the composed movie's 'moov' atom; kNoOffset: none
};

// err::paramErr for a wrong signature, a wrong 'OFFS' word or an invalid container offset.
OSErr parseTrailer(std::span<const std::uint8_t, kTrailerSize> bytes, Trailer& out);
std::array<std::uint8_t, kTrailerSize> makeTrailer(const Trailer& trailer);

// Top-level atoms (each a leaf whose data is itself an atom container, except 'NAME').
constexpr OSType kSettings = fourCC("SETP");
constexpr OSType kMapObjectList = fourCC("BOLS");
constexpr OSType kNodeList = fourCC("NOLS");
constexpr OSType kCompression = fourCC("COMP");
constexpr OSType kPreview = fourCC("SPRV");
constexpr OSType kSceneName = fourCC("NAME");

// Leaves of 'SETP', 'COMP', 'SPRV'.
constexpr OSType kDimensions = fourCC("DIMS");
constexpr OSType kBackgroundGrid = fourCC("BKDG");
constexpr OSType kNodeGrid = fourCC("NODG");
constexpr OSType kOrientation = fourCC("ORIN");
constexpr OSType kCompressionLeaves[4] = {fourCC("PCMP"), fourCC("OCMP"), fourCC("SCMP"), fourCC("MCMP")};
constexpr OSType kPreviewData = fourCC("SPRD");

// Map objects.
constexpr OSType kMapObject = fourCC("BKOB");
constexpr OSType kMapObjectFields = fourCC("BODF");
constexpr OSType kMapObjectData = fourCC("BODT");

// Nodes.
constexpr OSType kNode = fourCC("NDOB");
constexpr OSType kNodeFields = fourCC("NODF");
constexpr OSType kNodeName = fourCC("NONM");
constexpr OSType kNodeComment = fourCC("NOCM");
constexpr OSType kNodeAlias = fourCC("NMAL");
constexpr OSType kNodeSample = fourCC("NDCD");
constexpr OSType kHotSpotList = fourCC("HSLS");

// Hot spots.
constexpr OSType kHotSpot = fourCC("HSOB");
constexpr OSType kHotSpotFields = fourCC("HSDF");
constexpr OSType kHotSpotName = fourCC("HSNM");
constexpr OSType kHotSpotComment = fourCC("HSCM");
constexpr OSType kHotSpotUrl = fourCC("HSUR");
constexpr OSType kHotSpotRegion = fourCC("HSDT");

// Record leaf sizes.
constexpr std::size_t kDimensionsSize = 20;
constexpr std::size_t kGridSize = 14;
constexpr std::size_t kOrientationSize = 20;
constexpr std::size_t kCompressionSize = 90;
constexpr std::size_t kPreviewSize = 148;
constexpr std::size_t kMapObjectFieldsSize = 166;
constexpr std::size_t kNodeFieldsSize = 110;
constexpr std::size_t kHotSpotFieldsSize = 138;

// String chunks: 4 bytes skipped, then NUL-terminated text; readers take at most 264 bytes.
constexpr std::size_t kStringChunkPrefix = 4;
constexpr std::size_t kStringChunkMaxRead = 264;

} // namespace qm::project
