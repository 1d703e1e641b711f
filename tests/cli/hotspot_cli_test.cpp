#include <gtest/gtest.h>

#include <fstream>

#include "support/test_paths.h"

namespace {

std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

int cli(const std::string& args, std::string* out = nullptr)
{
    std::string text;
    const int status = qm::test::runCommand(quote(qm::test::cliPath()) + " " + args + " 2>&1", &text);
    if (out)
        *out = text;
    return status;
}

// Width and height from a PNG file's header; 0, 0 when it is not one.
std::pair<int, int> pngSize(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string b(24, '\0');
    in.read(b.data(), 24);
    if (b.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto be = [&](int at) {
        return (int(std::uint8_t(b[at])) << 24) | (int(std::uint8_t(b[at + 1])) << 16) |
               (int(std::uint8_t(b[at + 2])) << 8) | int(std::uint8_t(b[at + 3]));
    };
    return {be(16), be(20)};
}

std::string fileText(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(HotSpotCli, AddListDeleteAndTheWorkingImageOfEveryKind)
{
    qm::test::TempDir dir;
    std::string out;
    ASSERT_EQ(cli("demo " + quote(dir.path()) + " >/dev/null", &out), 0) << out;
    const auto project = dir / "Demo.qmp";
    // Node 1 is a 2048 x 512 panorama; the picture is its unrolled image.
    ASSERT_EQ(cli("working-image " + quote(project) + " 1 -o " + quote(dir / "pano.png"), &out), 0) << out;
    EXPECT_EQ(pngSize(dir / "pano.png"), std::make_pair(1536, 384)) << "capped at 1536 wide";
    EXPECT_NE(out.find("native 2048x512"), std::string::npos) << out;

    ASSERT_EQ(cli("hotspot add " + quote(project) + " 1 --shape rect --bounds 100,200,300,600 --name Gate --to 2", &out), 0)
        << out;
    const std::string id = out.substr(0, out.find('\n'));
    EXPECT_GT(std::stoi(id), 0);
    ASSERT_EQ(cli("hotspot add " + quote(project) + " 1 --shape polygon --points 700,100 900,120 800,300", &out), 0)
        << out;
    ASSERT_EQ(cli("hotspot list " + quote(project) + " 1 --json", &out), 0) << out;
    EXPECT_NE(out.find("\"id\": " + id + ", \"shape\": \"rect\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"bounds\": [100, 200, 300, 600]"), std::string::npos) << "native coordinates";
    EXPECT_NE(out.find("\"name\": \"Gate\""), std::string::npos);
    EXPECT_NE(out.find("\"shape\": \"polygon\""), std::string::npos);
    EXPECT_NE(out.find("\"bounds\": [100, 700, 300, 900]"), std::string::npos) << out;

    ASSERT_EQ(cli("working-image " + quote(project) + " 1 --hot-spots -o " + quote(dir / "pano_hot.png"), &out), 0);
    EXPECT_EQ(pngSize(dir / "pano_hot.png"), pngSize(dir / "pano.png"));
    EXPECT_NE(fileText(dir / "pano.png"), fileText(dir / "pano_hot.png")) << "the overlays are drawn";

    // Object views; a view outside the movie fails cleanly.
    ASSERT_EQ(cli("working-image " + quote(project) + " 4 --view 0,5 -o " + quote(dir / "object.png"), &out), 0) << out;
    EXPECT_EQ(pngSize(dir / "object.png"), std::make_pair(320, 240));
    ASSERT_EQ(cli("working-image " + quote(project) + " 5 -o " + quote(dir / "plan.png"), &out), 0) << out;
    EXPECT_EQ(pngSize(dir / "plan.png"), std::make_pair(320, 240));
    EXPECT_NE(cli("working-image " + quote(project) + " 99 -o " + quote(dir / "none.png"), &out), 0);
    EXPECT_NE(cli("working-image " + quote(project) + " 1", &out), 0) << "-o is required";

    ASSERT_EQ(cli("hotspot add " + quote(project) + " 4 --shape oval --bounds 10,10,50,80 --view 0,3 --url http://x.org/",
                  &out),
              0)
        << out;
    ASSERT_EQ(cli("hotspot list " + quote(project) + " 4", &out), 0);
    EXPECT_NE(out.find("oval\turl \tview 0,3\t10,10,50,80"), std::string::npos) << out;

    ASSERT_EQ(cli("hotspot delete " + quote(project) + " 1 " + id, &out), 0) << out;
    ASSERT_EQ(cli("hotspot list " + quote(project) + " 1 --json", &out), 0);
    EXPECT_EQ(out.find("\"name\": \"Gate\""), std::string::npos);
    EXPECT_NE(cli("hotspot delete " + quote(project) + " 1 " + id, &out), 0) << "already gone";
    EXPECT_NE(cli("hotspot add " + quote(project) + " 1 --shape rect --bounds 5,5,5,9", &out), 0) << "empty bounds";
    EXPECT_NE(cli("hotspot add " + quote(project) + " 1 --shape polygon --points 1,1 5,5", &out), 0);
    EXPECT_NE(cli("hotspot add " + quote(project) + " 1 --shape hexagon --bounds 1,1,5,5", &out), 0);
}
