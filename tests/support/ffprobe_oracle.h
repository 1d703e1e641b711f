#pragma once
// FFmpeg's ffprobe as an independent judge of the movies the project writes.
#include <filesystem>
#include <string>
#include <vector>

namespace qm::test {

// Whether an ffprobe binary can be run.
bool ffprobeAvailable();
// Skips the current test with a message when ffprobe is missing.
#define QM_REQUIRE_FFPROBE()                                                                   \
    do {                                                                                       \
        if (!qm::test::ffprobeAvailable())                                                     \
            GTEST_SKIP() << "ffprobe not available";                                           \
    } while (0)

struct ProbeResult {
    int exitStatus = -1;
    std::string errors;                 // what ffprobe printed on stderr
    std::vector<std::string> streams;   // one line per stream: index, type, codec tag, size, frames
    std::vector<std::string> packets;   // one line per packet: stream, pts, size, MD5 of the data
};

// Probes a file's streams and packets; packets are sorted so that two files holding the same
// samples compare equal whatever their byte order.
ProbeResult probeMovie(const std::filesystem::path& file);

} // namespace qm::test
