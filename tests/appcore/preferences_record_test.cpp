#include "appcore/preferences_record.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qm;

TEST(PreferencesRecord, FreshRecordTakesEveryDefaultAtItsLittleEndianOffset)
{
    PreferencesRecord p;
    p.applyDefaults("/tmp");
    EXPECT_TRUE(p.initialised());
    EXPECT_EQ(p.scratchFolder(), "/tmp");
    EXPECT_TRUE(p.lowSpaceWarning());
    EXPECT_EQ(p.warningThresholdMB(), 30);
    EXPECT_EQ(p.startupAction(), StartupAction::NewDocument);
    EXPECT_TRUE(p.annotationsSetUp());
    EXPECT_EQ(p.annotationName(), "");
    EXPECT_EQ(p.annotationDescription(), kDefaultAnnotationDescription);
    EXPECT_EQ(p.annotationDescription().rfind("Created by Quillmere\n", 0), 0u);
    EXPECT_EQ(p.creator(), fourCC("TVOD"));
    EXPECT_EQ(p.autoHotSpotShape(), AutoHotSpotShape::Rectangle);
    EXPECT_EQ(p.autoHotSpotSizePercent(), 50);
    EXPECT_EQ(p.autoHotSpotColor(), (RGBColor{0, 65535, 0}));
    EXPECT_EQ(p.manualHotSpotColor(), (RGBColor{65535, 0, 0}));

    const auto b = p.bytes();
    ASSERT_EQ(b.size(), 1222u);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[8], 4); // Pascal length of "/tmp"
    EXPECT_EQ(b[328], 1);
    EXPECT_EQ(b[330], 30);
    EXPECT_EQ(b[331], 0);
    EXPECT_EQ(b[336], 1);
    EXPECT_EQ(b[850], 'C');
    const std::vector<std::uint8_t> creator(b.begin() + 1106, b.begin() + 1110);
    EXPECT_EQ(creator, (std::vector<std::uint8_t>{'D', 'O', 'V', 'T'}));
    EXPECT_EQ(b[1118], 50);
    const std::vector<std::uint8_t> colours(b.begin() + 1122, b.begin() + 1134);
    EXPECT_EQ(colours, (std::vector<std::uint8_t>{0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}));
    for (std::size_t i = 1134; i < 1222; ++i)
        ASSERT_EQ(b[i], 0) << i;
}

TEST(PreferencesRecord, SetUpRecordKeepsItsChoicesAndRepairsDamagedValues)
{
    PreferencesRecord p;
    p.applyDefaults("/tmp");
    p.setScratchFolder("/big/disk");
    p.setLowSpaceWarning(false);
    p.setStartupAction(StartupAction::NoDocument);
    p.setAnnotationName("Tour");
    p.setAutoHotSpotShape(AutoHotSpotShape::Circle);
    PreferencesRecord again = p;
    again.applyDefaults("/elsewhere");
    EXPECT_EQ(again, p);

    std::vector<std::uint8_t> damaged(p.bytes().begin(), p.bytes().end());
    damaged[330] = 0xF4; // threshold 500
    damaged[331] = 0x01;
    damaged[332] = 7; // start-up action
    damaged[1116] = 0xFF; // shape -1
    damaged[1117] = 0xFF;
    damaged[1118] = 5; // size 5 %
    std::fill(damaged.begin() + 338, damaged.begin() + 338 + 256, 'x'); // Name without its NUL
    PreferencesRecord repaired;
    repaired.assignBytes(damaged);
    repaired.applyDefaults("/tmp");
    EXPECT_EQ(repaired.warningThresholdMB(), 100);
    EXPECT_EQ(repaired.startupAction(), StartupAction::NewDocument);
    EXPECT_EQ(repaired.autoHotSpotShape(), AutoHotSpotShape::Rectangle);
    EXPECT_EQ(repaired.autoHotSpotSizePercent(), 10);
    EXPECT_EQ(repaired.annotationName(), std::string(255, 'x'));
    EXPECT_EQ(repaired.scratchFolder(), "/big/disk");
}

TEST(PreferencesRecord, ShortDataLeavesTheRestAndLimitsHold)
{
    PreferencesRecord p;
    p.applyDefaults("/tmp");
    const std::vector<std::uint8_t> head(10, 0);
    p.assignBytes(head);
    EXPECT_FALSE(p.initialised());
    EXPECT_EQ(p.warningThresholdMB(), 30); // beyond the short block: unchanged

    EXPECT_FALSE(p.setScratchFolder(std::string(256, 'p')));
    EXPECT_TRUE(p.setScratchFolder(std::string(255, 'p')));
    EXPECT_EQ(p.scratchFolder().size(), 255u);
    p.setAnnotationCopyright(std::string(400, 'c'));
    EXPECT_EQ(p.annotationCopyright().size(), 255u);
    p.setAutoHotSpotSizePercent(250);
    EXPECT_EQ(p.autoHotSpotSizePercent(), 100);
    p.setAutoHotSpotSizePercent(5);
    EXPECT_EQ(p.autoHotSpotSizePercent(), 10);
    p.setWarningThresholdMB(-3);
    EXPECT_EQ(p.warningThresholdMB(), 0);
}

TEST(PreferencesRecord, KeepingMovieHotSpotsIsOnForOldRecordsAndOffOnlyByItsOwnByte)
{
    // A record written before the setting existed holds zero there.
    PreferencesRecord old;
    old.applyDefaults("/tmp");
    EXPECT_TRUE(old.keepMovieHotSpots());
    PreferencesRecord p = old;
    p.setKeepMovieHotSpots(false);
    EXPECT_FALSE(p.keepMovieHotSpots());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < PreferencesRecord::kSize; ++i)
        if (p.bytes()[i] != old.bytes()[i]) {
            EXPECT_EQ(i, 1134u);
            ++changed;
        }
    EXPECT_EQ(changed, 1u);
    // Loading again keeps the choice; the record's other values do not touch it.
    PreferencesRecord loaded;
    loaded.assignBytes(p.bytes());
    loaded.applyDefaults("/tmp");
    EXPECT_FALSE(loaded.keepMovieHotSpots());
    loaded.setAutoHotSpotSizePercent(80);
    EXPECT_FALSE(loaded.keepMovieHotSpots());
}
