#pragma once
// The "QMP Hot Spot" clipboard block: an atom container holding, per copied hot spot, its
// 158-byte record ('HSOB', ID = 1-based position), its region data ('RGNH') and its strings
// ('NAME', 'COMM', 'URL '), the last four with the hot spot's ID as atom ID.
//
// The record is the hot spot as the program holds it, in the byte order of the machine
// (little-endian on every platform the program runs on), with its pointer fields, the flag
// stored with the bounds (auto-generated) and the selected flag zero:
//   0 shape i16, 2 ID i16, 4 bounds (top, left, bottom, right i16), 12 auto-generated u8,
//   13 selected u8, 14 type OSType, 18 name, 22 comment, 26 editing state, 30 data (four
//   pointers), 34 view column i16, 36 view row i16, 38 URL pointer, 42 custom cursors u8, 43 0,
//   44 mouse-over, 46 mouse-down, 48 mouse-up cursor IDs i16, 50 destination node ID i16,
//   52 custom link view u8, 53 pan set, 54 tilt set, 55 field of view set, 56 view centre set
//   u8, 57 0, 58 pan, 62 tilt, 66 field of view (float), 70 view centre (v, h i16), 74 the four
//   flags of the second view u8, 78 its pan, 82 tilt, 86 field of view (float), 90 its centre
//   (v, h i16), 94 reserved (64 bytes).
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "project/scene.h"

namespace qm {

inline constexpr const char* kHotSpotClipboardFormat = "QMP Hot Spot";
inline constexpr std::size_t kHotSpotRecordSize = 158;

Bytes hotSpotRecordBytes(const HotSpot& hotSpot);
// The fixed fields of a record; strings and region data stay empty. False when the block is
// shorter than a record.
bool hotSpotFromRecordBytes(std::span<const std::uint8_t> bytes, HotSpot& out);

// The selected hot spots that lie in the given view (column or row matching) as a transfer
// block; none when no selected hot spot is there.
std::optional<Bytes> copySelectedHotSpots(const Node& node, std::int16_t viewColumn, std::int16_t viewRow);

struct PasteResult {
    int added = 0;
    // Set when hot spots had to be left out because the node had no free hot spot ID.
    bool outOfIds = false;
    OSErr error = 0; // a block that is not an atom container
};

// Appends the block's hot spots to the node with fresh IDs. A viewColumn or viewRow of 0 or
// more replaces the pasted hot spots' own. Strings are cut to 255 characters; a region takes its
// bounds from its region data.
PasteResult pasteHotSpots(Node& node, std::span<const std::uint8_t> block, int viewRow, int viewColumn);

} // namespace qm
