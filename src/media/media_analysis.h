#pragma once
// What a media file makes as a node: its kind, QuickTime VR version, bounds, the 2.x sample
// record the node keeps as its media data, the kind's own values, and the node's name.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "project/scene.h"
#include "quicktime/base/os_types.h"

namespace qm {

struct MediaAnalysis {
    OSType fileType = 0;
    OSType kind = NodeKind::kGeneric;
    std::uint32_t vrVersion = 0; // 0x100, 0x200, 0 for the kinds that are not QuickTime VR
    Rect movieBounds;            // the movie's box moved to 0,0
    Rect displayBounds;
    // A panorama record for 'PANO', an object record for the other kinds, none for a generic
    // node.
    NodeMediaData mediaData;
    // Only what the kind defines is set: track references for 2.x objects, the video track ID
    // for 1.x movies, duration and first frame time for linear movies.
    std::optional<std::int32_t> imageTrackReference;
    std::optional<std::int32_t> hotSpotTrackReference;
    std::optional<std::int32_t> vr1VideoTrackId;
    std::optional<std::int32_t> movieDuration;
    std::optional<std::int32_t> movieFirstFrameTime;
    // The name the media gives itself (a QuickTime VR node's name, a movie's full-name
    // annotation), 8-bit text as stored; empty when it gives none.
    std::string storedName;
    // The node's name: the stored name when there is one, else the file's name; UTF-8, at most
    // 63 bytes.
    NameText name;
};

// Examines a media file. Still images of the file types of file_types.h, QuickTime movies
// (linear movies, single-node QuickTime VR 1.x and 2.x panoramas and object movies).
// Errors: the file's own (fnfErr ...); the movie layer's for a file that does not open as a
// movie; err::multiNodeMovie for a QuickTime VR movie of more than one node;
// err::cannotFindAtomErr for a 2.x movie without its 'pdat' or 'obji'; err::invalidMovie for a
// movie without tracks, a linear movie without a visual track, or a QuickTime VR movie without
// its QTVR track. detail, when given, says more about a failure.
OSErr analyzeMediaFile(const std::filesystem::path& file, MediaAnalysis& out, std::string* detail = nullptr);

// The name rule of an import: a non-empty stored name (8-bit text, up to 255 characters taken),
// else the file's name with its extension and without its folder; cut to 63 bytes.
NameText nodeNameFor(const std::string& storedName, const std::filesystem::path& file);

} // namespace qm
