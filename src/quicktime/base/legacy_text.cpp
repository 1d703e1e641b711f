#include "quicktime/base/legacy_text.h"

#include <cstdint>
#include <vector>

namespace qm {

namespace {

// Windows-1252 0x80..0x9F; the five bytes the code page leaves undefined keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Mac OS Roman 0x80..0xFF.
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = std::uint8_t(s[i]);
        std::size_t extra;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= extra)
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto cc = std::uint8_t(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string legacyTextToUtf8(std::string_view s)
{
    if (isValidUtf8(s))
        return std::string(s);
    std::string out;
    out.reserve(s.size() * 2);
    for (char ch : s) {
        auto c = std::uint8_t(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            appendUtf8(out, kCp1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string macRomanToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (char ch : s) {
        auto c = std::uint8_t(ch);
        if (c < 0x80)
            out += ch;
        else
            appendUtf8(out, kMacRomanHigh[c - 0x80]);
    }
    return out;
}

std::string utf16BEToUtf8(std::span<const std::uint8_t> bytes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = char32_t(bytes[i] << 8 | bytes[i + 1]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = char32_t(bytes[i + 2] << 8 | bytes[i + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD; // unpaired surrogate
        appendUtf8(out, c);
    }
    return out;
}

std::string cutText(std::string_view s, std::size_t maxBytes)
{
    if (s.size() <= maxBytes)
        return std::string(s);
    std::size_t cut = maxBytes;
    if (isValidUtf8(s))
        while (cut > 0 && (std::uint8_t(s[cut]) & 0xC0) == 0x80)
            --cut;
    return std::string(s.substr(0, cut));
}

namespace {

// The Windows-1252 byte of a character, 0 when it has none (NUL is never stored).
std::uint8_t windows1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return std::uint8_t(c);
    for (std::size_t i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return std::uint8_t(0x80 + i);
    return 0;
}

// The characters of valid UTF-8 text and the byte offset each starts at (plus the end).
void decodeUtf8(std::string_view s, std::vector<char32_t>& chars, std::vector<std::size_t>& starts)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = std::uint8_t(s[i]);
        const std::size_t extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        for (std::size_t k = 1; k <= extra && i + k < s.size(); ++k)
            cp = (cp << 6) | (std::uint8_t(s[i + k]) & 0x3F);
        starts.push_back(i);
        chars.push_back(cp);
        i += extra + 1;
    }
    starts.push_back(s.size());
}

StoredText encodeValidUtf8(std::string_view utf8)
{
    std::vector<char32_t> chars;
    std::vector<std::size_t> starts;
    decodeUtf8(utf8, chars, starts);
    StoredText out;
    out.bytes.reserve(chars.size());
    bool high = false;
    for (char32_t c : chars) {
        const std::uint8_t b = c == 0 ? 0 : windows1252Byte(c);
        if (c != 0 && b == 0) {
            out.bytes = std::string(utf8);
            out.utf8 = true;
            return out;
        }
        high = high || b >= 0x80;
        out.bytes += char(b);
    }
    if (high && isValidUtf8(out.bytes)) {
        // These bytes would read back as other characters.
        out.bytes = std::string(utf8);
        out.utf8 = true;
    }
    return out;
}

} // namespace

StoredText encodeStoredText(std::string_view text)
{
    if (isValidUtf8(text))
        return encodeValidUtf8(text);
    return encodeValidUtf8(legacyTextToUtf8(text));
}

std::string decodeStoredText(std::string_view bytes) { return legacyTextToUtf8(bytes); }

std::string fitStoredText(std::string_view text, std::size_t maxBytes)
{
    const std::string utf8 = isValidUtf8(text) ? std::string(text) : legacyTextToUtf8(text);
    if (utf8.size() <= maxBytes)
        return utf8; // no stored form is longer than the UTF-8 one
    std::vector<char32_t> chars;
    std::vector<std::size_t> starts;
    decodeUtf8(utf8, chars, starts);
    // Each character takes at least one stored byte: at most maxBytes of them fit.
    for (std::size_t count = std::min(chars.size(), maxBytes);; --count) {
        std::string part = utf8.substr(0, starts[count]);
        if (count == 0 || encodeValidUtf8(part).bytes.size() <= maxBytes)
            return part;
    }
}

std::uint32_t textEncodingOf(const StoredText& stored)
{
    return stored.utf8 ? kTextEncodingUTF8 : kTextEncodingWindowsLatin1;
}

std::string decodeTextInEncoding(std::string_view bytes, std::uint32_t encoding)
{
    constexpr std::uint32_t kBaseMask = 0xFFFF;
    constexpr std::uint32_t kUnicodeBase = 0x0100;
    constexpr std::uint32_t kUtf8Format = 2;
    constexpr std::uint32_t kIsoLatin1 = 0x0201;
    if (encoding == kTextEncodingMacRoman)
        return macRomanToUtf8(bytes);
    if ((encoding & kBaseMask) == kUnicodeBase && (encoding >> 26) == kUtf8Format && isValidUtf8(bytes))
        return std::string(bytes);
    if ((encoding & kBaseMask) == kTextEncodingWindowsLatin1 || (encoding & kBaseMask) == kIsoLatin1) {
        std::string out;
        for (char ch : bytes) {
            const auto c = std::uint8_t(ch);
            if (c < 0x80)
                out += ch;
            else
                appendUtf8(out, c < 0xA0 && (encoding & kBaseMask) == kTextEncodingWindowsLatin1 ? kCp1252High[c - 0x80] : c);
        }
        return out;
    }
    return decodeStoredText(bytes);
}

} // namespace qm
