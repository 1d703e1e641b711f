// quillmere-cli info and scene add, run as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "project/project_reader.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

using test::TempDir;

std::string cli(const std::string& args, int* status = nullptr)
{
    std::string out;
    const int s = test::runCommand("'" + test::cliPath().string() + "' " + args + " 2>&1", &out);
    if (status)
        *status = s;
    return out;
}

std::string withoutSpaces(std::string s)
{
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\n'; }), s.end());
    return s;
}

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(SceneAddCli, ThreeAddsGiveIdsOneTwoThreeAndTheFirstIsInitial)
{
    TempDir dir;
    ASSERT_EQ(test::writePanorama2x(dir / "a.mov", {}), 0);
    ASSERT_EQ(test::writeObject2x(dir / "b.mov", {}), 0);
    ASSERT_TRUE(test::writeStillImage(dir / "c.pct", fourCC("PICT"), 64, 48));
    const std::string project = "'" + (dir / "New.qmp").string() + "'";
    int status = -1;
    for (const char* media : {"a.mov", "b.mov", "c.pct"}) {
        const std::string out = cli("scene add " + project + " '" + (dir / media).string() + "' --at 100,150", &status);
        EXPECT_EQ(status, 0) << out;
    }
    Scene scene;
    ASSERT_EQ(openProject(dir / "New.qmp", scene), 0);
    ASSERT_EQ(scene.nodes.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(scene.nodes[i].id, std::int16_t(i + 1));
        EXPECT_EQ(scene.nodes[i].initial, i == 0);
    }
    EXPECT_EQ(scene.nodes[0].kind, NodeKind::kPanorama);
    EXPECT_EQ(scene.nodes[1].kind, NodeKind::kObject);
    EXPECT_EQ(scene.nodes[2].kind, NodeKind::kStillImage);
    EXPECT_EQ(scene.nodes[2].name, "c.pct");
    EXPECT_EQ(scene.nodes[0].mapPosition, (Point{100, 150}));

    const std::string help = cli("--help");
    if (help.find("project-info") == std::string::npos)
        GTEST_SKIP() << "project-info is not part of this build";
    const std::string info = withoutSpaces(cli("project-info --json " + project, &status));
    ASSERT_EQ(status, 0) << info;
    for (int id : {1, 2, 3})
        EXPECT_NE(info.find("\"id\":" + std::to_string(id) + ","), std::string::npos) << info;
    EXPECT_EQ(count(info, "\"initial\":true"), 1u) << info;
}

TEST(SceneAddCli, RefusedMediaLeavesTheProjectAsItWas)
{
    TempDir dir;
    ASSERT_EQ(test::writePanorama2x(dir / "a.mov", {}), 0);
    ASSERT_EQ(test::writeMultiNode2x(dir / "two.mov", 2), 0);
    const std::string project = "'" + (dir / "P.qmp").string() + "'";
    int status = -1;
    cli("scene add " + project + " '" + (dir / "a.mov").string() + "'", &status);
    ASSERT_EQ(status, 0);
    std::ifstream in(dir / "P.qmp", std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), {});
    const std::string out = cli("scene add " + project + " '" + (dir / "two.mov").string() + "'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Cannot add a multi-node movie to this scene."), std::string::npos) << out;
    std::ifstream again(dir / "P.qmp", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), before);
    // A refused first import creates no project at all.
    cli("scene add '" + (dir / "Q.qmp").string() + "' '" + (dir / "two.mov").string() + "'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "Q.qmp"));
}

TEST(SceneCli, UsageErrors)
{
    int status = -1;
    cli("scene", &status);
    EXPECT_EQ(status, 2);
    cli("scene frobnicate x", &status);
    EXPECT_EQ(status, 2);
    cli("scene add only-one-arg", &status);
    EXPECT_EQ(status, 2);
    cli("scene add a.qmp b.mov --at 12", &status);
    EXPECT_EQ(status, 2);
    const std::string help = cli("scene help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("scene add PROJECT MEDIA [--at V,H]"), std::string::npos);
}

TEST(InfoCli, PrintsTheRecordAsTextAndJson)
{
    TempDir dir;
    test::Object1xFixture f;
    ASSERT_EQ(test::writeObject1x(dir / "o.mov", f), 0);
    int status = -1;
    const std::string text = cli("info '" + (dir / "o.mov").string() + "'", &status);
    ASSERT_EQ(status, 0) << text;
    EXPECT_NE(text.find("Kind: QTVR Object ('OBJ ')"), std::string::npos) << text;
    EXPECT_NE(text.find("QuickTime VR version: 1.x (256)"), std::string::npos) << text;
    EXPECT_NE(text.find("controlSettings: 69"), std::string::npos) << text;
    const std::string json = withoutSpaces(cli("info --json '" + (dir / "o.mov").string() + "'", &status));
    ASSERT_EQ(status, 0);
    EXPECT_NE(json.find("\"kind\":\"OBJ\""), std::string::npos) << json; // spaces were taken out
    EXPECT_NE(json.find("\"vr1VideoTrackId\":1,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"defaultViewCenterH\":20,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"displayBounds\":{\"top\":0,\"left\":0,\"bottom\":31,\"right\":41}"), std::string::npos)
        << json;

    std::ofstream(dir / "x.txt") << "no media here";
    const std::string bad = cli("info '" + (dir / "x.txt").string() + "'", &status);
    EXPECT_EQ(status, 1) << bad;
}

TEST(InfoCli, RealSampleName)
{
    const auto file = test::samplesDir() / "osu_facilities-panorama-sm.mov";
    QM_REQUIRE_SAMPLE(file);
    int status = -1;
    const std::string text = cli("info '" + file.string() + "'", &status);
    ASSERT_EQ(status, 0) << text;
    EXPECT_NE(text.find("Name: osu_facilities-panorama-sm.mov"), std::string::npos) << text;
    EXPECT_NE(text.find("imageNumFramesY: 24"), std::string::npos) << text;
}

} // namespace
} // namespace qm
