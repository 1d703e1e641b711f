#include "quicktime/files/file_alias.h"

#include <gtest/gtest.h>

#include <fstream>

#include "quicktime/base/errors.h"
#include "support/test_paths.h"

using namespace qm;
using qm::test::TempDir;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// A classic (version 2) alias record as the Alias Manager lays it out: 150-byte fixed part,
// then tagged extra data ending with tag -1.
Bytes classicAlias(const std::string& fileName, const std::vector<std::pair<std::int16_t, Bytes>>& tags)
{
    ByteWriter w;
    w.u32(0);
    w.u16(0); // record size, patched below
    w.u16(2);
    w.u16(0);
    w.pascalString("Macintosh HD", 28);
    w.u32(0);
    w.u16(0x482B);
    w.u16(0);
    w.u32(12345);
    w.pascalString(fileName, 64);
    w.u32(0xFFFFFFFF);
    w.u32(0);
    w.type(fourCC("MooV"));
    w.type(fourCC("TVOD"));
    w.i16(-1);
    w.i16(-1);
    w.u32(0);
    w.u16(0);
    w.zeros(10);
    for (auto& [tag, data] : tags) {
        w.i16(tag);
        w.u16(std::uint16_t(data.size()));
        w.bytes(data);
        if (data.size() & 1)
            w.u8(0);
    }
    w.i16(-1);
    w.u16(0);
    w.putU16At(4, std::uint16_t(w.size()));
    return w.take();
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

} // namespace

TEST(FileAlias, FindsTheFileRelativeFirstThenAbsolute)
{
    TempDir dir;
    touch(dir / "project" / "media" / "pano.mov");
    Bytes bytes = FileAlias::forFile(dir / "project" / "media" / "pano.mov", dir / "project").serialize();

    FileAlias alias;
    ASSERT_EQ(FileAlias::parse(bytes, alias), err::noErr);
    EXPECT_EQ(alias.relativePath(), "media/pano.mov");
    EXPECT_EQ(alias.fileName(), "pano.mov");
    fs::path found;
    bool updated = true;
    ASSERT_EQ(alias.resolve(dir / "project", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "project" / "media" / "pano.mov");
    EXPECT_FALSE(updated);

    // A copy of the project elsewhere with its own media: the relative path wins over the
    // absolute one that still exists.
    touch(dir / "copy" / "media" / "pano.mov");
    ASSERT_EQ(FileAlias::parse(bytes, alias), err::noErr);
    ASSERT_EQ(alias.resolve(dir / "copy", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "copy" / "media" / "pano.mov");
    EXPECT_TRUE(updated);
    EXPECT_EQ(alias.absolutePath(), (dir / "copy" / "media" / "pano.mov").generic_string());

    // Project moved away from its media: the absolute path finds it, the relative is renewed.
    ASSERT_EQ(FileAlias::parse(bytes, alias), err::noErr);
    fs::create_directories(dir / "elsewhere" / "deep");
    ASSERT_EQ(alias.resolve(dir / "elsewhere" / "deep", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "project" / "media" / "pano.mov");
    EXPECT_TRUE(updated);
    EXPECT_EQ(alias.relativePath(), "../../project/media/pano.mov");

    fs::remove_all(dir / "project");
    fs::remove_all(dir / "copy");
    ASSERT_EQ(FileAlias::parse(bytes, alias), err::noErr);
    EXPECT_EQ(alias.resolve(dir / "elsewhere", found, updated), err::fnfErr);
    EXPECT_FALSE(updated);

    // Last resort: a file of that name beside the project.
    touch(dir / "elsewhere" / "pano.mov");
    ASSERT_EQ(alias.resolve(dir / "elsewhere", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "elsewhere" / "pano.mov");
}

TEST(FileAlias, AFolderIsNotTheFile)
{
    TempDir dir;
    fs::create_directories(dir / "media" / "pano.mov");
    FileAlias alias = FileAlias::forFile(dir / "media" / "pano.mov", dir.path());
    fs::path found;
    bool updated;
    EXPECT_EQ(alias.resolve(dir.path(), found, updated), err::fnfErr);
}

TEST(FileAlias, ClassicRecordsResolveByPosixPathOrByNameNearTheProject)
{
    TempDir dir;
    touch(dir / "shoot" / "Lobby.mov");
    std::string posix = (dir / "shoot" / "Lobby.mov").relative_path().generic_string();
    Bytes unicodeName = {0, 9};
    for (char c : std::string("Lobby.mov")) {
        unicodeName.push_back(0);
        unicodeName.push_back(std::uint8_t(c));
    }
    Bytes record = classicAlias("Lobby.mov", {{0, text("shoot")},
                                              {2, text("Macintosh HD:Users:me:shoot:Lobby.mov")},
                                              {14, unicodeName},
                                              {18, text(posix)},
                                              {19, text("/")}});
    FileAlias alias;
    ASSERT_EQ(FileAlias::parse(record, alias), err::noErr);
    EXPECT_TRUE(alias.isClassic());
    EXPECT_EQ(alias.fileName(), "Lobby.mov");
    fs::path found;
    bool updated = false;
    ASSERT_EQ(alias.resolve(dir / "project", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "shoot" / "Lobby.mov");
    EXPECT_TRUE(updated); // a resolved classic record is rewritten in our form
    FileAlias ours;
    ASSERT_EQ(FileAlias::parse(alias.serialize(), ours), err::noErr);
    EXPECT_FALSE(ours.isClassic());

    // A record from a Mac whose paths mean nothing here: found by its folder and name under
    // the project's folder.
    Bytes foreign = classicAlias("Caf\x8E.mov", {{0, text("shoot")}, {2, text("HD:Users:me:shoot:Caf\x8E.mov")}});
    ASSERT_EQ(FileAlias::parse(foreign, alias), err::noErr);
    EXPECT_EQ(alias.fileName(), "Caf\xC3\xA9.mov"); // Mac Roman é
    touch(dir / "project" / "shoot" / "Caf\xC3\xA9.mov");
    ASSERT_EQ(alias.resolve(dir / "project", found, updated), err::noErr);
    EXPECT_EQ(found, dir / "project" / "shoot" / "Caf\xC3\xA9.mov");
}

TEST(FileAlias, DamagedRecordsAreRefusedWithoutReadingPastThem)
{
    FileAlias alias;
    EXPECT_EQ(FileAlias::parse({}, alias), err::paramErr);
    EXPECT_EQ(FileAlias::parse(Bytes(149, 0), alias), err::paramErr);
    Bytes ours = FileAlias::forFile("/a/b/c.mov", {}).serialize();
    for (std::size_t n = 0; n < ours.size(); ++n)
        EXPECT_EQ(FileAlias::parse(std::span(ours).first(n), alias), err::paramErr) << n;
    Bytes classic = classicAlias("x.mov", {{18, text("a/x.mov")}});
    classic[152] = 0xFF; // a tag length far past the end: the tags are dropped, the name stays
    ASSERT_EQ(FileAlias::parse(classic, alias), err::noErr);
    EXPECT_EQ(alias.fileName(), "x.mov");
    Bytes wrongVersion = classicAlias("x.mov", {});
    wrongVersion[7] = 3;
    EXPECT_EQ(FileAlias::parse(wrongVersion, alias), err::paramErr);
}
