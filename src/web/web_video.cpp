#include "web/web_video.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "quicktime/base/errors.h"

namespace qm::web {

namespace {

const AVCodec* findH264()
{
    if (const AVCodec* c = avcodec_find_encoder_by_name("libx264"))
        return c;
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}

} // namespace

std::string h264EncoderName()
{
    const AVCodec* c = findH264();
    return c ? c->name : "";
}

struct Mp4VideoWriter::State {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* sws = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool headerWritten = false;
    bool finished = false;
    int width = 0, height = 0;
    std::int64_t lastPts = -1;

    ~State()
    {
        if (format && headerWritten && !finished)
            av_write_trailer(format);
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&codec);
        sws_freeContext(sws);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    OSErr drain(bool flush)
    {
        if (flush && avcodec_send_frame(codec, nullptr) < 0)
            return err::codecErr;
        for (;;) {
            const int r = avcodec_receive_packet(codec, packet);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return 0;
            if (r < 0)
                return err::codecErr;
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int w = av_interleaved_write_frame(format, packet);
            av_packet_unref(packet);
            if (w < 0)
                return err::ioErr;
        }
    }
};

Mp4VideoWriter::Mp4VideoWriter() = default;
Mp4VideoWriter::~Mp4VideoWriter() = default;

std::string Mp4VideoWriter::encoderName() const { return m && m->codec ? m->codec->codec->name : ""; }

OSErr Mp4VideoWriter::open(const std::filesystem::path& file, int width, int height, TimeScale timeScale, int quality)
{
    m = std::make_unique<State>();
    width &= ~1;
    height &= ~1;
    if (width < 2 || height < 2 || timeScale <= 0)
        return err::paramErr;
    const AVCodec* encoder = findH264();
    if (!encoder)
        return err::noCodecErr;
    if (avformat_alloc_output_context2(&m->format, nullptr, "mp4", file.string().c_str()) < 0 || !m->format)
        return err::paramErr;
    m->stream = avformat_new_stream(m->format, nullptr);
    m->codec = avcodec_alloc_context3(encoder);
    m->frame = av_frame_alloc();
    m->packet = av_packet_alloc();
    if (!m->stream || !m->codec || !m->frame || !m->packet)
        return err::memFullErr;
    m->width = width;
    m->height = height;
    m->codec->width = width;
    m->codec->height = height;
    m->codec->pix_fmt = AV_PIX_FMT_YUV420P;
    m->codec->time_base = AVRational{1, int(timeScale)};
    m->codec->gop_size = 48;
    if (m->format->oformat->flags & AVFMT_GLOBALHEADER)
        m->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // 100 -> crf 14, 50 -> crf 27, 1 -> crf 40.
    const int crf = 40 - (std::clamp(quality, 1, 100) - 1) * 26 / 99;
    av_opt_set_int(m->codec->priv_data, "crf", crf, 0);
    av_opt_set(m->codec->priv_data, "preset", "medium", 0);
    av_opt_set(m->codec->priv_data, "profile", "high", 0);
    if (avcodec_open2(m->codec, encoder, nullptr) < 0)
        return err::codecErr;
    if (avcodec_parameters_from_context(m->stream->codecpar, m->codec) < 0)
        return err::codecErr;
    m->stream->time_base = m->codec->time_base;
    if (avio_open(&m->format->pb, file.string().c_str(), AVIO_FLAG_WRITE) < 0)
        return err::ioErr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int h = avformat_write_header(m->format, &options);
    av_dict_free(&options);
    if (h < 0)
        return err::ioErr;
    m->headerWritten = true;

    m->frame->format = AV_PIX_FMT_YUV420P;
    m->frame->width = width;
    m->frame->height = height;
    if (av_frame_get_buffer(m->frame, 0) < 0)
        return err::memFullErr;
    return 0;
}

OSErr Mp4VideoWriter::addFrame(const OffscreenPicture& picture, TimeValue time)
{
    if (!m || !m->codec || m->finished || picture.isNull() || picture.depth() != PixelDepth::Argb32)
        return err::paramErr;
    if (time <= m->lastPts)
        return 0; // a frame shown no longer than the one before it
    m->sws = sws_getCachedContext(m->sws, picture.width(), picture.height(), AV_PIX_FMT_RGB32, m->width, m->height,
                                  AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m->sws)
        return err::memFullErr;
    if (av_frame_make_writable(m->frame) < 0)
        return err::memFullErr;
    const std::uint8_t* src[1] = {picture.data()};
    const int stride[1] = {int(picture.rowBytes())};
    sws_scale(m->sws, src, stride, 0, picture.height(), m->frame->data, m->frame->linesize);
    m->frame->pts = time;
    m->lastPts = time;
    if (avcodec_send_frame(m->codec, m->frame) < 0)
        return err::codecErr;
    return m->drain(false);
}

OSErr Mp4VideoWriter::finish(TimeValue lastFrameEnd)
{
    (void)lastFrameEnd;
    if (!m || !m->codec || m->finished)
        return err::paramErr;
    if (OSErr e = m->drain(true))
        return e;
    m->finished = true;
    if (av_write_trailer(m->format) < 0)
        return err::ioErr;
    return 0;
}

} // namespace qm::web
