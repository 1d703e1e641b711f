#pragma once
// The QuickTime VR player: shows the current node of a QuickTime VR movie (2.x, or 1.x
// panoramas and object movies) as a view of a given size, finds the hot spot under a point,
// triggers hot spots and goes to other nodes through its QuickTime VR instance.
//
// Panorama nodes are decoded once, when first shown, and kept with their hot spot pictures;
// views are rendered from the unrolled panorama. Object nodes show the frame of the view that
// pan and tilt choose, scaled by the field of view, animated as the node's record asks.
#include <cstdint>
#include <map>
#include <memory>

#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/vr/object_image.h"
#include "quicktime/vr/panorama_image.h"
#include "quicktime/vr/panorama_view.h"
#include "quicktime/vr/vr_instance.h"

namespace qm {

class Movie;

class VRPlayer {
public:
    // The movie must outlive the player. Errors: invalidTrack for a movie without a QTVR track,
    // the instance's errors.
    static OSErr open(const Movie& movie, std::unique_ptr<VRPlayer>& out);

    QTVRInstance* instance() { return m_instance.get(); }
    const QTVRInstance* instance() const { return m_instance.get(); }
    OSType nodeType() const { return m_instance->nodeView().type; }

    void setViewSize(int width, int height);
    int viewWidth() const { return m_width; }
    int viewHeight() const { return m_height; }
    // Imaging quality when the view stands still and while it moves.
    void setImagingQuality(ImagingQuality still, ImagingQuality moving);
    ImagingQuality stillQuality() const { return m_still; }
    ImagingQuality motionQuality() const { return m_motion; }
    void setMoving(bool moving) { m_moving = moving; }
    bool moving() const { return m_moving; }

    // Renders the current view (32-bit, view size). Errors: those of decoding the node.
    OSErr render(OffscreenPicture& out);
    // The hot spot ID under view pixel (x, y), 0 for none or outside the view.
    std::uint32_t hotSpotAt(int x, int y);
    // 8-bit hot spot IDs of the whole view (for showing where hot spots are).
    OSErr renderHotSpots(OffscreenPicture& out);
    // Triggers the hot spot under (x, y) as a click does; true when the node changed.
    bool click(int x, int y);

    // Object nodes: moves frame and view animation on by the time passed. True when the
    // picture changed.
    bool advance(double seconds);
    bool animates() const;

private:
    explicit VRPlayer(const Movie& movie) : m_movie(movie) {}
    OSErr currentPanorama(const UnrolledPanorama*& out);
    OSErr currentObject(const ObjectNode*& out);
    OSErr objectFrame(const ObjectNode& node, PixelDepth depth, const OffscreenPicture*& out);
    void objectCell(const ObjectNode& node, int& column, int& row) const;
    // Object frames are drawn fitted to the view and scaled by the field of view: the frame
    // rectangle in view coordinates.
    void objectPlacement(const ObjectNode& node, double& left, double& top, double& scale) const;

    const Movie& m_movie;
    std::unique_ptr<QTVRInstance> m_instance;
    int m_width = 640, m_height = 480;
    ImagingQuality m_still = ImagingQuality::Bilinear, m_motion = ImagingQuality::Nearest;
    bool m_moving = false;
    std::map<std::uint32_t, UnrolledPanorama> m_panoramas;
    std::map<std::uint32_t, ObjectNode> m_objects;
    std::map<std::pair<TimeValue, int>, OffscreenPicture> m_frames; // (track time, depth)
    double m_frameClock = 0, m_viewClock = 0;
    int m_frame = 0, m_viewStep = 0;
};

} // namespace qm
