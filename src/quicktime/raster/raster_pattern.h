#pragma once
// 8 x 8 one-bit patterns: one byte per row, top row first, the most significant bit leftmost.
// A set bit is drawn in the foreground colour, a clear bit in the background colour (or left
// alone, depending on the transfer mode). Patterns are laid on the coordinate grid: pixel (h, v)
// takes row v mod 8 and column h mod 8, so a picture whose bounds start at (0, 0) starts the
// pattern at its corner, and a drawing scrolled by moving a picture's origin keeps its patterns.
#include <array>
#include <cstdint>
#include <optional>

namespace qm {

struct Pattern {
    std::array<std::uint8_t, 8> rows{};

    bool bit(int h, int v) const { return (rows[v & 7] >> (7 - (h & 7))) & 1; }
    bool solid() const;
    bool blank() const;
    friend bool operator==(const Pattern&, const Pattern&) = default;
};

constexpr Pattern kBlackPattern{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
constexpr Pattern kWhitePattern{{0, 0, 0, 0, 0, 0, 0, 0}};
constexpr Pattern kGrayPattern{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}};
constexpr Pattern kLightGrayPattern{{0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22}};
constexpr Pattern kDarkGrayPattern{{0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD}};

// The background drawing's fill patterns, numbers 1 to kFillPatternCount. The program keeps them
// inverted (as in its pattern picture list); the pattern drawn is each kept byte exclusive-or
// 0xFF, so number 1 is solid and number 20 blank.
constexpr int kFillPatternCount = 38;
// The bytes as kept, for the pattern selector's pictures and for checks.
const std::array<std::uint8_t, 8>& storedFillPatternBytes(int number);
// The pattern drawn for a number; none below 1 (a number that selects no pattern) or above 38.
std::optional<Pattern> fillPattern(int number);

} // namespace qm
