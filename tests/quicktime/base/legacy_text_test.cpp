#include <gtest/gtest.h>

#include "quicktime/base/legacy_text.h"

using namespace qm;

namespace {

std::string repeat(std::string_view s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(StoredText, Windows1252WheneverEveryCharacterFitsElseUtf8)
{
    // "café €" : every character has a Windows-1252 byte.
    const StoredText latin = encodeStoredText("caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(latin.bytes, "caf\xE9 \x80");
    EXPECT_FALSE(latin.utf8);
    EXPECT_EQ(textEncodingOf(latin), kTextEncodingWindowsLatin1);
    EXPECT_EQ(decodeStoredText(latin.bytes), "caf\xC3\xA9 \xE2\x82\xAC");

    // A Greek letter does not: the whole text is UTF-8.
    const StoredText greek = encodeStoredText("caf\xC3\xA9 \xCE\xB1");
    EXPECT_EQ(greek.bytes, "caf\xC3\xA9 \xCE\xB1");
    EXPECT_TRUE(greek.utf8);
    EXPECT_EQ(textEncodingOf(greek), kTextEncodingUTF8);
    EXPECT_EQ(decodeStoredText(greek.bytes), "caf\xC3\xA9 \xCE\xB1");

    // "Ã©" in Windows-1252 is C3 A9, which reads back as "é": stored as UTF-8 instead.
    const StoredText lookalike = encodeStoredText("\xC3\x83\xC2\xA9");
    EXPECT_TRUE(lookalike.utf8);
    EXPECT_EQ(decodeStoredText(lookalike.bytes), "\xC3\x83\xC2\xA9");

    // Plain ASCII is the same either way; bytes that are not UTF-8 are taken as Windows-1252.
    EXPECT_EQ(encodeStoredText("Hall").bytes, "Hall");
    EXPECT_EQ(encodeStoredText("caf\xE9").bytes, "caf\xE9");
    EXPECT_EQ(decodeStoredText("\x93Hi\x94"), "\xE2\x80\x9CHi\xE2\x80\x9D");
}

TEST(StoredText, CutsSoTheStoredFormFitsNeverInsideACharacter)
{
    // 63 accented characters: 126 bytes of UTF-8, 63 of Windows-1252, so nothing is cut.
    const std::string accents = repeat("\xC3\xA9", 63);
    EXPECT_EQ(fitStoredText(accents, 63), accents);
    EXPECT_EQ(fitStoredText(accents + "x", 63), accents);
    // With one character Windows-1252 lacks, the text is UTF-8: 31 accents (62 bytes) and the
    // next 2-byte character would pass 63.
    const std::string mixed = "\xCE\xB1" + accents;
    const std::string cut = fitStoredText(mixed, 63);
    EXPECT_EQ(cut, "\xCE\xB1" + repeat("\xC3\xA9", 30));
    EXPECT_LE(encodeStoredText(cut).bytes.size(), 63u);
    // A 3-byte character across the limit is left out whole.
    EXPECT_EQ(fitStoredText(std::string(61, 'a') + "\xE4\xB8\xAD", 63), std::string(61, 'a'));
    // Cut text that loses its only non-Windows-1252 character is stored in Windows-1252 again.
    EXPECT_FALSE(encodeStoredText(fitStoredText(std::string(63, 'a') + "\xCE\xB1", 63)).utf8);
    // 8-bit input is read as Windows-1252 first.
    EXPECT_EQ(fitStoredText(std::string(70, '\xE9'), 63), repeat("\xC3\xA9", 63));
}

TEST(StoredText, StringsAreReadByTheirEncoding)
{
    EXPECT_EQ(decodeTextInEncoding("\x8E", kTextEncodingMacRoman), "\xC3\xA9");
    EXPECT_EQ(decodeTextInEncoding("\xE9\x80", kTextEncodingWindowsLatin1), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(decodeTextInEncoding("\xC3\xA9", kTextEncodingUTF8), "\xC3\xA9");
    // Windows-1252 bytes that happen to be valid UTF-8 are read as the encoding says.
    EXPECT_EQ(decodeTextInEncoding("\xC3\xA9", kTextEncodingWindowsLatin1), "\xC3\x83\xC2\xA9");
    // Bad UTF-8 under a UTF-8 encoding atom, and unknown encodings, fall back to the rule.
    EXPECT_EQ(decodeTextInEncoding("\xE9", kTextEncodingUTF8), "\xC3\xA9");
    EXPECT_EQ(decodeTextInEncoding("\xC3\xA9", 0x0600), "\xC3\xA9");
}
