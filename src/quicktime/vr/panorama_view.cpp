#include "quicktime/vr/panorama_view.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "quicktime/base/errors.h"
#include "quicktime/raster/raster_geometry.h"

namespace qm {

namespace {

constexpr double kDegree = M_PI / 180.0;
constexpr int kStep = 8;

struct Ray {
    double x, y, z; // right, up, forward of the pan-0 view
};

// The ray through view point (dx, dy) from the view's centre (dy grows downwards), f the focal
// length in pixels, in the frame of the view's own pan (x right, y up, z ahead).
Ray viewRay(double dx, double dy, double f, double tilt)
{
    const double c = std::cos(tilt), s = std::sin(tilt);
    return {dx, -dy * c + f * s, dy * s + f * c};
}

// Source coordinates of a ray of the view (before wrapping); false when it misses.
bool raySource(const PanoramaGeometry& g, const PanoramaViewAngles& view, const Ray& r, int sw, int sh, double& u,
               double& v)
{
    if (g.layout == PanoramaLayout::Cube) {
        // Turn the ray by the pan: pan grows to the left, the front face looks along +z.
        const double p = view.pan * kDegree;
        const double cp = std::cos(p), sp = std::sin(p);
        const double x = r.x * cp - r.z * sp;
        const double z = r.x * sp + r.z * cp;
        const double y = r.y;
        const double ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
        int face;
        double a, b;
        if (az >= ax && az >= ay) {
            face = z > 0 ? 0 : 2;
            a = z > 0 ? x / az : -x / az;
            b = -y / az;
        } else if (ax >= ay) {
            face = x > 0 ? 1 : 3;
            a = x > 0 ? -z / ax : z / ax;
            b = -y / ax;
        } else {
            face = y > 0 ? 4 : 5;
            a = x / ay;
            b = y > 0 ? z / ay : -z / ay;
        }
        const int s = g.cubeFaceSize > 0 ? g.cubeFaceSize : sh;
        u = face * s + (a + 1) * 0.5 * s;
        v = (b + 1) * 0.5 * s;
        return true;
    }
    const double range = std::max(1e-3f, g.maxPan - g.minPan);
    const double angle = std::atan2(r.x, r.z) / kDegree; // to the right of the view's centre
    u = (double(g.maxPan) - (double(view.pan) - angle)) / range * sw;
    const double tanMax = std::tan(std::clamp(double(g.maxTilt), -89.0, 89.0) * kDegree);
    const double tanMin = std::tan(std::clamp(double(g.minTilt), -89.0, 89.0) * kDegree);
    const double t = r.y / std::hypot(r.x, r.z);
    v = (tanMax - t) / std::max(1e-9, tanMax - tanMin) * sh;
    return true;
}

} // namespace

PanoramaGeometry PanoramaGeometry::of(const UnrolledPanorama& p)
{
    PanoramaGeometry g;
    g.layout = p.layout;
    g.minPan = p.record.minPan;
    g.maxPan = p.record.maxPan;
    if (g.maxPan <= g.minPan) {
        g.minPan = 0;
        g.maxPan = 360;
    }
    g.minTilt = p.record.minTilt;
    g.maxTilt = p.record.maxTilt;
    if (g.maxTilt <= g.minTilt && p.image.width() > 0) {
        // No usable limits: the tilt a cylinder of the picture's proportions spans.
        const float half = float(std::atan(M_PI * p.image.height() / p.image.width()) / kDegree);
        g.minTilt = -half;
        g.maxTilt = half;
    }
    g.cubeFaceSize = p.cubeFaceSize;
    return g;
}

float horizontalFieldOfView(float vertical, double aspect)
{
    return float(2.0 * std::atan(aspect * std::tan(vertical * kDegree / 2)) / kDegree);
}

bool viewToSource(const PanoramaGeometry& g, const PanoramaViewAngles& view, int width, int height, double x, double y,
                  int sw, int sh, double& column, double& row)
{
    if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0)
        return false;
    const double f = height / 2.0 / std::tan(std::clamp(double(view.fieldOfView), 0.01, 179.0) * kDegree / 2);
    const Ray r = viewRay(x + 0.5 - width / 2.0, y + 0.5 - height / 2.0, f, view.tilt * kDegree);
    double u, v;
    if (!raySource(g, view, r, sw, sh, u, v))
        return false;
    if (g.layout != PanoramaLayout::Cube && g.wraps())
        u = u - std::floor(u / sw) * sw;
    column = u;
    row = v;
    return u >= 0 && u < sw && v >= 0 && v < sh;
}

OSErr renderPanoramaView(const OffscreenPicture& src, const PanoramaGeometry& g, const PanoramaViewAngles& view,
                         int width, int height, ImagingQuality quality, OffscreenPicture& out)
{
    if (width <= 0 || height <= 0 || src.isNull() || src.depth() != PixelDepth::Argb32)
        return err::paramErr;
    if (out.isNull() || out.width() != width || out.height() != height || out.depth() != PixelDepth::Argb32 ||
        out.bounds().top != 0 || out.bounds().left != 0)
        if (OSErr e = out.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width)))
            return e;
    const int sw = src.width(), sh = src.height();
    const bool wrap = g.layout != PanoramaLayout::Cube && g.wraps();
    const double f = height / 2.0 / std::tan(std::clamp(double(view.fieldOfView), 0.01, 179.0) * kDegree / 2);
    const double tilt = view.tilt * kDegree;

    // Exact source coordinates on a grid of every kStep-th pixel, in 16.16 fixed point.
    const int gw = (width + kStep - 1) / kStep + 1;
    const int gh = (height + kStep - 1) / kStep + 1;
    std::vector<std::int64_t> gu(std::size_t(gw) * std::size_t(gh)), gv(gu.size());
    for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
            const Ray r = viewRay(i * kStep + 0.5 - width / 2.0, j * kStep + 0.5 - height / 2.0, f, tilt);
            double u = 0, v = 0;
            raySource(g, view, r, sw, sh, u, v);
            // Bilinear sampling looks at the pixel centres around the point.
            if (quality == ImagingQuality::Bilinear) {
                u -= 0.5;
                v -= 0.5;
            }
            gu[std::size_t(j) * std::size_t(gw) + std::size_t(i)] = std::int64_t(std::llround(u * 65536.0));
            gv[std::size_t(j) * std::size_t(gw) + std::size_t(i)] = std::int64_t(std::llround(v * 65536.0));
        }
    // Keep the grid's columns continuous across a wrapping panorama's seam and positive.
    if (wrap) {
        const std::int64_t full = std::int64_t(sw) << 16;
        std::int64_t lowest = gu[0];
        for (std::int64_t u : gu)
            lowest = std::min(lowest, u);
        const std::int64_t shift = (lowest < 0 ? (-lowest / full + 1) * full : -(lowest / full) * full);
        for (std::int64_t& u : gu)
            u += shift;
    }

    const std::int64_t maxV = (std::int64_t(sh) << 16) - 1;
    const std::int64_t maxU = (std::int64_t(sw) << 16) - 1;
    for (int j0 = 0; j0 < height; j0 += kStep) {
        const int gj = j0 / kStep;
        for (int i0 = 0; i0 < width; i0 += kStep) {
            const int gi = i0 / kStep;
            auto at = [&](const std::vector<std::int64_t>& a, int di, int dj) {
                return a[std::size_t(gj + dj) * std::size_t(gw) + std::size_t(gi + di)];
            };
            const std::int64_t u00 = at(gu, 0, 0), u10 = at(gu, 1, 0), u01 = at(gu, 0, 1), u11 = at(gu, 1, 1);
            const std::int64_t v00 = at(gv, 0, 0), v10 = at(gv, 1, 0), v01 = at(gv, 0, 1), v11 = at(gv, 1, 1);
            const int bw = std::min(kStep, width - i0), bh = std::min(kStep, height - j0);
            for (int y = 0; y < bh; ++y) {
                // Left and right ends of this row of the block, stepped across.
                const std::int64_t ul = u00 + (u01 - u00) * y / kStep, ur = u10 + (u11 - u10) * y / kStep;
                const std::int64_t vl = v00 + (v01 - v00) * y / kStep, vr = v10 + (v11 - v10) * y / kStep;
                const std::int64_t du = (ur - ul) / kStep, dv = (vr - vl) / kStep;
                std::int64_t u = ul, v = vl;
                std::uint32_t* dst = out.row32(j0 + y) + i0;
                if (quality == ImagingQuality::Nearest) {
                    for (int x = 0; x < bw; ++x, u += du, v += dv) {
                        std::int64_t uu = u;
                        if (wrap) {
                            uu %= (std::int64_t(sw) << 16);
                        } else
                            uu = std::clamp<std::int64_t>(uu, 0, maxU);
                        const std::int64_t vv = std::clamp<std::int64_t>(v, 0, maxV);
                        dst[x] = src.row32(int(vv >> 16))[uu >> 16];
                    }
                } else {
                    for (int x = 0; x < bw; ++x, u += du, v += dv) {
                        const std::int64_t vv = std::clamp<std::int64_t>(v, 0, maxV);
                        int r0 = int(vv >> 16);
                        int r1 = std::min(r0 + 1, sh - 1);
                        const std::uint32_t fy = std::uint32_t((vv >> 8) & 0xFF);
                        int c0, c1;
                        std::uint32_t fx;
                        if (wrap) {
                            const std::int64_t uu = u % (std::int64_t(sw) << 16);
                            c0 = int(uu >> 16);
                            c1 = c0 + 1 == sw ? 0 : c0 + 1;
                            fx = std::uint32_t((uu >> 8) & 0xFF);
                        } else {
                            const std::int64_t uu = std::clamp<std::int64_t>(u, 0, maxU);
                            c0 = int(uu >> 16);
                            c1 = std::min(c0 + 1, sw - 1);
                            fx = std::uint32_t((uu >> 8) & 0xFF);
                        }
                        const std::uint32_t* a = src.row32(r0);
                        const std::uint32_t* b = src.row32(r1);
                        const std::uint32_t p00 = a[c0], p10 = a[c1], p01 = b[c0], p11 = b[c1];
                        // Two channels at a time: red and blue, then alpha and green.
                        auto mix = [&](std::uint32_t mask) {
                            const std::uint64_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy),
                                                w01 = (256 - fx) * fy, w11 = fx * fy;
                            const std::uint64_t s = (p00 & mask) * w00 + (p10 & mask) * w10 + (p01 & mask) * w01 +
                                                    (p11 & mask) * w11;
                            return std::uint32_t((s + 32768) >> 16) & mask;
                        };
                        dst[x] = mix(0x00FF00FFu) | mix(0x0000FF00u) | 0xFF000000u;
                    }
                }
            }
        }
    }
    return err::noErr;
}

} // namespace qm
