#pragma once
// The 38 fill patterns of the map drawing: 8 x 8 bits, one byte per row, most significant bit
// leftmost; a set bit is drawn in the foreground colour.
#include <array>
#include <cstdint>

class QImage;
class QColor;

namespace qm {

constexpr int kFillPatternCount = 38;

// The rows as drawn for pattern 1 to 38 (pattern 1 is solid, 20 empty); all clear otherwise.
std::array<std::uint8_t, 8> fillPatternRows(int number);
// An 8 x 8 tile with set bits in the foreground and clear bits in the background colour.
QImage fillPatternTile(int number, const QColor& foreground, const QColor& background);

} // namespace qm
