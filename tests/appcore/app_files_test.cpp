#include "appcore/app_paths.h"
#include "appcore/atomic_file.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace qm;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::span<const std::uint8_t> asBytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(AtomicFile, ReplacesWholeKeepsModeFollowsLinksAndLeavesNoTemporaries)
{
    test::TempDir dir;
    const fs::path target = dir / "prefs.dat";
    ASSERT_EQ(writeFileAtomically(target, asBytes("first")), 0);
    EXPECT_EQ(slurp(target), "first");
    ::chmod(target.c_str(), 0600);
    ASSERT_EQ(writeFileAtomically(target, asBytes("second, longer")), 0);
    EXPECT_EQ(slurp(target), "second, longer");
    struct stat st {};
    ::stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    fs::create_symlink(target, dir / "link.dat");
    ASSERT_EQ(writeFileAtomically(dir / "link.dat", asBytes("through the link")), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_EQ(slurp(target), "through the link");

    EXPECT_EQ(writeFileAtomically(dir / "no" / "folder.dat", asBytes("x")), err::fnfErr);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 2); // the file and the link, no temporaries
}

TEST(AppPaths, PreferencesAndTemplatesInTheUserFoldersWhereverTheProgramRuns)
{
    test::TempDir dir;
    const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").c_str());
    const ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    // The program's own folder (writable here, as a build folder is) is never used.
    EXPECT_EQ(preferencesFilePath(), dir / "config" / "Quillmere" / "Quillmere Preferences.dat");
    EXPECT_EQ(templatesDirectory(), dir / "data" / "Quillmere" / "Templates");
    EXPECT_NE(preferencesFilePath().parent_path(), programDirectory());

    // Relative values are to be ignored: the defaults under the home folder hold.
    const ScopedEnv relativeConfig("XDG_CONFIG_HOME", "relative/ignored");
    const ScopedEnv relativeData("XDG_DATA_HOME", "");
    const ScopedEnv home("HOME", dir.path().c_str());
    EXPECT_EQ(preferencesFilePath(), dir / ".config" / "Quillmere" / "Quillmere Preferences.dat");
    EXPECT_EQ(templatesDirectory(), dir / ".local" / "share" / "Quillmere" / "Templates");
    EXPECT_FALSE(programDirectory().empty());
}
