#pragma once
// Basic value types shared by every layer: four-character codes, 16-bit error codes,
// QuickDraw rectangles and points, 16-bit colours and 16.16 fixed numbers.
#include <cstdint>
#include <string>

namespace qm {

using OSErr = std::int16_t;
using OSType = std::uint32_t;

// Four-character code with the first character in the most significant byte.
constexpr OSType fourCC(const char (&s)[5])
{
    return (OSType(std::uint8_t(s[0])) << 24) | (OSType(std::uint8_t(s[1])) << 16) |
           (OSType(std::uint8_t(s[2])) << 8) | OSType(std::uint8_t(s[3]));
}

// Printable form; bytes outside 0x20..0x7E are shown as '?'.
std::string fourCCToString(OSType t);
// Inverse of fourCCToString for exactly four characters (shorter text is padded with spaces).
OSType fourCCFromString(const std::string& s);

struct Rect {
    std::int16_t top = 0, left = 0, bottom = 0, right = 0;
    int width() const { return int(right) - int(left); }
    int height() const { return int(bottom) - int(top); }
    bool empty() const { return bottom <= top || right <= left; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    std::int16_t v = 0, h = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct RGBColor {
    std::uint16_t red = 0, green = 0, blue = 0;
    friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

using Fixed = std::int32_t; // signed 16.16

constexpr Fixed doubleToFixed(double d) { return Fixed(d * 65536.0 + (d < 0 ? -0.5 : 0.5)); }
constexpr double fixedToDouble(Fixed f) { return double(f) / 65536.0; }

} // namespace qm
