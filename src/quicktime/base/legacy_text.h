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

// Text in 8-bit fields (project files, QuickTime VR string atoms). The program keeps text as
// UTF-8 in memory; stored text is Windows-1252 whenever every character has a place in it, and
// UTF-8 otherwise. Windows-1252 that would read back as different UTF-8 (such as "Ã©") is also
// stored as UTF-8, so that every stored form reads back as the text written.
struct StoredText {
    std::string bytes;
    bool utf8 = false; // the bytes are UTF-8 with at least one character beyond ASCII
};
StoredText encodeStoredText(std::string_view text);
// Valid UTF-8 is read as UTF-8, anything else as Windows-1252 (as legacyTextToUtf8).
std::string decodeStoredText(std::string_view bytes);
// The longest leading part of text whose stored form takes at most maxBytes bytes, never cut
// inside a character. Text that is not valid UTF-8 is first read as Windows-1252.
std::string fitStoredText(std::string_view text, std::size_t maxBytes);

// QuickTime TextEncoding values of the string encoding atoms.
inline constexpr std::uint32_t kTextEncodingMacRoman = 0;
inline constexpr std::uint32_t kTextEncodingWindowsLatin1 = 0x0500;
inline constexpr std::uint32_t kTextEncodingUTF8 = 0x08000100; // Unicode, UTF-8 format
// The encoding a stored form of text is in.
std::uint32_t textEncodingOf(const StoredText& stored);
// 8-bit text in a given TextEncoding as UTF-8. Mac Roman, Windows Latin 1, ISO Latin 1 and UTF-8
// are known; other encodings are read as decodeStoredText does.
std::string decodeTextInEncoding(std::string_view bytes, std::uint32_t encoding);

} // namespace qm
