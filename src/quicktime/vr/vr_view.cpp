// The view side of the QuickTime VR stand-in: the current node's limits, opening view and hot
// spots, the view angles kept within the limits, and triggering hot spots.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/vr/object_image.h"
#include "quicktime/vr/panorama_image.h"
#include "quicktime/vr/panorama_view.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

namespace {

constexpr OSType kHotSpotParent = fourCC("hspa");
constexpr OSType kHotSpot = fourCC("hots");
constexpr OSType kHotSpotInfo = fourCC("hsin");
constexpr OSType kLink = fourCC("link");
constexpr OSType kUrl = fourCC("url ");
constexpr OSType kString = fourCC("vrsg");
constexpr std::uint32_t kObjectWrapPan = 1;
constexpr std::uint32_t kPanoramaAlwaysWrap = 4;

float loadBEFloat(const std::uint8_t* p)
{
    const std::uint32_t bits = loadBE32(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

std::string stringAtom(const AtomContainer& c, AtomRef parent, std::uint32_t id)
{
    if (id == 0)
        return {};
    const auto d = c.data(c.findChildById(parent, kString, AtomID(id)));
    if (d.size() < 4)
        return {};
    const std::size_t n = std::min<std::size_t>(loadBE16(d.data() + 2), d.size() - 4);
    return std::string(reinterpret_cast<const char*>(d.data() + 4), n);
}

std::vector<QTVRHotSpot> readHotSpots(const AtomContainer& info)
{
    std::vector<QTVRHotSpot> out;
    const AtomRef parent = info.findChild(AtomContainer::kRoot, kHotSpotParent);
    if (!parent)
        return out;
    const int count = info.countChildren(parent, kHotSpot);
    for (int i = 1; i <= count; ++i) {
        const AtomRef hots = info.findChild(parent, kHotSpot, i);
        QTVRHotSpot h;
        h.id = std::uint32_t(info.id(hots));
        const auto hsin = info.data(info.findChild(hots, kHotSpotInfo));
        if (hsin.size() >= 12) {
            h.type = loadBE32(hsin.data() + 4);
            h.name = stringAtom(info, hots, loadBE32(hsin.data() + 8));
        }
        const auto link = info.data(info.findChild(hots, kLink));
        if (link.size() >= 48) {
            if (!h.type)
                h.type = kLink;
            h.linkNode = loadBE32(link.data() + 4);
            h.linkViewValid = loadBE32(link.data() + 32);
            h.linkPan = loadBEFloat(link.data() + 36);
            h.linkTilt = loadBEFloat(link.data() + 40);
            h.linkFieldOfView = loadBEFloat(link.data() + 44);
        }
        const auto url = info.data(info.findChild(hots, kUrl));
        if (!url.empty()) {
            h.url.assign(reinterpret_cast<const char*>(url.data()), url.size());
            if (auto nul = h.url.find('\0'); nul != std::string::npos)
                h.url.resize(nul);
        }
        out.push_back(std::move(h));
    }
    return out;
}

// The node information the track shows for the node (a movie may keep older samples in its
// media that no edit shows), else the instance's own answer.
OSErr shownNodeInfo(const QTVRInstance& vr, std::uint32_t nodeId, AtomContainer& out)
{
    const Track& track = vr.qtvrTrack();
    TimeValue start = 0, duration = 0;
    if (vr.vrMajorVersion() == 2 && track.media() && QTVRNodeTimeSpan(track, nodeId, start, duration) == err::noErr) {
        const TimeValue mediaTime = track.trackTimeToMediaTime(start);
        MediaSample sample;
        if (mediaTime >= 0 && track.media()->getSample(mediaTime, sample) == err::noErr &&
            AtomContainer::parse(sample.data, out) == err::noErr)
            return err::noErr;
    }
    return vr.getNodeInfo(nodeId, out);
}

} // namespace

OSErr QTVRInstance::loadNodeView(std::uint32_t nodeId)
{
    const OSType type = getNodeType(nodeId);
    const Movie& movie = m_track.movie();
    QTVRNodeView v;
    v.type = type;
    if (type == qtvr::kPanoramaNodeType) {
        UnrolledPanorama p;
        if (OSErr e = UnrollPanorama(movie, nodeId, PanoramaUnrollOptions{false, false}, p))
            return e;
        const PanoramaSampleRecord& r = p.record;
        v.minPan = r.minPan;
        v.maxPan = r.maxPan;
        if (v.maxPan <= v.minPan)
            v.minPan = 0, v.maxPan = 360;
        v.wraps = v.maxPan - v.minPan >= 359.99f || (r.flags & kPanoramaAlwaysWrap);
        v.minTilt = r.minTilt;
        v.maxTilt = r.maxTilt;
        if (v.maxTilt <= v.minTilt) {
            // The tilt a cylinder of the unrolled proportions spans.
            const bool vertical = p.layout == PanoramaLayout::VerticalCylinder;
            const double w = vertical ? r.imageSizeY : r.imageSizeX, h = vertical ? r.imageSizeX : r.imageSizeY;
            const float half = w > 0 ? float(std::atan(M_PI * h / w) * 180 / M_PI) : 30.0f;
            v.minTilt = -half, v.maxTilt = half;
        }
        v.maxFieldOfView = r.maxFieldOfView > 0 ? r.maxFieldOfView : v.maxTilt - v.minTilt;
        if (p.layout != PanoramaLayout::Cube)
            v.maxFieldOfView = std::min(v.maxFieldOfView, v.maxTilt - v.minTilt);
        v.minFieldOfView = r.minFieldOfView > 0 ? r.minFieldOfView : v.maxFieldOfView * 0.05f;
        v.minFieldOfView = std::min(v.minFieldOfView, v.maxFieldOfView);
        v.defaultPan = r.defaultPan;
        v.defaultTilt = r.defaultTilt;
        v.defaultFieldOfView = r.defaultFieldOfView > 0 ? r.defaultFieldOfView : v.maxFieldOfView;
    } else if (type == qtvr::kObjectNodeType) {
        ObjectNode o;
        if (OSErr e = FindObjectNode(movie, nodeId, o))
            return e;
        const ObjectSampleRecord& r = o.record;
        v.minPan = std::min(r.minPan, r.maxPan);
        v.maxPan = std::max(r.minPan, r.maxPan);
        v.wraps = (r.controlSettings & kObjectWrapPan) != 0 || v.maxPan - v.minPan >= 359.99f;
        v.minTilt = std::min(r.minTilt, r.maxTilt);
        v.maxTilt = std::max(r.minTilt, r.maxTilt);
        v.maxFieldOfView = r.fieldOfView > 0 ? r.fieldOfView : 180.0f;
        v.minFieldOfView = std::clamp(r.minFieldOfView > 0 ? r.minFieldOfView : 1.0f, 0.1f, v.maxFieldOfView);
        v.defaultPan = r.defaultPan;
        v.defaultTilt = r.defaultTilt;
        v.defaultFieldOfView = r.defaultFieldOfView > 0 ? r.defaultFieldOfView : v.maxFieldOfView;
    } else {
        return err::paramErr;
    }
    AtomContainer info;
    std::vector<QTVRHotSpot> hotSpots;
    if (shownNodeInfo(*this, nodeId, info) == err::noErr)
        hotSpots = readHotSpots(info);
    m_view = v;
    m_hotSpots = std::move(hotSpots);
    m_current = nodeId;
    showDefaultView();
    return err::noErr;
}

OSErr QTVRInstance::goToNode(std::uint32_t nodeId)
{
    if (nodeId == 0) {
        const auto header = m_world.data(m_world.findChild(AtomContainer::kRoot, fourCC("vrsc")));
        const std::uint32_t defaultNode = header.size() >= 12 ? loadBE32(header.data() + 8) : 0;
        nodeId = nodePosition(defaultNode) >= 0 ? defaultNode : (m_nodes.empty() ? m_current : m_nodes.front().id);
    }
    if (nodePosition(nodeId) < 0 && !(m_nodes.empty() && nodeId == m_current))
        return err::paramErr;
    return loadNodeView(nodeId);
}

void QTVRInstance::constrain()
{
    const QTVRNodeView& v = m_view;
    if (!std::isfinite(m_fov))
        m_fov = v.defaultFieldOfView;
    if (!std::isfinite(m_tilt))
        m_tilt = v.defaultTilt;
    if (!std::isfinite(m_pan))
        m_pan = v.defaultPan;
    m_fov = std::clamp(m_fov, v.minFieldOfView, std::max(v.minFieldOfView, v.maxFieldOfView));
    const bool panorama = v.type == qtvr::kPanoramaNodeType;
    float lo = v.minTilt, hi = v.maxTilt;
    if (panorama)
        lo += m_fov / 2, hi -= m_fov / 2;
    m_tilt = lo > hi ? (v.minTilt + v.maxTilt) / 2 : std::clamp(m_tilt, lo, hi);
    if (v.wraps) {
        const float range = v.maxPan - v.minPan >= 359.99f ? v.maxPan - v.minPan : 360.0f;
        m_pan = v.minPan + std::fmod(std::fmod(m_pan - v.minPan, range) + range, range);
        if (m_pan >= v.minPan + range)
            m_pan = v.minPan;
    } else {
        float plo = v.minPan, phi = v.maxPan;
        if (panorama) {
            const float half = horizontalFieldOfView(m_fov, m_aspect) / 2;
            plo += half, phi -= half;
        }
        m_pan = plo > phi ? (v.minPan + v.maxPan) / 2 : std::clamp(m_pan, plo, phi);
    }
}

void QTVRInstance::setPanAngle(float pan)
{
    m_pan = pan;
    constrain();
}

void QTVRInstance::setTiltAngle(float tilt)
{
    m_tilt = tilt;
    constrain();
}

void QTVRInstance::setFieldOfView(float fov)
{
    m_fov = fov;
    constrain();
}

void QTVRInstance::showDefaultView()
{
    m_fov = m_view.defaultFieldOfView;
    m_tilt = m_view.defaultTilt;
    m_pan = m_view.defaultPan;
    constrain();
}

void QTVRInstance::setViewAspect(double aspect)
{
    if (aspect > 0 && std::isfinite(aspect)) {
        m_aspect = aspect;
        constrain();
    }
}

const QTVRHotSpot* QTVRInstance::hotSpot(std::uint32_t id) const
{
    for (const QTVRHotSpot& h : m_hotSpots)
        if (h.id == id)
            return &h;
    return nullptr;
}

void QTVRInstance::installInterceptProc(std::int32_t selector, QTVRInterceptProc proc)
{
    std::erase_if(m_intercepts, [&](const auto& p) { return p.first == selector; });
    if (proc)
        m_intercepts.emplace_back(selector, std::move(proc));
}

bool QTVRInstance::triggerHotSpot(std::uint32_t hotSpotId)
{
    if (hotSpotId == 0)
        return false;
    for (auto& [selector, proc] : m_intercepts) {
        if (selector != qtvr::kTriggerHotSpotSelector)
            continue;
        AtomContainer info;
        shownNodeInfo(*this, m_current, info);
        QTVRInterceptRecord record;
        record.selector = selector;
        record.hotSpotId = hotSpotId;
        record.nodeInfo = &info;
        record.hotSpotAtom = info.findChildById(info.findChild(AtomContainer::kRoot, kHotSpotParent), kHotSpot,
                                                AtomID(hotSpotId));
        // Copy the procedure: it may install another one while it runs.
        QTVRInterceptProc call = proc;
        if (call(*this, record))
            return false;
        break;
    }
    const QTVRHotSpot* h = hotSpot(hotSpotId);
    if (!h || h->type != kLink || h->linkNode == 0)
        return false;
    const QTVRHotSpot link = *h;
    if (goToNode(link.linkNode) != err::noErr)
        return false;
    // What the link does not set stays as the destination's opening view.
    if (link.linkViewValid & qtvr::kLinkFieldOfViewValid)
        setFieldOfView(link.linkFieldOfView);
    if (link.linkViewValid & qtvr::kLinkPanValid)
        setPanAngle(link.linkPan);
    if (link.linkViewValid & qtvr::kLinkTiltValid)
        setTiltAngle(link.linkTilt);
    return true;
}

float QTVRGetPanAngle(const QTVRInstance* i) { return i ? i->panAngle() : 0.0f; }
float QTVRGetTiltAngle(const QTVRInstance* i) { return i ? i->tiltAngle() : 0.0f; }
float QTVRGetFieldOfView(const QTVRInstance* i) { return i ? i->fieldOfView() : 0.0f; }

OSErr QTVRSetPanAngle(QTVRInstance* i, float pan)
{
    if (!i)
        return err::qtvrUninitialized;
    i->setPanAngle(pan);
    return err::noErr;
}

OSErr QTVRSetTiltAngle(QTVRInstance* i, float tilt)
{
    if (!i)
        return err::qtvrUninitialized;
    i->setTiltAngle(tilt);
    return err::noErr;
}

OSErr QTVRSetFieldOfView(QTVRInstance* i, float fov)
{
    if (!i)
        return err::qtvrUninitialized;
    i->setFieldOfView(fov);
    return err::noErr;
}

OSErr QTVRGoToNodeID(QTVRInstance* i, std::uint32_t nodeId)
{
    return i ? i->goToNode(nodeId) : err::qtvrUninitialized;
}

OSErr QTVRShowDefaultView(QTVRInstance* i)
{
    if (!i)
        return err::qtvrUninitialized;
    i->showDefaultView();
    return err::noErr;
}

OSErr QTVRInstallInterceptProc(QTVRInstance* i, std::int32_t selector, QTVRInterceptProc proc)
{
    if (!i)
        return err::qtvrUninitialized;
    if (selector != qtvr::kTriggerHotSpotSelector)
        return err::paramErr;
    i->installInterceptProc(selector, std::move(proc));
    return err::noErr;
}

OSErr QTVRTriggerHotSpot(QTVRInstance* i, std::uint32_t hotSpotId)
{
    if (!i)
        return err::qtvrUninitialized;
    i->triggerHotSpot(hotSpotId);
    return err::noErr;
}

} // namespace qm
