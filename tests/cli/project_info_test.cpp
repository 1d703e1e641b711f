// quillmere-cli project-info, run as a separate program on files the writer made.
#include <gtest/gtest.h>

#include "project/project_writer.h"
#include "project/test_scenes.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;
using qm::test::TempDir;

namespace {

std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

int projectInfo(const std::string& args, std::string& out)
{
    return test::runCommand(quote(test::cliPath()) + " project-info " + args + " 2>&1", &out);
}

bool havePython() { return test::runCommand("python3 -c 1 >/dev/null 2>&1") == 0; }

// Python expressions over the JSON document in `file` (as `d`), evaluated in one run; their
// printed values, one per expression.
std::vector<std::string> jsonQuery(const std::filesystem::path& file, const std::vector<std::string>& expressions)
{
    std::string script = "import json,sys\nd=json.load(open(sys.argv[1]))\n";
    for (const auto& e : expressions)
        script += "print(" + e + ")\n";
    test::writeFile(file.parent_path() / "query.py", Bytes(script.begin(), script.end()));
    std::string out;
    test::runCommand("python3 " + quote(file.parent_path() / "query.py") + " " + quote(file), &out);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(out.substr(start, nl - start));
    return lines;
}

} // namespace

TEST(CliProjectInfo, PrintsSettingsNodesHotSpotsAndMapObjectsAsText)
{
    TempDir dir;
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    ASSERT_EQ(saveProject(scene, dir / "rich.qmp"), err::noErr);
    std::string out;
    ASSERT_EQ(projectInfo(quote(dir / "rich.qmp"), out), 0) << out;
    for (const char* expected :
         {"name: Rich \xC3\xA9 scene", "unit Meters", "scaleFactor 100", "orientation: 271.5", "masterSize: width 640",
          "codecType: rpza", "keyFrameRate: 30", "name: Node 1", "kindName: QTVR Panorama", "shape: region",
          "url: http://example.com/2", "text: Hall \xE2\x80\x93 east wing", "kindName: picture", "sampleRecord: record as stored, bytes 5",
          "relativePath: media/pano.mov", "composedAtText: 2023-11-14 22:13:20 UTC"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

TEST(CliProjectInfo, JsonCarriesTheSameValues)
{
    TempDir dir;
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    ASSERT_EQ(saveProject(scene, dir / "rich.qmp"), err::noErr);
    std::string out;
    ASSERT_EQ(projectInfo(quote(dir / "rich.qmp") + " --json > " + quote(dir / "info.json"), out), 0) << out;
    if (!havePython())
        GTEST_SKIP() << "python3 is not available to check the JSON";
    auto values = jsonQuery(dir / "info.json", {"len(d['nodes'])",
                                                "d['nodes'][0]['hotSpots'][0]['regionBytes']",
                                                "d['nodes'][0]['hotSpots'][0]['linkView']['tilt']",
                                                "d['nodes'][0]['media']['found'] is not None",
                                                "d['compression'][3]['frameRate']",
                                                "d['mapObjects'][3]['text'] == 'Hall \\u2013 east wing'",
                                                "d['layout']['composedMovieOffset']"});
    EXPECT_EQ(values, (std::vector<std::string>{"5", "14", "None", "True", "29.9700012", "True", "None"}));
}

TEST(CliProjectInfo, TemplatesShowOnlyTheirSettings)
{
    TempDir dir;
    Scene scene = test::makeRichScene(dir / "media", dir.path());
    ASSERT_EQ(saveProject(scene, dir / "office.QMT"), err::noErr);
    std::string out;
    ASSERT_EQ(projectInfo(quote(dir / "office.QMT"), out), 0) << out;
    EXPECT_NE(out.find("document: template"), std::string::npos);
    EXPECT_NE(out.find("name: Untitled Scene"), std::string::npos);
    EXPECT_EQ(out.find("nodes:"), std::string::npos);
}

TEST(CliProjectInfo, BadFilesAndUsageFail)
{
    TempDir dir;
    std::string out;
    EXPECT_EQ(projectInfo(quote(dir / "missing.qmp"), out), 1);
    EXPECT_NE(out.find("error -43"), std::string::npos) << out;
    test::writeFile(dir / "short.qmp", Bytes(20, 0));
    EXPECT_EQ(projectInfo(quote(dir / "short.qmp"), out = ""), 1);
    EXPECT_NE(out.find("too short"), std::string::npos) << out;
    EXPECT_EQ(projectInfo("", out), 2);
    EXPECT_EQ(projectInfo("a b", out), 2);
}
