#include "quicktime/codec/decompression_sequence.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "quicktime/codec/codec_ffmpeg.h"
#include "quicktime/codec/codec_pixels.h"
#include "quicktime/codec/codec_registry.h"
#include "quicktime/base/errors.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace qm {

namespace {

// Decoders leave the parts of a picture that damaged data does not reach as they found the
// memory; starting from zeros makes such pictures black instead of leftover heap contents.
int zeroedBuffer(AVCodecContext* c, AVFrame* f, int flags)
{
    if (const int r = avcodec_default_get_buffer2(c, f, flags); r < 0)
        return r;
    for (AVBufferRef* b : f->buf)
        if (b)
            std::memset(b->data, 0, b->size);
    return 0;
}

// An MPEG-4 descriptor's size: up to four bytes of seven bits each.
bool descriptorSize(ByteReader& r, std::size_t& size)
{
    size = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t b = r.u8();
        if (!r.ok())
            return false;
        size = (size << 7) | (b & 0x7F);
        if (!(b & 0x80))
            return true;
    }
    return true;
}

// The decoder specific information (tag 5) of an 'esds' payload: version and flags, then an
// ES descriptor (tag 3) holding a decoder configuration (tag 4) holding it.
Bytes esdsDecoderInfo(std::span<const std::uint8_t> payload)
{
    ByteReader r(payload);
    r.u32();
    while (r.ok() && !r.atEnd()) {
        const std::uint8_t tag = r.u8();
        std::size_t size = 0;
        if (!descriptorSize(r, size))
            return {};
        if (tag == 3) {
            r.u16(); // ES ID
            const std::uint8_t flags = r.u8();
            if (flags & 0x80)
                r.u16(); // depends-on ES ID
            if (flags & 0x40)
                r.skip(r.u8()); // URL
            if (flags & 0x20)
                r.u16(); // OCR ES ID
        } else if (tag == 4) {
            r.skip(13); // object type, stream type, buffer size, bit rates
        } else if (tag == 5) {
            const auto info = r.bytes(std::min(size, r.remaining()));
            return Bytes(info.begin(), info.end());
        } else {
            r.skip(size);
        }
    }
    return {};
}

// What a decoder needs from the description's extension atoms before the first frame.
Bytes decoderConfiguration(const Bytes& extensions)
{
    ByteReader r(extensions);
    while (r.remaining() >= 8) {
        const std::size_t start = r.pos();
        const std::uint32_t size = r.u32();
        const OSType type = r.type();
        if (size < 8 || size - start > extensions.size() - start || size > r.remaining() + 8)
            break;
        const auto payload = r.bytes(size - 8);
        if (type == fourCC("avcC") || type == fourCC("hvcC") || type == fourCC("av1C") || type == fourCC("glbl"))
            return Bytes(payload.begin(), payload.end());
        if (type == fourCC("esds"))
            return esdsDecoderInfo(payload);
    }
    return {};
}

} // namespace

struct DecompressionSequence::Impl {
    ImageDescription description;
    int width = 0, height = 0; // of the frames made: the description's, or reduced
    int reduction = 0;
    ColorTable colors; // the effective table of depths of 8 bits or less
    detail::CodecContextPtr ctx;
    detail::FramePtr frame;
    detail::PacketPtr packet;
    detail::FramePtr argbFrame; // libswscale's output: it may write past the end of a row
    SwsContext* sws = nullptr; // cached by sws_getCachedContext, freed with the sequence
    bool mayReorder = false;

    ~Impl() { sws_freeContext(sws); }
    OSErr toIndices(const AVFrame* f, OffscreenPicture& out) const;
    OSErr toArgb(const AVFrame* f, OffscreenPicture& out);
    OSErr fillPacket(std::span<const std::uint8_t> data);
    // The decoded frame in `frame` as a picture; the frame is released.
    OSErr convert(PixelDepth depth, OffscreenPicture& out);
};

DecompressionSequence::DecompressionSequence() = default;
DecompressionSequence::~DecompressionSequence() = default;
DecompressionSequence::DecompressionSequence(DecompressionSequence&&) noexcept = default;
DecompressionSequence& DecompressionSequence::operator=(DecompressionSequence&&) noexcept = default;

const ImageDescription& DecompressionSequence::description() const
{
    static const ImageDescription none;
    return m ? m->description : none;
}

void DecompressionSequence::end() { m.reset(); }

int DecompressionSequence::frameWidth() const { return m ? m->width : 0; }
int DecompressionSequence::frameHeight() const { return m ? m->height : 0; }
int DecompressionSequence::reduction() const { return m ? m->reduction : 0; }

OSErr DecompressionSequence::begin(const ImageDescription& description, int reduction)
{
    m.reset();
    detail::initFfmpegLogging();
    const int w = description.width;
    const int h = description.height;
    if (w <= 0 || h <= 0 || w > kMaxImageDimension || h > kMaxImageDimension || std::int64_t(w) * h > kMaxImagePixels)
        return err::badImageDescription;
    const int id = detail::decoderIdFor(description.codecType);
    const AVCodec* codec = id ? avcodec_find_decoder(AVCodecID(id)) : nullptr;
    if (!codec)
        return err::noCodecErr;

    auto s = std::make_unique<Impl>();
    s->description = description;
    s->reduction = std::clamp(reduction, 0, std::min(int(codec->max_lowres), 3));
    s->width = (w + (1 << s->reduction) - 1) >> s->reduction;
    s->height = (h + (1 << s->reduction) - 1) >> s->reduction;
    s->colors = description.effectiveColorTable();
    s->ctx.reset(avcodec_alloc_context3(codec));
    s->frame.reset(av_frame_alloc());
    s->packet.reset(av_packet_alloc());
    if (!s->ctx || !s->frame || !s->packet)
        return err::memFullErr;
    AVCodecContext* c = s->ctx.get();
    c->width = w;
    c->height = h;
    c->codec_tag = detail::ffmpegTag(description.codecType);
    // The depth as stored, grey flag included: decoders such as FFmpeg's Animation and raw
    // decoders choose their pixel layout from it.
    c->bits_per_coded_sample = description.depth;
    c->thread_count = 1;
    c->lowres = s->reduction;
    c->get_buffer2 = zeroedBuffer;
    c->max_pixels = detail::kDecoderMaxPixels;
    const Bytes configuration = decoderConfiguration(description.extensions);
    if (!configuration.empty()) {
        c->extradata = static_cast<std::uint8_t*>(av_mallocz(configuration.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata)
            return err::memFullErr;
        std::memcpy(c->extradata, configuration.data(), configuration.size());
        c->extradata_size = int(configuration.size());
    }
    s->mayReorder = (codec->capabilities & AV_CODEC_CAP_DELAY) != 0;
    if (avcodec_open2(c, codec, nullptr) < 0)
        return err::codecErr;
    m = std::move(s);
    return err::noErr;
}

OSErr DecompressionSequence::Impl::toIndices(const AVFrame* f, OffscreenPicture& out) const
{
    const int w = width;
    const int h = height;
    const auto format = AVPixelFormat(f->format);
    const int greyLevels = description.isGrey() ? 1 << description.pixelDepth() : 0;
    if (format != AV_PIX_FMT_PAL8 && format != AV_PIX_FMT_MONOWHITE && format != AV_PIX_FMT_MONOBLACK &&
        !(format == AV_PIX_FMT_GRAY8 && greyLevels))
        return err::paramErr;
    if (const OSErr e = out.allocate(PixelDepth::Indexed8, Rect{0, 0, std::int16_t(h), std::int16_t(w)}, colors);
        e != err::noErr)
        return e;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
        std::uint8_t* d = out.row8(y);
        switch (format) {
        case AV_PIX_FMT_PAL8:
            std::memcpy(d, s, std::size_t(w));
            break;
        case AV_PIX_FMT_MONOWHITE: // bit 1 is black: index 1 of the 1-bit table
        case AV_PIX_FMT_MONOBLACK: // bit 1 is white: index 0
            for (int x = 0; x < w; ++x) {
                const int bit = (s[x >> 3] >> (7 - (x & 7))) & 1;
                d[x] = std::uint8_t(format == AV_PIX_FMT_MONOWHITE ? bit : 1 - bit);
            }
            break;
        default: // grey levels: index 0 is white
            for (int x = 0; x < w; ++x)
                d[x] = std::uint8_t(((255 - s[x]) * (greyLevels - 1) + 127) / 255);
            break;
        }
    }
    return err::noErr;
}

OSErr DecompressionSequence::Impl::toArgb(const AVFrame* f, OffscreenPicture& out)
{
    const int w = width;
    const int h = height;
    const Rect bounds{0, 0, std::int16_t(h), std::int16_t(w)};
    const auto format = AVPixelFormat(f->format);
    if (format == AV_PIX_FMT_PAL8 || format == AV_PIX_FMT_MONOWHITE || format == AV_PIX_FMT_MONOBLACK ||
        (format == AV_PIX_FMT_GRAY8 && description.isGrey())) {
        OffscreenPicture indices;
        if (const OSErr e = toIndices(f, indices); e != err::noErr)
            return e;
        // Colours from the decoder's palette: the description's table unless the stream
        // carries its own.
        std::array<std::uint32_t, 256> pal{};
        if (format == AV_PIX_FMT_PAL8)
            std::memcpy(pal.data(), f->data[1], sizeof pal);
        else
            for (int i = 0; i < 256; ++i)
                pal[std::size_t(i)] = colors.argb(std::uint8_t(i));
        if (const OSErr e = out.allocate(PixelDepth::Argb32, bounds); e != err::noErr)
            return e;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* s = indices.row8(y);
            std::uint32_t* d = out.row32(y);
            for (int x = 0; x < w; ++x)
                d[x] = pal[s[x]];
        }
        return err::noErr;
    }

    if (const OSErr e = out.allocate(PixelDepth::Argb32, bounds); e != err::noErr)
        return e;
    if (format == AV_PIX_FMT_RGB555BE || format == AV_PIX_FMT_RGB555LE) {
        // libswscale widens 5-bit components without repeating their high bits (31 -> 248);
        // QuickDraw repeats them (31 -> 255).
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* s = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
            std::uint32_t* d = out.row32(y);
            for (int x = 0; x < w; ++x, s += 2) {
                const unsigned v = format == AV_PIX_FMT_RGB555BE ? unsigned(s[0] << 8 | s[1]) : unsigned(s[1] << 8 | s[0]);
                d[x] = argbPixel(detail::expand5(v >> 10 & 31), detail::expand5(v >> 5 & 31), detail::expand5(v & 31));
            }
        }
        return err::noErr;
    }
    sws = sws_getCachedContext(sws, w, h, format, w, h, AV_PIX_FMT_RGB32,
                               SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!sws)
        return err::codecErr;
    const AVPixFmtDescriptor* fd = av_pix_fmt_desc_get(format);
    if (fd && !(fd->flags & AV_PIX_FMT_FLAG_RGB) && f->color_range == AVCOL_RANGE_JPEG) {
        int* inv = nullptr;
        int* table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(sws, &inv, &srcRange, &table, &dstRange, &brightness, &contrast, &saturation) >= 0)
            sws_setColorspaceDetails(sws, inv, 1, table, dstRange, brightness, contrast, saturation);
    }
    if (!argbFrame) {
        argbFrame.reset(av_frame_alloc());
        if (!argbFrame)
            return err::memFullErr;
        argbFrame->format = AV_PIX_FMT_RGB32;
        argbFrame->width = w;
        argbFrame->height = h;
        if (av_frame_get_buffer(argbFrame.get(), 0) < 0)
            return err::memFullErr;
    }
    AVFrame* a = argbFrame.get();
    if (sws_scale(sws, f->data, f->linesize, 0, h, a->data, a->linesize) != h)
        return err::codecErr;
    for (int y = 0; y < h; ++y)
        std::memcpy(out.row8(y), a->data[0] + std::ptrdiff_t(y) * a->linesize[0], std::size_t(w) * 4);
    return err::noErr;
}

OSErr DecompressionSequence::decompressFrame(std::span<const std::uint8_t> data, PixelDepth depth, OffscreenPicture& out)
{
    out = OffscreenPicture();
    if (!m)
        return err::paramErr;
    Impl& s = *m;
    if (data.empty())
        return err::codecErr;
    if (const OSErr e = s.fillPacket(data); e != err::noErr)
        return e;
    AVPacket* p = s.packet.get();

    AVFrame* f = s.frame.get();
    av_frame_unref(f);
    const int sent = avcodec_send_packet(s.ctx.get(), p);
    av_packet_unref(p);
    if (sent < 0)
        return err::codecErr;
    int received = avcodec_receive_frame(s.ctx.get(), f);
    if (received == AVERROR(EAGAIN)) {
        // A decoder that holds frames back (H.264, HEVC) gives a lone frame only at the end of
        // its stream; it starts afresh after it.
        avcodec_send_packet(s.ctx.get(), nullptr);
        received = avcodec_receive_frame(s.ctx.get(), f);
        avcodec_flush_buffers(s.ctx.get());
    }
    if (received < 0)
        return err::codecErr;
    return s.convert(depth, out);
}

OSErr DecompressionSequence::Impl::fillPacket(std::span<const std::uint8_t> data)
{
    Impl& s = *this;
    if (data.size() > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE)
        return err::codecErr;
    // Uncompressed rows cut short: FFmpeg would fill the rest of the picture from whatever its
    // buffer held.
    const ImageDescription& d = s.description;
    if (d.codecType == codecType::raw &&
        data.size() < std::size_t(d.height) * ((std::size_t(d.width) * std::size_t(std::max(d.pixelDepth(), 1)) + 7) / 8))
        return err::codecErr;
    AVPacket* p = s.packet.get();
    av_packet_unref(p);
    if (av_new_packet(p, int(data.size())) < 0)
        return err::memFullErr;
    std::memcpy(p->data, data.data(), data.size());
    if (!s.colors.empty()) {
        std::uint8_t* side = av_packet_new_side_data(p, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
        if (!side)
            return err::memFullErr;
        auto* pal = reinterpret_cast<std::uint32_t*>(side);
        for (int i = 0; i < 256; ++i)
            pal[i] = s.colors.argb(std::uint8_t(i));
    }
    p->flags |= AV_PKT_FLAG_KEY;
    return err::noErr;
}

OSErr DecompressionSequence::Impl::convert(PixelDepth depth, OffscreenPicture& out)
{
    Impl& s = *this;
    AVFrame* f = s.frame.get();
    // A decoder may give a larger picture (a JPEG coded in whole blocks); the description's
    // rectangle is its top-left part.
    // A reduced decode that came out whole (the decoder declined the reduction for this
    // frame) would otherwise be cut to its top-left part.
    const bool unreduced = s.reduction > 0 && f->width >= s.description.width && f->height >= s.description.height;
    if (f->width < s.width || f->height < s.height || !f->data[0] || unreduced) {
        av_frame_unref(f);
        return err::codecErr;
    }
    const OSErr e = depth == PixelDepth::Indexed8 ? s.toIndices(f, out) : s.toArgb(f, out);
    av_frame_unref(f);
    if (e != err::noErr)
        out = OffscreenPicture();
    return e;
}

bool DecompressionSequence::mayReorder() const { return m && m->mayReorder; }

OSErr DecompressionSequence::sendFrame(std::span<const std::uint8_t> data, std::int64_t displayTime)
{
    if (!m)
        return err::paramErr;
    Impl& s = *m;
    AVPacket* p = nullptr;
    if (!data.empty()) {
        if (const OSErr e = s.fillPacket(data); e != err::noErr)
            return e;
        p = s.packet.get();
        p->pts = displayTime;
    }
    const int sent = avcodec_send_packet(s.ctx.get(), p);
    if (p)
        av_packet_unref(p);
    // After the end, a second end is no error.
    return sent < 0 && sent != AVERROR_EOF ? err::codecErr : err::noErr;
}

OSErr DecompressionSequence::receiveFrame(PixelDepth depth, OffscreenPicture& out, std::int64_t& displayTime, bool& got)
{
    got = false;
    out = OffscreenPicture();
    if (!m)
        return err::paramErr;
    Impl& s = *m;
    AVFrame* f = s.frame.get();
    av_frame_unref(f);
    const int r = avcodec_receive_frame(s.ctx.get(), f);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return err::noErr;
    if (r < 0)
        return err::codecErr;
    displayTime = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    if (const OSErr e = s.convert(depth, out); e != err::noErr)
        return e;
    got = true;
    return err::noErr;
}

} // namespace qm
