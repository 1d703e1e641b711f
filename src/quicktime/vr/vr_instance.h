#pragma once
// The QuickTime VR stand-in's view of one open movie's VR structure: its VR world, the node
// information of each node, node types and the current node.
//
// A QuickTime VR 2.x movie carries these itself: the VR world is the atom container in its QTVR
// track's sample description, and node k of the world's node list is described by the QTVR
// track's sample k. QuickTime VR 1.x movies are presented in the same 2.x form, built from
// their own records: a 1.x panorama ('STpn' panorama track) has one node per panorama sample,
// named by the sample's string table; a 1.x object movie is one object node.
#include <cstdint>
#include <memory>
#include <vector>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/os_types.h"

namespace qm {

class Movie;
class Track;

namespace qtvr {
inline constexpr OSType kQTVRMediaType = fourCC("qtvr");
inline constexpr OSType kPanoramaMediaType = fourCC("pano");
inline constexpr OSType kObjectMediaType = fourCC("obje");
inline constexpr OSType kPanorama1xMediaType = fourCC("STpn");
inline constexpr OSType kPanoramaNodeType = fourCC("pano");
inline constexpr OSType kObjectNodeType = fourCC("obje");
// The node type of no node (also what a query answers without an instance).
inline constexpr OSType kUnknownNodeType = fourCC("????");
} // namespace qtvr

class QTVRInstance {
public:
    // Reads the VR structure of the movie behind qtvrTrack (a track QTVRGetQTVRTrack gave).
    // Errors: the movie layer's errors reading the description or samples; the atom
    // container's for a damaged VR world; err::invalidMedia for damaged 1.x records.
    static OSErr open(const Track& qtvrTrack, std::unique_ptr<QTVRInstance>& out);

    const Track& qtvrTrack() const { return m_track; }
    int vrMajorVersion() const { return m_version1x ? 1 : 2; }

    // A fresh copy of the VR world container.
    OSErr getVRWorld(AtomContainer& out) const;
    // A fresh copy of a node's information container; node 0 is the current node.
    // err::paramErr for a node the movie does not have.
    OSErr getNodeInfo(std::uint32_t nodeId, AtomContainer& out) const;
    // 'pano', 'obje', or "????" for a node the movie does not have.
    OSType getNodeType(std::uint32_t nodeId) const;
    // The world's default node when it names one of the nodes, else the first node.
    std::uint32_t currentNodeId() const { return m_current; }

private:
    struct NodeEntry {
        std::uint32_t id = 0;
        OSType type = 0;
    };

    explicit QTVRInstance(const Track& track) : m_track(track) {}
    OSErr open2x();
    OSErr openPanorama1x();
    void openObject1x();
    OSErr readNodeInfoSample(std::uint32_t sampleIndex, AtomContainer& out) const;
    int nodePosition(std::uint32_t nodeId) const;

    const Track& m_track;
    bool m_version1x = false;
    AtomContainer m_world;
    std::vector<NodeEntry> m_nodes;
    // 1.x movies: the node information built for each node, in node order.
    std::vector<AtomContainer> m_builtNodeInfo;
    std::uint32_t m_current = 0;
};

// The index-th (1-based) QTVR track of a movie: a track of media type 'qtvr'; in a QuickTime VR
// 1.x movie without one, its 'STpn' panorama track or, for an object movie, its video track.
// Null when there is none.
Track* QTVRGetQTVRTrack(const Movie& movie, int index);

// The QuickTime VR entry points over an instance. Without an instance each answers as QuickTime
// VR does when it is unavailable: err::qtvrUninitialized, "????", or node 0.
OSErr QTVRGetQTVRInstance(std::unique_ptr<QTVRInstance>& out, const Track* qtvrTrack);
OSErr QTVRGetVRWorld(const QTVRInstance* instance, AtomContainer& out);
OSErr QTVRGetNodeInfo(const QTVRInstance* instance, std::uint32_t nodeId, AtomContainer& out);
OSType QTVRGetNodeType(const QTVRInstance* instance, std::uint32_t nodeId);
std::uint32_t QTVRGetCurrentNodeID(const QTVRInstance* instance);

} // namespace qm
