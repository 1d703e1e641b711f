#pragma once
// Writing a linear movie for the browser's video element: H.264 in an MP4 file (libx264 through
// libavcodec, the moov atom first so that playback starts before the download ends).
#include <filesystem>
#include <memory>
#include <string>

#include "quicktime/base/os_types.h"
#include "quicktime/movie/movie_types.h"
#include "quicktime/raster/offscreen_picture.h"

namespace qm::web {

class Mp4VideoWriter {
public:
    Mp4VideoWriter();
    ~Mp4VideoWriter();
    Mp4VideoWriter(const Mp4VideoWriter&) = delete;
    Mp4VideoWriter& operator=(const Mp4VideoWriter&) = delete;

    // Starts the file. Odd sizes are cut to even ones (4:2:0 chroma). quality: JPEG-style
    // percentage 1..100, turned into the encoder's constant rate factor. Errors: noCodecErr
    // when no H.264 encoder exists, paramErr, ioErr (file), codecErr.
    OSErr open(const std::filesystem::path& file, int width, int height, TimeScale timeScale, int quality);
    // One frame shown from time (in the time scale given to open) on. Times must grow.
    OSErr addFrame(const OffscreenPicture& picture, TimeValue time);
    // Flushes the encoder and writes the index; lastFrameEnd is where the last frame stops.
    OSErr finish(TimeValue lastFrameEnd);
    // The encoder used ("libx264", ...).
    std::string encoderName() const;

private:
    struct State;
    std::unique_ptr<State> m;
};

// The name of the H.264 encoder this build of libavcodec offers; empty when none.
std::string h264EncoderName();

} // namespace qm::web
