#pragma once
// The record leaves of the project container, field by field. decode* take a buffer of exactly
// the record's size (a shorter stored leaf is zero-filled up to it by the caller); encode*
// produce exactly the record's size with reserved bytes zero.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "project/scene.h"
#include "quicktime/base/byte_io.h"

namespace qm::project {

using RecordBytes = std::span<const std::uint8_t>;

void decodeDimensions(RecordBytes b, Scene& scene);
Bytes encodeDimensions(const Scene& scene);
GridSettings decodeGrid(RecordBytes b);
Bytes encodeGrid(const GridSettings& grid);
float decodeOrientation(RecordBytes b);
Bytes encodeOrientation(float orientation);
// Temporal and data-rate settings (bytes 18 to 45) are read and written for the movies record
// only; in the other records they are zero.
CompressionSettings decodeCompression(RecordBytes b, bool movies);
Bytes encodeCompression(const CompressionSettings& c, bool movies);
void decodePreview(RecordBytes b, Scene& scene);
Bytes encodePreview(const Scene& scene);
MapObject decodeMapObjectFields(RecordBytes b);
Bytes encodeMapObjectFields(const MapObject& object);
void decodeNodeFields(RecordBytes b, Node& node);
Bytes encodeNodeFields(const Node& node);
HotSpot decodeHotSpotFields(RecordBytes b);
Bytes encodeHotSpotFields(const HotSpot& hotSpot);

// The text of a string chunk (at most 259 stored characters), as UTF-8.
std::string decodeStringChunk(std::span<const std::uint8_t> chunk);
Bytes encodeStringChunk(std::string_view text);

// A text object's flattened text record. The Windows program that defined the format wrote it
// in its own (little-endian) byte order, so that order is written; both orders are read,
// recognised by the text offset field (always 80). Nothing when the record is damaged.
std::optional<MapObjectText> decodeTextRecord(std::span<const std::uint8_t> bytes);
Bytes encodeTextRecord(const MapObjectText& text);
// The longest text and style data a text record can describe (16-bit lengths).
constexpr std::size_t kMaxTextRecordBytes = 0x7FFF;

} // namespace qm::project
