// What QuickTime VR movies make as nodes: real files of other tools and movies written by the
// fixtures, 2.x records as stored and 1.x records converted.
#include <gtest/gtest.h>

#include <fstream>

#include "media/media_analysis.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/errors.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

Bytes fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The file's own 'pdat' payload, found by scanning the file for the QT atom header (20 bytes:
// size 104, type, ID, reserved, no children) rather than through the movie layer.
Bytes storedPanoramaData(const std::filesystem::path& file)
{
    const Bytes b = fileBytes(file);
    for (std::size_t i = 4; i + 100 <= b.size(); ++i)
        if (std::equal(b.begin() + std::ptrdiff_t(i), b.begin() + std::ptrdiff_t(i) + 4, "pdat") &&
            loadBE32(&b[i - 4]) == 104 && loadBE16(&b[i + 10]) == 0)
            return Bytes(b.begin() + std::ptrdiff_t(i) + 16, b.begin() + std::ptrdiff_t(i) + 100);
    return {};
}

float beFloat(const Bytes& b, std::size_t at)
{
    ByteReader r(b);
    r.seek(at);
    return r.f32();
}

// Field by field against the stored bytes, with the offsets of the record's layout.
void expectPanoramaRecordEquals(const PanoramaSampleRecord& p, const Bytes& d)
{
    ASSERT_EQ(d.size(), 84u);
    EXPECT_EQ(p.majorVersion, loadBE16(&d[0]));
    EXPECT_EQ(p.minorVersion, loadBE16(&d[2]));
    EXPECT_EQ(p.imageRefTrackIndex, loadBE32(&d[4]));
    EXPECT_EQ(p.hotSpotRefTrackIndex, loadBE32(&d[8]));
    const float floats[] = {p.minPan,         p.maxPan,     p.minTilt,     p.maxTilt,           p.minFieldOfView,
                            p.maxFieldOfView, p.defaultPan, p.defaultTilt, p.defaultFieldOfView};
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(floats[i], beFloat(d, 12 + 4 * i)) << "float at offset " << 12 + 4 * i;
    EXPECT_EQ(p.imageSizeX, loadBE32(&d[48]));
    EXPECT_EQ(p.imageSizeY, loadBE32(&d[52]));
    EXPECT_EQ(p.imageNumFramesX, loadBE16(&d[56]));
    EXPECT_EQ(p.imageNumFramesY, loadBE16(&d[58]));
    EXPECT_EQ(p.hotSpotSizeX, loadBE32(&d[60]));
    EXPECT_EQ(p.hotSpotSizeY, loadBE32(&d[64]));
    EXPECT_EQ(p.hotSpotNumFramesX, loadBE16(&d[68]));
    EXPECT_EQ(p.hotSpotNumFramesY, loadBE16(&d[70]));
    EXPECT_EQ(p.flags, loadBE32(&d[72]));
    EXPECT_EQ(p.panoType, loadBE32(&d[76]));
    EXPECT_EQ(p.reserved, loadBE32(&d[80]));
}

class RealPanoramaTest : public ::testing::TestWithParam<const char*> {};

TEST_P(RealPanoramaTest, ImportsWithTheStoredRecordAndTheFileName)
{
    const auto file = test::samplesDir() / GetParam();
    QM_REQUIRE_SAMPLE(file);
    MediaAnalysis a;
    std::string detail;
    ASSERT_EQ(analyzeMediaFile(file, a, &detail), 0) << detail;
    EXPECT_EQ(a.kind, NodeKind::kPanorama);
    EXPECT_EQ(a.vrVersion, 0x200u);
    const auto* p = std::get_if<PanoramaSampleRecord>(&a.mediaData);
    ASSERT_TRUE(p);
    expectPanoramaRecordEquals(*p, storedPanoramaData(file));
    EXPECT_EQ(a.displayBounds, (Rect{0, 0, std::int16_t(p->imageSizeY), std::int16_t(p->imageSizeX)}));
    // None of the three names its node, so the node takes the file's name.
    EXPECT_EQ(a.name, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Samples, RealPanoramaTest,
                         ::testing::Values("wyk_pano_8.mov", "osu_facilities-panorama-sm.mov", "cuty_CuTy.mov"));

TEST(RealPanorama, CubicPanoramaKeepsItsCubeRecord)
{
    const auto file = test::samplesDir() / "cuty_CuTy.mov";
    QM_REQUIRE_SAMPLE(file);
    MediaAnalysis a;
    ASSERT_EQ(analyzeMediaFile(file, a), 0);
    const auto& p = std::get<PanoramaSampleRecord>(a.mediaData);
    EXPECT_EQ(p.panoType, fourCC("cube"));
    EXPECT_EQ(a.displayBounds, (Rect{0, 0, std::int16_t(p.imageSizeY), std::int16_t(p.imageSizeX)}));
}

TEST(Panorama2x, RecordAndNodeNameComeFromTheMovie)
{
    TempDir dir;
    test::Panorama2xFixture f;
    f.nodeName = "Courtyard";
    f.record.hotSpotRefTrackIndex = 1;
    f.hotSpotTrack = true;
    ASSERT_EQ(test::writePanorama2x(dir / "pano.mov", f), 0);
    MediaAnalysis a;
    ASSERT_EQ(analyzeMediaFile(dir / "pano.mov", a), 0);
    EXPECT_EQ(a.kind, NodeKind::kPanorama);
    EXPECT_EQ(std::get<PanoramaSampleRecord>(a.mediaData), f.record);
    EXPECT_EQ(a.name, "Courtyard");
    EXPECT_EQ(a.displayBounds, (Rect{0, 0, 128, 48}));
}

TEST(Panorama2x, MissingPanoramaDataIsRefusedWithMissingAtom)
{
    TempDir dir;
    test::Panorama2xFixture f;
    f.writePanoramaData = false;
    ASSERT_EQ(test::writePanorama2x(dir / "pano.mov", f), 0);
    MediaAnalysis a;
    EXPECT_EQ(analyzeMediaFile(dir / "pano.mov", a), err::cannotFindAtomErr);
}

TEST(Object2x, TrackReferencesDefaultToOneWithoutTheirAtoms)
{
    TempDir dir;
    test::Object2xFixture f;
    ASSERT_EQ(test::writeObject2x(dir / "obj.mov", f), 0);
    MediaAnalysis a;
    ASSERT_EQ(analyzeMediaFile(dir / "obj.mov", a), 0);
    EXPECT_EQ(a.kind, NodeKind::kObject);
    EXPECT_EQ(a.vrVersion, 0x200u);
    EXPECT_EQ(std::get<ObjectSampleRecord>(a.mediaData), f.record);
    EXPECT_EQ(a.imageTrackReference, 1);
    EXPECT_EQ(a.hotSpotTrackReference, 1);
    EXPECT_EQ(a.movieBounds, (Rect{0, 0, 30, 40}));
    EXPECT_EQ(a.displayBounds, a.movieBounds);
    EXPECT_EQ(a.name, "obj.mov");

    f.imageTrackRefIndex = 3;
    f.hotSpotTrackRefIndex = 2;
    f.nodeName = "Teapot";
    ASSERT_EQ(test::writeObject2x(dir / "refs.mov", f), 0);
    ASSERT_EQ(analyzeMediaFile(dir / "refs.mov", a), 0);
    EXPECT_EQ(a.imageTrackReference, 3);
    EXPECT_EQ(a.hotSpotTrackReference, 2);
    EXPECT_EQ(a.name, "Teapot");

    f.writeObjectData = false;
    ASSERT_EQ(test::writeObject2x(dir / "noobji.mov", f), 0);
    EXPECT_EQ(analyzeMediaFile(dir / "noobji.mov", a), err::cannotFindAtomErr);
}

TEST(Panorama1x, ConvertsToA2xRecord)
{
    TempDir dir;
    test::Panorama1xFixture f;
    f.nodeName = "Old Mill";
    f.hotSpotSizeX = 48;
    f.hotSpotSizeY = 128;
    f.hotSpotFramesX = 1;
    f.hotSpotFramesY = 2;
    ASSERT_EQ(test::writePanorama1x(dir / "p1.mov", f), 0);
    MediaAnalysis a;
    std::string detail;
    ASSERT_EQ(analyzeMediaFile(dir / "p1.mov", a, &detail), 0) << detail;
    EXPECT_EQ(a.kind, NodeKind::kPanorama);
    EXPECT_EQ(a.vrVersion, 0x100u);
    const auto& p = std::get<PanoramaSampleRecord>(a.mediaData);
    EXPECT_EQ(p.majorVersion, 2);
    EXPECT_EQ(p.imageRefTrackIndex, 0u);
    EXPECT_EQ(p.hotSpotRefTrackIndex, 0u);
    EXPECT_EQ(p.minPan, 0.0f);
    EXPECT_EQ(p.maxPan, 360.0f);
    EXPECT_EQ(p.maxTilt, 30.0f); // tilt range top
    EXPECT_EQ(p.minTilt, -30.0f);
    EXPECT_EQ(p.minFieldOfView, 10.0f);
    EXPECT_EQ(p.maxFieldOfView, 60.0f);
    EXPECT_EQ(p.defaultPan, 90.0f);
    EXPECT_EQ(p.defaultTilt, 5.0f);
    EXPECT_EQ(p.defaultFieldOfView, 45.0f);
    EXPECT_EQ(p.imageSizeX, 48u);
    EXPECT_EQ(p.imageSizeY, 128u);
    EXPECT_EQ(p.imageNumFramesX, 1);
    EXPECT_EQ(p.imageNumFramesY, 4);
    EXPECT_EQ(p.hotSpotSizeY, 128u);
    EXPECT_EQ(p.hotSpotNumFramesY, 2);
    EXPECT_EQ(p.flags, 0u);
    EXPECT_EQ(p.panoType, 0u);
    EXPECT_EQ(a.vr1VideoTrackId, 1); // the scene track, the movie's first
    EXPECT_EQ(a.name, "Old Mill");
}

TEST(Panorama1x, FractionalAnglesAndAHeaderFirstSample)
{
    TempDir dir;
    test::Panorama1xFixture f;
    f.pHdrFirst = true;
    f.panStart = -(90 << 16);
    f.panEnd = 0x005A8000; // 90.5
    f.defaultTilt = -0x00018000; // -1.5
    ASSERT_EQ(test::writePanorama1x(dir / "p1.mov", f), 0);
    MediaAnalysis a;
    ASSERT_EQ(analyzeMediaFile(dir / "p1.mov", a), 0);
    const auto& p = std::get<PanoramaSampleRecord>(a.mediaData);
    EXPECT_EQ(p.minPan, -90.0f);
    EXPECT_EQ(p.maxPan, 90.5f);
    EXPECT_EQ(p.defaultTilt, -1.5f);
    EXPECT_EQ(a.name, "p1.mov");
}

TEST(Panorama1x, SeveralNodesAreRefusedAsMultiNode)
{
    TempDir dir;
    test::Panorama1xFixture f;
    f.nodeIds = {10, 20};
    ASSERT_EQ(test::writePanorama1x(dir / "p1.mov", f), 0);
    MediaAnalysis a;
    EXPECT_EQ(analyzeMediaFile(dir / "p1.mov", a), err::multiNodeMovie);
}

struct Object1xCase {
    Fixed endPan;
    std::int16_t loopSize;
    std::uint32_t controlSettings;
    std::uint32_t animationSettings;
};

class Object1xTest : public ::testing::TestWithParam<Object1xCase> {};

TEST_P(Object1xTest, ConvertsToA2xRecord)
{
    const Object1xCase c = GetParam();
    TempDir dir;
    test::Object1xFixture f;
    f.endPan = c.endPan;
    f.loopSize = c.loopSize;
    ASSERT_EQ(test::writeObject1x(dir / "o1.mov", f), 0);
    MediaAnalysis a;
    std::string detail;
    ASSERT_EQ(analyzeMediaFile(dir / "o1.mov", a, &detail), 0) << detail;
    EXPECT_EQ(a.kind, NodeKind::kObject);
    EXPECT_EQ(a.vrVersion, 0x100u);
    const auto& o = std::get<ObjectSampleRecord>(a.mediaData);
    EXPECT_EQ(o.controlSettings, c.controlSettings);
    EXPECT_EQ(o.animationSettings, c.animationSettings);
    EXPECT_EQ(o.viewStateCount, c.loopSize);
    EXPECT_EQ(o.columns, 6u);
    EXPECT_EQ(o.rows, 2u);
    EXPECT_EQ(o.viewDuration, 60u);
    EXPECT_EQ(o.minPan, 0.0f);
    EXPECT_EQ(o.maxPan, fixedToDouble(c.endPan));
    EXPECT_EQ(o.defaultPan, 60.0f);
    EXPECT_EQ(o.minTilt, 40.0f);
    EXPECT_EQ(o.maxTilt, -40.0f);
    EXPECT_EQ(o.fieldOfView, 128.0f);
    EXPECT_EQ(o.mouseMotionScale, 180.0f);
    // Integer halves of the 41 x 31 frame.
    EXPECT_EQ(o.defaultViewCenterH, 20.0f);
    EXPECT_EQ(o.defaultViewCenterV, 15.0f);
    EXPECT_EQ(a.displayBounds, (Rect{0, 0, 31, 41}));
    EXPECT_EQ(a.vr1VideoTrackId, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, Object1xTest,
                         ::testing::Values(Object1xCase{360 << 16, 1, 0x45, 0}, Object1xCase{180 << 16, 1, 0x44, 0},
                                           Object1xCase{360 << 16, 2, 0x45, 5},
                                           Object1xCase{0x01668000, 3, 0x44, 5}));

TEST(Object1x, MissingRecordIsAnError)
{
    TempDir dir;
    test::Object1xFixture f;
    f.writeNavg = false;
    ASSERT_EQ(test::writeObject1x(dir / "o1.mov", f), 0);
    MediaAnalysis a;
    EXPECT_NE(analyzeMediaFile(dir / "o1.mov", a), 0);
}

TEST(MultiNode, TwoNodeMovieIsRefused)
{
    TempDir dir;
    ASSERT_EQ(test::writeMultiNode2x(dir / "two.mov", 2), 0);
    MediaAnalysis a;
    std::string detail;
    EXPECT_EQ(analyzeMediaFile(dir / "two.mov", a, &detail), err::multiNodeMovie);
    EXPECT_EQ(detail, "2 nodes");
}

} // namespace
} // namespace qm
