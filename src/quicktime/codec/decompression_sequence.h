#pragma once
// Decompresses the frames of one track in order, keeping the decoder's state between them, so
// that frames coded as differences ('cvid', 'rle ', 'rpza' and others) build on the frames
// before them.
#include <cstdint>
#include <memory>
#include <span>

#include "quicktime/codec/codec.h"

namespace qm {

class DecompressionSequence {
public:
    DecompressionSequence();
    ~DecompressionSequence();
    DecompressionSequence(DecompressionSequence&&) noexcept;
    DecompressionSequence& operator=(DecompressionSequence&&) noexcept;

    // Errors: noCodecErr, badImageDescription (size outside 1..kMaxImageDimension or more than
    // kMaxImagePixels), codecErr (the decoder refuses the description).
    OSErr begin(const ImageDescription& description);
    // Decompresses one frame into out; see decompressImage for the depths, the picture made and
    // the errors. A failed frame leaves the sequence usable for the next key frame.
    OSErr decompressFrame(std::span<const std::uint8_t> data, PixelDepth depth, OffscreenPicture& out);
    const ImageDescription& description() const;
    void end();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace qm
