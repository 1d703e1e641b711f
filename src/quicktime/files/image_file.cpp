#include "quicktime/files/image_file.h"

#include <cstring>
#include <fstream>
#include <system_error>

#include "quicktime/base/byte_io.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/codec_ffmpeg.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/base/os_error.h"
#include "quicktime/base/packbits.h"
#include "quicktime/files/pict_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace qm {

namespace {

void setDetail(std::string* detail, const std::string& text)
{
    if (detail)
        *detail = text;
}

AVCodecID ffmpegDecoderFor(OSType fileType)
{
    switch (fileType) {
    case fourCC("JPEG"):
        return AV_CODEC_ID_MJPEG;
    case fourCC("PNG "):
    case fourCC("PNGf"):
        return AV_CODEC_ID_PNG;
    case fourCC("BMP "):
    case fourCC("BMPf"):
        return AV_CODEC_ID_BMP;
    case fourCC("GIF "):
    case fourCC("GIFf"):
        return AV_CODEC_ID_GIF;
    case fourCC("TIFF"):
        return AV_CODEC_ID_TIFF;
    case fourCC("8BPS"):
        return AV_CODEC_ID_PSD;
    case fourCC("SGI "):
        return AV_CODEC_ID_SGI;
    case fourCC("TPIC"):
        return AV_CODEC_ID_TARGA;
    default:
        return AV_CODEC_ID_NONE;
    }
}

bool withinLimits(int width, int height)
{
    return width <= kMaxImageDimension && height <= kMaxImageDimension &&
           std::int64_t(width) * height <= kMaxImagePixels;
}

// Composes 32-bit pixels over white and makes them opaque.
void flattenOverWhite(OffscreenPicture& picture)
{
    for (int v = picture.bounds().top; v < picture.bounds().bottom; ++v) {
        std::uint32_t* p = picture.row32(v);
        for (int x = 0; x < picture.width(); ++x) {
            const std::uint32_t c = p[x];
            const unsigned a = c >> 24;
            if (a == 0xFF)
                continue;
            std::uint32_t out = 0xFF000000u;
            for (int shift : {16, 8, 0}) {
                const unsigned component = (c >> shift) & 0xFF;
                out |= std::uint32_t((component * a + 255 * (255 - a) + 127) / 255) << shift;
            }
            p[x] = out;
        }
    }
}

// The first picture of a whole image file handed to an FFmpeg image decoder as one packet.
OSErr decodeWithFfmpeg(std::span<const std::uint8_t> bytes, AVCodecID id, OffscreenPicture& out, std::string* detail)
{
    detail::initFfmpegLogging();
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return err::noCodecErr;
    detail::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    detail::FramePtr frame(av_frame_alloc());
    detail::PacketPtr packet(av_packet_alloc());
    if (!ctx || !frame || !packet)
        return err::memFullErr;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return err::noCodecErr;
    if (bytes.empty() || bytes.size() > std::size_t(INT32_MAX) - AV_INPUT_BUFFER_PADDING_SIZE)
        return err::codecErr;
    if (av_new_packet(packet.get(), int(bytes.size())) < 0)
        return err::memFullErr;
    std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    int got = avcodec_send_packet(ctx.get(), packet.get());
    if (got >= 0) {
        got = avcodec_receive_frame(ctx.get(), frame.get());
        if (got == AVERROR(EAGAIN) && avcodec_send_packet(ctx.get(), nullptr) >= 0)
            got = avcodec_receive_frame(ctx.get(), frame.get());
    }
    if (got < 0 || frame->width <= 0 || frame->height <= 0 || !frame->data[0]) {
        setDetail(detail, "the image data cannot be decoded");
        return err::codecErr;
    }
    const int w = frame->width;
    const int h = frame->height;
    if (!withinLimits(w, h)) {
        setDetail(detail, "the image is " + std::to_string(w) + " x " + std::to_string(h) + " pixels, too large");
        return err::memFullErr;
    }
    OffscreenPicture picture;
    if (const OSErr e = picture.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(h), std::int16_t(w)}))
        return e;
    // AV_PIX_FMT_RGB32 is 0xAARRGGBB in a native-endian word, the picture's own layout.
    detail::SwsContextPtr sws(sws_getContext(w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_RGB32,
                                             SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                             nullptr, nullptr));
    if (!sws)
        return err::codecErr;
    std::uint8_t* dst[4] = {picture.row8(0), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(picture.rowBytes()), 0, 0, 0};
    if (sws_scale(sws.get(), frame->data, frame->linesize, 0, h, dst, dstStride) != h)
        return err::codecErr;
    flattenOverWhite(picture);
    out = std::move(picture);
    return err::noErr;
}

// MacPaint: a 512-byte header, then 720 rows of 72 bytes (576 pixels, 1 = black), each row
// PackBits-compressed. Files that came through MacBinary keep its 128-byte header in front.
OSErr decodeMacPaint(std::span<const std::uint8_t> bytes, OffscreenPicture& out, std::string* detail)
{
    constexpr int kWidth = 576, kHeight = 720, kRowBytes = 72;
    std::size_t start = 512;
    if (bytes.size() > 128 + 512 && bytes[0] == 0 && std::memcmp(bytes.data() + 65, "PNTG", 4) == 0)
        start += 128;
    if (bytes.size() < start) {
        setDetail(detail, "the MacPaint file is shorter than its header");
        return err::codecErr;
    }
    ByteReader r(bytes.subspan(start));
    OffscreenPicture picture;
    if (const OSErr e = picture.allocate(PixelDepth::Argb32, Rect{0, 0, kHeight, kWidth}))
        return e;
    std::uint8_t row[kRowBytes];
    for (int y = 0; y < kHeight; ++y) {
        // Some writers end the picture early; the rest of the page stays white.
        if (!unpackBits(r, row, kRowBytes))
            std::memset(row, 0, kRowBytes);
        std::uint32_t* d = picture.row32(y);
        for (int x = 0; x < kWidth; ++x)
            d[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 0xFF000000u : 0xFFFFFFFFu;
    }
    out = std::move(picture);
    return err::noErr;
}

// QuickTime Image File: classic atoms, an image description ('idsc') and the image ('idat').
OSErr decodeQuickTimeImage(std::span<const std::uint8_t> bytes, OffscreenPicture& out, std::string* detail)
{
    std::span<const std::uint8_t> description, data;
    std::size_t pos = 0;
    while (bytes.size() - pos >= 8) {
        std::uint64_t size = loadBE32(bytes.data() + pos);
        std::size_t header = 8;
        if (size == 1 && bytes.size() - pos >= 16) {
            size = (std::uint64_t(loadBE32(bytes.data() + pos + 8)) << 32) | loadBE32(bytes.data() + pos + 12);
            header = 16;
        } else if (size == 0) {
            size = bytes.size() - pos;
        }
        if (size < header || size > bytes.size() - pos)
            break;
        const OSType type = loadBE32(bytes.data() + pos + 4);
        const auto payload = bytes.subspan(pos + header, std::size_t(size) - header);
        if (type == fourCC("idsc"))
            description = payload;
        else if (type == fourCC("idat"))
            data = payload;
        pos += std::size_t(size);
    }
    if (description.empty() || data.empty()) {
        setDetail(detail, "the QuickTime image file lacks its 'idsc' or 'idat' atom");
        return err::codecErr;
    }
    ImageDescription d;
    if (const OSErr e = ImageDescription::parse(description, d))
        return e;
    if (!withinLimits(d.width, d.height)) {
        setDetail(detail, "the image is too large");
        return err::memFullErr;
    }
    if (const OSErr e = decompressImage(d, data, PixelDepth::Argb32, out)) {
        setDetail(detail, "the '" + fourCCToString(d.codecType) + "' image cannot be decoded");
        return e;
    }
    flattenOverWhite(out);
    return err::noErr;
}

} // namespace

OSErr decodeImage(std::span<const std::uint8_t> bytes, OSType fileType, OffscreenPicture& out, std::string* detail)
{
    OffscreenPicture picture;
    OSErr e = err::noErr;
    if (const AVCodecID id = ffmpegDecoderFor(fileType); id != AV_CODEC_ID_NONE)
        e = decodeWithFfmpeg(bytes, id, picture, detail);
    else if (fileType == fourCC("PNTG"))
        e = decodeMacPaint(bytes, picture, detail);
    else if (fileType == fourCC("qtif"))
        e = decodeQuickTimeImage(bytes, picture, detail);
    else if (fileType == fourCC("PICT") || fileType == fourCC("clpp"))
        e = decodePictFile(bytes, picture, detail);
    else {
        setDetail(detail, "no reader for '" + fourCCToString(fileType) + "' images");
        e = err::noCodecErr;
    }
    if (e == err::noErr)
        out = std::move(picture);
    return e;
}

OSErr readImageFile(const std::filesystem::path& file, OSType fileType, OffscreenPicture& out, std::string* detail)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec)
        return osErrorFromErrno(ec.value());
    if (size > kMaxImageFileBytes) {
        setDetail(detail, "the image file is too large");
        return err::memFullErr;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return err::fnfErr;
    Bytes bytes(std::size_t(size), 0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size)))
        return err::ioErr;
    return decodeImage(bytes, fileType, out, detail);
}

} // namespace qm
