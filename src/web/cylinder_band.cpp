#include "web/cylinder_band.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "quicktime/base/errors.h"

namespace qm::web {

namespace {

constexpr double kPi = std::numbers::pi;
double degrees(double r) { return r * 180.0 / kPi; }

double tanOf(double d) { return std::tan(std::clamp(d, -89.0, 89.0) * kPi / 180.0); }

} // namespace

CylinderGeometry CylinderGeometry::normalised() const
{
    CylinderGeometry g = *this;
    if (g.maxPan <= g.minPan) {
        g.minPan = 0;
        g.maxPan = 360;
    }
    if (g.maxTilt <= g.minTilt && g.width > 0) {
        // As the player takes it: the tilt a whole-turn cylinder of these proportions spans.
        const double half = degrees(std::atan(kPi * g.height / g.width));
        g.minTilt = -half;
        g.maxTilt = half;
    }
    return g;
}

double CylinderGeometry::panOfColumn(double x) const
{
    return width > 0 ? maxPan - x / width * range() : maxPan;
}

double CylinderGeometry::tiltOfRow(double y) const
{
    const double tMax = tanOf(maxTilt), tMin = tanOf(minTilt);
    return height > 0 ? degrees(std::atan(tMax - y / height * (tMax - tMin))) : 0;
}

double CylinderGeometry::yawOfPan(double pan) const
{
    double yaw = std::fmod(maxPan - 180.0 - pan, 360.0);
    if (yaw < -180.0)
        yaw += 360.0;
    else if (yaw >= 180.0)
        yaw -= 360.0;
    return yaw;
}

BandLayout bandLayout(const CylinderGeometry& geometry, int outWidth)
{
    BandLayout l;
    const CylinderGeometry g = geometry.normalised();
    if (g.width <= 0 || g.height <= 0 || outWidth <= 0)
        return l;
    outWidth = std::min(outWidth, g.width);
    l.fullWidth = std::max(outWidth, int(std::lround(outWidth * 360.0 / std::min(g.range(), 360.0))));
    l.fullHeight = std::max(2, l.fullWidth / 2);
    l.croppedX = 0;
    l.croppedWidth = outWidth;
    // Whole rows of the sphere image from the top limit to the bottom one.
    const double top = std::clamp(g.maxTilt, -89.0, 89.0), bottom = std::clamp(g.minTilt, -89.0, 89.0);
    l.croppedY = std::clamp(int(std::floor(l.fullHeight * (90.0 - top) / 180.0)), 0, l.fullHeight - 1);
    const int end = std::clamp(int(std::ceil(l.fullHeight * (90.0 - bottom) / 180.0)), l.croppedY + 1, l.fullHeight);
    l.croppedHeight = end - l.croppedY;
    l.maxPitch = 90.0 - l.croppedY * 180.0 / l.fullHeight;
    l.minPitch = 90.0 - end * 180.0 / l.fullHeight;
    return l;
}

OSErr reprojectToBand(const OffscreenPicture& src, const CylinderGeometry& geometry, int outWidth, OffscreenPicture& band,
                      BandLayout& layout)
{
    const CylinderGeometry g = geometry.normalised();
    if (src.isNull() || src.depth() != PixelDepth::Argb32 || src.width() != g.width || src.height() != g.height)
        return err::paramErr;
    layout = bandLayout(g, outWidth);
    if (layout.croppedWidth <= 0 || layout.croppedHeight <= 0)
        return err::paramErr;
    if (OSErr e = band.allocate(PixelDepth::Argb32,
                                Rect{0, 0, std::int16_t(layout.croppedHeight), std::int16_t(layout.croppedWidth)}))
        return e;

    // Columns: each band column averages the source span it covers.
    const int outW = layout.croppedWidth;
    const double step = double(g.width) / outW;
    struct Tap {
        int first = 0;
        std::vector<float> weights;
    };
    std::vector<Tap> taps(static_cast<std::size_t>(outW));
    for (int i = 0; i < outW; ++i) {
        const double x0 = i * step, x1 = (i + 1) * step;
        Tap& t = taps[std::size_t(i)];
        t.first = int(std::floor(x0));
        for (int x = t.first; x < x1 && x < g.width; ++x) {
            const double w = std::min<double>(x + 1, x1) - std::max<double>(x, x0);
            t.weights.push_back(float(w / step));
        }
    }

    // Rows: the source row of each band row's pitch; rows beyond the limits repeat the edge.
    const double tMax = tanOf(g.maxTilt), tMin = tanOf(g.minTilt);
    const int srcTop = src.bounds().top;
    std::vector<float> line(std::size_t(g.width) * 3);
    for (int j = 0; j < layout.croppedHeight; ++j) {
        const double pitch = kPi / 2 - (layout.croppedY + j + 0.5) * kPi / layout.fullHeight;
        const double v = (tMax - std::tan(pitch)) / std::max(1e-9, tMax - tMin) * g.height;
        const double y = std::clamp(v - 0.5, 0.0, g.height - 1.0);
        const int y0 = int(std::floor(y));
        const int y1 = std::min(y0 + 1, g.height - 1);
        const float fy = float(y - y0);
        const std::uint32_t* a = src.row32(srcTop + y0);
        const std::uint32_t* b = src.row32(srcTop + y1);
        for (int x = 0; x < g.width; ++x) {
            const std::uint32_t pa = a[x], pb = b[x];
            for (int c = 0; c < 3; ++c) {
                const int shift = 16 - 8 * c;
                const float va = float((pa >> shift) & 0xFF), vb = float((pb >> shift) & 0xFF);
                line[std::size_t(x) * 3 + std::size_t(c)] = va + (vb - va) * fy;
            }
        }
        std::uint32_t* out = band.row32(j);
        for (int i = 0; i < outW; ++i) {
            const Tap& t = taps[std::size_t(i)];
            float acc[3] = {0, 0, 0};
            for (std::size_t k = 0; k < t.weights.size(); ++k)
                for (int c = 0; c < 3; ++c)
                    acc[c] += line[std::size_t(t.first + int(k)) * 3 + std::size_t(c)] * t.weights[k];
            std::uint32_t px = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                px |= std::uint32_t(std::clamp(int(std::lround(acc[c])), 0, 255)) << (16 - 8 * c);
            out[i] = px;
        }
    }
    return 0;
}

} // namespace qm::web
