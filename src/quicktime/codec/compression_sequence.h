#pragma once
// Compresses the frames of a linear movie one after another, with temporal compression
// (frames that code only their differences from the previous one) where the codec has it:
// 'cvid', 'rle ' and 'rpza'. The other codecs make every frame a key frame.
#include <cstdint>
#include <memory>

#include "quicktime/codec/codec.h"

namespace qm {

struct SequenceCompressionParams {
    ImageCompressionParams image;
    std::uint32_t temporalQuality = codecQuality::normal;
    // Every keyFrameRate-th frame is a key frame (1: all); 0 or less: only the first.
    std::int32_t keyFrameRate = 0;
    // Frames per second (16.16), the encoder's clock; 0 when unknown. The codecs written here do
    // not code times, so it changes no data.
    Fixed frameRate = 0;
};

struct CompressedFrame {
    Bytes data;
    bool keyFrame = false; // a sync sample: decodable without the frames before it
};

class CompressionSequence {
public:
    CompressionSequence();
    ~CompressionSequence();
    CompressionSequence(CompressionSequence&&) noexcept;
    CompressionSequence& operator=(CompressionSequence&&) noexcept;

    // Starts a sequence of width x height frames taken from pictures of the source depth.
    // Errors as compressImage.
    OSErr begin(int width, int height, PixelDepth source, const SequenceCompressionParams& params);
    // Compresses the part srcRect (picture coordinates) of src; its size must be the
    // sequence's, the picture's depth the source depth, and an 8-bit picture's colour table the
    // first frame's. Errors: paramErr (nothing is compressed), codecErr and memFullErr (which end
    // the sequence).
    OSErr compressFrame(const OffscreenPicture& src, const Rect& srcRect, CompressedFrame& out);
    // The description of every frame (data size 0). Valid after a successful begin.
    const ImageDescription& description() const;
    void end();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace qm
