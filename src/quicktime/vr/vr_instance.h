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
#include <functional>
#include <memory>
#include <string>
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
// The intercept selector of triggering a hot spot.
inline constexpr std::int32_t kTriggerHotSpotSelector = 0x200A;
// Valid-flag bits of a link's destination view.
inline constexpr std::uint32_t kLinkPanValid = 1, kLinkTiltValid = 2, kLinkFieldOfViewValid = 4;
} // namespace qtvr

class QTVRInstance;

// A hot spot of the current node as its node information describes it.
struct QTVRHotSpot {
    std::uint32_t id = 0;
    OSType type = 0;                 // 'link', 'url ', 'undf', ...
    std::string name;
    std::uint32_t linkNode = 0;      // link hot spots: the destination node
    std::uint32_t linkViewValid = 0; // qtvr::kLink*Valid bits
    float linkPan = 0, linkTilt = 0, linkFieldOfView = 0;
    std::string url;                 // URL hot spots
};

// What an intercept procedure is told: for the trigger-hot-spot selector, the hot spot's ID
// and its 'hots' atom in a copy of the current node's information.
struct QTVRInterceptRecord {
    std::int32_t selector = 0;
    std::uint32_t hotSpotId = 0;
    const AtomContainer* nodeInfo = nullptr;
    AtomRef hotSpotAtom{};
};
// Answers true to cancel the intercepted operation.
using QTVRInterceptProc = std::function<bool(QTVRInstance&, const QTVRInterceptRecord&)>;

// The view limits and opening view of a node, degrees.
struct QTVRNodeView {
    OSType type = 0;
    float minPan = 0, maxPan = 360;
    float minTilt = -90, maxTilt = 90;
    float minFieldOfView = 1, maxFieldOfView = 120;
    float defaultPan = 0, defaultTilt = 0, defaultFieldOfView = 60;
    bool wraps = true;
};

class QTVRInstance {
public:
    // Reads the VR structure of the movie behind qtvrTrack (a track QTVRGetQTVRTrack gave).
    // Errors: the movie layer's errors reading the description or samples; the atom
    // container's for a damaged VR world; err::invalidMedia for damaged 1.x records.
    static OSErr open(const Track& qtvrTrack, std::unique_ptr<QTVRInstance>& out);
    // The same without reading the current node's view and hot spots (for readers of the
    // structure alone).
    static OSErr openStructure(const Track& qtvrTrack, std::unique_ptr<QTVRInstance>& out);

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

    // The current view (degrees). Setters keep the view within the node's limits: the field
    // of view first, then tilt so that the view's top and bottom stay within the tilt limits,
    // then pan (wrapped into minPan..maxPan for 360-degree nodes, else kept so that the view's
    // sides stay within the pan limits).
    float panAngle() const { return m_pan; }
    float tiltAngle() const { return m_tilt; }
    float fieldOfView() const { return m_fov; }
    void setPanAngle(float pan);
    void setTiltAngle(float tilt);
    void setFieldOfView(float fov);
    void showDefaultView();
    // The aspect (width / height) of the view the pan limits are kept for.
    void setViewAspect(double aspect);
    const QTVRNodeView& nodeView() const { return m_view; }

    // Makes nodeId (0: the default node) current with its opening view. paramErr for a node
    // the movie does not have; the errors of reading the node's records.
    OSErr goToNode(std::uint32_t nodeId);
    // The hot spots the current node's information lists.
    const std::vector<QTVRHotSpot>& hotSpots() const { return m_hotSpots; }
    const QTVRHotSpot* hotSpot(std::uint32_t id) const;

    // Intercept procedures, one per selector; an empty procedure removes it.
    void installInterceptProc(std::int32_t selector, QTVRInterceptProc proc);
    // Triggers a hot spot of the current node as a click does: the intercept procedure of the
    // trigger selector may cancel it; otherwise a link goes to its destination node and shows
    // the link's view (components the link does not set keep the destination's own opening
    // view). True when the node changed.
    bool triggerHotSpot(std::uint32_t hotSpotId);

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

    OSErr loadNodeView(std::uint32_t nodeId);
    void constrain();
    QTVRNodeView m_view;
    float m_pan = 0, m_tilt = 0, m_fov = 60;
    double m_aspect = 4.0 / 3.0;
    std::vector<QTVRHotSpot> m_hotSpots;
    std::vector<std::pair<std::int32_t, QTVRInterceptProc>> m_intercepts;
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
// Angles in degrees; 0.0 without an instance, err::qtvrUninitialized from the setters.
float QTVRGetPanAngle(const QTVRInstance* instance);
float QTVRGetTiltAngle(const QTVRInstance* instance);
float QTVRGetFieldOfView(const QTVRInstance* instance);
OSErr QTVRSetPanAngle(QTVRInstance* instance, float pan);
OSErr QTVRSetTiltAngle(QTVRInstance* instance, float tilt);
OSErr QTVRSetFieldOfView(QTVRInstance* instance, float fov);
OSErr QTVRGoToNodeID(QTVRInstance* instance, std::uint32_t nodeId);
OSErr QTVRShowDefaultView(QTVRInstance* instance);
// Only the trigger-hot-spot selector is intercepted; paramErr for any other.
OSErr QTVRInstallInterceptProc(QTVRInstance* instance, std::int32_t selector, QTVRInterceptProc proc);
OSErr QTVRTriggerHotSpot(QTVRInstance* instance, std::uint32_t hotSpotId);

} // namespace qm
