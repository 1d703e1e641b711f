// What the reader does with unusual but valid projects: missing optional parts, short records,
// nodes without IDs, media that moved or vanished, text objects, templates.
#include <gtest/gtest.h>

#include <functional>

#include "project/project_format.h"
#include "project/project_reader.h"
#include "project/project_records.h"
#include "project/project_writer.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

namespace {

constexpr AtomRef kRoot = AtomContainer::kRoot;

Bytes withTrailer(Bytes container)
{
    project::Trailer t;
    t.containerOffset = 0;
    t.containerLength = std::uint32_t(container.size());
    auto trailer = project::makeTrailer(t);
    container.insert(container.end(), trailer.begin(), trailer.end());
    return container;
}

Bytes editTop(const Bytes& container, const std::function<void(AtomContainer&)>& edit)
{
    AtomContainer top;
    EXPECT_EQ(AtomContainer::parse(container, top), 0);
    edit(top);
    return top.serialize();
}

Bytes editPart(const Bytes& container, OSType part, const std::function<void(AtomContainer&)>& edit)
{
    return editTop(container, [&](AtomContainer& top) {
        AtomRef atom = top.findChild(kRoot, part);
        AtomContainer sub;
        EXPECT_EQ(AtomContainer::parse(top.data(atom), sub), 0);
        edit(sub);
        top.setData(atom, sub.serialize());
    });
}

void setLeaf(AtomContainer& c, AtomRef parent, OSType type, const Bytes& data)
{
    c.removeChildren(parent, type);
    c.insertChild(parent, type, 1, 0, data);
}

Node nodeWithMedia(std::int16_t id, OSType kind, const std::filesystem::path& media, const std::filesystem::path& base)
{
    Node n;
    n.id = id;
    n.kind = kind;
    test::writeFile(media, Bytes{1});
    n.mediaReference = FileAlias::forFile(media, base).serialize();
    return n;
}

OSErr openWith(const std::filesystem::path& file, Scene& out, HeadlessProjectReaderUi& ui)
{
    ProjectReadOptions options;
    options.ui = &ui;
    return openProject(file, out, options);
}

class CancellingUi : public HeadlessProjectReaderUi {
public:
    bool confirmUnresolvedMedia() override { return false; }
};

} // namespace

TEST(ProjectReaderOptionalParts, AProjectWithoutMapOrNodesOpensEmpty)
{
    TempDir dir;
    Bytes container = editTop(buildProjectContainer(makeNewScene()), [](AtomContainer& top) {
        EXPECT_FALSE(top.findChild(kRoot, project::kMapObjectList));
        EXPECT_FALSE(top.findChild(kRoot, project::kNodeList));
    });
    test::writeFile(dir / "empty.qmp", withTrailer(container));
    Scene s;
    ASSERT_EQ(openProject(dir / "empty.qmp", s), err::noErr);
    EXPECT_TRUE(s.nodes.empty());
    EXPECT_TRUE(s.mapObjects.empty());
    EXPECT_TRUE(s.composedMovieFile.empty());
    EXPECT_FALSE(s.dirty);
    EXPECT_EQ(s.projectFile, dir / "empty.qmp");

    // Without 'NAME' the default name stays.
    test::writeFile(dir / "noname.qmp", withTrailer(editTop(container, [](AtomContainer& top) {
                        top.removeChildren(kRoot, project::kSceneName);
                    })));
    ASSERT_EQ(openProject(dir / "noname.qmp", s), err::noErr);
    EXPECT_EQ(s.name, "Untitled Scene");
}

TEST(ProjectReaderShortRecords, ShortLeavesReadAsZeroFilled)
{
    TempDir dir;
    Scene scene = makeNewScene();
    scene.compression[kMovieCompression].dataRate = 5000;
    scene.masterWidth = 0;
    scene.masterHeight = 0;
    scene.playbackWidth = 512;
    scene.playbackHeight = 256;
    Node pano;
    pano.id = 1;
    pano.kind = NodeKind::kPanorama;
    scene.nodes.push_back(pano);
    Bytes container = buildProjectContainer(scene);
    container = editPart(container, project::kCompression, [](AtomContainer& c) {
        AtomRef m = c.findChild(kRoot, project::kCompressionLeaves[3]);
        Bytes first18(c.data(m).begin(), c.data(m).begin() + 18);
        c.setData(m, first18);
    });
    container = editPart(container, project::kSettings, [](AtomContainer& c) {
        Bytes grid(6, 0);
        grid[1] = 1;
        setLeaf(c, kRoot, project::kNodeGrid, grid); // divisions 0
    });
    container = editPart(container, project::kNodeList, [](AtomContainer& c) {
        AtomRef node = c.findChild(kRoot, project::kNode);
        setLeaf(c, node, project::kNodeName, project::encodeStringChunk(std::string(100, 'N')));
        Bytes pdat(6, 0);
        pdat[1] = 2;
        pdat[5] = 9;
        setLeaf(c, node, project::kNodeSample, pdat);
        setLeaf(c, node, project::kNodeAlias, FileAlias::forFile("/nonexistent/x.mov", {}).serialize());
    });
    test::writeFile(dir / "short.qmp", withTrailer(container));
    Scene s;
    ProjectReadOptions asStored;
    asStored.resolveMedia = false;
    ASSERT_EQ(openProject(dir / "short.qmp", s, asStored), err::noErr);
    const auto& m = s.compression[kMovieCompression];
    EXPECT_EQ(m.codecType, fourCC("cvid"));
    EXPECT_EQ(m.frameRate, 0);
    EXPECT_EQ(m.keyFrameRate, 0);
    EXPECT_EQ(m.dataRate, 0);
    EXPECT_EQ(s.nodeGrid.divisions, 1); // the map divides by it
    EXPECT_TRUE(s.nodeGrid.shown);
    EXPECT_EQ(s.nodes[0].name, std::string(63, 'N'));
    auto& record = std::get<PanoramaSampleRecord>(s.nodes[0].mediaData);
    EXPECT_EQ(record.majorVersion, 2);
    EXPECT_EQ(record.imageRefTrackIndex, 0x00090000u);
    EXPECT_EQ(record.maxPan, 0.0f);
    EXPECT_EQ(s.masterWidth, 512); // zero master size takes the playback size
    EXPECT_EQ(s.masterHeight, 256);
}

TEST(ProjectReaderNodeIds, NodesWithoutIdGetFreeIdsAndOneReport)
{
    TempDir dir;
    Scene scene = makeNewScene();
    for (std::int16_t id : {0, 2, 0}) {
        Node n;
        n.id = id;
        scene.nodes.push_back(n);
    }
    ASSERT_EQ(saveProject(scene, dir / "ids.qmp"), err::noErr);
    HeadlessProjectReaderUi ui;
    Scene s;
    ASSERT_EQ(openWith(dir / "ids.qmp", s, ui), err::noErr);
    EXPECT_EQ(s.nodes[0].id, 1);
    EXPECT_EQ(s.nodes[1].id, 2);
    EXPECT_EQ(s.nodes[2].id, 3);
    ASSERT_EQ(ui.reports().size(), 1u);
    EXPECT_EQ(ui.reports()[0].code, err::nodesGivenIds);

    HeadlessProjectReaderUi quiet;
    ASSERT_EQ(saveProject(s, dir / "ids.qmp"), err::noErr);
    ASSERT_EQ(openWith(dir / "ids.qmp", s, quiet), err::noErr);
    EXPECT_TRUE(quiet.reports().empty());
}

TEST(ProjectReaderMedia, MissingAliasMakesAGenericNodeWithoutAnyAlert)
{
    TempDir dir;
    Scene scene = makeNewScene();
    Node n;
    n.id = 1;
    n.kind = NodeKind::kObject;
    n.mediaData = test::makeObjectRecord();
    scene.nodes.push_back(n);
    ASSERT_EQ(saveProject(scene, dir / "p.qmp"), err::noErr);
    HeadlessProjectReaderUi ui;
    Scene s;
    ASSERT_EQ(openWith(dir / "p.qmp", s, ui), err::noErr);
    EXPECT_EQ(s.nodes[0].kind, NodeKind::kGeneric);
    EXPECT_EQ(ui.confirmations(), 0);
    EXPECT_FALSE(s.dirty);
    // Read as a generic node's data: the bytes as stored.
    EXPECT_EQ(std::get<Bytes>(s.nodes[0].mediaData).size(), ObjectSampleRecord::kSize);
}

TEST(ProjectReaderMedia, UnresolvedMediaAsksOnceAndCancelGivesNoScene)
{
    TempDir dir;
    Scene scene = makeNewScene();
    scene.nodes.push_back(nodeWithMedia(1, NodeKind::kPanorama, dir / "a.mov", dir.path()));
    scene.nodes.push_back(nodeWithMedia(2, NodeKind::kStillImage, dir / "b.png", dir.path()));
    scene.nodes.push_back(nodeWithMedia(3, NodeKind::kLinearMovie, dir / "c.mov", dir.path()));
    ASSERT_EQ(saveProject(scene, dir / "p.qmp"), err::noErr);
    std::filesystem::remove(dir / "a.mov");
    std::filesystem::remove(dir / "c.mov");

    HeadlessProjectReaderUi ui;
    Scene s;
    ASSERT_EQ(openWith(dir / "p.qmp", s, ui), err::noErr);
    EXPECT_EQ(ui.confirmations(), 1);
    EXPECT_EQ(s.nodes[0].kind, NodeKind::kGeneric);
    EXPECT_TRUE(s.nodes[0].mediaReference.empty());
    EXPECT_EQ(s.nodes[1].kind, NodeKind::kStillImage);
    EXPECT_EQ(s.nodes[2].kind, NodeKind::kGeneric);
    EXPECT_TRUE(s.dirty);

    CancellingUi no;
    Scene untouched;
    untouched.name = "sentinel";
    EXPECT_EQ(openWith(dir / "p.qmp", untouched, no), err::userCanceledErr);
    EXPECT_EQ(untouched.name, "sentinel");
}

TEST(ProjectReaderMedia, MediaThatMovedWithTheProjectIsFoundAndTheAliasUpdated)
{
    TempDir dir;
    Scene scene = makeNewScene();
    scene.nodes.push_back(nodeWithMedia(1, NodeKind::kStillImage, dir / "old" / "media" / "a.png", dir / "old"));
    ASSERT_EQ(saveProject(scene, dir / "old" / "p.qmp"), err::noErr);
    std::filesystem::rename(dir / "old", dir / "new");

    HeadlessProjectReaderUi ui;
    Scene s;
    ASSERT_EQ(openWith(dir / "new" / "p.qmp", s, ui), err::noErr);
    EXPECT_EQ(ui.confirmations(), 0);
    EXPECT_EQ(s.nodes[0].kind, NodeKind::kStillImage);
    EXPECT_TRUE(s.dirty); // the alias was updated
    FileAlias alias;
    ASSERT_EQ(FileAlias::parse(s.nodes[0].mediaReference, alias), 0);
    EXPECT_EQ(alias.absolutePath(), (dir / "new" / "media" / "a.png").generic_string());

    // Opened again after saving: nothing left to update.
    ASSERT_EQ(saveProject(s, dir / "new" / "p.qmp"), err::noErr);
    ASSERT_EQ(openWith(dir / "new" / "p.qmp", s, ui), err::noErr);
    EXPECT_FALSE(s.dirty);
}

TEST(ProjectReaderTextObjects, TextObjectsKeepTheirTextInEitherByteOrder)
{
    TempDir dir;
    Scene scene = makeNewScene();
    scene.mapObjects.push_back(test::makeMapObject(MapObjectKind::kText, 1));
    scene.mapObjects.push_back(test::makeMapObject(MapObjectKind::kText, 2));
    scene.mapObjects[1].text->text = "Second";
    MapObject damaged = test::makeMapObject(MapObjectKind::kText, 3);
    damaged.text.reset();
    damaged.data = {1, 2, 3}; // not a text record: kept as it is
    scene.mapObjects.push_back(damaged);
    Bytes container = editPart(buildProjectContainer(scene), project::kMapObjectList, [](AtomContainer& c) {
        // The second object's record as a big-endian writer would store it.
        AtomRef data = c.findChild(c.findChild(kRoot, project::kMapObject, 2), project::kMapObjectData);
        Bytes b(c.data(data).begin(), c.data(data).end());
        for (std::size_t at : {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 26})
            std::swap(b[at], b[at + 1]);
        for (std::size_t at : {22, 28}) {
            std::swap(b[at], b[at + 3]);
            std::swap(b[at + 1], b[at + 2]);
        }
        c.setData(data, b);
    });
    test::writeFile(dir / "t.qmp", withTrailer(container));
    Scene s;
    ASSERT_EQ(openProject(dir / "t.qmp", s), err::noErr);
    ASSERT_EQ(s.mapObjects.size(), 3u);
    EXPECT_EQ(s.mapObjects[0], scene.mapObjects[0]);
    ASSERT_TRUE(s.mapObjects[1].text);
    EXPECT_EQ(s.mapObjects[1].text->text, "Second");
    EXPECT_EQ(s.mapObjects[1].text->destRect, scene.mapObjects[1].text->destRect);
    EXPECT_FALSE(s.mapObjects[2].text);
    EXPECT_EQ(s.mapObjects[2].data, (Bytes{1, 2, 3}));
}

TEST(ProjectReaderTextObjects, LegacyTextIsReadAsWindows1252)
{
    MapObjectText t;
    t.text = "x";
    Bytes record = project::encodeTextRecord(t);
    record[80] = 0xE9; // é in Windows-1252
    auto back = project::decodeTextRecord(record);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text, "\xC3\xA9");
    record[4] = 0xFF; // length past the end
    EXPECT_FALSE(project::decodeTextRecord(record));
    EXPECT_FALSE(project::decodeTextRecord(Bytes(79, 0)));
}

TEST(ProjectTemplates, OnlySettingsCompressionAndPreviewAreTaken)
{
    TempDir dir;
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    ASSERT_EQ(saveProject(scene, dir / "Office.QmT"), err::noErr);
    Scene t;
    ASSERT_EQ(openDocument(dir / "Office.QmT", t), err::noErr);
    EXPECT_EQ(t.name, "Untitled Scene");
    EXPECT_TRUE(t.nodes.empty());
    EXPECT_TRUE(t.mapObjects.empty());
    EXPECT_EQ(t.mapWidth, scene.mapWidth);
    EXPECT_EQ(t.orientation, scene.orientation);
    EXPECT_EQ(t.compression, scene.compression);
    EXPECT_EQ(t.playbackHints, scene.playbackHints);
    EXPECT_EQ(t.projectFile, dir / "Office.QmT");
    EXPECT_FALSE(t.dirty);

    // The same file under a project name opens as a project.
    std::filesystem::copy_file(dir / "Office.QmT", dir / "Office.qmp");
    Scene p;
    ASSERT_EQ(openDocument(dir / "Office.qmp", p), err::noErr);
    EXPECT_EQ(p.nodes.size(), scene.nodes.size());

    // A template without 'COMP' keeps the default compression settings.
    Bytes container = editTop(buildProjectContainer(scene), [](AtomContainer& top) {
        top.removeChildren(kRoot, project::kCompression);
    });
    test::writeFile(dir / "nocomp.qmt", withTrailer(container));
    ASSERT_EQ(openTemplate(dir / "nocomp.qmt", t), err::noErr);
    EXPECT_EQ(t.compression, makeNewScene().compression);
    EXPECT_EQ(t.mapWidth, scene.mapWidth);
}

TEST(MapObjectClipboard, SelectedObjectsPasteAfterTheOthersSelected)
{
    std::vector<MapObject> source;
    for (std::int16_t kind : {MapObjectKind::kLine, MapObjectKind::kText, MapObjectKind::kPicture})
        source.push_back(test::makeMapObject(kind, kind));
    source[0].selected = true;
    source[1].selected = true;
    Bytes block = writeMapObjectList(source, true);

    std::vector<MapObject> target = {test::makeMapObject(MapObjectKind::kOval, 1)};
    ASSERT_EQ(readMapObjectList(block, target, true), err::noErr);
    ASSERT_EQ(target.size(), 3u);
    EXPECT_FALSE(target[0].selected);
    EXPECT_TRUE(target[1].selected);
    EXPECT_EQ(target[2].text, source[1].text);

    std::vector<MapObject> before = target;
    EXPECT_EQ(readMapObjectList(writeMapObjectList(source, false), target, false), err::noErr);
    EXPECT_EQ(target.size(), 3u);
    EXPECT_FALSE(target[1].selected);
    target = before;
    EXPECT_EQ(readMapObjectList(writeMapObjectList({}, false), target, true), err::noErr);
    EXPECT_EQ(target, before);
    EXPECT_NE(readMapObjectList(Bytes(40, 0x55), target, true), err::noErr);
    EXPECT_EQ(target, before);
}
