#pragma once
// The QuickTime image description: the 'stsd' entry of a video track and the 'idsc' of a
// QuickTime image file.
//
// Byte form (big-endian, 86 bytes before the optional parts): size u32, codec type, 6 reserved,
// data reference index u16, version i16, revision i16, vendor, temporal quality u32, spatial
// quality u32, width i16, height i16, horizontal and vertical resolution (16.16 pixels per inch),
// data size u32, frame count i16, compressor name (Str31 in 32 bytes), depth i16, colour table
// ID i16; then the colour table when the ID is 0 and the depth is 8 bits or less, then extension
// atoms ('gama', 'fiel', 'pasp', 'colr', 'ctab', ...), kept byte for byte.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "quicktime/base/byte_io.h"
#include "quicktime/raster/raster_color_table.h"

namespace qm {

struct ImageDescription {
    static constexpr std::size_t fixedSize = 86;

    OSType codecType = 0;
    std::uint16_t dataRefIndex = 1;
    std::int16_t version = 0;
    std::int16_t revisionLevel = 0;
    OSType vendor = 0;
    std::uint32_t temporalQuality = 0; // QuickTime quality scale 0..1024
    std::uint32_t spatialQuality = 0;
    std::int16_t width = 0;
    std::int16_t height = 0;
    Fixed hRes = 72 << 16;
    Fixed vRes = 72 << 16;
    std::uint32_t dataSize = 0; // bytes of one compressed image, 0 when unknown
    std::int16_t frameCount = 1;
    std::string name;           // at most 31 characters
    // 1, 2, 4, 8, 16, 24, 32 bits per pixel; 33, 34, 36, 40 are 1, 2, 4, 8-bit grey.
    std::int16_t depth = 24;
    // -1: the standard table for the depth; 0: the table is stored in the description.
    std::int16_t colorTableId = -1;
    // The table stored after the fixed part (colour table ID 0, depth 8 bits or less).
    std::optional<ColorTable> colorTable;
    // Everything after the fixed part and the stored table, unchanged.
    Bytes extensions;

    // Bits per pixel with the grey flag removed.
    int pixelDepth() const { return depth > 32 ? depth - 32 : depth; }
    bool isGrey() const { return depth > 32 && depth <= 40; }
    // The palette a decoder of this description needs (depth 8 or less): the stored table, else
    // a 'ctab' extension atom's, else the standard table for the depth. Empty for direct colour
    // depths.
    ColorTable effectiveColorTable() const;

    // Parses the bytes of one description, starting at its size field. The size field bounds
    // the description when smaller than the span. Errors: badImageDescription.
    static OSErr parse(std::span<const std::uint8_t> bytes, ImageDescription& out);
    // Serializes with the size field filled in; a held colorTable is written with ID 0.
    Bytes build() const;
};

} // namespace qm
