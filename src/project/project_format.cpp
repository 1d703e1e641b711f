#include "project/project_format.h"

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"

namespace qm::project {

OSErr parseTrailer(std::span<const std::uint8_t, kTrailerSize> bytes, Trailer& out)
{
    ByteReader r(bytes.data(), bytes.size());
    if (r.type() != kSignature || r.type() != kOffsetsTag)
        return err::paramErr;
    Trailer t;
    t.containerOffset = r.u32();
    t.containerLength = r.u32();
    t.movieOffset = r.u32();
    if (t.containerOffset == kNoOffset)
        return err::paramErr;
    out = t;
    return err::noErr;
}

std::array<std::uint8_t, kTrailerSize> makeTrailer(const Trailer& t)
{
    std::array<std::uint8_t, kTrailerSize> out{};
    storeBE32(&out[0], kSignature);
    storeBE32(&out[4], kOffsetsTag);
    storeBE32(&out[8], t.containerOffset);
    storeBE32(&out[12], t.containerLength);
    storeBE32(&out[16], t.movieOffset);
    return out;
}

} // namespace qm::project
