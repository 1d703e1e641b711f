#pragma once
// The nodes of a QuickTime VR 2.x tour (a multi-node movie): where each node's samples lie, and
// each node written out again as a single-node movie whose tiles are the tour's own bytes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "appcore/progress.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/movie/movie.h"

namespace qm {

struct TourNode {
    std::uint32_t id = 0;
    OSType type = 0;           // 'pano' or 'obje' (the world's 'nloc')
    AtomContainer info;        // the node's QTVR sample: header, strings, hot spots
    TimeValue start = 0;       // the node's span in the tour (movie time)
    TimeValue duration = 0;
    std::string name;          // from the node header's string atom, as stored
    std::string comment;
    std::int32_t samples = 0;  // image and hot spot samples in the span
};

struct Tour {
    std::string name;               // the world's name, as stored
    std::uint32_t defaultNodeId = 0;
    AtomContainer world;
    std::vector<TourNode> nodes;    // in the world's node order
    std::int16_t playbackWidth = 0; // the QTVR track's size
    std::int16_t playbackHeight = 0;
};

// Reads a tour's structure and checks that every node's samples are there: its QTVR sample, its
// panorama or object sample, image samples over its whole span and, when it has hot spots, hot
// spot samples over the span they must cover. Errors: err::invalidMovie (with a detail naming
// the node and what is missing) for a movie that is no QuickTime VR 2.x movie or whose samples
// do not fit its world; the movie layer's errors.
OSErr readTour(const Movie& movie, Tour& out, std::string* detail = nullptr);

// Writes one node of the tour as a single-node QuickTime VR 2.x movie: the world with only that
// node, the node's QTVR sample and panorama or object sample, its image and hot spot samples
// copied byte for byte (descriptions included). progress advances by one per sample copied
// (cancel: -128). On failure the file is removed.
OSErr writeTourNodeMovie(const Movie& movie, const Tour& tour, const TourNode& node,
                         const std::filesystem::path& file, Progress& progress, std::string* detail = nullptr);

} // namespace qm
