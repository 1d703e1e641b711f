#include "quicktime/raster/region_bytes.h"

#include <limits>
#include <vector>

#include "quicktime/base/errors.h"

namespace qm {
namespace {

constexpr std::int16_t kEndMark = 0x7FFF;
constexpr std::size_t kHeaderSize = 10;
// The band form repeats a band's columns on every scanline record, so a short record can
// describe a region that is large in memory (a 64 KB record up to about 67 million edges).
// Real regions hold a few thousand; past this many the record is refused as too complex.
constexpr std::size_t kMaxStoredEdges = std::size_t(1) << 22;

// Sorted symmetric difference of two strictly increasing lists.
void toggle(std::span<const std::int32_t> a, std::span<const std::int32_t> b,
            std::vector<std::int32_t>& out)
{
    out.clear();
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i] < b[j]))
            out.push_back(a[i++]);
        else if (i == a.size() || b[j] < a[i])
            out.push_back(b[j++]);
        else {
            ++i;
            ++j;
        }
    }
}

} // namespace

OSErr readRegion(std::span<const std::uint8_t> data, Region& out)
{
    ByteReader header(data);
    const std::size_t size = header.u16();
    const Rect box = header.rect();
    if (!header.ok() || size < kHeaderSize || size > data.size())
        return err::paramErr;
    if (size == kHeaderSize) {
        out = box.empty() ? Region() : Region::fromRect(box);
        return err::noErr;
    }

    ByteReader r(data.subspan(kHeaderSize, size - kHeaderSize));
    RegionBuilder builder;
    std::vector<std::int32_t> covered, line, next;
    int previousRow = 0;
    bool first = true;
    std::size_t stored = 0;
    for (;;) {
        const std::int16_t v = r.i16();
        if (!r.ok())
            return err::paramErr;
        if (v == kEndMark)
            break;
        if (!first && v <= previousRow)
            return err::paramErr;
        line.clear();
        for (;;) {
            const std::int16_t h = r.i16();
            if (!r.ok())
                return err::paramErr;
            if (h == kEndMark)
                break;
            if (!line.empty() && h <= line.back())
                return err::paramErr;
            line.push_back(h);
        }
        if (line.size() % 2 != 0)
            return err::paramErr;
        if (!first && !builder.addBand(previousRow, v, covered))
            return err::paramErr;
        stored += covered.size();
        if (stored > kMaxStoredEdges)
            return err::rgnTooBigErr;
        toggle(covered, line, next);
        covered.swap(next);
        previousRow = v;
        first = false;
    }
    if (!covered.empty() || !r.atEnd())
        return err::paramErr;
    Region region = builder.finish();
    if (region.isEmpty() ? !box.empty() : region.bounds() != box)
        return err::paramErr;
    out = std::move(region);
    return err::noErr;
}

OSErr writeRegion(const Region& region, ByteWriter& out)
{
    if (region.isEmpty()) {
        out.u16(kHeaderSize);
        out.rect(Rect{});
        return err::noErr;
    }
    constexpr int lo = std::numeric_limits<std::int16_t>::min();
    constexpr int hi = std::numeric_limits<std::int16_t>::max();
    if (region.top() < lo || region.left() < lo || region.bottom() > hi || region.right() > hi)
        return err::paramErr;
    if (region.isRect()) {
        out.u16(kHeaderSize);
        out.rect(region.bounds());
        return err::noErr;
    }

    ByteWriter body;
    bool clash = false;
    auto emit = [&](int v, std::span<const std::int32_t> toggles) {
        clash = clash || v == kEndMark;
        body.i16(std::int16_t(v));
        for (auto h : toggles) {
            clash = clash || h == kEndMark;
            body.i16(std::int16_t(h));
        }
        body.i16(kEndMark);
    };
    std::vector<std::int32_t> toggles;
    std::span<const std::int32_t> above;
    int aboveBottom = 0;
    for (std::size_t i = 0; i < region.bandCount(); ++i) {
        const auto band = region.band(i);
        if (i > 0 && band.top != aboveBottom) {
            emit(aboveBottom, above);
            above = {};
        }
        toggle(above, band.edges, toggles);
        emit(band.top, toggles);
        above = band.edges;
        aboveBottom = band.bottom;
    }
    emit(aboveBottom, above);
    body.i16(kEndMark);

    if (clash)
        return err::paramErr;
    const std::size_t size = kHeaderSize + body.size();
    if (size > 0xFFFF)
        return err::rgnTooBigErr;
    out.u16(std::uint16_t(size));
    out.rect(region.bounds());
    out.bytes(body.data());
    return err::noErr;
}

OSErr writeRegion(const Region& region, Bytes& out)
{
    ByteWriter w;
    OSErr e = writeRegion(region, w);
    if (e == err::noErr) {
        Bytes b = w.take();
        out.insert(out.end(), b.begin(), b.end());
    }
    return e;
}

} // namespace qm
