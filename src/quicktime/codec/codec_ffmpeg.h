#pragma once
// Ownership of FFmpeg objects for the codec files. Only forward declarations here: FFmpeg's
// headers stay in the .cpp files.
#include <cstdint>
#include <memory>

#include "quicktime/codec/codec.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace qm::detail {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const;
};
struct FrameDeleter {
    void operator()(AVFrame* f) const;
};
struct PacketDeleter {
    void operator()(AVPacket* p) const;
};
struct SwsContextDeleter {
    void operator()(SwsContext* s) const;
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;

// The pixel limit handed to FFmpeg decoders (AVCodecContext::max_pixels), so that a size declared
// inside compressed data is refused before any buffer for it is allocated. FFmpeg checks it
// against rows padded for alignment, hence the room above kMaxImagePixels; the exact limit is
// checked again on the decoded picture.
inline constexpr std::int64_t kDecoderMaxPixels = kMaxImagePixels + std::int64_t(64) * kMaxImageDimension;

// FFmpeg reports damaged data on stderr; the layer reports it as error codes instead. Setting
// QM_FFMPEG_LOG in the environment keeps FFmpeg's own messages (for debugging a codec).
void initFfmpegLogging();

} // namespace qm::detail
