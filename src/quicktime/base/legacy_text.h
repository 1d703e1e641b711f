#pragma once
// 8-bit text from files made by other tools. The program keeps text as UTF-8; files written by
// the Windows program this format comes from hold Windows-1252 text, which is recognised by not
// being valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm {

bool isValidUtf8(std::string_view s);
// Valid UTF-8 is returned unchanged; anything else is read as Windows-1252.
std::string legacyTextToUtf8(std::string_view s);
// Mac OS Roman (classic Macintosh alias records) and UTF-16BE (their Unicode names).
std::string macRomanToUtf8(std::string_view s);
std::string utf16BEToUtf8(std::span<const std::uint8_t> bytes);
// The first maxBytes bytes of s; when s is UTF-8 the cut never splits a character.
std::string cutText(std::string_view s, std::size_t maxBytes);

} // namespace qm
