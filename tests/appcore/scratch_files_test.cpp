#include "appcore/alert_service.h"
#include "appcore/headless_alert_presenter.h"
#include "appcore/preferences_record.h"
#include "appcore/scratch_files.h"
#include "appcore/scratch_space_monitor.h"
#include "appcore/string_table.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace qm;
namespace fs = std::filesystem;

namespace {
std::string scratchName(int n) { return "t" + std::to_string(n) + "-" + std::to_string(::getpid()) + ".tmp"; }
} // namespace

TEST(ScratchFileNamer, NamesAreTickNumbersThatNeverRepeatOrHitExistingFiles)
{
    test::TempDir dir;
    ScratchFileNamer namer([] { return std::int64_t(5000); }); // the clock stands still
    fs::path a, b, c;
    ASSERT_EQ(namer.makeScratchFile(dir.path(), a, false), 0);
    EXPECT_EQ(a, dir.path() / scratchName(5000));
    EXPECT_FALSE(fs::exists(a)); // named, not made
    ASSERT_EQ(namer.makeScratchFile(dir.path(), b, false), 0);
    EXPECT_EQ(b, dir.path() / scratchName(5001));
    std::ofstream(dir / scratchName(5002)) << "left over from an earlier run";
    ASSERT_EQ(namer.makeScratchFile(dir.path(), c, true), 0);
    EXPECT_EQ(c, dir.path() / scratchName(5003));
    EXPECT_TRUE(fs::exists(c));
    EXPECT_EQ(fs::file_size(dir / scratchName(5002)), 29u);
}

TEST(ScratchFileNamer, FileFolderMissingFolderAndEmptyPreference)
{
    test::TempDir dir;
    ScratchFileNamer namer([] { return std::int64_t(7); });
    std::ofstream(dir / "movie.mov") << "x";
    fs::path out;
    ASSERT_EQ(namer.makeScratchFile(dir / "movie.mov", out, false), 0);
    EXPECT_EQ(out, dir.path() / "movie~.mov");
    ASSERT_EQ(namer.makeScratchFile(dir / "movie.mov", out, true), 0);
    EXPECT_TRUE(fs::exists(dir / "movie~.mov"));
    EXPECT_EQ(namer.makeScratchFile(dir / "movie.mov", out, true), err::dupFNErr);

    EXPECT_EQ(namer.makeScratchFile(dir / "gone", out, false), err::fnfErr);
    EXPECT_TRUE(out.empty());

    ASSERT_EQ(namer.makeScratchFile({}, out, false), 0);
    EXPECT_EQ(out.parent_path(), defaultScratchFolder());
}

TEST(ScratchFileNamer, RealClockGivesDistinctNamesInARow)
{
    test::TempDir dir;
    ScratchFileNamer namer;
    fs::path a, b;
    ASSERT_EQ(namer.makeScratchFile(dir.path(), a, false), 0);
    ASSERT_EQ(namer.makeScratchFile(dir.path(), b, false), 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.filename().string().rfind("t", 0), 0u);
    EXPECT_EQ(a.extension(), ".tmp");
}

TEST(ScratchSpaceMonitor, WarnsOnceUntilSpaceRecovers)
{
    ScratchSpaceMonitor m;
    EXPECT_FALSE(m.evaluate(true, 30, 100));
    EXPECT_TRUE(m.evaluate(true, 30, 29));
    EXPECT_FALSE(m.evaluate(true, 30, 10)); // already shown
    EXPECT_FALSE(m.evaluate(true, 30, 30)); // at the threshold: re-armed
    EXPECT_TRUE(m.evaluate(true, 30, 29));
    EXPECT_FALSE(m.evaluate(true, 30, std::nullopt)); // a failed query re-arms, never warns
    EXPECT_FALSE(m.warned());
    EXPECT_TRUE(m.evaluate(true, 30, 0)); // a full disk is the case that most needs the warning
    EXPECT_FALSE(m.evaluate(false, 30, 0));
    EXPECT_FALSE(m.evaluate(true, 0, 0));
}

TEST(ScratchSpaceMonitor, IdleChecksOncePerSecondAndShowsAlert152)
{
    HeadlessAlertPresenter presenter;
    AlertService alerts(presenter);
    PreferencesRecord prefs;
    prefs.applyDefaults("/scratch");
    int queries = 0;
    std::uint64_t freeMB = 12;
    const auto query = [&](const fs::path& p) -> std::optional<std::uint64_t> {
        ++queries;
        EXPECT_EQ(p, fs::path("/scratch"));
        return freeMB;
    };
    ScratchSpaceMonitor m;
    m.idle(1000, prefs, alerts, query);
    ASSERT_EQ(presenter.shown().size(), 1u);
    EXPECT_EQ(presenter.shown()[0].stringId, alertLowScratchSpace);
    EXPECT_EQ(alerts.parameters()[0], "30");
    EXPECT_EQ(alerts.parameters()[1], "/scratch");
    m.idle(1030, prefs, alerts, query); // within the second: no query
    EXPECT_EQ(queries, 1);
    m.idle(1060, prefs, alerts, query);
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(presenter.shown().size(), 1u);
    prefs.setLowSpaceWarning(false);
    m.idle(2000, prefs, alerts, query);
    EXPECT_EQ(queries, 2);
}

TEST(ScratchSpaceMonitor, FreeSpaceOfARealFolderIsKnown)
{
    test::TempDir dir;
    EXPECT_TRUE(freeMegabytes(dir.path()).has_value());
    EXPECT_FALSE(freeMegabytes(dir / "no" / "such" / "folder").has_value());
}
