#include "compose/node_summary.h"

#include <cmath>
#include <cstdio>

namespace qm {

std::string speedText(float rate)
{
    char text[64];
    std::snprintf(text, sizeof text, "%1.1f", double(std::fabs(std::trunc(rate))));
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    return s;
}

std::string animationSummary(const ObjectSampleRecord& r)
{
    using namespace AnimationFlag;
    const std::uint32_t f = r.animationSettings;
    std::string s;
    if (f & kFrames) {
        s += "Animate Frames (";
        if (r.frameRate < 0)
            s += "play backwards, ";
        if (f & kRestartEachView)
            s += "restart each view, ";
        if (!(f & kFramesNoLoop)) {
            s += "loop ";
            if (f & kFramesBackAndForth)
                s += "back-and-forth ";
            s += ", ";
        }
        s += "speed=" + speedText(r.frameRate) + ")";
    }
    if (f & kViews) {
        if (!s.empty())
            s += ", ";
        s += "Animate Views (";
        if (r.viewRate < 0)
            s += "play backwards, ";
        if (f & kViewsBackAndForth)
            s += "loop back-and-forth, ";
        if ((f & kFrames) && (f & kSyncViewsToFrames))
            s += "sync. with frame animation, ";
        s += "speed=" + speedText(r.viewRate) + ")";
    }
    return s.empty() ? "None" : s;
}

bool hasAnimationSettings(const Node& node)
{
    return (node.kind == NodeKind::kObject || node.kind == NodeKind::kLinearMovie) &&
           std::holds_alternative<ObjectSampleRecord>(node.mediaData);
}

std::string animationSummary(const Node& node)
{
    if (!hasAnimationSettings(node))
        return "<n/a>";
    return animationSummary(std::get<ObjectSampleRecord>(node.mediaData));
}

} // namespace qm
