#pragma once
// The classic QuickDraw region record, as hot spot regions are stored in project files and on
// the clipboard. All fields are big-endian signed 16-bit:
//   rgnSize   total size in bytes, 10 for a rectangular or empty region
//   rgnBBox   bounding rectangle (top, left, bottom, right); (0, 0, 0, 0) when empty
//   then, only for non-rectangular regions, one record per scanline where the covered columns
//   change: the row v, the columns h at which coverage toggles compared with the row above
//   (ascending), and 0x7FFF; after the last scanline a final 0x7FFF.
// A pixel (h, v) is covered when the number of inversion points (h', v') with h' <= h and
// v' <= v is odd.
#include <span>

#include "quicktime/base/byte_io.h"
#include "quicktime/raster/region.h"

namespace qm {

// Reads one region from the start of data (bytes after rgnSize are ignored). Damaged records
// (truncated, unsorted, unbalanced, or with a bounding box that does not match the scanlines)
// give -50, records too complex to hold in memory -500; out is then unchanged.
OSErr readRegion(std::span<const std::uint8_t> data, Region& out);

// Appends the region's record. A region reaching beyond the 16-bit plane, or whose scanline
// records would contain the terminator value 0x7FFF, gives -50; one larger than the 65535 bytes
// a size field holds gives -500. Nothing is written on failure.
OSErr writeRegion(const Region& region, ByteWriter& out);
OSErr writeRegion(const Region& region, Bytes& out);

} // namespace qm
