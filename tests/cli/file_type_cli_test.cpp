#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace qm::test;

TEST(CliFileType, PrintsTypeAndKindAndFailsForMissingFiles)
{
    TempDir dir;
    std::ofstream(dir / "shot.bin", std::ios::binary) << "\xFF\xD8\xFF\xE0";
    std::ofstream(dir / "notes.txt") << "hello";
    std::string out;
    const std::string cli = cliPath().string();
    EXPECT_EQ(runCommand("'" + cli + "' file-type '" + (dir / "shot.bin").string() + "' '" +
                             (dir / "notes.txt").string() + "'",
                         &out),
              0);
    EXPECT_NE(out.find("'JPEG'\tstill image\t"), std::string::npos) << out;
    EXPECT_NE(out.find("none\tnot importable\t"), std::string::npos) << out;
    EXPECT_EQ(runCommand("'" + cli + "' file-type '" + (dir / "missing").string() + "' 2>&1", &out), 1);
    EXPECT_NE(out.find("File not found. (-43)"), std::string::npos) << out;
    EXPECT_EQ(runCommand("'" + cli + "' file-type 2>/dev/null"), 2);
}

TEST(CliPlatformCheck, PassesOnTheBuildMachine)
{
    std::string out;
    EXPECT_EQ(runCommand("'" + cliPath().string() + "' platform-check 2>&1", &out), 0) << out;
    EXPECT_EQ(out, "ok\n");
}
