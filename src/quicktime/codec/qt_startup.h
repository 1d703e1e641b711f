#pragma once
// What stands in for loading QuickTime and QuickTime VR at start-up: a reference-counted
// connection to the media libraries, and the start-up checks that refuse to run on a broken
// installation (for example an FFmpeg build without a codec the program needs) with the error
// codes a missing QuickTime would give.
#include <cstdint>
#include <string>

#include "quicktime/base/os_types.h"

namespace qm {

// The QuickTime feature level the layer provides; the start-up check asks for at least 3.0.
inline constexpr std::int32_t kQuickTimeLayerVersion = 0x03000000;
inline constexpr std::int32_t kRequiredQuickTimeVersion = 0x03000000;

// The facts the start-up checks ask for. The program's platform asks FFmpeg; tests substitute
// their own to drive each failure.
class QuickTimePlatform {
public:
    virtual ~QuickTimePlatform() = default;
    virtual OSErr initialize() = 0;
    virtual void terminate() = 0;
    virtual OSErr enterMovies() = 0;
    virtual void exitMovies() = 0;
    // A system attribute: 'qtim' (the version, 0xMMmm0000) and 'qtvr' (bit 0: QuickTime VR
    // present); -5551 for an attribute the platform does not know.
    virtual OSErr attribute(OSType selector, std::int32_t& response) = 0;
    // Words for the user on why the last call failed, or empty.
    virtual std::string failureDetail() const { return {}; }
};

// FFmpeg's libavcodec, libavutil and libswscale: initialisation fails when the libraries found
// at run time are of another major version than the program was built for; the version is too
// old when libavcodec is older than the one built against; QuickTime VR is present when every
// decoder and encoder the program needs exists (mjpeg, cinepak, smc, qtrle, rpza, rawvideo, png).
class FfmpegQuickTimePlatform : public QuickTimePlatform {
public:
    OSErr initialize() override;
    void terminate() override {}
    OSErr enterMovies() override { return 0; }
    void exitMovies() override {}
    OSErr attribute(OSType selector, std::int32_t& response) override;
    std::string failureDetail() const override { return m_detail; }

private:
    std::string m_detail;
};

class QuickTimeConnection {
public:
    explicit QuickTimeConnection(QuickTimePlatform& platform) : m_platform(platform) {}

    // Reference counted: only the first successful call initialises the platform. flags: 0.
    OSErr initialize(std::int32_t flags = 0);
    // Balances one successful initialize(); the last one terminates the platform.
    void terminate();
    int initCount() const { return m_count; }
    bool isInitialized() const { return m_count > 0; }

    // -2095 while not initialised.
    OSErr enterMovies();
    void exitMovies();
    bool inMovies() const { return m_inMovies; }
    OSErr attribute(OSType selector, std::int32_t& response);

    QuickTimePlatform& platform() const { return m_platform; }

private:
    QuickTimePlatform& m_platform;
    int m_count = 0;
    bool m_inMovies = false;
};

struct QuickTimeStartup {
    OSErr error = 0;    // 0, or 135, 130 or 134 for the start-up alert
    std::string detail; // why, in words, when known
};

// The start-up checks in order: initialise (135), enter the movie toolbox (135), version 3.0 or
// later (130), QuickTime VR present (134). A failure stops again what was started.
QuickTimeStartup startQuickTime(QuickTimeConnection& connection);
// At shutdown: leaves the movie toolbox and terminates.
void stopQuickTime(QuickTimeConnection& connection);

// The program's connection, over FFmpeg.
QuickTimeConnection& quickTime();

} // namespace qm
