#include "appcore/preferences_store.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/errors.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace qm;
namespace fs = std::filesystem;

namespace {

Bytes slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

void spit(const fs::path& p, const Bytes& b)
{
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

AtomContainer parsed(const fs::path& p)
{
    AtomContainer c;
    EXPECT_EQ(AtomContainer::parse(slurp(p), c), 0);
    return c;
}

} // namespace

TEST(PreferencesStore, FirstStartCreatesTheFileAndTheEndOfTheRunStoresTheRecord)
{
    test::TempDir dir;
    const fs::path file = dir / "sub" / "Quillmere Preferences.dat";
    PreferencesStore store;
    EXPECT_EQ(store.load(file, "/var/tmp"), err::fnfErr);
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(parsed(file).countChildren(AtomContainer::kRoot), 0); // an empty container
    EXPECT_EQ(store.record().scratchFolder(), "/var/tmp");
    EXPECT_EQ(store.record().warningThresholdMB(), 30);

    store.record().setStartupAction(StartupAction::OpenDocument);
    store.record().setAnnotationCopyright("\xC2\xA9 2026 Someone");
    ASSERT_EQ(store.save(), 0);
    const AtomContainer c = parsed(file);
    const AtomRef atom = c.findChildById(AtomContainer::kRoot, fourCC("DFLT"), 103);
    ASSERT_TRUE(atom);
    EXPECT_EQ(c.data(atom).size(), 1222u);

    PreferencesStore again;
    EXPECT_EQ(again.load(file, "/elsewhere"), 0);
    EXPECT_EQ(again.record(), store.record());
}

TEST(PreferencesStore, OtherAtomsSurviveAndGenericRecordsReadAtMostTheirSize)
{
    test::TempDir dir;
    const fs::path file = dir / "prefs.dat";
    AtomContainer c;
    const Bytes other = {1, 2, 3, 4, 5};
    ASSERT_EQ(c.insertChild(AtomContainer::kRoot, fourCC("DFLT"), 104, 0, other), 0);
    ASSERT_EQ(c.insertChild(AtomContainer::kRoot, fourCC("ABCD"), 1, 0, other), 0);
    spit(file, c.serialize());

    PreferencesStore store;
    ASSERT_EQ(store.load(file, "/tmp"), 0);
    EXPECT_EQ(store.record().creator(), fourCC("TVOD")); // no record yet: defaults
    std::uint8_t buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(store.readRecord(buffer, 104), 5u);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(buffer[5], 9); // a shorter atom leaves the rest as it was
    EXPECT_EQ(store.readRecord(std::span(buffer, 2), 104), 2u);
    EXPECT_EQ(store.readRecord(buffer, 999), 0u);

    const Bytes replacement = {7, 7};
    ASSERT_EQ(store.writeRecord(replacement, 104), 0); // rewrites the file at once
    ASSERT_EQ(store.save(), 0);
    const AtomContainer back = parsed(file);
    EXPECT_EQ(back.countChildren(AtomContainer::kRoot), 3);
    const auto d104 = back.data(back.findChildById(AtomContainer::kRoot, fourCC("DFLT"), 104));
    EXPECT_EQ(Bytes(d104.begin(), d104.end()), replacement);
    const auto abcd = back.data(back.findChild(AtomContainer::kRoot, fourCC("ABCD")));
    EXPECT_EQ(Bytes(abcd.begin(), abcd.end()), other);
}

TEST(PreferencesStore, DamagedShortOrStrangeFilesGiveDefaults)
{
    test::TempDir dir;
    PreferencesStore store;

    spit(dir / "garbage.dat", Bytes(100, 0xEE));
    EXPECT_NE(store.load(dir / "garbage.dat", "/tmp"), 0);
    EXPECT_EQ(store.record().warningThresholdMB(), 30);
    EXPECT_EQ(store.record().annotationDescription(), kDefaultAnnotationDescription);

    spit(dir / "empty.dat", {});
    EXPECT_NE(store.load(dir / "empty.dat", "/tmp"), 0);
    EXPECT_TRUE(store.record().initialised());

    // A record cut short: what it holds counts, the rest takes defaults.
    AtomContainer c;
    Bytes shortRecord(332, 0);
    shortRecord[0] = 1;
    shortRecord[328] = 0; // warning off
    shortRecord[330] = 77;
    ASSERT_EQ(c.insertChild(AtomContainer::kRoot, fourCC("DFLT"), 103, 0, shortRecord), 0);
    spit(dir / "short.dat", c.serialize());
    ASSERT_EQ(store.load(dir / "short.dat", "/tmp"), 0);
    EXPECT_FALSE(store.record().lowSpaceWarning());
    EXPECT_EQ(store.record().warningThresholdMB(), 77);
    EXPECT_EQ(store.record().scratchFolder(), ""); // set up with no folder: the temporary folder
    EXPECT_EQ(store.record().autoHotSpotSizePercent(), 50);

    // 'DFLT' 103 as a parent atom instead of data: ignored on reading, replaced on saving.
    AtomContainer odd;
    AtomRef parent;
    ASSERT_EQ(odd.insertChild(AtomContainer::kRoot, fourCC("DFLT"), 103, 0, {}, &parent), 0);
    ASSERT_EQ(odd.insertChild(parent, fourCC("kid "), 1, 0, Bytes{1}), 0);
    spit(dir / "odd.dat", odd.serialize());
    ASSERT_EQ(store.load(dir / "odd.dat", "/tmp"), 0);
    EXPECT_EQ(store.record().creator(), fourCC("TVOD"));
    ASSERT_EQ(store.save(), 0);
    const AtomContainer back = parsed(dir / "odd.dat");
    EXPECT_EQ(back.data(back.findChildById(AtomContainer::kRoot, fourCC("DFLT"), 103)).size(), 1222u);

    // A folder where the file should be: defaults, no crash, and saving reports the failure.
    fs::create_directory(dir / "folder.dat");
    EXPECT_NE(store.load(dir / "folder.dat", "/tmp"), 0);
    EXPECT_NE(store.save(), 0);
}
