#include "support/test_paths.h"

#include <gtest/gtest.h>

using namespace qm::test;

TEST(CliPaths, TheUserFoldersOfTheEnvironmentWhereverTheProgramRuns)
{
    TempDir dir;
    std::string out;
    const std::string cli = cliPath().string();
    EXPECT_EQ(runCommand("XDG_CONFIG_HOME='" + (dir / "c").string() + "' XDG_DATA_HOME='" +
                             (dir / "d").string() + "' '" + cli + "' paths",
                         &out),
              0);
    EXPECT_EQ(out, "preferences\t" + (dir / "c" / "Quillmere" / "Quillmere Preferences.dat").string() +
                       "\ntemplates\t" + (dir / "d" / "Quillmere" / "Templates").string() + "\n");
    // Without the variables: under the home folder.
    EXPECT_EQ(runCommand("env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME='" + dir.path().string() + "' '" +
                             cli + "' paths",
                         &out),
              0);
    EXPECT_NE(out.find((dir / ".config" / "Quillmere").string()), std::string::npos) << out;
    EXPECT_NE(out.find((dir / ".local" / "share" / "Quillmere" / "Templates").string()), std::string::npos) << out;
    EXPECT_EQ(runCommand("'" + cli + "' paths extra 2>/dev/null"), 2);
}
