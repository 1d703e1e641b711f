#pragma once
// A node writer's share of the compose progress: a fixed number of units given out in steps,
// each step a chance for the user to cancel (-128).
#include <algorithm>
#include <cmath>

#include "appcore/progress.h"

namespace qm {

class NodeProgress {
public:
    NodeProgress(Progress& progress, int total) : m_progress(progress), m_total(total) {}

    OSErr advance(int units)
    {
        units = std::min(units, m_total - m_given);
        if (units <= 0)
            return m_progress.cancelled() ? OSErr(-128) : OSErr(0);
        m_given += units;
        return m_progress.step(std::nullopt, -units);
    }
    // Brings a section of `size` units that started at `base` to `fraction` done.
    OSErr reach(int base, int size, double fraction)
    {
        const int target = base + int(std::lround(std::clamp(fraction, 0.0, 1.0) * size));
        return target > m_given ? advance(target - m_given) : OSErr(0);
    }
    OSErr finish() { return advance(m_total - m_given); }
    int given() const { return m_given; }

private:
    Progress& m_progress;
    int m_total;
    int m_given = 0;
};

} // namespace qm
