// The web tour export: the cylinder-to-band reprojection against the player's geometry, the
// whole export of a panorama with a marked column, and what the export leaves after faults.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>

#include "compose/automatic_hot_spots.h"
#include "compose/compose_environment.h"
#include "compose/scene_map_edit.h"
#include "media/node_import.h"
#include "project/scene_defaults.h"
#include "quicktime/files/image_file.h"
#include "support/ffprobe_oracle.h"
#include "support/panorama_writer.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"
#include "web/cylinder_band.h"
#include "web/web_export.h"

namespace fs = std::filesystem;
using namespace qm;

namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

// An unrolled panorama: grey, a red column (3 pixels wide, centred on markX) and a blue dot row
// (3 rows centred on markY) across the columns left of a quarter of the width.
OffscreenPicture markedPanorama(int width, int height, int markX, int markY)
{
    OffscreenPicture p;
    p.allocate(PixelDepth::Argb32, Rect{0, 0, std::int16_t(height), std::int16_t(width)});
    p.fill(kGrey);
    for (int y = 0; y < height; ++y)
        for (int x = markX - 1; x <= markX + 1; ++x)
            p.setPixel(x, y, kRed);
    for (int y = markY - 1; y <= markY + 1; ++y)
        for (int x = 0; x < width / 4; ++x)
            p.setPixel(x, y, kBlue);
    return p;
}

bool reddish(std::uint32_t p) { return ((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90; }
bool bluish(std::uint32_t p) { return ((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) > 180; }

// The centre (band pixels) of the pixels along a row or column that pass the test.
double centreAlongRow(const OffscreenPicture& band, int y, bool (*test)(std::uint32_t))
{
    double sum = 0;
    int n = 0;
    for (int x = 0; x < band.width(); ++x)
        if (test(band.argb(x, y))) {
            sum += x + 0.5;
            ++n;
        }
    return n ? sum / n : -1;
}

double centreAlongColumn(const OffscreenPicture& band, int x, bool (*test)(std::uint32_t))
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < band.height(); ++y)
        if (test(band.argb(x, y))) {
            sum += y + 0.5;
            ++n;
        }
    return n ? sum / n : -1;
}

// The viewer's yaw and pitch (degrees) of a point of the band, from the viewer's cropped area.
double yawOfBandX(const web::BandLayout& l, double x) { return (l.croppedX + x) / l.fullWidth * 360.0 - 180.0; }
double pitchOfBandY(const web::BandLayout& l, double y) { return 90.0 - (l.croppedY + y) / l.fullHeight * 180.0; }

// The player's geometry, written out here on its own: the left edge of the unrolled panorama
// shows maxPan, pan falls to the right; rows run from maxTilt at the top to minTilt at the
// bottom evenly in the tangent of the tilt.
double playerPan(double maxPan, double range, int width, double x) { return maxPan - x / width * range; }
double playerTilt(double minTilt, double maxTilt, int height, double y)
{
    const double a = std::tan(maxTilt * M_PI / 180.0), b = std::tan(minTilt * M_PI / 180.0);
    return std::atan(a - y / height * (a - b)) * 180.0 / M_PI;
}

} // namespace

TEST(WebBand, MarkedColumnAndRowLandAtThePlayersPanAndTiltForWholeAndPartialPanoramas)
{
    struct Case {
        double minPan, maxPan, minTilt, maxTilt;
        int outWidth;
    };
    // The last has no tilt limits: those of a whole-turn cylinder of its proportions.
    const double half = std::atan(M_PI * 200 / 720) * 180.0 / M_PI;
    const Case cases[] = {{0, 360, -30, 30, 720},   {0, 360, -40, 25, 400},   {30, 210, -20, 20, 720},
                          {-90, 90, -35, 35, 512},  {100, 160, -10, 30, 700}, {0, 360, 0, 0, 720}};
    const int width = 720, height = 200, markX = 500, markY = 60;
    const OffscreenPicture pano = markedPanorama(width, height, markX, markY);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minPan << ".." << c.maxPan << " at " << c.outWidth);
        const web::CylinderGeometry g =
            web::CylinderGeometry{width, height, c.minPan, c.maxPan, c.minTilt, c.maxTilt}.normalised();
        const double minTilt = c.maxTilt > c.minTilt ? c.minTilt : -half;
        const double maxTilt = c.maxTilt > c.minTilt ? c.maxTilt : half;
        OffscreenPicture band;
        web::BandLayout layout;
        ASSERT_EQ(web::reprojectToBand(pano, g, c.outWidth, band, layout), 0);
        const double range = c.maxPan - c.minPan;
        EXPECT_EQ(layout.croppedWidth, std::min(c.outWidth, width));
        EXPECT_NEAR(double(layout.fullWidth) / layout.croppedWidth, 360.0 / range, 0.01);
        EXPECT_EQ(layout.fullHeight * 2, layout.fullWidth - layout.fullWidth % 2);
        EXPECT_LE(layout.croppedY + layout.croppedHeight, layout.fullHeight);

        // The band holds the whole cylinder and no more than a row past it.
        EXPECT_NEAR(layout.maxPitch, maxTilt, 180.0 / layout.fullHeight + 1e-6);
        EXPECT_NEAR(layout.minPitch, minTilt, 180.0 / layout.fullHeight + 1e-6);

        // The column: where the viewer shows the red mark is where the tour puts the mark's pan.
        const double x = centreAlongRow(band, band.height() / 2, reddish);
        ASSERT_GE(x, 0);
        const double pan = playerPan(c.maxPan, range, width, markX + 0.5);
        const double pixelDegrees = 360.0 / layout.fullWidth;
        EXPECT_NEAR(yawOfBandX(layout, x), g.yawOfPan(pan), pixelDegrees);
        EXPECT_NEAR(g.panOfColumn(markX + 0.5), pan, 1e-9);
        // yaw = maxPan - 180 - pan: pan and yaw turn opposite ways.
        EXPECT_NEAR(std::remainder(g.yawOfPan(pan) - (c.maxPan - 180 - pan), 360.0), 0, 1e-9);

        // The row: the blue mark at its tilt.
        const double y = centreAlongColumn(band, 2, bluish);
        ASSERT_GE(y, 0);
        const double tilt = playerTilt(minTilt, maxTilt, height, markY + 0.5);
        EXPECT_NEAR(pitchOfBandY(layout, y), tilt, 180.0 / layout.fullHeight * 1.5);
        EXPECT_NEAR(g.tiltOfRow(markY + 0.5), tilt, 1e-9);
    }
}

TEST(WebBand, RefusesPicturesThatDoNotMatchTheGeometry)
{
    OffscreenPicture pano = markedPanorama(100, 40, 10, 10);
    OffscreenPicture band;
    web::BandLayout layout;
    EXPECT_EQ(web::reprojectToBand(pano, web::CylinderGeometry{120, 40, 0, 360}, 100, band, layout), -50);
    EXPECT_EQ(web::reprojectToBand(OffscreenPicture(), web::CylinderGeometry{100, 40, 0, 360}, 100, band, layout), -50);
    // A record without a usable pan range is a whole turn.
    EXPECT_DOUBLE_EQ((web::CylinderGeometry{100, 40, 0, 0}).normalised().range(), 360.0);
    EXPECT_DOUBLE_EQ((web::CylinderGeometry{100, 40, 10, 5}).normalised().range(), 360.0);
}

namespace {

// A scene of two nodes made from one QuickTime VR panorama with a marked column, linked both
// ways; the link of the first node sits on the mark.
struct MarkedScene {
    Scene scene;
    web::WebExportOptions options;
    ComposeEnvironment env;
    static constexpr int kWidth = 768, kHeight = 192, kTiles = 4, kMarkX = 560, kMarkY = 70;
    static constexpr float kMinPan = 20, kMaxPan = 300, kMinTilt = -25, kMaxTilt = 35;

    explicit MarkedScene(const test::TempDir& dir)
    {
        const OffscreenPicture unrolled = markedPanorama(kWidth, kHeight, kMarkX, kMarkY);
        test::TestPanoramaOptions o;
        o.framesY = kTiles;
        o.minPan = kMinPan;
        o.maxPan = kMaxPan;
        o.minTilt = kMinTilt;
        o.maxTilt = kMaxTilt;
        o.defaultPan = 100;
        o.defaultTilt = 5;
        o.defaultFieldOfView = 40;
        EXPECT_EQ(test::writeTestPanorama(dir / "marked.mov", unrolled, nullptr, o), 0);
        scene = makeNewScene();
        scene.name = "Marked";
        scene.projectFile = dir / "marked.qmp";
        std::int16_t a = 0, b = 0;
        EXPECT_EQ(AddNodeFromFile(scene, {100, 100}, dir / "marked.mov", false, {}, &a), 0);
        EXPECT_EQ(AddNodeFromFile(scene, {200, 260}, dir / "marked.mov", false, {}, &b), 0);
        EXPECT_EQ(createLink(scene, a, b, AutoHotSpotStyle{}), 0);
        EXPECT_EQ(createLink(scene, b, a, AutoHotSpotStyle{}), 0);
        HotSpot& link = scene.nodes[0].hotSpots.at(0);
        link.bounds = Rect{kMarkY - 5, kMarkX - 5, kMarkY + 6, kMarkX + 6};
        link.customLinkView = true;
        link.linkView.panSet = true;
        link.linkView.pan = 250;
        link.linkView.fieldOfViewSet = true;
        link.linkView.fieldOfView = 30;
        HotSpot url;
        url.shape = HotSpotShape::kRectangle;
        url.id = 200;
        url.type = HotSpotType::kUrl;
        url.url = "https://example.org/";
        url.name = "Example";
        url.bounds = Rect{10, 10, 30, 30};
        scene.nodes[1].hotSpots.push_back(url);
        env = standardComposeEnvironment();
        env.scratchFolder = dir.path();
        options.folder = dir / "tour";
    }
    ~MarkedScene() { disposeScene(scene); }
};

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double jsonNumber(const std::string& text, const std::string& after, const std::string& key)
{
    const auto from = text.find(after);
    std::smatch m;
    const std::string rest = from == std::string::npos ? "" : text.substr(from);
    if (!std::regex_search(rest, m, std::regex("\"" + key + "\": (-?[0-9.]+)")))
        return NAN;
    return std::stod(m[1]);
}

} // namespace

TEST(WebExport, MarkedColumnOfAQuickTimeVrPanoramaShowsAtTheLinksYawInTheExportedBand)
{
    test::TempDir dir;
    MarkedScene s(dir);
    NullProgress progress;
    web::WebExportReport report;
    std::string detail;
    ASSERT_EQ(web::exportWebTour(s.scene, s.options, s.env, progress, report, &detail), 0) << detail;
    EXPECT_EQ(report.exportedNodes, 2);
    EXPECT_TRUE(report.missingNodes.empty());
    for (const char* f : {"index.html", "tour.js", "tour.json", "floorplan.png", "viewer/core/index.module.js",
                          "viewer/three/three.module.js", "media/001-panorama.jpg", "media/002-panorama.jpg"})
        EXPECT_TRUE(fs::is_regular_file(s.options.folder / f)) << f;

    OffscreenPicture band;
    ASSERT_EQ(readImageFile(s.options.folder / "media/001-panorama.jpg", fourCC("JPEG"), band), 0);
    const web::CylinderGeometry g{MarkedScene::kWidth,  MarkedScene::kHeight,  MarkedScene::kMinPan,
                                  MarkedScene::kMaxPan, MarkedScene::kMinTilt, MarkedScene::kMaxTilt};
    const web::BandLayout layout = web::bandLayout(g, MarkedScene::kWidth);
    ASSERT_EQ(band.width(), layout.croppedWidth);
    ASSERT_EQ(band.height(), layout.croppedHeight);

    const std::string json = readText(s.options.folder / "tour.json");
    EXPECT_EQ(jsonNumber(json, "\"panoData\"", "fullWidth"), layout.fullWidth);
    EXPECT_EQ(jsonNumber(json, "\"panoData\"", "croppedY"), layout.croppedY);
    const double linkYaw = jsonNumber(json, "\"links\"", "yaw");
    const double linkPitch = jsonNumber(json, "\"links\"", "pitch");
    const double range = MarkedScene::kMaxPan - MarkedScene::kMinPan;
    const double pan = playerPan(MarkedScene::kMaxPan, range, MarkedScene::kWidth, MarkedScene::kMarkX + 0.5);
    EXPECT_NEAR(jsonNumber(json, "\"links\"", "pan"), pan, 1e-3);

    // Where the exported picture shows the mark is where the tour placed the link.
    const double x = centreAlongRow(band, band.height() / 2, reddish);
    ASSERT_GE(x, 0);
    EXPECT_NEAR(yawOfBandX(layout, x), linkYaw, 1.5 * 360.0 / layout.fullWidth);
    const double y = centreAlongColumn(band, 2, bluish);
    ASSERT_GE(y, 0);
    EXPECT_NEAR(pitchOfBandY(layout, y), linkPitch, 2.0 * 180.0 / layout.fullHeight);

    EXPECT_NEAR(linkPitch, playerTilt(MarkedScene::kMinTilt, MarkedScene::kMaxTilt, MarkedScene::kHeight,
                                      (MarkedScene::kMarkY - 5 + MarkedScene::kMarkY + 6) / 2.0),
                1e-3);

    // The arrival view: the link's own pan and field of view, the destination's default tilt.
    EXPECT_NEAR(jsonNumber(json, "\"arrival\"", "pan"), 250, 1e-3);
    EXPECT_NEAR(jsonNumber(json, "\"arrival\"", "yaw"), MarkedScene::kMaxPan - 180 - 250, 1e-3);
    EXPECT_NEAR(jsonNumber(json, "\"arrival\"", "fov"), 30, 1e-3);
    EXPECT_NE(json.find("\"url\": \"https://example.org/\""), std::string::npos);
}

TEST(WebExport, NodeWithMissingMediaIsListedAndTheRestExported)
{
    test::TempDir dir;
    MarkedScene s(dir);
    s.scene.nodes[1].mediaReference.clear();
    NullProgress progress;
    web::WebExportReport report;
    ASSERT_EQ(web::exportWebTour(s.scene, s.options, s.env, progress, report), 0);
    EXPECT_EQ(report.exportedNodes, 1);
    ASSERT_EQ(report.missingNodes.size(), 1u);
    EXPECT_NE(report.missingNodes[0].find("002"), std::string::npos);
    const std::string json = readText(s.options.folder / "tour.json");
    EXPECT_EQ(json.find("node-002\""), std::string::npos) << "no link may lead to a node the tour lacks";

    // No node left: nothing written at all.
    s.scene.nodes[0].mediaReference.clear();
    web::WebExportOptions elsewhere = s.options;
    elsewhere.folder = dir / "empty-tour";
    EXPECT_EQ(web::exportWebTour(s.scene, elsewhere, s.env, progress, report), -1);
    EXPECT_FALSE(fs::exists(elsewhere.folder));
}

namespace {

// Cancels at the n-th update.
class CancellingProgress : public Progress {
public:
    explicit CancellingProgress(int at) : m_at(at) {}
    int updates = 0;

protected:
    void poll() override
    {
        if (++updates >= m_at)
            cancel();
    }

private:
    int m_at;
};

} // namespace

TEST(WebExport, CancelOrUnwritableFolderLeavesNothingBehindAndKeepsOthersFiles)
{
    test::TempDir dir;
    MarkedScene s(dir);
    // A file of the user's in the folder stays; the folder itself was there before.
    fs::create_directories(s.options.folder);
    std::ofstream(s.options.folder / "notes.txt") << "mine";
    for (int at : {1, 2, 3}) {
        CancellingProgress progress(at);
        web::WebExportReport report;
        EXPECT_EQ(web::exportWebTour(s.scene, s.options, s.env, progress, report), -128) << at;
        std::vector<fs::path> left;
        for (const auto& e : fs::recursive_directory_iterator(s.options.folder))
            left.push_back(e.path().filename());
        EXPECT_EQ(left, std::vector<fs::path>{"notes.txt"}) << at;
    }

    // A folder that cannot be made: its parent is a file.
    std::ofstream(dir / "plain-file") << "x";
    web::WebExportOptions bad = s.options;
    bad.folder = dir / "plain-file" / "tour";
    NullProgress progress;
    web::WebExportReport report;
    std::string detail;
    EXPECT_NE(web::exportWebTour(s.scene, bad, s.env, progress, report, &detail), 0);
    EXPECT_NE(detail.find("plain-file"), std::string::npos) << detail;
}

TEST(WebExport, LinearMovieBecomesH264Mp4AndStillImageAJpegWithTheirHotSpotsInImagePixels)
{
    QM_REQUIRE_FFPROBE();
    test::TempDir dir;
    test::LinearMovieFixture movie;
    movie.width = 67; // odd sizes: the video keeps the even part (4:2:0)
    movie.height = 51;
    movie.frames = 6;
    movie.emptyLead = 120; // nothing shown first
    ASSERT_EQ(test::writeLinearMovie(dir / "clip.mov", movie), 0);
    ASSERT_TRUE(test::writeStillImage(dir / "plan.png", fourCC("PNGf"), 80, 60));
    Scene scene = makeNewScene();
    scene.projectFile = dir / "s.qmp";
    std::int16_t m = 0, p = 0;
    ASSERT_EQ(AddNodeFromFile(scene, {50, 50}, dir / "clip.mov", false, {}, &m), 0);
    ASSERT_EQ(AddNodeFromFile(scene, {90, 150}, dir / "plan.png", false, {}, &p), 0);
    ASSERT_EQ(createLink(scene, p, m, AutoHotSpotStyle{}), 0);

    web::WebExportOptions options;
    options.folder = dir / "tour";
    ComposeEnvironment env = standardComposeEnvironment();
    NullProgress progress;
    web::WebExportReport report;
    std::string detail;
    ASSERT_EQ(web::exportWebTour(scene, options, env, progress, report, &detail), 0) << detail;
    EXPECT_EQ(report.exportedNodes, 2);
    EXPECT_EQ(report.videoEncoder, "libx264");

    const test::ProbeResult probe = test::probeMovie(options.folder / "media/001-movie.mp4");
    EXPECT_EQ(probe.exitStatus, 0) << probe.errors;
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_NE(probe.streams[0].find("avc1"), std::string::npos) << probe.streams[0];
    EXPECT_NE(probe.streams[0].find("avc1,66,50,"), std::string::npos) << probe.streams[0];
    EXPECT_EQ(probe.packets.size(), std::size_t(movie.frames));

    OffscreenPicture still;
    ASSERT_EQ(readImageFile(options.folder / "media/002-still.jpg", fourCC("JPEG"), still), 0);
    EXPECT_EQ(still.width(), 80);
    EXPECT_EQ(still.height(), 60);
    const std::string json = readText(options.folder / "tour.json");
    EXPECT_NE(json.find("\"kind\": \"movie\""), std::string::npos);
    EXPECT_NE(json.find("\"rect\""), std::string::npos) << "a still's link lies in image pixels";
    disposeScene(scene);
}
