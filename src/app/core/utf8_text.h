#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// The longest prefix of text that fits in maxBytes without splitting a UTF-8 sequence. Text
// fields of the program's records are byte arrays, so limits count bytes, not characters.
inline std::string truncateUtf8(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t end = maxBytes;
    // Back up over continuation bytes (10xxxxxx) to the start of the cut sequence.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

} // namespace qm
