#include "quicktime/base/packbits.h"

#include <algorithm>
#include <cstring>

namespace qm {

namespace {

bool unpack(ByteReader& r, std::uint8_t* out, std::size_t outBytes, std::size_t unit)
{
    std::size_t done = 0;
    while (done < outBytes) {
        const std::int8_t n = r.i8();
        if (!r.ok())
            return false;
        if (n == -128)
            continue;
        if (n >= 0) {
            const std::size_t count = (std::size_t(n) + 1) * unit;
            const auto literal = r.bytes(count);
            if (!r.ok())
                return false;
            const std::size_t take = std::min(count, outBytes - done);
            std::memcpy(out + done, literal.data(), take);
            done += take;
        } else {
            const std::size_t repeats = std::size_t(1 - int(n));
            const auto value = r.bytes(unit);
            if (!r.ok())
                return false;
            for (std::size_t i = 0; i < repeats && done < outBytes; ++i) {
                const std::size_t take = std::min(unit, outBytes - done);
                std::memcpy(out + done, value.data(), take);
                done += take;
            }
        }
    }
    return true;
}

} // namespace

bool unpackBits(ByteReader& r, std::uint8_t* out, std::size_t outBytes)
{
    return unpack(r, out, outBytes, 1);
}

bool unpackBits16(ByteReader& r, std::uint8_t* out, std::size_t outBytes)
{
    return unpack(r, out, outBytes, 2);
}

} // namespace qm
