#include "quicktime/vr/vr_player.h"

#include <algorithm>
#include <cmath>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {

namespace {

constexpr std::uint32_t kAnimateViewFrames = 1;
constexpr std::uint32_t kAnimateViews = 8;

} // namespace

OSErr VRPlayer::open(const Movie& movie, std::unique_ptr<VRPlayer>& out)
{
    const Track* qtvr = QTVRGetQTVRTrack(movie, 1);
    if (!qtvr)
        return err::invalidTrack;
    std::unique_ptr<VRPlayer> player(new VRPlayer(movie));
    if (OSErr e = QTVRGetQTVRInstance(player->m_instance, qtvr))
        return e;
    player->m_instance->setViewAspect(double(player->m_width) / player->m_height);
    // Imaging quality from the world's panorama imaging atoms: normal quality and above is
    // drawn smoothly.
    AtomContainer world;
    if (player->m_instance->getVRWorld(world) == err::noErr) {
        const AtomRef imaging = world.findChild(AtomContainer::kRoot, fourCC("imgp"));
        for (AtomID id : {1, 2}) {
            const auto d = world.data(world.findChildById(imaging, fourCC("impn"), id));
            if (d.size() < 20)
                continue;
            const ImagingQuality q = loadBE32(d.data() + 16) >= 512 ? ImagingQuality::Bilinear : ImagingQuality::Nearest;
            (id == 1 ? player->m_still : player->m_motion) = q;
        }
    }
    out = std::move(player);
    return err::noErr;
}

void VRPlayer::setViewSize(int width, int height)
{
    m_width = std::max(1, width);
    m_height = std::max(1, height);
    m_instance->setViewAspect(double(m_width) / m_height);
}

void VRPlayer::setImagingQuality(ImagingQuality still, ImagingQuality moving)
{
    m_still = still;
    m_motion = moving;
}

OSErr VRPlayer::currentPanorama(const UnrolledPanorama*& out)
{
    const std::uint32_t id = m_instance->currentNodeId();
    auto it = m_panoramas.find(id);
    if (it == m_panoramas.end()) {
        UnrolledPanorama p;
        if (OSErr e = UnrollPanorama(m_movie, id, PanoramaUnrollOptions{true, true}, p))
            return e;
        it = m_panoramas.emplace(id, std::move(p)).first;
    }
    out = &it->second;
    return err::noErr;
}

OSErr VRPlayer::currentObject(const ObjectNode*& out)
{
    const std::uint32_t id = m_instance->currentNodeId();
    auto it = m_objects.find(id);
    if (it == m_objects.end()) {
        ObjectNode o;
        if (OSErr e = FindObjectNode(m_movie, id, o))
            return e;
        it = m_objects.emplace(id, o).first;
    }
    out = &it->second;
    return err::noErr;
}

void VRPlayer::objectCell(const ObjectNode& node, int& column, int& row) const
{
    const ObjectSampleRecord& r = node.record;
    const int columns = int(std::max<std::uint32_t>(r.columns, 1));
    const int rows = int(std::max<std::uint32_t>(r.rows, 1));
    const QTVRNodeView& v = m_instance->nodeView();
    const float pan = m_instance->panAngle();
    const float tilt = m_instance->tiltAngle();
    const double panSpan = v.wraps ? 360.0 / columns : (columns > 1 ? (r.maxPan - r.minPan) / (columns - 1) : 1.0);
    column = panSpan != 0 ? int(std::lround((pan - r.minPan) / panSpan)) : 0;
    column += m_viewStep;
    column = v.wraps ? ((column % columns) + columns) % columns : std::clamp(column, 0, columns - 1);
    const double tiltSpan = rows > 1 ? (r.maxTilt - r.minTilt) / (rows - 1) : 0.0;
    row = tiltSpan != 0 ? std::clamp(int(std::lround((tilt - r.minTilt) / tiltSpan)), 0, rows - 1) : 0;
}

OSErr VRPlayer::objectFrame(const ObjectNode& node, PixelDepth depth, const OffscreenPicture*& out)
{
    int column = 0, row = 0;
    objectCell(node, column, row);
    const int state = std::max(0, int(node.record.defaultViewState) - 1);
    const std::vector<TimeValue> frames = objectViewFrames(node, column, row, state);
    const TimeValue t = frames[std::size_t(m_frame) % frames.size()];
    const Track* track = depth == PixelDepth::Argb32 ? node.image : node.hotSpots;
    if (!track) {
        out = nullptr;
        return err::noErr;
    }
    // Keyed by time and track: image and hot spot frames lie at the same times.
    const auto key = std::make_pair(t, int(depth) * 1000000 + int(node.nodeId % 1000000));
    auto it = m_frames.find(key);
    if (it == m_frames.end()) {
        OffscreenPicture picture;
        if (OSErr e = decodeTrackFrame(*track, t, depth, picture))
            return e;
        it = m_frames.emplace(key, std::move(picture)).first;
    }
    out = &it->second;
    return err::noErr;
}

void VRPlayer::objectPlacement(const ObjectNode& node, double& left, double& top, double& scale) const
{
    const int fw = std::max(1, node.frameWidth), fh = std::max(1, node.frameHeight);
    const double fit = std::min(double(m_width) / fw, double(m_height) / fh);
    const QTVRNodeView& v = m_instance->nodeView();
    const double zoom = m_instance->fieldOfView() > 0 ? v.maxFieldOfView / m_instance->fieldOfView() : 1.0;
    scale = fit * zoom;
    left = (m_width - fw * scale) / 2;
    top = (m_height - fh * scale) / 2;
}

OSErr VRPlayer::render(OffscreenPicture& out)
{
    const ImagingQuality quality = m_moving ? m_motion : m_still;
    if (nodeType() == qtvr::kPanoramaNodeType) {
        const UnrolledPanorama* p = nullptr;
        if (OSErr e = currentPanorama(p))
            return e;
        const PanoramaViewAngles view{m_instance->panAngle(), m_instance->tiltAngle(), m_instance->fieldOfView()};
        return renderPanoramaView(p->image, PanoramaGeometry::of(*p), view, m_width, m_height, quality, out);
    }
    if (nodeType() != qtvr::kObjectNodeType)
        return err::paramErr;
    const ObjectNode* node = nullptr;
    if (OSErr e = currentObject(node))
        return e;
    const OffscreenPicture* frame = nullptr;
    if (OSErr e = objectFrame(*node, PixelDepth::Argb32, frame))
        return e;
    if (OSErr e = out.allocate(PixelDepth::Argb32, makeRect(0, 0, m_height, m_width)))
        return e;
    out.fill(0xFF000000u);
    if (!frame)
        return err::noErr;
    double left, top, scale;
    objectPlacement(*node, left, top, scale);
    const int fw = frame->width(), fh = frame->height();
    for (int y = 0; y < m_height; ++y) {
        const double sy = (y + 0.5 - top) / scale;
        if (sy < 0 || sy >= fh)
            continue;
        std::uint32_t* dst = out.row32(y);
        const std::uint32_t* src = frame->row32(int(sy));
        for (int x = 0; x < m_width; ++x) {
            const double sx = (x + 0.5 - left) / scale;
            if (sx >= 0 && sx < fw)
                dst[x] = src[int(sx)];
        }
    }
    return err::noErr;
}

std::uint32_t VRPlayer::hotSpotAt(int x, int y)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    if (nodeType() == qtvr::kPanoramaNodeType) {
        const UnrolledPanorama* p = nullptr;
        if (currentPanorama(p) || p->hotSpots.isNull())
            return 0;
        const PanoramaViewAngles view{m_instance->panAngle(), m_instance->tiltAngle(), m_instance->fieldOfView()};
        PanoramaGeometry g = PanoramaGeometry::of(*p);
        if (g.layout == PanoramaLayout::Cube && p->image.width() > 0)
            g.cubeFaceSize = p->cubeFaceSize * p->hotSpots.width() / p->image.width();
        double column, row;
        if (!viewToSource(g, view, m_width, m_height, x, y, p->hotSpots.width(), p->hotSpots.height(), column, row))
            return 0;
        return p->hotSpots.pixel(int(column), int(row));
    }
    const ObjectNode* node = nullptr;
    if (nodeType() != qtvr::kObjectNodeType || currentObject(node))
        return 0;
    const OffscreenPicture* frame = nullptr;
    if (objectFrame(*node, PixelDepth::Indexed8, frame) || !frame)
        return 0;
    double left, top, scale;
    objectPlacement(*node, left, top, scale);
    const double sx = (x + 0.5 - left) / scale * frame->width() / std::max(1, node->frameWidth);
    const double sy = (y + 0.5 - top) / scale * frame->height() / std::max(1, node->frameHeight);
    if (sx < 0 || sy < 0 || sx >= frame->width() || sy >= frame->height())
        return 0;
    return frame->pixel(int(sx), int(sy));
}

OSErr VRPlayer::renderHotSpots(OffscreenPicture& out)
{
    if (OSErr e = out.allocate(PixelDepth::Indexed8, makeRect(0, 0, m_height, m_width)))
        return e;
    out.fill(0);
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            out.row8(y)[x] = std::uint8_t(hotSpotAt(x, y));
    return err::noErr;
}

bool VRPlayer::click(int x, int y)
{
    const std::uint32_t id = hotSpotAt(x, y);
    if (!id)
        return false;
    const bool changed = m_instance->triggerHotSpot(id);
    if (changed) {
        m_frame = 0;
        m_viewStep = 0;
    }
    return changed;
}

bool VRPlayer::animates() const
{
    if (m_instance->nodeView().type != qtvr::kObjectNodeType)
        return false;
    auto it = m_objects.find(m_instance->currentNodeId());
    if (it == m_objects.end())
        return true; // not looked at yet: the first advance finds out
    return (it->second.record.animationSettings & (kAnimateViewFrames | kAnimateViews)) != 0;
}

bool VRPlayer::advance(double seconds)
{
    const ObjectNode* node = nullptr;
    if (nodeType() != qtvr::kObjectNodeType || currentObject(node) || seconds <= 0)
        return false;
    const ObjectSampleRecord& r = node->record;
    const double scale = std::max<TimeScale>(m_movie.timeScale(), 1);
    bool changed = false;
    if (r.animationSettings & kAnimateViewFrames) {
        int column, row;
        objectCell(*node, column, row);
        const std::size_t frames =
            objectViewFrames(*node, column, row, std::max(0, int(r.defaultViewState) - 1)).size();
        if (frames > 1) {
            const double interval = double(node->viewSpan) / scale / double(frames) / std::max(0.01f, r.frameRate);
            m_frameClock += seconds;
            while (m_frameClock >= interval) {
                m_frameClock -= interval;
                m_frame = int((m_frame + 1) % int(frames));
                changed = true;
            }
        }
    }
    if (r.animationSettings & kAnimateViews) {
        const double interval = double(node->viewSpan) / scale / std::max(0.01f, r.viewRate);
        m_viewClock += seconds;
        while (interval > 0 && m_viewClock >= interval) {
            m_viewClock -= interval;
            ++m_viewStep;
            changed = true;
        }
    }
    return changed;
}

} // namespace qm
