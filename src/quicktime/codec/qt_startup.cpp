#include "quicktime/codec/qt_startup.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

#include "quicktime/base/errors.h"

namespace qm {

namespace {

struct RequiredCodec {
    AVCodecID id;
    const char* name;
};

// Photo-JPEG, Cinepak, Graphics, Animation, Road Pizza, raw and PNG: the codecs of QuickTime VR
// movies and of the program's recompression choices; each is needed both ways.
constexpr RequiredCodec kRequiredCodecs[] = {
    {AV_CODEC_ID_MJPEG, "mjpeg"}, {AV_CODEC_ID_CINEPAK, "cinepak"}, {AV_CODEC_ID_SMC, "smc"},
    {AV_CODEC_ID_QTRLE, "qtrle"}, {AV_CODEC_ID_RPZA, "rpza"},       {AV_CODEC_ID_RAWVIDEO, "rawvideo"},
    {AV_CODEC_ID_PNG, "png"},
};

std::string versionText(unsigned v)
{
    return std::to_string(v >> 16) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string(v & 0xFF);
}

// Empty when the run-time library has the major version the program was built against.
std::string majorMismatch(const char* library, unsigned runtime, unsigned builtMajor)
{
    if ((runtime >> 16) == builtMajor)
        return {};
    return std::string(library) + " " + versionText(runtime) + " is installed, but Quillmere was built for version " +
           std::to_string(builtMajor) + ".";
}

} // namespace

OSErr FfmpegQuickTimePlatform::initialize()
{
    m_detail = majorMismatch("libavcodec", avcodec_version(), LIBAVCODEC_VERSION_MAJOR);
    if (m_detail.empty())
        m_detail = majorMismatch("libavutil", avutil_version(), LIBAVUTIL_VERSION_MAJOR);
    if (m_detail.empty())
        m_detail = majorMismatch("libswscale", swscale_version(), LIBSWSCALE_VERSION_MAJOR);
    return m_detail.empty() ? err::noErr : err::quickTimeNotFound;
}

OSErr FfmpegQuickTimePlatform::attribute(OSType selector, std::int32_t& response)
{
    response = 0;
    m_detail.clear();
    if (selector == fourCC("qtim")) {
        if (avcodec_version() >= LIBAVCODEC_VERSION_INT) {
            response = kQuickTimeLayerVersion;
        } else {
            m_detail = "libavcodec " + versionText(avcodec_version()) +
                       " is older than the version " + versionText(LIBAVCODEC_VERSION_INT) +
                       " Quillmere was built for.";
        }
        return err::noErr;
    }
    if (selector == fourCC("qtvr")) {
        std::string missing;
        for (const RequiredCodec& c : kRequiredCodecs) {
            if (!avcodec_find_decoder(c.id))
                missing += std::string(missing.empty() ? "" : ", ") + c.name + " decoder";
            if (!avcodec_find_encoder(c.id))
                missing += std::string(missing.empty() ? "" : ", ") + c.name + " encoder";
        }
        if (missing.empty())
            response = 1;
        else
            m_detail = "FFmpeg's libavcodec lacks: " + missing + ".";
        return err::noErr;
    }
    return err::gestaltUndefSelectorErr;
}

OSErr QuickTimeConnection::initialize(std::int32_t)
{
    if (m_count >= 1) {
        ++m_count;
        return err::noErr;
    }
    if (const OSErr e = m_platform.initialize())
        return e;
    m_count = 1;
    return err::noErr;
}

void QuickTimeConnection::terminate()
{
    if (m_count <= 0)
        return; // unbalanced: nothing is running
    if (--m_count == 0) {
        if (m_inMovies) {
            m_platform.exitMovies();
            m_inMovies = false;
        }
        m_platform.terminate();
    }
}

OSErr QuickTimeConnection::enterMovies()
{
    if (!isInitialized())
        return err::quickTimeNotInitialized;
    if (m_inMovies)
        return err::noErr;
    if (const OSErr e = m_platform.enterMovies())
        return e;
    m_inMovies = true;
    return err::noErr;
}

void QuickTimeConnection::exitMovies()
{
    if (!m_inMovies)
        return;
    m_platform.exitMovies();
    m_inMovies = false;
}

OSErr QuickTimeConnection::attribute(OSType selector, std::int32_t& response)
{
    response = 0;
    if (!isInitialized())
        return err::quickTimeNotInitialized;
    return m_platform.attribute(selector, response);
}

QuickTimeStartup startQuickTime(QuickTimeConnection& connection)
{
    QuickTimePlatform& platform = connection.platform();
    if (connection.initialize(0) != err::noErr)
        return {err::quickTimeStartFailed, platform.failureDetail()};
    if (connection.enterMovies() != err::noErr) {
        QuickTimeStartup failed{err::quickTimeStartFailed, platform.failureDetail()};
        connection.terminate();
        return failed;
    }
    std::int32_t version = 0;
    if (connection.attribute(fourCC("qtim"), version) != err::noErr)
        version = 0;
    if (std::uint32_t(version) < std::uint32_t(kRequiredQuickTimeVersion)) {
        QuickTimeStartup failed{err::quickTimeTooOld, platform.failureDetail()};
        stopQuickTime(connection);
        return failed;
    }
    std::int32_t vr = 0;
    if (connection.attribute(fourCC("qtvr"), vr) != err::noErr || !(vr & 1)) {
        QuickTimeStartup failed{err::notQuickTimeVR2, platform.failureDetail()};
        stopQuickTime(connection);
        return failed;
    }
    return {};
}

void stopQuickTime(QuickTimeConnection& connection)
{
    connection.exitMovies();
    connection.terminate();
}

QuickTimeConnection& quickTime()
{
    static FfmpegQuickTimePlatform platform;
    static QuickTimeConnection connection(platform);
    return connection;
}

} // namespace qm
