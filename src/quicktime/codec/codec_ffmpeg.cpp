#include "quicktime/codec/codec_ffmpeg.h"

#include <cstdlib>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace qm::detail {

void CodecContextDeleter::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void FrameDeleter::operator()(AVFrame* f) const { av_frame_free(&f); }
void PacketDeleter::operator()(AVPacket* p) const { av_packet_free(&p); }
void SwsContextDeleter::operator()(SwsContext* s) const { sws_freeContext(s); }

void initFfmpegLogging()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (!std::getenv("QM_FFMPEG_LOG"))
            av_log_set_level(AV_LOG_QUIET);
    });
}

} // namespace qm::detail
