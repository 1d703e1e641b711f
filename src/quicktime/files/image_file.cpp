#include "quicktime/files/image_file.h"

#include <cstring>
#include <system_error>

#include "quicktime/base/byte_io.h"
#include "quicktime/codec/codec.h"
#include "quicktime/codec/codec_ffmpeg.h"
#include "quicktime/base/errors.h"
#include "quicktime/codec/image_description.h"
#include "quicktime/base/os_error.h"
#include "quicktime/base/packbits.h"
#include "quicktime/base/read_only_file.h"
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

std::uint32_t le16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t be16(std::span<const std::uint8_t> b, std::size_t at) { return (b[at] << 8) | b[at + 1]; }
std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

// The picture size a JPEG file's first frame header declares.
bool jpegFrameSize(std::span<const std::uint8_t> b, std::int64_t& width, std::int64_t& height)
{
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF)
            return false;
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) {
            ++at; // fill byte
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        const std::size_t length = be16(b, at + 2);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > b.size())
                return false;
            height = be16(b, at + 5);
            width = be16(b, at + 7);
            return true;
        }
        if (marker == 0xDA || length < 2)
            return false;
        at += 2 + length;
    }
    return false;
}

// The picture size an image file's header declares, read before any decoder sees the data, so
// that a header claiming a huge picture is refused before memory is spent on it. False when
// the header does not say or is not understood here (the decoder's own limit then applies).
bool declaredImageSize(std::span<const std::uint8_t> b, AVCodecID id, std::int64_t& width, std::int64_t& height)
{
    switch (id) {
    case AV_CODEC_ID_PNG:
        if (b.size() < 24 || std::memcmp(b.data() + 12, "IHDR", 4) != 0)
            return false;
        width = loadBE32(b.data() + 16);
        height = loadBE32(b.data() + 20);
        return true;
    case AV_CODEC_ID_BMP: {
        if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
            return false;
        if (le32(b, 14) == 12) { // OS/2 core header: 16-bit sizes
            width = le16(b, 18);
            height = le16(b, 20);
        } else {
            width = std::int32_t(le32(b, 18));
            height = std::int32_t(le32(b, 22));
            if (height < 0)
                height = -height; // top-down rows
        }
        return true;
    }
    case AV_CODEC_ID_GIF:
        if (b.size() < 10 || std::memcmp(b.data(), "GIF8", 4) != 0)
            return false;
        width = le16(b, 6);
        height = le16(b, 8);
        return true;
    case AV_CODEC_ID_TARGA:
        if (b.size() < 18)
            return false;
        width = le16(b, 12);
        height = le16(b, 14);
        return true;
    case AV_CODEC_ID_SGI:
        if (b.size() < 10 || be16(b, 0) != 474)
            return false;
        width = be16(b, 6);
        height = be16(b, 8);
        return true;
    case AV_CODEC_ID_PSD:
        if (b.size() < 22 || std::memcmp(b.data(), "8BPS", 4) != 0)
            return false;
        height = loadBE32(b.data() + 14);
        width = loadBE32(b.data() + 18);
        return true;
    case AV_CODEC_ID_MJPEG:
        return b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8 && jpegFrameSize(b, width, height);
    default:
        return false;
    }
}

bool withinLimits(std::int64_t width, std::int64_t height)
{
    return width <= kMaxImageDimension && height <= kMaxImageDimension && width * height <= kMaxImagePixels;
}

std::string tooLarge(std::int64_t width, std::int64_t height)
{
    return "the image is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, too large";
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
    if (std::int64_t w = 0, h = 0; declaredImageSize(bytes, id, w, h) && !withinLimits(w, h)) {
        setDetail(detail, tooLarge(w, h));
        return err::memFullErr;
    }
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return err::noCodecErr;
    detail::CodecContextPtr ctx(avcodec_alloc_context3(codec));
    detail::FramePtr frame(av_frame_alloc());
    detail::PacketPtr packet(av_packet_alloc());
    if (!ctx || !frame || !packet)
        return err::memFullErr;
    ctx->thread_count = 1;
    ctx->max_pixels = detail::kDecoderMaxPixels; // sizes found inside the data (TIFF, later headers)
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
        setDetail(detail, tooLarge(w, h));
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
    ReadOnlyFile in;
    if (const OSErr e = in.open(file))
        return e;
    if (in.size() > kMaxImageFileBytes) {
        setDetail(detail, "the image file is too large");
        return err::memFullErr;
    }
    Bytes bytes;
    if (const OSErr e = in.readAt(0, std::size_t(in.size()), bytes))
        return e;
    return decodeImage(bytes, fileType, out, detail);
}

} // namespace qm
