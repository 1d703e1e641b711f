#include "quicktime/codec/compression_sequence.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "quicktime/codec/codec_ffmpeg.h"
#include "quicktime/codec/codec_pixels.h"
#include "quicktime/codec/codec_registry.h"
#include "quicktime/base/errors.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

namespace qm {

namespace detail {
int byteSortLinked(); // byte_sort.cpp: the quick byte sort FFmpeg's Graphics encoder calls
}

using detail::PlaneFormat;

namespace {

// QuickTime quality (0..1024) to the MJPEG encoder's quantiser scale (1..31). The quality is
// first read as a JPEG quality percentage (512 -> 50, 768 -> 75, 1023 and up -> 100) and turned
// into the usual percentage scale of the standard tables (5000 / q below 50, 200 - 2q above);
// FFmpeg's base matrix at scale 8 is about half the standard luminance table, so 15 % of that
// percentage gives the scale: normal 15, high 7, maximum 1.
int jpegQScale(std::uint32_t quality)
{
    const double percent = 1.0 + 99.0 * double(std::min<std::uint32_t>(quality, 1023)) / 1023.0;
    const double tableScale = percent < 50 ? 5000.0 / percent : 200.0 - 2.0 * percent;
    return std::clamp(int(std::lround(tableScale * 0.15)), 1, 31);
}

// QuickTime quality to the Cinepak encoder's rate-distortion lambda: FFmpeg's default (256) at
// normal quality, halving for every step of 128 up to 8 at lossless.
int cinepakLambda(std::uint32_t quality)
{
    const double q = double(std::min<std::uint32_t>(quality, codecQuality::lossless));
    return int(std::lround(128.0 * std::exp2((512.0 - q) / 128.0)));
}

// QuickTime quality to the RPZA encoder's colour thresholds (largest per-component error, in
// 5-bit steps, that a one-colour or four-colour block may make).
int rpzaColorThreshold(std::uint32_t quality)
{
    if (quality >= codecQuality::lossless)
        return 0;
    if (quality >= codecQuality::normal)
        return 1;
    if (quality >= codecQuality::low)
        return 2;
    return 4;
}

// Temporal quality to the RPZA skip threshold: a block is repeated from the previous frame while
// every component differs by less than this.
int rpzaSkipThreshold(std::uint32_t temporalQuality)
{
    if (temporalQuality >= codecQuality::lossless)
        return 1;
    if (temporalQuality >= codecQuality::normal)
        return 2;
    return 3;
}

// Frames are written up to their width; the padding of each row stays zero, so encoders that
// read a little past the width see the same bytes every time.
void zeroFrame(AVFrame* f)
{
    for (AVBufferRef* b : f->buf)
        if (b)
            std::memset(b->data, 0, b->size);
}

} // namespace

struct CompressionSequence::Impl {
    SequenceCompressionParams params;
    const detail::CodecInfo* info = nullptr;
    ImageDescription description;
    PixelDepth source = PixelDepth::Argb32;
    int width = 0, height = 0;
    int codedWidth = 0, codedHeight = 0; // the encoder's frame (whole 4x4 blocks where needed)
    PlaneFormat plane = PlaneFormat::argb;
    AVPixelFormat encoderFormat = AV_PIX_FMT_NONE;
    bool yuv = false; // the plane goes through libswscale to encoderFormat
    ColorTable palette; // depth 8: the colours of the indices written
    std::int64_t frameIndex = 0;

    detail::CodecContextPtr ctx;
    detail::FramePtr frame;
    detail::FramePtr planeFrame; // 32-bit staging for YUV encoders
    detail::PacketPtr packet;
    detail::SwsContextPtr sws;

    bool keyFrameAt(std::int64_t index) const
    {
        if (index == 0)
            return true;
        return params.keyFrameRate > 0 && index % params.keyFrameRate == 0;
    }
    OSErr openEncoder();
    OSErr encodeOwn(const OffscreenPicture& src, const Rect& r, CompressedFrame& out) const;
};

CompressionSequence::CompressionSequence() = default;
CompressionSequence::~CompressionSequence() = default;
CompressionSequence::CompressionSequence(CompressionSequence&&) noexcept = default;
CompressionSequence& CompressionSequence::operator=(CompressionSequence&&) noexcept = default;

const ImageDescription& CompressionSequence::description() const
{
    static const ImageDescription none;
    return m ? m->description : none;
}

void CompressionSequence::end() { m.reset(); }

OSErr CompressionSequence::Impl::openEncoder()
{
    const AVCodec* codec = avcodec_find_encoder(AVCodecID(info->ffmpegId));
    if (!codec)
        return err::noCodecErr;
    ctx.reset(avcodec_alloc_context3(codec));
    if (!ctx)
        return err::memFullErr;
    AVCodecContext* c = ctx.get();
    c->width = codedWidth;
    c->height = codedHeight;
    c->pix_fmt = encoderFormat;
    // The codecs written here code no times; the clock is the movie's frame rate when known.
    c->time_base = params.frameRate > 0 ? av_inv_q(av_d2q(fixedToDouble(params.frameRate), 1 << 16)) : AVRational{1, 600};
    c->thread_count = 1; // callers run tiles in parallel themselves
    c->flags |= AV_CODEC_FLAG_BITEXACT;
    c->gop_size = params.keyFrameRate > 0 ? params.keyFrameRate : INT_MAX;
    const std::uint32_t quality = params.image.spatialQuality;
    switch (info->type) {
    case codecType::photoJpeg:
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * jpegQScale(quality);
        c->qmin = 1;
        c->qmax = 31;
        c->color_range = AVCOL_RANGE_JPEG;
        break;
    case codecType::cinepak:
    {
        // Three strips (the most old decoders take) at once: FFmpeg's default search over one to
        // three strips takes four times as long for no better pictures. A strip is at least one
        // row of blocks (FFmpeg 5.1 crashes on empty strips).
        const int strips = std::min(3, codedHeight / 4);
        av_opt_set_int(c->priv_data, "min_strips", strips, 0);
        av_opt_set_int(c->priv_data, "max_strips", strips, 0);
        break;
    }
    case codecType::roadPizza: {
        const int t = rpzaColorThreshold(quality);
        av_opt_set_int(c->priv_data, "start_one_color_thresh", t, 0);
        av_opt_set_int(c->priv_data, "continue_one_color_thresh", std::max(t - 1, 0), 0);
        av_opt_set_int(c->priv_data, "sixteen_color_thresh", t, 0);
        av_opt_set_int(c->priv_data, "skip_frame_thresh", rpzaSkipThreshold(params.temporalQuality), 0);
        break;
    }
    default:
        break;
    }
    if (avcodec_open2(c, codec, nullptr) < 0)
        return err::codecErr;

    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!frame || !packet)
        return err::memFullErr;
    frame->format = encoderFormat;
    frame->width = codedWidth;
    frame->height = codedHeight;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return err::memFullErr;
    zeroFrame(frame.get());
    if (yuv) {
        planeFrame.reset(av_frame_alloc());
        if (!planeFrame)
            return err::memFullErr;
        // Chroma subsampling reads a pixel beyond odd widths and heights: the staging picture
        // has an even size, filled by repeating the last column and row.
        planeFrame->format = AV_PIX_FMT_RGB32;
        planeFrame->width = (codedWidth + 1) & ~1;
        planeFrame->height = (codedHeight + 1) & ~1;
        if (av_frame_get_buffer(planeFrame.get(), 0) < 0)
            return err::memFullErr;
        zeroFrame(planeFrame.get());
        sws.reset(sws_getContext(codedWidth, codedHeight, AV_PIX_FMT_RGB32, codedWidth, codedHeight, encoderFormat,
                                 SWS_BICUBIC | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
        if (!sws)
            return err::memFullErr;
    }
    return err::noErr;
}

OSErr CompressionSequence::begin(int width, int height, PixelDepth source, const SequenceCompressionParams& params)
{
    m.reset();
    detail::initFfmpegLogging();
    [[maybe_unused]] static const int sortLinked = detail::byteSortLinked();
    if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension ||
        std::int64_t(width) * height > kMaxImagePixels)
        return err::paramErr;
    auto s = std::make_unique<Impl>();
    s->info = detail::findCodec(params.image.codecType);
    if (!s->info)
        return err::noCodecErr;
    s->params = params;
    s->source = source;
    s->width = s->codedWidth = width;
    s->height = s->codedHeight = height;
    const OSType type = s->info->type;
    const std::int16_t depth = compressionDepth(type, params.image.depth, source);

    switch (depth) {
    case 8:
        s->plane = PlaneFormat::indices;
        s->encoderFormat = type == codecType::animation ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_PAL8;
        break;
    case 16:
        s->plane = std::endian::native == std::endian::little ? PlaneFormat::rgb555le : PlaneFormat::rgb555be;
        s->encoderFormat = AV_PIX_FMT_RGB555;
        if (type == codecType::animation || type == codecType::raw) {
            s->plane = PlaneFormat::rgb555be;
            s->encoderFormat = AV_PIX_FMT_RGB555BE;
        }
        break;
    case 32:
        s->plane = type == codecType::png ? PlaneFormat::rgba : PlaneFormat::argb;
        s->encoderFormat = type == codecType::png ? AV_PIX_FMT_RGBA : AV_PIX_FMT_ARGB;
        break;
    default:
        s->plane = PlaneFormat::rgb24;
        s->encoderFormat = AV_PIX_FMT_RGB24;
        break;
    }
    if (type == codecType::photoJpeg) {
        // Colour at half resolution (4:2:0) up to normal quality, at full resolution from high
        // quality on: halving it costs sharp colour edges more than the finest quantiser.
        s->plane = PlaneFormat::native32;
        s->encoderFormat = params.image.spatialQuality >= codecQuality::high ? AV_PIX_FMT_YUVJ444P : AV_PIX_FMT_YUVJ420P;
        s->yuv = true;
    }
    // Cinepak, Road Pizza and Graphics code whole 4x4 blocks, and FFmpeg's encoders mishandle
    // partial ones (Cinepak refuses them, Road Pizza aborts on pictures less than 4 rows high,
    // Graphics reads outside the picture). They get the picture padded to whole blocks with
    // its own edge pixels: that stream has exactly the blocks of the real picture, and decoders
    // clip them to the described size. The 8-bit Animation format codes groups of four pixels.
    if (type == codecType::cinepak || type == codecType::roadPizza || type == codecType::graphics) {
        s->codedWidth = (width + 3) & ~3;
        s->codedHeight = (height + 3) & ~3;
    } else if (type == codecType::animation && depth == 8) {
        s->codedWidth = (width + 3) & ~3;
    }

    // For an indexed source the palette is the picture's own, taken with the first frame.
    if (depth == 8 && source == PixelDepth::Argb32)
        s->palette = params.image.colorTable ? *params.image.colorTable : ColorTable::standard8();

    ImageDescription& d = s->description;
    d.codecType = type;
    d.name = s->info->name;
    d.width = std::int16_t(width);
    d.height = std::int16_t(height);
    d.depth = depth;
    d.spatialQuality = std::min<std::uint32_t>(params.image.spatialQuality, codecQuality::lossless);
    d.temporalQuality = s->info->temporal && params.keyFrameRate != 1
                            ? std::min<std::uint32_t>(params.temporalQuality, codecQuality::lossless)
                            : 0;
    if (depth == 8 && source == PixelDepth::Argb32)
        d.colorTable = s->palette;

    if (!s->info->ownEncoder)
        if (const OSErr e = s->openEncoder(); e != err::noErr)
            return e;
    m = std::move(s);
    return err::noErr;
}

OSErr CompressionSequence::Impl::encodeOwn(const OffscreenPicture& src, const Rect& r, CompressedFrame& out) const
{
    // 'raw ': rows packed without padding.
    const std::size_t rowBytes = std::size_t(width) * std::size_t(detail::planeBytesPerPixel(plane));
    try {
        out.data.assign(rowBytes * std::size_t(height), 0);
    } catch (const std::bad_alloc&) {
        return err::memFullErr;
    }
    detail::writePlane(src, r, plane, palette, out.data.data(), rowBytes, width, height);
    out.keyFrame = true;
    return err::noErr;
}

OSErr CompressionSequence::compressFrame(const OffscreenPicture& src, const Rect& srcRect, CompressedFrame& out)
{
    out = CompressedFrame();
    if (!m)
        return err::paramErr;
    Impl& s = *m;
    const Rect& b = src.bounds();
    if (src.isNull() || src.depth() != s.source || srcRect.width() != s.width || srcRect.height() != s.height ||
        srcRect.top < b.top || srcRect.left < b.left || srcRect.bottom > b.bottom || srcRect.right > b.right)
        return err::paramErr;
    if (s.plane == PlaneFormat::indices && s.source == PixelDepth::Indexed8) {
        if (s.frameIndex == 0) {
            s.palette = src.colorTable();
            s.description.colorTable = s.palette;
        } else if (!(src.colorTable() == s.palette)) {
            return err::paramErr; // one description serves every frame
        }
    }
    const bool key = s.keyFrameAt(s.frameIndex);

    if (s.info->ownEncoder) {
        const OSErr e = s.encodeOwn(src, srcRect, out);
        ++s.frameIndex;
        return e;
    }

    // RPZA has no key frame interval of its own: a fresh encoder makes a frame without
    // references to the previous one.
    if (key && s.frameIndex > 0 && s.info->type == codecType::roadPizza)
        if (const OSErr e = s.openEncoder(); e != err::noErr) {
            m.reset();
            return e;
        }

    AVFrame* f = s.frame.get();
    if (av_frame_make_writable(f) < 0) {
        m.reset();
        return err::memFullErr;
    }
    if (s.yuv) {
        AVFrame* p = s.planeFrame.get();
        detail::writePlane(src, srcRect, s.plane, s.palette, p->data[0], std::size_t(p->linesize[0]), p->width,
                           p->height);
        sws_scale(s.sws.get(), p->data, p->linesize, 0, s.codedHeight, f->data, f->linesize);
    } else {
        detail::writePlane(src, srcRect, s.plane, s.palette, f->data[0], std::size_t(f->linesize[0]), s.codedWidth,
                           s.codedHeight);
        if (s.encoderFormat == AV_PIX_FMT_GRAY8) {
            // FFmpeg's Animation encoder takes 8-bit pixels as grey levels and stores 255 - level
            // (QuickDraw grey tables run from white to black); pass it the complement of each
            // index so that the index itself is stored.
            for (int y = 0; y < s.codedHeight; ++y) {
                std::uint8_t* row = f->data[0] + std::ptrdiff_t(y) * f->linesize[0];
                for (int x = 0; x < s.codedWidth; ++x)
                    row[x] = std::uint8_t(255 - row[x]);
            }
        } else if (s.encoderFormat == AV_PIX_FMT_PAL8) {
            auto* pal = reinterpret_cast<std::uint32_t*>(f->data[1]);
            for (int i = 0; i < 256; ++i)
                pal[i] = s.palette.argb(std::uint8_t(i));
        }
    }
    f->pts = s.frameIndex;
    f->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (s.info->type == codecType::photoJpeg)
        f->quality = s.ctx->global_quality;
    else if (s.info->type == codecType::cinepak)
        f->quality = cinepakLambda(s.params.image.spatialQuality) + 1;

    OSErr e = err::noErr;
    if (avcodec_send_frame(s.ctx.get(), f) < 0 || avcodec_receive_packet(s.ctx.get(), s.packet.get()) < 0) {
        e = err::codecErr;
    } else {
        AVPacket* p = s.packet.get();
        try {
            out.data.assign(p->data, p->data + p->size);
        } catch (const std::bad_alloc&) {
            e = err::memFullErr;
        }
        if (!s.info->temporal)
            out.keyFrame = true;
        else if (s.info->type == codecType::roadPizza)
            out.keyFrame = key;
        else
            out.keyFrame = (p->flags & AV_PKT_FLAG_KEY) != 0;
        av_packet_unref(p);
    }
    if (e != err::noErr) {
        m.reset();
        return e;
    }
    ++s.frameIndex;
    return err::noErr;
}

} // namespace qm
