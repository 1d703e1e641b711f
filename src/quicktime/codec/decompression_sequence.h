#pragma once
// Decompresses the frames of one track in order, keeping the decoder's state between them, so
// that frames coded as differences ('cvid', 'rle ', 'rpza' and others) build on the frames
// before them. The description's extension atoms that configure a decoder ('avcC', 'hvcC',
// 'av1C', 'glbl', the decoder information in 'esds') are given to it.
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
    //
    // reduction (0 to 3) asks for the frames at 1/2, 1/4 or 1/8 of the description's size in
    // each direction, rounded up, when the decoder can make them that small while decoding (the
    // JPEG family does it in its inverse transform, at a fraction of the cost); it is lowered to
    // what the decoder can do. frameWidth()/frameHeight() give the size the frames come out at.
    // A frame the decoder cannot reduce (lossless JPEG, for one) fails with codecErr: begin
    // again without reduction for it.
    OSErr begin(const ImageDescription& description, int reduction = 0);
    // Decompresses one frame into out; see decompressImage for the depths, the picture made and
    // the errors. A failed frame leaves the sequence usable for the next key frame.
    OSErr decompressFrame(std::span<const std::uint8_t> data, PixelDepth depth, OffscreenPicture& out);
    const ImageDescription& description() const;
    // The size of the pictures decompressFrame makes: the description's size, reduced when
    // begin was asked to reduce and the decoder could. 0 before begin.
    int frameWidth() const;
    int frameHeight() const;
    int reduction() const;
    void end();

    // Codecs whose frames may come out later than they go in, and in another order (H.264,
    // HEVC, MPEG-4 with B-frames), are fed and drained separately. True when the codec may do so
    // or the media says it does (composition offsets).
    bool mayReorder() const;
    // Feeds one frame whose display time (any time scale) is displayTime; an empty span ends the
    // stream so that the frames held back come out. Errors: codecErr, memFullErr, paramErr.
    OSErr sendFrame(std::span<const std::uint8_t> data, std::int64_t displayTime);
    // The next frame the decoder gives, in display order, with the display time it was sent
    // with; got is false when it gives none yet (or none more after the end).
    OSErr receiveFrame(PixelDepth depth, OffscreenPicture& out, std::int64_t& displayTime, bool& got);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace qm
