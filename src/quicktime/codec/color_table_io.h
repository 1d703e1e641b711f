#pragma once
// Macintosh colour tables as stored in image descriptions and 'ctab' atoms, and the standard
// table of each indexed depth.
//
// Stored form (big-endian): seed u32, flags u16, size u16 (= entry count - 1), then per entry
// value u16, red u16, green u16, blue u16.
#include <cstddef>

#include "quicktime/base/byte_io.h"
#include "quicktime/raster/raster_color_table.h"

namespace qm {

// The standard table of a depth: 1, 2, 4, 8 (colour) or 33, 34, 36, 40 (1, 2, 4, 8-bit grey,
// index 0 white, the last index black); empty for other depths.
ColorTable macColorTable(int depth);
// 2^bits greys in equal steps from white (index 0) to black.
ColorTable greyColorTable(int bits);

// Reads a table at the reader's position. Entry values are the indices of their colours unless
// the table is a device table (flags bit 15) or every value is the same; then the entries are
// in order. Fails with badImageDescription when the table is cut short or holds more than 256
// entries; size -1 is an empty table.
OSErr readColorTable(ByteReader& r, ColorTable& out);
// Writes seed 0, flags 0 and entry values equal to their index, which QuickTime (values are
// indices) and FFmpeg (the seed is the first index, entries follow in order) read alike.
void writeColorTable(ByteWriter& w, const ColorTable& table);
inline std::size_t colorTableByteSize(const ColorTable& table) { return 8 + 8 * table.size(); }

} // namespace qm
