#pragma once
// Reading the QuickTime VR structure of an open movie: node counts, world and node headers,
// node names and the sample records. Each query takes a fresh copy of the container it reads
// from the instance; none keeps state between calls.
//
// Queries that return a value rather than an error code answer a neutral value on any failure:
// 0 nodes, default node 0, no string, not a panorama.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/os_types.h"
#include "quicktime/vr/vr_instance.h"
#include "quicktime/vr/vr_records.h"

namespace qm {

class Movie;

constexpr std::size_t kWorldHeaderSize = 24;
constexpr std::size_t kNodeHeaderSize = 28;
using WorldHeaderBytes = std::array<std::uint8_t, kWorldHeaderSize>;
using NodeHeaderBytes = std::array<std::uint8_t, kNodeHeaderSize>;

// Whether the current node is a panorama.
bool IsPanoramaNode(const QTVRInstance* instance);
// The number of nodes in the VR world's node list ('vrni' atoms under 'vrnp').
std::int16_t CountNodes(const QTVRInstance* instance);
bool IsMultiNodeMovie(const QTVRInstance* instance);

// The world header ('vrsc'), big-endian as stored. err::cannotFindAtomErr when absent, also
// when it is shorter than 24 bytes.
OSErr GetWorldHeader(const QTVRInstance* instance, WorldHeaderBytes& out);
std::uint32_t GetDefaultNodeID(const QTVRInstance* instance);
// A node's header ('ndhd', ID 1), big-endian as stored; err::cannotFindAtomErr when absent.
OSErr GetNodeHeader(const QTVRInstance* instance, std::uint32_t nodeId, NodeHeaderBytes& out);

// The characters of the string atom ('vrsg') with that ID under parent, as stored (8-bit text,
// no terminator). None when the container is null, the atom is missing or shorter than its
// length field says, or the length is 0.
std::optional<std::string> GetStringAtom(const AtomContainer* container, AtomRef parent, AtomID id);
// The same string as UTF-8: read in the encoding its 'vrse' atom (same ID) names, else as
// decodeStoredText reads 8-bit text.
std::optional<std::string> GetStringAtomText(const AtomContainer* container, AtomRef parent, AtomID id);
// The name of a node as UTF-8: the string atom its header names.
std::optional<std::string> GetNodeName(const QTVRInstance* instance, std::uint32_t nodeId);

// The 2.x records of a single-node movie: the sample of the 'obje' or 'pano' track shown at
// track time 0 ('obji' / 'pdat' by index 1), in host order. err::cannotFindAtomErr when the
// sample lacks the record; the movie layer's errors otherwise.
OSErr ReadObjectSample(const Movie* movie, ObjectSampleRecord& out);
OSErr ReadPanoramaSample(const Movie* movie, PanoramaSampleRecord& out);

// The track reference indexes of the 2.x object sample shown at time 0, as
// readObjectTrackEntries reads them; 1 each when the sample cannot be read.
struct ObjectTrackReferences {
    std::int32_t image = 1;
    std::int32_t hotSpot = 1;
};
ObjectTrackReferences readObjectTrackReferences(const Movie* movie);

} // namespace qm
