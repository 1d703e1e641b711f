#include "quicktime/codec/image_description.h"

#include "quicktime/codec/color_table_io.h"
#include "quicktime/base/errors.h"

namespace qm {

namespace {

std::optional<ColorTable> ctabExtension(const Bytes& extensions)
{
    ByteReader r(extensions);
    while (r.remaining() >= 8) {
        const std::uint32_t size = r.u32();
        const OSType type = r.type();
        if (size < 8 || size - 8 > r.remaining())
            return std::nullopt;
        ByteReader payload = r.sub(size - 8);
        if (type == fourCC("ctab")) {
            ColorTable table;
            if (readColorTable(payload, table) == err::noErr)
                return table;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

ColorTable ImageDescription::effectiveColorTable() const
{
    if (pixelDepth() > 8 || pixelDepth() < 1)
        return {};
    if (colorTable)
        return *colorTable;
    if (auto table = ctabExtension(extensions))
        return *table;
    return macColorTable(depth);
}

OSErr ImageDescription::parse(std::span<const std::uint8_t> bytes, ImageDescription& out)
{
    out = ImageDescription();
    if (bytes.size() < fixedSize)
        return err::badImageDescription;
    const std::uint32_t size = loadBE32(bytes.data());
    if (size < fixedSize)
        return err::badImageDescription;
    ByteReader r(bytes.first(std::min<std::size_t>(size, bytes.size())));
    r.skip(4);
    out.codecType = r.type();
    r.skip(6);
    out.dataRefIndex = r.u16();
    out.version = r.i16();
    out.revisionLevel = r.i16();
    out.vendor = r.type();
    out.temporalQuality = r.u32();
    out.spatialQuality = r.u32();
    out.width = r.i16();
    out.height = r.i16();
    out.hRes = r.fixed();
    out.vRes = r.fixed();
    out.dataSize = r.u32();
    out.frameCount = r.i16();
    out.name = r.pascalString(32);
    out.depth = r.i16();
    out.colorTableId = r.i16();
    if (!r.ok())
        return err::badImageDescription;

    // A description that claims a stored table but ends (or ends in a 4-byte terminator) before
    // one could fit has none: the standard table applies.
    if (out.colorTableId == 0 && out.pixelDepth() >= 1 && out.pixelDepth() <= 8 && r.remaining() >= 8) {
        ColorTable table;
        if (const OSErr e = readColorTable(r, table); e != err::noErr)
            return e;
        out.colorTable = std::move(table);
    }
    const auto rest = r.bytes(r.remaining());
    out.extensions.assign(rest.begin(), rest.end());
    return err::noErr;
}

Bytes ImageDescription::build() const
{
    const bool storedTable = colorTable.has_value() && pixelDepth() >= 1 && pixelDepth() <= 8;
    ByteWriter w(fixedSize + (storedTable ? colorTableByteSize(*colorTable) : 0) + extensions.size());
    w.u32(0);
    w.type(codecType);
    w.zeros(6);
    w.u16(dataRefIndex);
    w.i16(version);
    w.i16(revisionLevel);
    w.type(vendor);
    w.u32(temporalQuality);
    w.u32(spatialQuality);
    w.i16(width);
    w.i16(height);
    w.fixed(hRes);
    w.fixed(vRes);
    w.u32(dataSize);
    w.i16(frameCount);
    w.pascalString(name, 32);
    w.i16(depth);
    w.i16(storedTable ? 0 : colorTableId);
    if (storedTable)
        writeColorTable(w, *colorTable);
    w.bytes(extensions);
    w.putU32At(0, std::uint32_t(w.size()));
    return w.take();
}

} // namespace qm
