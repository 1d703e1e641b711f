// Decompresses arbitrary bytes as image data of every codec, and parses arbitrary image
// descriptions.
//
// Input: byte 0 chooses the codec (a value past the table: the rest is an image description
// followed by its data), byte 1 the depth, bytes 2 and 3 the width and height (1..128), byte 4
// bit 0 asks for indices, bit 1 stores a colour table, bit 2 splits the data into two frames of
// one sequence; the data follows.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "quicktime/codec/codec.h"
#include "quicktime/codec/color_table_io.h"
#include "quicktime/codec/decompression_sequence.h"

using namespace qm;

namespace {

const OSType kTypes[] = {fourCC("jpeg"), fourCC("cvid"), fourCC("smc "), fourCC("rle "), fourCC("rpza"),
                         fourCC("raw "), fourCC("png "), fourCC("mjpa"), fourCC("8BPS"), fourCC("SVQ1")};
const std::int16_t kDepths[] = {1, 2, 4, 8, 16, 24, 32, 33, 34, 36, 40, 0};

void decode(const ImageDescription& d, std::span<const std::uint8_t> data, PixelDepth format, bool twoFrames)
{
    DecompressionSequence seq;
    if (seq.begin(d) != 0)
        return;
    OffscreenPicture out;
    if (!twoFrames) {
        seq.decompressFrame(data, format, out);
        return;
    }
    const std::size_t half = data.size() / 2;
    seq.decompressFrame(data.first(half), format, out);
    seq.decompressFrame(data.subspan(half), format, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::span<const std::uint8_t> in(bytes, size);
    const std::uint8_t flags = in[4];
    const PixelDepth format = flags & 1 ? PixelDepth::Indexed8 : PixelDepth::Argb32;
    if (in[0] >= std::size(kTypes)) {
        ImageDescription d;
        const auto rest = in.subspan(5);
        if (ImageDescription::parse(rest, d) != 0)
            return 0;
        d.effectiveColorTable();
        d.build();
        // Keep pictures small enough for the fuzzer's pace.
        if (d.width > 256 || d.height > 256)
            return 0;
        const std::size_t used = std::min<std::size_t>(loadBE32(rest.data()), rest.size());
        decode(d, rest.subspan(used), format, flags & 4);
        return 0;
    }
    ImageDescription d;
    d.codecType = kTypes[in[0]];
    d.depth = kDepths[in[1] % std::size(kDepths)];
    d.width = std::int16_t(1 + in[2] % 128);
    d.height = std::int16_t(1 + in[3] % 128);
    if (flags & 2) {
        std::vector<RGBColor> colours = macColorTable(4).entries();
        colours.resize(201);
        colours[200] = {1, 2, 3};
        d.colorTable = ColorTable(colours);
        d.colorTableId = 0;
    }
    decode(d, in.subspan(5), format, flags & 4);
    return 0;
}
