#include "quicktime/movie/movie_types.h"

#include <chrono>

namespace qm {

namespace {
__extension__ typedef __int128 Int128;
}

TimeValue convertTimeScale(TimeValue value, TimeScale from, TimeScale to)
{
    if (from == to || from == 0)
        return value;
    // 128-bit intermediate: value may be a full 64-bit duration and scales are 32-bit.
    Int128 num = Int128(value) * to;
    Int128 half = from / 2;
    Int128 q = num >= 0 ? (num + half) / from : -((-num + half) / from);
    if (q > INT64_MAX)
        return INT64_MAX;
    if (q < INT64_MIN)
        return INT64_MIN;
    return TimeValue(q);
}

SampleDescription SampleDescription::make(OSType format, std::span<const std::uint8_t> payload,
                                          std::uint16_t dataRefIndex)
{
    ByteWriter w(16 + payload.size());
    w.u32(std::uint32_t(16 + payload.size()));
    w.type(format);
    w.zeros(6);
    w.u16(dataRefIndex);
    w.bytes(payload);
    return SampleDescription(w.take());
}

OSType SampleDescription::format() const { return m_bytes.size() >= 8 ? loadBE32(m_bytes.data() + 4) : 0; }

std::uint16_t SampleDescription::dataRefIndex() const
{
    return m_bytes.size() >= 16 ? loadBE16(m_bytes.data() + 14) : 0;
}

void SampleDescription::setDataRefIndex(std::uint16_t index)
{
    if (m_bytes.size() >= 16)
        storeBE16(m_bytes.data() + 14, index);
}

std::span<const std::uint8_t> SampleDescription::payload() const
{
    if (m_bytes.size() <= 16)
        return {};
    return std::span<const std::uint8_t>(m_bytes).subspan(16);
}

bool mediaHasCharacteristic(OSType mediaType, OSType characteristic)
{
    static constexpr OSType visual[] = {fourCC("vide"), fourCC("text"), fourCC("tx3g"), fourCC("sprt"),
                                        fourCC("mpeg"), fourCC("qd3d"), fourCC("flsh"), fourCC("twen"),
                                        fourCC("subp"), fourCC("sbtl"), fourCC("clcp"), fourCC("qtvr"),
                                        fourCC("pano"), fourCC("obje"), fourCC("STpn")};
    static constexpr OSType audible[] = {fourCC("soun"), fourCC("musi"), fourCC("mpeg")};
    if (characteristic == visualMediaCharacteristic) {
        for (OSType t : visual)
            if (t == mediaType)
                return true;
    } else if (characteristic == audioMediaCharacteristic) {
        for (OSType t : audible)
            if (t == mediaType)
                return true;
    }
    return false;
}

namespace {
std::optional<std::uint32_t>& fixedClock()
{
    static std::optional<std::uint32_t> value;
    return value;
}
} // namespace

std::uint32_t movieClockNow()
{
    if (fixedClock())
        return *fixedClock();
    // 2082844800 seconds lie between 1904-01-01 and 1970-01-01.
    auto unix = std::chrono::duration_cast<std::chrono::seconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
    return std::uint32_t(std::uint64_t(unix) + 2082844800ull);
}

void setFixedMovieClock(std::optional<std::uint32_t> seconds) { fixedClock() = seconds; }

} // namespace qm
