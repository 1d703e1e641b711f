#include "web/cylinder_band.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "quicktime/base/errors.h"

namespace qm::web {

namespace {

constexpr double kPi = std::numbers::pi;
double radians(double d) { return d * kPi / 180.0; }
double degrees(double r) { return r * 180.0 / kPi; }

// Radius of the cylinder in pixels of an image `width` pixels wide.
double radius(const CylinderGeometry& g, double width) { return width / radians(g.range()); }

} // namespace

double CylinderGeometry::range() const
{
    const double r = maxPan - minPan;
    return (r > 1e-6 && r <= 360.0 + 1e-6) ? std::min(r, 360.0) : 360.0;
}

double CylinderGeometry::maxTilt() const
{
    if (width <= 0)
        return 0;
    return degrees(std::atan(height * 0.5 / radius(*this, width)));
}

double CylinderGeometry::panOfColumn(double x) const
{
    const double top = (maxPan - minPan > 1e-6 && maxPan - minPan <= 360.0 + 1e-6) ? maxPan : minPan + 360.0;
    return width > 0 ? top - x / width * range() : top;
}

double CylinderGeometry::tiltOfRow(double y) const
{
    if (width <= 0)
        return 0;
    return degrees(std::atan((height * 0.5 - y) / radius(*this, width)));
}

double CylinderGeometry::yawOfPan(double pan) const
{
    const double top = (maxPan - minPan > 1e-6 && maxPan - minPan <= 360.0 + 1e-6) ? maxPan : minPan + 360.0;
    double yaw = std::fmod(top - 180.0 - pan, 360.0);
    if (yaw < -180.0)
        yaw += 360.0;
    else if (yaw >= 180.0)
        yaw -= 360.0;
    return yaw;
}

BandLayout bandLayout(const CylinderGeometry& g, int outWidth)
{
    BandLayout l;
    if (g.width <= 0 || g.height <= 0 || outWidth <= 0)
        return l;
    outWidth = std::min(outWidth, g.width);
    l.fullWidth = std::max(outWidth, int(std::lround(outWidth * 360.0 / g.range())));
    l.fullHeight = std::max(1, l.fullWidth / 2);
    l.croppedX = 0;
    l.croppedWidth = outWidth;
    // The band is symmetric about the horizon: whole rows from the top edge of the cylinder.
    const double top = g.maxTilt();
    l.croppedY = std::clamp(int(std::floor(l.fullHeight * (0.5 - top / 180.0))), 0, (l.fullHeight - 1) / 2);
    l.croppedHeight = l.fullHeight - 2 * l.croppedY;
    l.maxPitch = 90.0 - l.croppedY * 180.0 / l.fullHeight;
    l.minPitch = -l.maxPitch;
    return l;
}

OSErr reprojectToBand(const OffscreenPicture& src, const CylinderGeometry& g, int outWidth, OffscreenPicture& band,
                      BandLayout& layout)
{
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

    // Rows: the source row of each band row's pitch.
    const double r = radius(g, g.width);
    const int srcTop = src.bounds().top;
    std::vector<float> line(std::size_t(g.width) * 3);
    for (int j = 0; j < layout.croppedHeight; ++j) {
        const double pitch = kPi / 2 - (layout.croppedY + j + 0.5) * kPi / layout.fullHeight;
        const double y = std::clamp(g.height * 0.5 - r * std::tan(pitch) - 0.5, 0.0, g.height - 1.0);
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
