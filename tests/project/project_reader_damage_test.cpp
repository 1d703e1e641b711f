// Damaged and malformed project files: each gives an error code, never a crash, and no scene.
#include <gtest/gtest.h>

#include <functional>

#include "project/project_format.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;

Bytes withTrailer(Bytes container, std::uint32_t movieOffset = project::kNoOffset)
{
    project::Trailer t;
    t.containerOffset = 0;
    t.containerLength = std::uint32_t(container.size());
    t.movieOffset = movieOffset;
    auto trailer = project::makeTrailer(t);
    container.insert(container.end(), trailer.begin(), trailer.end());
    return container;
}

Scene smallScene()
{
    Scene s = makeNewScene();
    Node n;
    n.kind = NodeKind::kStillImage;
    n.id = 1;
    n.hotSpots.push_back(test::makeHotSpot(HotSpotShape::kRegion, 1));
    s.nodes.push_back(n);
    s.mapObjects.push_back(test::makeMapObject(MapObjectKind::kLine, 0));
    return s;
}

// Rewrites the sub-container held by top-level atom `part`; `edit` works on it.
Bytes editPart(const Bytes& container, OSType part, const std::function<void(AtomContainer&)>& edit)
{
    AtomContainer top;
    EXPECT_EQ(AtomContainer::parse(container, top), 0);
    AtomRef atom = top.findChild(kRoot, part);
    AtomContainer sub;
    EXPECT_EQ(AtomContainer::parse(top.data(atom), sub), 0);
    edit(sub);
    top.setData(atom, sub.serialize());
    return top.serialize();
}

// Works on the first node ('NDOB' 1) of 'NOLS'.
Bytes editNode(const Bytes& container, const std::function<void(AtomContainer&, AtomRef)>& edit)
{
    return editPart(container, project::kNodeList, [&](AtomContainer& c) { edit(c, c.findChild(kRoot, project::kNode)); });
}

struct Opened {
    OSErr error;
    std::string detail;
    bool untouched;
};

Opened open(const Bytes& file)
{
    TempDir dir;
    test::writeFile(dir / "p.qmp", file);
    Scene out;
    out.name = "sentinel";
    std::string detail;
    OSErr e = openProject(dir / "p.qmp", out, {}, &detail);
    return {e, detail, out.name == "sentinel" && out.nodes.empty()};
}

} // namespace

TEST(ProjectReaderDamage, TrailerThatIsShortWrongOrPointsOutsideTheFile)
{
    Bytes good = withTrailer(buildProjectContainer(smallScene()));
    ASSERT_EQ(open(good).error, err::noErr);

    auto shortFile = open(Bytes(100, 0));
    EXPECT_EQ(shortFile.error, err::eofErr);
    EXPECT_TRUE(shortFile.untouched);
    EXPECT_EQ(open({}).error, err::eofErr);

    Bytes badSignature = good;
    badSignature[good.size() - 148] = 'X';
    EXPECT_EQ(open(badSignature).error, err::paramErr);
    Bytes badOffs = good;
    badOffs[good.size() - 144] = 'X';
    EXPECT_EQ(open(badOffs).error, err::paramErr);

    auto patchTrailer = [&](std::size_t field, std::uint32_t value) {
        Bytes b = good;
        storeBE32(&b[b.size() - 148 + field], value);
        return open(b);
    };
    EXPECT_EQ(patchTrailer(8, 0xFFFFFFFF).error, err::paramErr);
    EXPECT_EQ(patchTrailer(8, 0xFFFFFFF0).error, err::eofErr);
    auto tooLong = patchTrailer(12, 0x7FFFFFFF);
    EXPECT_EQ(tooLong.error, err::eofErr);
    EXPECT_NE(tooLong.detail.find("beyond the end"), std::string::npos);
    EXPECT_TRUE(tooLong.untouched);
    EXPECT_NE(patchTrailer(12, 40).error, err::noErr); // a container cut short
}

TEST(ProjectReaderDamage, AtomSizesAndChildCountsThatLie)
{
    Bytes container = buildProjectContainer(smallScene());
    // The first top-level atom ('SETP') claims more bytes than the container holds.
    Bytes sizeLies = container;
    storeBE32(&sizeLies[32], 0x00FFFFFF);
    EXPECT_EQ(open(withTrailer(sizeLies)).error, err::eofErr);
    // The root claims one child more than it has.
    Bytes countLies = container;
    storeBE16(&countLies[12 + 14], std::uint16_t(loadBE16(&countLies[12 + 14]) + 1));
    EXPECT_EQ(open(withTrailer(countLies)).error, err::eofErr);
    // A sub-container ('NOLS' data) that is garbage.
    AtomContainer top;
    ASSERT_EQ(AtomContainer::parse(container, top), 0);
    top.setData(top.findChild(kRoot, project::kNodeList), Bytes(64, 0xEE));
    auto garbage = open(withTrailer(top.serialize()));
    EXPECT_NE(garbage.error, err::noErr);
    EXPECT_NE(garbage.detail.find("'NOLS'"), std::string::npos);
    EXPECT_TRUE(garbage.untouched);
    // A hot spot list whose bytes are cut short.
    Bytes cutList = editNode(container, [](AtomContainer& c, AtomRef node) {
        AtomRef list = c.findChild(node, project::kHotSpotList);
        auto data = c.data(list);
        c.setData(list, Bytes(data.begin(), data.end() - 7));
    });
    EXPECT_EQ(open(withTrailer(cutList)).error, err::eofErr);
}

TEST(ProjectReaderDamage, RecordsLongerThanTheirLayoutFail)
{
    Bytes container = buildProjectContainer(smallScene());
    auto grow = [](AtomContainer& c, AtomRef parent, OSType type) {
        AtomRef a = c.findChild(parent, type);
        Bytes data(c.data(a).begin(), c.data(a).end());
        data.push_back(0);
        c.setData(a, data);
    };
    auto dims = open(withTrailer(editPart(container, project::kSettings, [&](AtomContainer& c) {
        grow(c, kRoot, project::kDimensions);
    })));
    EXPECT_EQ(dims.error, err::paramErr);
    EXPECT_NE(dims.detail.find("'DIMS'"), std::string::npos);
    EXPECT_EQ(open(withTrailer(editNode(container, [&](AtomContainer& c, AtomRef node) {
                  grow(c, node, project::kNodeFields);
              }))).error,
              err::paramErr);
    EXPECT_EQ(open(withTrailer(editNode(container, [&](AtomContainer& c, AtomRef node) {
                  AtomRef list = c.findChild(node, project::kHotSpotList);
                  AtomContainer hs;
                  AtomContainer::parse(c.data(list), hs);
                  grow(hs, hs.findChild(kRoot, project::kHotSpot), project::kHotSpotFields);
                  c.setData(list, hs.serialize());
              }))).error,
              err::paramErr);
}

TEST(ProjectReaderDamage, MissingRequiredRecordsFailWith2106)
{
    Bytes container = buildProjectContainer(smallScene());
    auto without = [&](OSType part, OSType record) {
        return open(withTrailer(editPart(container, part, [&](AtomContainer& c) {
            c.removeChildren(kRoot, record);
        })));
    };
    for (OSType record : {project::kDimensions, project::kBackgroundGrid, project::kNodeGrid, project::kOrientation}) {
        auto r = without(project::kSettings, record);
        EXPECT_EQ(r.error, err::missingRecord) << fourCCToString(record);
        EXPECT_NE(r.detail.find(fourCCToString(record)), std::string::npos);
        EXPECT_TRUE(r.untouched);
    }
    for (OSType record : project::kCompressionLeaves)
        EXPECT_EQ(without(project::kCompression, record).error, err::missingRecord) << fourCCToString(record);
    EXPECT_EQ(without(project::kPreview, project::kPreviewData).error, err::missingRecord);
    EXPECT_EQ(open(withTrailer(editPart(container, project::kMapObjectList, [](AtomContainer& c) {
                  c.removeChildren(c.findChild(kRoot, project::kMapObject), project::kMapObjectFields);
              }))).error,
              err::missingRecord);
    EXPECT_EQ(open(withTrailer(editNode(container, [](AtomContainer& c, AtomRef node) {
                  c.removeChildren(node, project::kNodeFields);
              }))).error,
              err::missingRecord);
    EXPECT_EQ(open(withTrailer(editNode(container, [](AtomContainer& c, AtomRef node) {
                  AtomRef list = c.findChild(node, project::kHotSpotList);
                  AtomContainer hs;
                  AtomContainer::parse(c.data(list), hs);
                  hs.removeChildren(hs.findChild(kRoot, project::kHotSpot), project::kHotSpotFields);
                  c.setData(list, hs.serialize());
              }))).error,
              err::missingRecord);
}

TEST(ProjectReaderDamage, InMemoryImagesOfEveryLengthNeverCrash)
{
    // Every prefix and a byte-flipped copy of a real project: whatever the reader answers, it
    // must answer (the sanitizer build catches any out-of-bounds access).
    TempDir dir;
    Scene rich = test::makeRichScene(dir / "media", dir.path());
    Bytes file = withTrailer(buildProjectContainer(rich));
    for (std::size_t n = 0; n < file.size(); n += 37) {
        // A cut file has lost its trailer (or the trailer points past the end): always an error,
        // and the failed read leaves no nodes behind.
        Scene out;
        EXPECT_NE(readProjectImage(std::span(file).first(n), dir / "p.qmp", out), 0) << "prefix of " << n;
        EXPECT_TRUE(out.nodes.empty()) << "prefix of " << n;
    }
    for (std::size_t i = 0; i + 148 < file.size(); i += 11) {
        Bytes damaged = file;
        damaged[i] ^= 0xA5;
        Scene out;
        readProjectImage(damaged, dir / "p.qmp", out);
    }
}
