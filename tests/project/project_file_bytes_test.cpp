// A project file built byte by byte from the format's tables, independently of the writer and of
// AtomContainer: the reader must take every value from it, and the writer must produce exactly
// these bytes for the same scene (tests/data/project_reference.qmp holds them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

namespace {

// --- An atom container written by hand -------------------------------------------------------

struct HandAtom {
    const char* type;
    std::uint32_t id;
    Bytes data;
    std::vector<HandAtom> children;
};

void put16(Bytes& b, std::size_t at, std::uint16_t v)
{
    b[at] = std::uint8_t(v >> 8);
    b[at + 1] = std::uint8_t(v);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, std::uint16_t(v >> 16));
    put16(b, at + 2, std::uint16_t(v));
}
void putFloat(Bytes& b, std::size_t at, float f)
{
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, at, v);
}
void putType(Bytes& b, std::size_t at, const char* t) { std::memcpy(&b[at], t, 4); }
void putRect(Bytes& b, std::size_t at, int top, int left, int bottom, int right)
{
    put16(b, at, std::uint16_t(top));
    put16(b, at + 2, std::uint16_t(left));
    put16(b, at + 4, std::uint16_t(bottom));
    put16(b, at + 6, std::uint16_t(right));
}
void putColor(Bytes& b, std::size_t at, int r, int g, int bl)
{
    put16(b, at, std::uint16_t(r));
    put16(b, at + 2, std::uint16_t(g));
    put16(b, at + 4, std::uint16_t(bl));
}

Bytes atomBytes(const HandAtom& a)
{
    Bytes body = a.data;
    for (const HandAtom& c : a.children) {
        Bytes cb = atomBytes(c);
        body.insert(body.end(), cb.begin(), cb.end());
    }
    Bytes out(20, 0);
    put32(out, 0, std::uint32_t(20 + body.size()));
    putType(out, 4, a.type);
    put32(out, 8, a.id);
    put16(out, 14, std::uint16_t(a.children.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes handContainer(std::vector<HandAtom> children)
{
    Bytes out(12, 0);
    Bytes root = atomBytes({"sean", 1, {}, std::move(children)});
    out.insert(out.end(), root.begin(), root.end());
    return out;
}

Bytes chunk(const std::string& text)
{
    Bytes b(4 + text.size() + 1, 0);
    std::memcpy(b.data() + 4, text.data(), text.size());
    return b;
}

// --- The fixed scene, as leaves --------------------------------------------------------------

const char* kAliasPath = "/nonexistent/quillmere-reference/pano.mov";

Bytes aliasBytes()
{
    ByteWriter w;
    w.type(fourCC("QMAL"));
    w.u16(1);
    w.u16(2);
    w.u16(1);
    w.u16(8);
    w.bytes("pano.mov", 8);
    w.u16(3);
    w.u16(std::uint16_t(std::strlen(kAliasPath)));
    w.bytes(kAliasPath, std::strlen(kAliasPath));
    return w.take();
}

Bytes handFile()
{
    Bytes dims(20, 0);
    put16(dims, 4, 70);
    put16(dims, 6, 100);
    put16(dims, 8, 12);
    put16(dims, 10, 1000);
    put16(dims, 12, 640);
    put16(dims, 14, 480);
    Bytes bkdg(14, 0);
    bkdg[0] = 1;
    bkdg[1] = 1;
    bkdg[2] = 0;
    put16(bkdg, 4, 6);
    Bytes nodg(14, 0);
    nodg[0] = 0;
    nodg[1] = 0;
    nodg[2] = 1;
    put16(nodg, 4, 16);
    Bytes orin(20, 0);
    putFloat(orin, 0, 90.5f);

    auto compression = [](const char* codec, int quality, bool enabled, bool movies) {
        Bytes c(90, 0);
        c[0] = enabled;
        put16(c, 2, 32);
        put16(c, 4, 16);
        putType(c, 6, codec);
        put32(c, 10, 0);
        put32(c, 14, std::uint32_t(quality));
        if (movies) {
            put32(c, 18, 0x000F0000); // 15.0 frames per second
            put32(c, 22, 30);
            put32(c, 26, 2000);
            put32(c, 30, 40);
            put32(c, 34, 100);
            put32(c, 38, 200);
            put32(c, 42, 768);
        }
        return c;
    };
    Bytes sprd(148, 0);
    put32(sprd, 0, 0);
    put16(sprd, 4, 400);
    put16(sprd, 6, 300);
    const std::uint16_t imaging[6] = {1, 1, 3, 2, 1, 4};
    for (int i = 0; i < 6; ++i)
        put16(sprd, 8 + 2 * std::size_t(i), imaging[i]);
    put32(sprd, 20, 0x10000004);

    Bytes line(166, 0);
    put16(line, 0, 2);
    put16(line, 2, 0);
    putRect(line, 4, 10, 20, 110, 220);
    putRect(line, 12, 0, 0, 0, 0);
    line[20] = 1;
    put16(line, 22, 3);
    putColor(line, 24, 0xFFFF, 0, 0);
    line[30] = 0;
    putColor(line, 32, 0, 0, 0);
    put16(line, 38, 1);
    Bytes text(166, 0);
    put16(text, 0, 5);
    putRect(text, 4, 30, 40, 50, 140);
    text[20] = 1;
    put16(text, 22, 1);
    text[30] = 1;
    putColor(text, 32, 0xFFFF, 0xFFFF, 0xFFFF);
    put16(text, 38, 20);
    // The text record in the Windows program's byte order (little-endian).
    Bytes record(80, 0);
    auto le16 = [&](std::size_t at, int v) {
        record[at] = std::uint8_t(v);
        record[at + 1] = std::uint8_t(v >> 8);
    };
    le16(0, 0);
    le16(2, 4);
    le16(4, 4);
    le16(6, 30), le16(8, 40), le16(10, 50), le16(12, 140);
    le16(14, 30), le16(16, 40), le16(18, 70), le16(20, 140);
    record[22] = 80;
    le16(26, 2);
    record[28] = 84;
    for (char c : std::string("Hall"))
        record.push_back(std::uint8_t(c));
    record.push_back(0xAA);
    record.push_back(0xBB);

    Bytes nodf1(110, 0);
    putType(nodf1, 0, "PANO");
    put32(nodf1, 4, 0x200);
    put16(nodf1, 8, 1);
    nodf1[10] = 1;
    put16(nodf1, 12, 144);
    put16(nodf1, 14, 72);
    putRect(nodf1, 16, 0, 0, 240, 320);
    putRect(nodf1, 24, 0, 0, 200, 300);
    nodf1[32] = 1;
    nodf1[33] = 0;
    putColor(nodf1, 34, 0x1111, 0x2222, 0x3333);
    putColor(nodf1, 40, 0, 0, 0);
    put32(nodf1, 46, 1);
    put32(nodf1, 50, 1);
    put32(nodf1, 54, 0);
    put32(nodf1, 58, 0);
    put32(nodf1, 62, 0);
    Bytes pdat(84, 0);
    put16(pdat, 0, 2);
    put32(pdat, 4, 1);
    put32(pdat, 8, 1);
    putFloat(pdat, 16, 360.0f);
    putFloat(pdat, 20, -40.0f);
    putFloat(pdat, 24, 40.0f);
    putFloat(pdat, 44, 65.0f);
    put32(pdat, 48, 768);
    put32(pdat, 52, 2496);
    put16(pdat, 56, 1);
    put16(pdat, 58, 24);
    putType(pdat, 76, "vcyl");

    Bytes hsdf1(138, 0);
    put16(hsdf1, 0, 2);
    put16(hsdf1, 2, 1);
    putRect(hsdf1, 4, 5, 6, 70, 80);
    hsdf1[12] = 1;
    putType(hsdf1, 14, "link");
    put16(hsdf1, 30, 2);
    hsdf1[32] = 1;
    hsdf1[33] = 1;
    hsdf1[36] = 1;
    putFloat(hsdf1, 38, 180.0f);
    put16(hsdf1, 50, 12);
    put16(hsdf1, 52, 34);
    hsdf1[55] = 1;
    putFloat(hsdf1, 62, -10.0f);
    Bytes region = {0, 10, 0, 5, 0, 6, 0, 70, 0, 80};
    Bytes hsdf2(138, 0);
    put16(hsdf2, 0, 4);
    put16(hsdf2, 2, 7);
    putRect(hsdf2, 4, 100, 100, 150, 160);
    putType(hsdf2, 14, "url ");
    put16(hsdf2, 18, 2);
    put16(hsdf2, 20, 1);
    hsdf2[22] = 1;
    put16(hsdf2, 24, 128);
    put16(hsdf2, 26, 129);
    put16(hsdf2, 28, 130);
    Bytes hotSpots = handContainer({
        {"HSOB", 1, {}, {{"HSDF", 1, hsdf1, {}}, {"HSNM", 1, chunk("Door"), {}}, {"HSCM", 1, chunk("to the hall"), {}},
                         {"HSDT", 1, region, {}}}},
        {"HSOB", 2, {}, {{"HSDF", 1, hsdf2, {}}, {"HSNM", 1, chunk("Web"), {}}, {"HSUR", 1, chunk("http://q.example/"), {}}}},
    });

    Bytes nodf2(110, 0);
    putType(nodf2, 0, "OBJ ");
    put32(nodf2, 4, 0x200);
    put16(nodf2, 8, 2);
    put16(nodf2, 12, 300);
    put16(nodf2, 14, 400);
    put32(nodf2, 46, 1);
    put32(nodf2, 50, 1);

    Bytes project = handContainer({
        {"SETP", 1, handContainer({{"DIMS", 1, dims, {}}, {"BKDG", 1, bkdg, {}}, {"NODG", 1, nodg, {}}, {"ORIN", 1, orin, {}}}), {}},
        {"BOLS", 1,
         handContainer({{"BKOB", 1, {}, {{"BODF", 1, line, {}}}}, {"BKOB", 2, {}, {{"BODF", 1, text, {}}, {"BODT", 1, record, {}}}}}),
         {}},
        {"NOLS", 1,
         handContainer({{"NDOB", 1, {},
                         {{"NODF", 1, nodf1, {}},
                          {"NONM", 1, chunk("Lobby"), {}},
                          {"NOCM", 1, chunk("Ground floor"), {}},
                          {"NMAL", 1, aliasBytes(), {}},
                          {"NDCD", 1, pdat, {}},
                          {"HSLS", 1, hotSpots, {}}}},
                        {"NDOB", 2, {}, {{"NODF", 1, nodf2, {}}, {"NONM", 1, chunk("Statue"), {}}}}}),
         {}},
        {"COMP", 1,
         handContainer({{"PCMP", 1, compression("cvid", 768, true, false), {}},
                        {"OCMP", 1, compression("jpeg", 512, false, false), {}},
                        {"SCMP", 1, compression("jpeg", 1024, false, false), {}},
                        {"MCMP", 1, compression("cvid", 512, true, true), {}}}),
         {}},
        {"SPRV", 1, handContainer({{"SPRD", 1, sprd, {}}}), {}},
        {"NAME", 1, chunk("Reference Scene"), {}},
    });

    Bytes file = project;
    Bytes trailer(148, 0);
    putType(trailer, 0, "QLMx");
    putType(trailer, 4, "OFFS");
    put32(trailer, 8, 0);
    put32(trailer, 12, std::uint32_t(project.size()));
    put32(trailer, 16, 0xFFFFFFFF);
    file.insert(file.end(), trailer.begin(), trailer.end());
    return file;
}

// The same scene as model values.
Scene referenceScene()
{
    Scene s = makeNewScene();
    s.name = "Reference Scene";
    s.mapWidth = 70;
    s.mapHeight = 100;
    s.unitIndex = 12;
    s.scaleFactor = 1000;
    s.masterWidth = 640;
    s.masterHeight = 480;
    s.backgroundGrid = {true, 6, false};
    s.nodeGrid = {false, 16, true};
    s.orientation = 90.5f;
    s.playbackWidth = 400;
    s.playbackHeight = 300;
    s.imaging = {1, 1, 3, 2, 1, 4};
    s.playbackHints = 0x10000004;
    const char* codecs[] = {"cvid", "jpeg", "jpeg", "cvid"};
    const std::uint32_t qualities[] = {768, 512, 1024, 512};
    for (std::size_t i = 0; i < kCompressionSlots; ++i) {
        CompressionSettings c;
        c.enabled = i == 0 || i == 3;
        c.dialogDepth = 32;
        c.colorDepth = 16;
        c.codecType = fourCC(codecs[i][0] == 'c' ? "cvid" : "jpeg");
        c.spatialQuality = qualities[i];
        s.compression[i] = c;
    }
    CompressionSettings& m = s.compression[kMovieCompression];
    m.frameRate = 0x000F0000;
    m.keyFrameRate = 30;
    m.dataRate = 2000;
    m.frameDuration = 40;
    m.minSpatialQuality = 100;
    m.minTemporalQuality = 200;
    m.temporalQuality = 768;

    MapObject line;
    line.kind = MapObjectKind::kLine;
    line.bounds = {10, 20, 110, 220};
    line.penStyle = 1;
    line.penSize = 3;
    line.penColor = {0xFFFF, 0, 0};
    line.drawingValues = {1, 0, 0, 0};
    MapObject text;
    text.kind = MapObjectKind::kText;
    text.bounds = {30, 40, 50, 140};
    text.penStyle = 1;
    text.penSize = 1;
    text.fillStyle = 1;
    text.fillColor = {0xFFFF, 0xFFFF, 0xFFFF};
    text.drawingValues = {20, 0, 0, 0};
    text.text = MapObjectText{0, 4, {30, 40, 50, 140}, {30, 40, 70, 140}, "Hall", {0xAA, 0xBB}};
    s.mapObjects = {line, text};

    Node lobby;
    lobby.kind = NodeKind::kPanorama;
    lobby.vrVersion = 0x200;
    lobby.id = 1;
    lobby.name = "Lobby";
    lobby.comment = "Ground floor";
    lobby.initial = true;
    lobby.mapPosition = {144, 72};
    lobby.movieBounds = {0, 0, 240, 320};
    lobby.displayBounds = {0, 0, 200, 300};
    lobby.autoColorSet = true;
    lobby.autoColor = {0x1111, 0x2222, 0x3333};
    lobby.mediaReference = aliasBytes();
    PanoramaSampleRecord p;
    p.majorVersion = 2;
    p.imageRefTrackIndex = 1;
    p.hotSpotRefTrackIndex = 1;
    p.maxPan = 360.0f;
    p.minTilt = -40.0f;
    p.maxTilt = 40.0f;
    p.defaultFieldOfView = 65.0f;
    p.imageSizeX = 768;
    p.imageSizeY = 2496;
    p.imageNumFramesX = 1;
    p.imageNumFramesY = 24;
    p.panoType = fourCC("vcyl");
    lobby.mediaData = p;
    HotSpot door;
    door.shape = HotSpotShape::kRegion;
    door.id = 1;
    door.bounds = {5, 6, 70, 80};
    door.autoGenerated = true;
    door.type = HotSpotType::kLink;
    door.destinationNodeId = 2;
    door.customLinkView = true;
    door.linkView.panSet = true;
    door.linkView.viewCenterSet = true;
    door.linkView.pan = 180.0f;
    door.linkView.viewCenter = {12, 34};
    door.secondView.tiltSet = true;
    door.secondView.tilt = -10.0f;
    door.name = "Door";
    door.comment = "to the hall";
    door.regionData = {0, 10, 0, 5, 0, 6, 0, 70, 0, 80};
    HotSpot web;
    web.shape = HotSpotShape::kRectangle;
    web.id = 7;
    web.bounds = {100, 100, 150, 160};
    web.type = HotSpotType::kUrl;
    web.viewColumn = 2;
    web.viewRow = 1;
    web.customCursors = true;
    web.mouseOverCursor = 128;
    web.mouseDownCursor = 129;
    web.mouseUpCursor = 130;
    web.name = "Web";
    web.url = "http://q.example/";
    lobby.hotSpots = {door, web};

    Node statue;
    statue.kind = NodeKind::kObject;
    statue.vrVersion = 0x200;
    statue.id = 2;
    statue.name = "Statue";
    statue.mapPosition = {300, 400};
    s.nodes = {lobby, statue};
    return s;
}

} // namespace

TEST(ProjectFileBytes, ReaderTakesEveryValueFromAHandBuiltFile)
{
    TempDir dir;
    auto file = dir / "hand.qmp";
    test::writeFile(file, handFile());
    Scene scene;
    ProjectReadOptions keepAsStored;
    keepAsStored.resolveMedia = false;
    std::string detail;
    ASSERT_EQ(openProject(file, scene, keepAsStored, &detail), err::noErr) << detail;
    Scene expected = referenceScene();
    expected.projectFile = file;
    EXPECT_EQ(scene.mapObjects, expected.mapObjects);
    ASSERT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes[0].hotSpots, expected.nodes[0].hotSpots);
    EXPECT_EQ(scene.nodes[0].mediaData, expected.nodes[0].mediaData);
    EXPECT_EQ(scene.nodes, expected.nodes);
    EXPECT_EQ(scene.compression, expected.compression);
    EXPECT_EQ(scene, expected);

    // Resolving media: the alias leads nowhere, so the panorama becomes a generic node whose
    // sample record stays as stored; the statue has no alias and is generic without any alert.
    HeadlessProjectReaderUi ui;
    ProjectReadOptions resolving;
    resolving.ui = &ui;
    ASSERT_EQ(openProject(file, scene, resolving), err::noErr);
    EXPECT_EQ(ui.confirmations(), 1);
    EXPECT_EQ(scene.nodes[0].kind, NodeKind::kGeneric);
    EXPECT_TRUE(scene.nodes[0].mediaReference.empty());
    EXPECT_EQ(std::get<Bytes>(scene.nodes[0].mediaData).size(), 84u);
    EXPECT_EQ(scene.nodes[1].kind, NodeKind::kGeneric);
    EXPECT_TRUE(scene.dirty);
}

TEST(ProjectFileBytes, WriterOutputEqualsTheReferenceFile)
{
    auto referencePath = test::testDataDir() / "project_reference.qmp";
    if (std::getenv("QM_WRITE_REFERENCE"))
        test::writeFile(referencePath, handFile());
    Bytes reference = test::readFile(referencePath);
    ASSERT_FALSE(reference.empty()) << referencePath;
    EXPECT_EQ(reference, handFile()); // the checked-in file is the hand-built one

    TempDir dir;
    Scene scene = referenceScene();
    ASSERT_EQ(saveProject(scene, dir / "written.qmp"), err::noErr);
    Bytes written = test::readFile(dir / "written.qmp");
    ASSERT_EQ(written.size(), reference.size());
    for (std::size_t i = 0; i < written.size(); ++i)
        ASSERT_EQ(written[i], reference[i]) << "first difference at byte " << i;
}
