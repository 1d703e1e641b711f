#include "quicktime/vr/vr_records.h"

#include <algorithm>

#include "quicktime/base/byte_io.h"

namespace qm {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> zeroPadded(std::span<const std::uint8_t> bytes)
{
    std::array<std::uint8_t, N> buffer{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), N), buffer.begin());
    return buffer;
}

template <std::size_t N>
std::array<std::uint8_t, N> finish(const ByteWriter& w)
{
    std::array<std::uint8_t, N> out{};
    std::copy_n(w.data().begin(), N, out.begin());
    return out;
}

} // namespace

PanoramaSampleRecord PanoramaSampleRecord::fromBytes(std::span<const std::uint8_t> bytes)
{
    auto buffer = zeroPadded<kSize>(bytes);
    ByteReader r(buffer.data(), buffer.size());
    PanoramaSampleRecord p;
    p.majorVersion = r.u16();
    p.minorVersion = r.u16();
    p.imageRefTrackIndex = r.u32();
    p.hotSpotRefTrackIndex = r.u32();
    p.minPan = r.f32();
    p.maxPan = r.f32();
    p.minTilt = r.f32();
    p.maxTilt = r.f32();
    p.minFieldOfView = r.f32();
    p.maxFieldOfView = r.f32();
    p.defaultPan = r.f32();
    p.defaultTilt = r.f32();
    p.defaultFieldOfView = r.f32();
    p.imageSizeX = r.u32();
    p.imageSizeY = r.u32();
    p.imageNumFramesX = r.u16();
    p.imageNumFramesY = r.u16();
    p.hotSpotSizeX = r.u32();
    p.hotSpotSizeY = r.u32();
    p.hotSpotNumFramesX = r.u16();
    p.hotSpotNumFramesY = r.u16();
    p.flags = r.u32();
    p.panoType = r.type();
    p.reserved = r.u32();
    return p;
}

std::array<std::uint8_t, PanoramaSampleRecord::kSize> PanoramaSampleRecord::toBytes() const
{
    ByteWriter w(kSize);
    w.u16(majorVersion);
    w.u16(minorVersion);
    w.u32(imageRefTrackIndex);
    w.u32(hotSpotRefTrackIndex);
    for (float f : {minPan, maxPan, minTilt, maxTilt, minFieldOfView, maxFieldOfView, defaultPan, defaultTilt,
                    defaultFieldOfView})
        w.f32(f);
    w.u32(imageSizeX);
    w.u32(imageSizeY);
    w.u16(imageNumFramesX);
    w.u16(imageNumFramesY);
    w.u32(hotSpotSizeX);
    w.u32(hotSpotSizeY);
    w.u16(hotSpotNumFramesX);
    w.u16(hotSpotNumFramesY);
    w.u32(flags);
    w.type(panoType);
    w.u32(reserved);
    return finish<kSize>(w);
}

ObjectSampleRecord ObjectSampleRecord::fromBytes(std::span<const std::uint8_t> bytes)
{
    auto buffer = zeroPadded<kSize>(bytes);
    ByteReader r(buffer.data(), buffer.size());
    ObjectSampleRecord o;
    o.majorVersion = r.u16();
    o.minorVersion = r.u16();
    o.movieType = r.u16();
    o.viewStateCount = r.u16();
    o.defaultViewState = r.u16();
    o.mouseDownViewState = r.u16();
    o.viewDuration = r.u32();
    o.columns = r.u32();
    o.rows = r.u32();
    o.mouseMotionScale = r.f32();
    o.minPan = r.f32();
    o.maxPan = r.f32();
    o.defaultPan = r.f32();
    o.minTilt = r.f32();
    o.maxTilt = r.f32();
    o.defaultTilt = r.f32();
    o.minFieldOfView = r.f32();
    o.fieldOfView = r.f32();
    o.defaultFieldOfView = r.f32();
    o.defaultViewCenterH = r.f32();
    o.defaultViewCenterV = r.f32();
    o.viewRate = r.f32();
    o.frameRate = r.f32();
    o.animationSettings = r.u32();
    o.controlSettings = r.u32();
    return o;
}

std::array<std::uint8_t, ObjectSampleRecord::kSize> ObjectSampleRecord::toBytes() const
{
    ByteWriter w(kSize);
    for (std::uint16_t v : {majorVersion, minorVersion, movieType, viewStateCount, defaultViewState,
                            mouseDownViewState})
        w.u16(v);
    w.u32(viewDuration);
    w.u32(columns);
    w.u32(rows);
    for (float f : {mouseMotionScale, minPan, maxPan, defaultPan, minTilt, maxTilt, defaultTilt, minFieldOfView,
                    fieldOfView, defaultFieldOfView, defaultViewCenterH, defaultViewCenterV, viewRate, frameRate})
        w.f32(f);
    w.u32(animationSettings);
    w.u32(controlSettings);
    return finish<kSize>(w);
}

} // namespace qm
