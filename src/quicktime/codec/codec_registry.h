#pragma once
// The codecs the layer knows by four-character code: names, FFmpeg codec ids (plain ints, so that
// FFmpeg's headers stay in the .cpp files), and which of them compress with temporal
// prediction.
#include <cstdint>

#include "quicktime/base/os_types.h"

namespace qm::detail {

struct CodecInfo {
    OSType type;
    const char* name;
    int ffmpegId;     // AVCodecID of the encoder and decoder
    bool ownEncoder;  // written by this layer, not by FFmpeg ('raw ')
    bool temporal;    // the encoder can code frames as differences
};

// The compression types, in the order compressorTypes() lists them; nullptr for others.
const CodecInfo* findCodec(OSType type);
const CodecInfo* codecAt(std::size_t index);
// The FFmpeg decoder id for any four-character code FFmpeg knows in QuickTime files, 0 if none.
int decoderIdFor(OSType type);
// The FFmpeg codec tag of a four-character code (first character in the low byte).
inline std::uint32_t ffmpegTag(OSType type)
{
    return ((type >> 24) & 0xFF) | ((type >> 8) & 0xFF00) | ((type << 8) & 0xFF0000) | (type << 24);
}

} // namespace qm::detail
