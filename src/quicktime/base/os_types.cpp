#include "quicktime/base/os_types.h"

namespace qm {

std::string fourCCToString(OSType t)
{
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        auto c = char((t >> (24 - 8 * i)) & 0xFF);
        s[i] = (c >= 0x20 && c <= 0x7E) ? c : '?';
    }
    return s;
}

OSType fourCCFromString(const std::string& s)
{
    OSType t = 0;
    for (int i = 0; i < 4; ++i)
        t = (t << 8) | std::uint8_t(i < int(s.size()) ? s[i] : ' ');
    return t;
}

} // namespace qm
