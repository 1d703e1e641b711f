// Saving: the composed movie travels inside the document and comes back into a scratch file;
// a failed save leaves the previous document as it was; media aliases follow the document.
#include <gtest/gtest.h>

#include "project/project_format.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "quicktime/base/errors.h"
#include "quicktime/files/file_alias.h"
#include "support/test_paths.h"
#include "test_scenes.h"

using namespace qm;
using qm::test::TempDir;

namespace {

// A stand-in for a flattened movie: media data first, the movie atom after it.
Bytes fakeMovie()
{
    ByteWriter w;
    w.u32(8 + 92);
    w.type(fourCC("mdat"));
    for (int i = 0; i < 92; ++i)
        w.u8(std::uint8_t(i * 7));
    w.u32(8 + 52);
    w.type(fourCC("moov"));
    w.zeros(52);
    return w.take();
}

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> out;
    for (auto& e : std::filesystem::directory_iterator(folder))
        out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

struct ComposedProject {
    TempDir dir;
    std::filesystem::path file;
    Bytes movie = fakeMovie();
    ComposedProject()
    {
        file = dir / "c.qmp";
        Scene s = makeNewScene();
        s.composedAt = 1234;
        s.composedMovieFile = dir / "t1.tmp";
        test::writeFile(s.composedMovieFile, movie);
        EXPECT_EQ(saveProject(s, file), err::noErr);
    }
    ProjectReadOptions scratchInDir()
    {
        ProjectReadOptions o;
        o.scratchFile = [this](std::filesystem::path& out) {
            out = dir / "scratch.tmp";
            return err::noErr;
        };
        return o;
    }
};

} // namespace

TEST(ProjectComposedMovie, TheMovieIsStoredFirstAndComesBackIntoAScratchFile)
{
    ComposedProject p;
    Bytes file = test::readFile(p.file);
    ASSERT_GT(file.size(), p.movie.size() + project::kTrailerSize);
    EXPECT_TRUE(std::equal(p.movie.begin(), p.movie.end(), file.begin()));
    project::Trailer trailer;
    ASSERT_EQ(project::parseTrailer(std::span(file).last<project::kTrailerSize>(), trailer), err::noErr);
    EXPECT_EQ(trailer.movieOffset, 100u); // the 'moov' atom
    EXPECT_EQ(trailer.containerOffset, p.movie.size());

    Scene s;
    ASSERT_EQ(openProject(p.file, s, p.scratchInDir()), err::noErr);
    EXPECT_EQ(s.composedMovieFile, p.dir / "scratch.tmp");
    EXPECT_EQ(test::readFile(s.composedMovieFile), p.movie);
    EXPECT_EQ(s.composedAt, 1234u);

    // Saving the reopened scene stores the same movie again.
    ASSERT_EQ(saveProject(s, p.dir / "again.qmp"), err::noErr);
    EXPECT_EQ(test::readFile(p.dir / "again.qmp"), file);
    disposeScene(s);
    EXPECT_FALSE(std::filesystem::exists(p.dir / "scratch.tmp"));
}

TEST(ProjectComposedMovie, TheExtractorSeamGetsTheMovieAndItsProgressTexts)
{
    ComposedProject p;
    ProjectReadOptions o = p.scratchInDir();
    EmbeddedMovie seen;
    o.extractMovie = [&](const EmbeddedMovie& m) {
        seen = m;
        return err::noErr;
    };
    Scene s;
    ASSERT_EQ(openProject(p.file, s, o), err::noErr);
    EXPECT_EQ(seen.projectFile, p.file);
    EXPECT_EQ(seen.movieOffset, 100u);
    EXPECT_EQ(seen.containerOffset, p.movie.size());
    EXPECT_EQ(seen.trailerOffset, std::filesystem::file_size(p.file) - project::kTrailerSize);
    EXPECT_EQ(seen.scratchFile, p.dir / "scratch.tmp");
    EXPECT_EQ(seen.progressTitle, "Opening ...");
    EXPECT_EQ(seen.progressMessage, "File 'c.qmp'");

    ProjectReadOptions skip;
    skip.extractComposedMovie = false;
    ASSERT_EQ(openProject(p.file, s, skip), err::noErr);
    EXPECT_TRUE(s.composedMovieFile.empty());
}

TEST(ProjectComposedMovie, ABrokenMovieStillOpensTheSceneAndCancelDoesNot)
{
    ComposedProject p;
    Bytes file = test::readFile(p.file);
    storeBE32(&file[file.size() - project::kTrailerSize + 16], 12); // no 'moov' there
    test::writeFile(p.dir / "broken.qmp", file);
    HeadlessProjectReaderUi ui;
    ProjectReadOptions o = p.scratchInDir();
    o.ui = &ui;
    Scene s;
    ASSERT_EQ(openProject(p.dir / "broken.qmp", s, o), err::noErr);
    EXPECT_TRUE(s.composedMovieFile.empty());
    EXPECT_EQ(s.composedAt, 0u);
    ASSERT_EQ(ui.reports().size(), 1u);
    EXPECT_EQ(ui.reports()[0].code, err::noMovieFound);
    EXPECT_FALSE(std::filesystem::exists(p.dir / "scratch.tmp"));

    // A movie offset past the end of the file.
    storeBE32(&file[file.size() - project::kTrailerSize + 16], 0x7FFFFFF0);
    test::writeFile(p.dir / "broken.qmp", file);
    ASSERT_EQ(openProject(p.dir / "broken.qmp", s, o), err::noErr);
    EXPECT_TRUE(s.composedMovieFile.empty());

    o.progress = [](std::string_view, std::string_view, int) { return false; };
    s.name = "sentinel";
    EXPECT_EQ(openProject(p.file, s, o), err::userCanceledErr);
    EXPECT_EQ(s.name, "sentinel");
    EXPECT_FALSE(std::filesystem::exists(p.dir / "scratch.tmp"));
}

TEST(ProjectSafeSave, AFailedSaveLeavesThePreviousDocumentAndNoTemporaryFile)
{
    TempDir dir;
    auto file = dir / "doc.qmp";
    Scene scene = makeNewScene();
    scene.name = "First";
    ASSERT_EQ(saveProject(scene, file), err::noErr);
    Bytes before = test::readFile(file);
    auto listing = filesIn(dir.path());

    // The composed movie file has gone missing.
    scene.name = "Second";
    scene.dirty = true;
    scene.composedMovieFile = dir / "gone.tmp";
    EXPECT_EQ(saveProject(scene, file), err::fnfErr);
    EXPECT_TRUE(scene.dirty);
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(filesIn(dir.path()), listing);

    // Cancelled while the movie was being copied in.
    test::writeFile(dir / "movie.tmp", fakeMovie());
    listing = filesIn(dir.path());
    scene.composedMovieFile = dir / "movie.tmp";
    ProjectWriteOptions cancel;
    cancel.progress = [](std::string_view, std::string_view, int) { return false; };
    EXPECT_EQ(saveProject(scene, file, cancel), err::userCanceledErr);
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(filesIn(dir.path()), listing);

    // A folder that does not exist.
    EXPECT_EQ(saveProject(scene, dir / "no" / "doc.qmp"), err::fnfErr);
}

TEST(ProjectSafeSave, ALinkedDocumentIsWrittenThroughItsLink)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "real");
    Scene scene = makeNewScene();
    ASSERT_EQ(saveProject(scene, dir / "real" / "doc.qmp"), err::noErr);
    std::filesystem::create_symlink(dir / "real" / "doc.qmp", dir / "link.qmp");
    scene.name = "Through the link";
    ASSERT_EQ(saveProject(scene, dir / "link.qmp"), err::noErr);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.qmp"));
    Scene back;
    ASSERT_EQ(openProject(dir / "real" / "doc.qmp", back), err::noErr);
    EXPECT_EQ(back.name, "Through the link");
}

TEST(ProjectSafeSave, SaveAsElsewhereMakesAliasesRelativeToTheNewFolder)
{
    TempDir dir;
    Scene scene = makeNewScene();
    Node n;
    n.id = 1;
    n.kind = NodeKind::kStillImage;
    test::writeFile(dir / "media" / "a.png", Bytes{1});
    n.mediaReference = FileAlias::forFile(dir / "media" / "a.png", dir / "first").serialize();
    scene.nodes.push_back(n);
    std::filesystem::create_directories(dir / "first");
    ASSERT_EQ(saveProject(scene, dir / "first" / "p.qmp"), err::noErr);
    std::filesystem::create_directories(dir / "second" / "deeper");
    ASSERT_EQ(saveProject(scene, dir / "second" / "deeper" / "p.qmp"), err::noErr);
    FileAlias alias;
    ASSERT_EQ(FileAlias::parse(scene.nodes[0].mediaReference, alias), 0);
    EXPECT_EQ(alias.relativePath(), "../../media/a.png");

    // Document and media move together: found through the relative path.
    std::filesystem::create_directories(dir / "moved");
    std::filesystem::rename(dir / "second", dir / "moved" / "second");
    std::filesystem::rename(dir / "media", dir / "moved" / "media");
    HeadlessProjectReaderUi ui;
    ProjectReadOptions o;
    o.ui = &ui;
    Scene back;
    ASSERT_EQ(openProject(dir / "moved" / "second" / "deeper" / "p.qmp", back, o), err::noErr);
    EXPECT_EQ(ui.confirmations(), 0);
    EXPECT_EQ(back.nodes[0].kind, NodeKind::kStillImage);
}
