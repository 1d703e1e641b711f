#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/raster/raster_geometry.h"
#include "quicktime/vr/vr_player.h"
#include "support/panorama_writer.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

// A panorama whose content is smooth enough to compare by PSNR and detailed enough that a
// misplaced view shows: soft stripes around, rings up and down, all periodic across the seam.
OffscreenPicture panoramaPicture(int width, int height)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, makeRect(0, 0, height, width));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double a = 2 * kPi * x / width;
            const double r = 128 + 100 * std::sin(7 * a) * std::cos(y * 0.09);
            const double g = 128 + 110 * std::cos(3 * a + y * 0.05);
            const double b = 128 + 90 * std::sin(11 * a + 0.3);
            auto c = [](double v) { return std::uint32_t(std::clamp(v, 0.0, 255.0)); };
            p.setPixel(x, y, 0xFF000000u | (c(r) << 16) | (c(g) << 8) | c(b));
        }
    return p;
}

// The reference: the direction of each view pixel from the pan, tilt and field of view, turned
// into cylinder coordinates, sampled bilinearly (wrapping around).
struct Reference {
    const OffscreenPicture& src;
    float minTilt, maxTilt;

    void direction(float pan, float tilt, float fov, int w, int h, double x, double y, double& yaw, double& up) const
    {
        const double focal = (h / 2.0) / std::tan(fov * kPi / 360);
        // Camera frame: right, up, ahead; then tilt about the right axis.
        const double cx = x - w / 2.0, cy = h / 2.0 - y, cz = focal;
        const double t = tilt * kPi / 180;
        const double wy = cy * std::cos(t) + cz * std::sin(t);
        const double wz = -cy * std::sin(t) + cz * std::cos(t);
        yaw = pan - std::atan2(cx, wz) * 180 / kPi; // degrees, growing to the left
        up = wy / std::sqrt(cx * cx + wz * wz);      // tangent of the elevation
    }

    std::uint32_t sample(double u, double v) const
    {
        const int w = src.width(), h = src.height();
        u -= 0.5;
        v = std::clamp(v - 0.5, 0.0, h - 1.0);
        const int x0 = int(std::floor(u)), y0 = int(v);
        const double fx = u - x0, fy = v - y0;
        const int y1 = std::min(y0 + 1, h - 1);
        auto px = [&](int x, int y) { return src.pixel(((x % w) + w) % w, y); };
        std::uint32_t out = 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            auto ch = [&](std::uint32_t p) { return double((p >> shift) & 0xFF); };
            const double top = ch(px(x0, y0)) * (1 - fx) + ch(px(x0 + 1, y0)) * fx;
            const double bottom = ch(px(x0, y1)) * (1 - fx) + ch(px(x0 + 1, y1)) * fx;
            out |= std::uint32_t(std::lround(top * (1 - fy) + bottom * fy)) << shift;
        }
        return out;
    }

    OffscreenPicture view(float pan, float tilt, float fov, int w, int h) const
    {
        OffscreenPicture out;
        out.allocate(PixelDepth::Argb32, makeRect(0, 0, h, w));
        const double tanTop = std::tan(maxTilt * kPi / 180), tanBottom = std::tan(minTilt * kPi / 180);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double yaw, up;
                direction(pan, tilt, fov, w, h, x + 0.5, y + 0.5, yaw, up);
                const double u = (360 - yaw) / 360 * src.width();
                const double v = (tanTop - up) / (tanTop - tanBottom) * src.height();
                out.setPixel(x, y, sample(u, v));
            }
        return out;
    }
};

double psnr(const OffscreenPicture& a, const OffscreenPicture& b)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int shift = 0; shift <= 16; shift += 8) {
                const double d = double((a.pixel(x, y) >> shift) & 0xFF) - double((b.pixel(x, y) >> shift) & 0xFF);
                sum += d * d;
                ++n;
            }
    const double mse = sum / n;
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

struct OpenPlayer {
    std::unique_ptr<Movie> movie;
    std::unique_ptr<VRPlayer> player;
    OSErr open(const fs::path& file)
    {
        if (OSErr e = Movie::open(file, MovieOpenMode::read, movie))
            return e;
        return VRPlayer::open(*movie, player);
    }
};

class PlayerPanorama : public ::testing::Test {
protected:
    void SetUp() override
    {
        image = panoramaPicture(1024, 256);
        hot.allocate(PixelDepth::Indexed8, makeRect(0, 0, 256, 1024));
        hot.fill(0);
        // Three hot spots, one across the seam.
        auto box = [&](int left, int top, int right, int bottom, std::uint8_t id) {
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    hot.setPixel(((x % 1024) + 1024) % 1024, y, id);
        };
        box(100, 100, 160, 150, 12);
        box(500, 60, 540, 200, 40);
        box(1000, 110, 1050, 140, 7);
        test::TestPanoramaOptions o;
        o.framesY = 8;
        ASSERT_EQ(test::writeTestPanorama(dir / "pano.mov", image, &hot, o, &record), 0);
        ASSERT_EQ(p.open(dir / "pano.mov"), 0);
    }

    test::TempDir dir;
    OffscreenPicture image, hot;
    PanoramaSampleRecord record;
    OpenPlayer p;
};

TEST_F(PlayerPanorama, ViewsMatchTheReferenceReprojection)
{
    VRPlayer& player = *p.player;
    QTVRInstance* vr = player.instance();
    player.setViewSize(320, 240);
    const Reference ref{image, record.minTilt, record.maxTilt};
    struct View {
        float pan, tilt, fov;
    };
    // Includes views across the seam (pan near 0 and 360) and tilted ones.
    for (View v : {View{180, 0, 60}, View{0, 0, 50}, View{359, 10, 40}, View{90, -15, 30}, View{250, 20, 25},
                   View{3, -20, 35}}) {
        QTVRSetFieldOfView(vr, v.fov);
        QTVRSetTiltAngle(vr, v.tilt);
        QTVRSetPanAngle(vr, v.pan);
        ASSERT_NEAR(QTVRGetFieldOfView(vr), v.fov, 1e-3);
        ASSERT_NEAR(QTVRGetTiltAngle(vr), v.tilt, 1e-3);
        const OffscreenPicture expected = ref.view(QTVRGetPanAngle(vr), v.tilt, v.fov, 320, 240);
        OffscreenPicture got;
        player.setMoving(false);
        ASSERT_EQ(player.render(got), 0);
        EXPECT_GE(psnr(got, expected), 30.0) << "bilinear pan " << v.pan << " tilt " << v.tilt;
        player.setMoving(true);
        ASSERT_EQ(player.render(got), 0);
        EXPECT_GE(psnr(got, expected), 24.0) << "nearest pan " << v.pan << " tilt " << v.tilt;
    }
}

TEST_F(PlayerPanorama, NoSeamWhereThePanoramaWraps)
{
    VRPlayer& player = *p.player;
    player.setViewSize(200, 100);
    QTVRSetFieldOfView(player.instance(), 40);
    QTVRSetTiltAngle(player.instance(), 0);
    QTVRSetPanAngle(player.instance(), 0); // the seam in the middle of the view
    OffscreenPicture got;
    ASSERT_EQ(player.render(got), 0);
    // Neighbouring columns differ no more at the seam than anywhere else in the view.
    auto columnStep = [&](int x) {
        double d = 0;
        for (int y = 0; y < got.height(); ++y)
            for (int shift = 0; shift <= 16; shift += 8)
                d += std::abs(int((got.pixel(x, y) >> shift) & 0xFF) - int((got.pixel(x + 1, y) >> shift) & 0xFF));
        return d / got.height();
    };
    double largest = 0;
    for (int x = 0; x + 1 < got.width(); ++x)
        if (x < 95 || x > 104)
            largest = std::max(largest, columnStep(x));
    for (int x = 95; x <= 104; ++x)
        EXPECT_LE(columnStep(x), largest * 1.2 + 2) << "column " << x;
}

TEST_F(PlayerPanorama, PanCentresTheColumnQuickTimeVRNames)
{
    // Pan p looks at column (360 - p) / 360 of the width: the centre pixel maps there.
    for (float pan : {0.0f, 45.0f, 180.0f, 300.0f}) {
        PanoramaGeometry g;
        g.minTilt = record.minTilt;
        g.maxTilt = record.maxTilt;
        double column = 0, row = 0;
        ASSERT_TRUE(viewToSource(g, PanoramaViewAngles{pan, 0, 40}, 200, 100, 99.5, 49.5, 1024, 256, column, row));
        const double expected = std::fmod((360 - pan) / 360 * 1024, 1024.0);
        EXPECT_NEAR(std::fmod(column + 1024 - expected + 512, 1024.0) - 512, 0, 0.01) << pan;
        EXPECT_NEAR(row, 128, 0.01);
    }
}

TEST_F(PlayerPanorama, HitFindsEachHotSpotWhereTheTrackHasIt)
{
    VRPlayer& player = *p.player;
    player.setViewSize(320, 240);
    QTVRInstance* vr = player.instance();
    std::map<std::uint32_t, int> found;
    for (float pan : {0.0f, 60.0f, 150.0f, 200.0f, 290.0f, 330.0f})
        for (float tilt : {-10.0f, 0.0f, 12.0f}) {
            QTVRSetFieldOfView(vr, 45);
            QTVRSetTiltAngle(vr, tilt);
            QTVRSetPanAngle(vr, pan);
            const PanoramaGeometry g{PanoramaLayout::VerticalCylinder, 0, 360, record.minTilt, record.maxTilt, 0};
            for (int y = 0; y < 240; y += 7)
                for (int x = 0; x < 320; x += 7) {
                    double column, row;
                    const bool inside = viewToSource(g, PanoramaViewAngles{QTVRGetPanAngle(vr), tilt, 45}, 320, 240, x,
                                                     y, 1024, 256, column, row);
                    const std::uint32_t expected = inside ? hot.pixel(int(column), int(row)) : 0;
                    const std::uint32_t got = player.hotSpotAt(x, y);
                    ASSERT_EQ(got, expected) << pan << "/" << tilt << " at " << x << "," << y;
                    if (got)
                        ++found[got];
                }
        }
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(player.hotSpotAt(-1, 5), 0u);
    EXPECT_EQ(player.hotSpotAt(320, 5), 0u);
}

TEST_F(PlayerPanorama, ViewStaysWithinTheNodeLimits)
{
    QTVRInstance* vr = p.player->instance();
    EXPECT_FLOAT_EQ(QTVRGetPanAngle(vr), record.defaultPan);
    EXPECT_FLOAT_EQ(QTVRGetFieldOfView(vr), record.defaultFieldOfView);
    QTVRSetFieldOfView(vr, 500);
    EXPECT_FLOAT_EQ(QTVRGetFieldOfView(vr), record.maxFieldOfView);
    EXPECT_FLOAT_EQ(QTVRGetTiltAngle(vr), (record.minTilt + record.maxTilt) / 2);
    QTVRSetFieldOfView(vr, 0.01f);
    EXPECT_FLOAT_EQ(QTVRGetFieldOfView(vr), record.minFieldOfView);
    QTVRSetFieldOfView(vr, 20);
    QTVRSetTiltAngle(vr, 89);
    EXPECT_FLOAT_EQ(QTVRGetTiltAngle(vr), record.maxTilt - 10);
    QTVRSetPanAngle(vr, 370);
    EXPECT_NEAR(QTVRGetPanAngle(vr), 10, 1e-4);
    QTVRSetPanAngle(vr, -30);
    EXPECT_NEAR(QTVRGetPanAngle(vr), 330, 1e-4);
    // Without an instance the entry points answer as QuickTime VR does when it is missing.
    EXPECT_EQ(QTVRGetPanAngle(nullptr), 0.0f);
    EXPECT_EQ(QTVRSetPanAngle(nullptr, 3), err::qtvrUninitialized);
    EXPECT_EQ(QTVRGetCurrentNodeID(nullptr), 0u);
    EXPECT_EQ(QTVRInstallInterceptProc(nullptr, qtvr::kTriggerHotSpotSelector, {}), err::qtvrUninitialized);
    EXPECT_EQ(QTVRInstallInterceptProc(vr, 0x2001, [](QTVRInstance&, const QTVRInterceptRecord&) { return false; }),
              err::paramErr);
}

TEST(PlayerPartialPanorama, PanKeepsTheViewInsideThePicture)
{
    test::TempDir dir;
    const OffscreenPicture image = panoramaPicture(600, 200);
    test::TestPanoramaOptions o;
    o.minPan = 30;
    o.maxPan = 150;
    o.defaultPan = 90;
    o.framesY = 4;
    ASSERT_EQ(test::writeTestPanorama(dir / "part.mov", image, nullptr, o), 0);
    OpenPlayer p;
    ASSERT_EQ(p.open(dir / "part.mov"), 0);
    p.player->setViewSize(400, 300);
    QTVRInstance* vr = p.player->instance();
    QTVRSetFieldOfView(vr, 30);
    const float half = horizontalFieldOfView(30, 400.0 / 300) / 2;
    QTVRSetPanAngle(vr, 200);
    EXPECT_NEAR(QTVRGetPanAngle(vr), 150 - half, 1e-3);
    QTVRSetPanAngle(vr, 0);
    EXPECT_NEAR(QTVRGetPanAngle(vr), 30 + half, 1e-3);
}

fs::path sample(const char* name) { return fs::path(QM_SAMPLES_DIR) / name; }

TEST(PlayerSamples, RealPanoramasDisplayAndTheirHotSpotsAreFound)
{
    QM_REQUIRE_SAMPLE(sample("wyk_pano_8.mov"));
    for (const char* name : {"wyk_pano_8.mov", "osu_facilities-panorama-sm.mov", "cuty_CuTy.mov"}) {
        OpenPlayer p;
        ASSERT_EQ(p.open(sample(name)), 0) << name;
        p.player->setViewSize(320, 240);
        OffscreenPicture view;
        ASSERT_EQ(p.player->render(view), 0) << name;
        // Real content: many different colours.
        std::set<std::uint32_t> colours;
        for (int y = 0; y < 240; y += 4)
            for (int x = 0; x < 320; x += 4)
                colours.insert(view.pixel(x, y));
        EXPECT_GT(colours.size(), 200u) << name;
    }

    OpenPlayer p;
    ASSERT_EQ(p.open(sample("wyk_pano_8.mov")), 0);
    QTVRInstance* vr = p.player->instance();
    EXPECT_EQ(QTVRGetCurrentNodeID(vr), 127u);
    p.player->setViewSize(320, 240);
    // Aim at the middle of each hot spot of the unrolled hot spot picture and hit the centre.
    UnrolledPanorama u;
    ASSERT_EQ(UnrollPanorama(*p.movie, 0, PanoramaUnrollOptions{false, true}, u), 0);
    const PanoramaGeometry g = PanoramaGeometry::of(u);
    std::map<std::uint32_t, std::pair<double, double>> sums;
    std::map<std::uint32_t, int> counts;
    for (int y = 0; y < u.hotSpots.height(); ++y)
        for (int x = 0; x < u.hotSpots.width(); ++x)
            if (std::uint32_t id = u.hotSpots.pixel(x, y)) {
                sums[id].first += x;
                sums[id].second += y;
                ++counts[id];
            }
    ASSERT_EQ(counts.size(), 3u);
    for (auto [id, s] : sums) {
        const double cx = s.first / counts[id], cy = s.second / counts[id];
        if (u.hotSpots.pixel(int(cx), int(cy)) != id)
            continue; // a hot spot whose middle lies outside it
        const double pan = g.maxPan - (cx + 0.5) / u.hotSpots.width() * (g.maxPan - g.minPan);
        const double tanTop = std::tan(g.maxTilt * kPi / 180), tanBottom = std::tan(g.minTilt * kPi / 180);
        const double tilt = std::atan(tanTop - (cy + 0.5) / u.hotSpots.height() * (tanTop - tanBottom)) * 180 / kPi;
        QTVRSetFieldOfView(vr, 20);
        QTVRSetTiltAngle(vr, float(tilt));
        QTVRSetPanAngle(vr, float(pan));
        if (std::fabs(QTVRGetTiltAngle(vr) - tilt) > 0.01)
            continue; // outside the tilt the view can reach
        EXPECT_EQ(p.player->hotSpotAt(160, 120), id);
        const QTVRHotSpot* h = vr->hotSpot(id);
        ASSERT_NE(h, nullptr) << id;
        EXPECT_EQ(h->type, fourCC("url "));
    }
}

TEST(PlayerObject, PanAndTiltChooseTheView)
{
    test::TempDir dir;
    test::Object2xFixture f;
    f.record.viewDuration = 7200 / 8; // the fixture's frames: 8 views over 7200 units
    ASSERT_EQ(test::writeObject2x(dir / "obj.mov", f), 0);
    OpenPlayer p;
    ASSERT_EQ(p.open(dir / "obj.mov"), 0);
    EXPECT_EQ(p.player->nodeType(), qtvr::kObjectNodeType);
    p.player->setViewSize(80, 60);
    QTVRInstance* vr = p.player->instance();
    std::set<std::uint32_t> centres;
    for (float pan : {0.0f, 90.0f, 180.0f, 270.0f}) {
        QTVRSetPanAngle(vr, pan);
        OffscreenPicture view;
        ASSERT_EQ(p.player->render(view), 0);
        std::uint32_t hash = 2166136261u;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x)
                hash = (hash ^ view.pixel(x, y)) * 16777619u;
        centres.insert(hash);
    }
    // Four columns, four different frames.
    EXPECT_EQ(centres.size(), 4u);
}

} // namespace
} // namespace qm
