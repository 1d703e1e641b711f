// Saving a scene and opening it again gives back every stored field.
#include <gtest/gtest.h>

#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

TEST(ProjectRoundTrip, EveryFieldOfEveryRecordComesBack)
{
    TempDir dir;
    auto file = dir / "rich.qmp";
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    scene.dirty = true;
    ASSERT_EQ(saveProject(scene, file), err::noErr);
    EXPECT_FALSE(scene.dirty);
    EXPECT_EQ(scene.projectFile, file);

    Scene back;
    HeadlessProjectReaderUi ui;
    ProjectReadOptions options;
    options.ui = &ui;
    std::string detail;
    ASSERT_EQ(openProject(file, back, options, &detail), err::noErr) << detail;
    EXPECT_TRUE(ui.reports().empty());
    EXPECT_EQ(ui.confirmations(), 0);

    // Field by field first, so that a failure points at the record concerned.
    ASSERT_EQ(back.nodes.size(), scene.nodes.size());
    for (std::size_t i = 0; i < scene.nodes.size(); ++i) {
        ASSERT_EQ(back.nodes[i].hotSpots.size(), scene.nodes[i].hotSpots.size()) << "node " << i;
        for (std::size_t k = 0; k < scene.nodes[i].hotSpots.size(); ++k)
            EXPECT_EQ(back.nodes[i].hotSpots[k], scene.nodes[i].hotSpots[k]) << "node " << i << " hot spot " << k;
        EXPECT_EQ(back.nodes[i].mediaData, scene.nodes[i].mediaData) << "node " << i;
        EXPECT_EQ(back.nodes[i], scene.nodes[i]) << "node " << i;
    }
    ASSERT_EQ(back.mapObjects.size(), scene.mapObjects.size());
    for (std::size_t i = 0; i < scene.mapObjects.size(); ++i)
        EXPECT_EQ(back.mapObjects[i], scene.mapObjects[i]) << "map object " << i;
    ASSERT_TRUE(back.mapObjects[3].text.has_value());
    EXPECT_EQ(back.mapObjects[3].text->text, "Hall \xE2\x80\x93 east wing");
    for (std::size_t i = 0; i < kCompressionSlots; ++i)
        EXPECT_EQ(back.compression[i], scene.compression[i]) << "compression " << i;
    EXPECT_EQ(back.imaging, scene.imaging);
    EXPECT_EQ(back.playbackHints, scene.playbackHints);
    EXPECT_EQ(back.composedAt, scene.composedAt);
    EXPECT_EQ(back, scene);
}

TEST(ProjectRoundTrip, SavingTwiceGivesIdenticalBytes)
{
    TempDir dir;
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    ASSERT_EQ(saveProject(scene, dir / "a.qmp"), err::noErr);
    Scene back;
    ASSERT_EQ(openProject(dir / "a.qmp", back), err::noErr);
    ASSERT_EQ(saveProject(back, dir / "b.qmp"), err::noErr);
    EXPECT_EQ(test::readFile(dir / "a.qmp"), test::readFile(dir / "b.qmp"));
}

TEST(ProjectRoundTrip, TextsOutsideTheirLimitsAndEncodings)
{
    TempDir dir;
    Scene scene = makeNewScene();
    scene.name = "";
    Node n;
    n.id = 1;
    n.name = std::string(62, 'x') + "\xC4\x81"; // U+0101 has no Windows-1252 byte: cut before it
    HotSpot h = test::makeHotSpot(HotSpotShape::kRectangle, 1);
    h.comment = std::string(300, 'h'); // hot spot strings come back up to 259 characters
    n.hotSpots.push_back(h);
    scene.nodes.push_back(n);
    ASSERT_EQ(saveProject(scene, dir / "t.qmp"), err::noErr);
    Scene back;
    ASSERT_EQ(openProject(dir / "t.qmp", back), err::noErr);
    EXPECT_EQ(back.name, ""); // an emptied name stays empty instead of turning into the default
    EXPECT_EQ(back.nodes[0].name, std::string(62, 'x'));
    EXPECT_EQ(back.nodes[0].hotSpots[0].comment, std::string(259, 'h'));
}
