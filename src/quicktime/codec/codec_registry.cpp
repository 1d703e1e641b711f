#include "quicktime/codec/codec_registry.h"

#include <array>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace qm::detail {

namespace {

const std::array<CodecInfo, 7> kCodecs = {{
    {fourCC("jpeg"), "Photo - JPEG", AV_CODEC_ID_MJPEG, false, false},
    {fourCC("cvid"), "Cinepak", AV_CODEC_ID_CINEPAK, false, true},
    {fourCC("smc "), "Graphics", AV_CODEC_ID_SMC, false, false},
    {fourCC("rle "), "Animation", AV_CODEC_ID_QTRLE, false, true},
    {fourCC("rpza"), "Video", AV_CODEC_ID_RPZA, false, true},
    {fourCC("raw "), "None", AV_CODEC_ID_RAWVIDEO, true, false},
    {fourCC("png "), "PNG", AV_CODEC_ID_PNG, false, false},
}};

} // namespace

const CodecInfo* findCodec(OSType type)
{
    for (const CodecInfo& c : kCodecs)
        if (c.type == type)
            return &c;
    return nullptr;
}

const CodecInfo* codecAt(std::size_t index) { return index < kCodecs.size() ? &kCodecs[index] : nullptr; }

int decoderIdFor(OSType type)
{
    if (const CodecInfo* c = findCodec(type))
        return c->ffmpegId;
    // Everything else FFmpeg reads in QuickTime files ('SVQ1', 'mjpa', '8BPS', 'yuv2', ...).
    const AVCodecTag* const tables[] = {avformat_get_mov_video_tags(), nullptr};
    return int(av_codec_get_id(tables, ffmpegTag(type)));
}

} // namespace qm::detail
