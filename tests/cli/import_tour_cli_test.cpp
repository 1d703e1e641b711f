// quillmere-cli import-tour and scene add with the movie's own hot spots, end to end.
#include <gtest/gtest.h>

#include "project/project_reader.h"
#include "support/test_paths.h"

using namespace qm;

namespace {

std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

int cli(const std::string& args, std::string* out = nullptr)
{
    std::string text;
    const int status = test::runCommand(quote(test::cliPath()) + " " + args + " 2>&1", &text);
    if (out)
        *out = text;
    return status;
}

} // namespace

TEST(ImportTourCli, DemoTourBecomesAProjectWhoseNodesAddBackWithTheirHotSpots)
{
    test::TempDir dir;
    ASSERT_EQ(cli("demo " + quote(dir / "demo")), 0);
    std::string out;
    ASSERT_EQ(cli("import-tour " + quote(dir / "demo" / "Demo.mov") + " -o " + quote(dir / "tour.qmp"), &out), 0) << out;
    EXPECT_NE(out.find("imported 5 nodes"), std::string::npos) << out;
    Scene scene;
    ProjectReadOptions options;
    options.extractComposedMovie = false;
    ASSERT_EQ(openProject(dir / "tour.qmp", scene, options), 0);
    ASSERT_EQ(scene.nodes.size(), 5u);
    EXPECT_EQ(scene.name.str(), "Demo");
    std::size_t hotSpots = 0;
    for (const Node& n : scene.nodes)
        hotSpots += n.hotSpots.size();
    EXPECT_GT(hotSpots, 0u);

    // The same again into a taken name: refused, the first project untouched.
    EXPECT_EQ(cli("import-tour " + quote(dir / "demo" / "Demo.mov") + " -o " + quote(dir / "tour.qmp"), &out), 1);
    EXPECT_NE(out.find("already exists"), std::string::npos) << out;

    // Without hot spots.
    ASSERT_EQ(cli("import-tour --no-hot-spots " + quote(dir / "demo" / "Demo.mov") + " -o " + quote(dir / "bare.qmp")), 0);
    Scene bare;
    ASSERT_EQ(openProject(dir / "bare.qmp", bare, options), 0);
    for (const Node& n : bare.nodes)
        EXPECT_TRUE(n.hotSpots.empty());

    // A node movie added to another project keeps its hot spots unless told not to.
    const auto nodeMovie = dir / "tour Nodes" / ("Node " + std::to_string(scene.nodes[0].id) + ".mov");
    ASSERT_EQ(cli("scene add " + quote(dir / "other.qmp") + " " + quote(nodeMovie), &out), 0) << out;
    EXPECT_NE(out.find("hot spots kept"), std::string::npos) << out;
    ASSERT_EQ(cli("scene add --no-hot-spots " + quote(dir / "plain.qmp") + " " + quote(nodeMovie), &out), 0) << out;
    EXPECT_EQ(out.find("hot spots kept"), std::string::npos) << out;
}

TEST(ImportTourCli, ATruncatedTourFailsAndLeavesNothing)
{
    test::TempDir dir;
    ASSERT_EQ(cli("demo " + quote(dir / "demo")), 0);
    std::filesystem::resize_file(dir / "demo" / "Demo.mov", 600);
    std::string out;
    EXPECT_EQ(cli("import-tour " + quote(dir / "demo" / "Demo.mov") + " -o " + quote(dir / "cut.qmp"), &out), 1);
    EXPECT_FALSE(std::filesystem::exists(dir / "cut.qmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "cut Nodes"));
    EXPECT_EQ(cli("import-tour " + quote(dir / "demo" / "Demo.mov")), 2); // no -o
}

TEST(ImportTourCli, AProjectInAMissingFolderIsRefusedNamingTheProjectAndItsFolder)
{
    test::TempDir dir;
    ASSERT_EQ(cli("demo " + quote(dir / "demo")), 0);
    std::string out;
    EXPECT_EQ(cli("import-tour " + quote(dir / "demo" / "Demo.mov") + " -o " + quote(dir / "none" / "t.qmp"), &out), 1);
    EXPECT_NE(out.find("File not found."), std::string::npos) << out;
    EXPECT_NE(out.find("cannot write the project " + (dir / "none" / "t.qmp").string() + ": its folder " +
                       (dir / "none").string() + " does not exist"),
              std::string::npos)
        << out;
    EXPECT_FALSE(std::filesystem::exists(dir / "none"));
}
