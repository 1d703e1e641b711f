#include <QCheckBox>
#include <QLineEdit>
#include <fstream>

#include "app/main_window.h"
#include "framework/command_ids.h"
#include "framework/scene_document.h"
#include "gui/shell_fixture.h"
#include "project/project_reader.h"
#include "project/project_writer.h"
#include "project/scene_defaults.h"
#include "quicktime/files/file_alias.h"
#include "scene/scene_window.h"

namespace qm {
namespace {

class DocumentTest : public test::ShellTest {
protected:
    // Edits every control of the settings page away from the defaults.
    void editEverything()
    {
        typeInto(410, "Harbour Walk");
        leaveField(410);
        choose(407, "Meters"); // 18 x 28, scale 1, divisions 4
        typeInto(405, "25");
        leaveField(405);
        typeInto(420, "5");
        leaveField(420);
        choose(408, "1:10");
        item<QCheckBox>(416)->click();
        choose(409, "135°");
        choose(411, "640 x 480");
        choose(412, "480 x 640");
    }

    void expectEverything(const Scene& s)
    {
        EXPECT_EQ(s.name.str(), "Harbour Walk");
        EXPECT_EQ(s.unitIndex, 13);
        EXPECT_EQ(s.mapWidth, 25);
        EXPECT_EQ(s.mapHeight, 28);
        EXPECT_EQ(s.scaleFactor, 10);
        EXPECT_EQ(s.backgroundGrid, (GridSettings{true, 4, false}));
        EXPECT_EQ(s.nodeGrid, (GridSettings{true, 5, true}));
        EXPECT_FLOAT_EQ(s.orientation, 135.0f);
        EXPECT_EQ(s.masterWidth, 640);
        EXPECT_EQ(s.masterHeight, 480);
        EXPECT_EQ(s.playbackWidth, 480);
        EXPECT_EQ(s.playbackHeight, 640);
    }

    void saveAs(const std::filesystem::path& file)
    {
        dialogs->saveAnswers.push_back(QString::fromStdString(file.string()));
        shell->runCommand(cmdSaveAs);
    }

    void open(const std::filesystem::path& file)
    {
        dialogs->openAnswers.push_back(QString::fromStdString(file.string()));
        shell->runCommand(cmdOpen);
    }
};

TEST_F(DocumentTest, EditsSurviveSaveAsAndReopening)
{
    newScene();
    editEverything();
    EXPECT_TRUE(document().isDirty());
    const auto file = path("harbour.qmp");
    saveAs(file);
    EXPECT_TRUE(dialogs->lastSaveFilters.startsWith("Quillmere Project Documents (*.qmp)"));
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(document().isDirty());
    EXPECT_EQ(test::shownTitle(shell->mainWindow()), "harbour.qmp — Quillmere");

    shell->runCommand(cmdClose);
    EXPECT_TRUE(test::testAlerts().shown().empty()); // clean: nothing to ask
    ASSERT_EQ(sceneWindow(), nullptr);
    open(file);
    ASSERT_NE(sceneWindow(), nullptr);
    expectEverything(scene());
    EXPECT_FALSE(document().isDirty());
    EXPECT_EQ(item<QLineEdit>(405)->text(), "25");
    EXPECT_EQ(item<QComboBox>(407)->currentText(), "Meters");
    EXPECT_EQ(item<QComboBox>(409)->currentText(), "135°");
    EXPECT_FALSE(item<QCheckBox>(416)->isChecked());
}

TEST_F(DocumentTest, SaveWritesToTheDocumentsFileAndAnAddedExtension)
{
    newScene();
    typeInto(410, "Plain");
    saveAs(path("plain")); // no extension typed: the chosen filter's is added
    ASSERT_TRUE(std::filesystem::exists(path("plain.qmp")));
    typeInto(405, "90");
    shell->runCommand(cmdSave);
    EXPECT_EQ(dialogs->asked, (QStringList{"Save As"})); // Save asked nothing more
    EXPECT_FALSE(document().isDirty());
    Scene reread;
    ASSERT_EQ(openProject(path("plain.qmp"), reread), 0);
    EXPECT_EQ(reread.mapWidth, 90);
}

TEST_F(DocumentTest, CloseWithYesSavesFirst)
{
    newScene();
    typeInto(410, "Saved On Close");
    test::testAlerts().queueAnswer(AlertButton::Yes);
    dialogs->saveAnswers.push_back(QString::fromStdString(path("close.qmp").string()));
    shell->runCommand(cmdClose);
    EXPECT_EQ(sceneWindow(), nullptr);
    Scene reread;
    ASSERT_EQ(openProject(path("close.qmp"), reread), 0);
    EXPECT_EQ(reread.name.str(), "Saved On Close");
}

TEST_F(DocumentTest, RevertRestoresTheSavedFile)
{
    newScene();
    editEverything();
    const auto file = path("revert.qmp");
    saveAs(file);
    typeInto(410, "Changed Again");
    choose(407, "Feet");
    QApplication::processEvents();
    EXPECT_TRUE(shell->mainWindow()->action(cmdRevert)->isEnabled());

    test::testAlerts().queueAnswer(AlertButton::No);
    shell->runCommand(cmdRevert);
    EXPECT_EQ(scene().name.str(), "Changed Again");
    EXPECT_EQ(test::testAlerts().shown().back().text,
              "Are you sure you want to revert to the most recently saved version of\n'revert.qmp'?");

    test::testAlerts().queueAnswer(AlertButton::Yes);
    shell->runCommand(cmdRevert);
    expectEverything(scene());
    EXPECT_FALSE(document().isDirty());
    EXPECT_EQ(item<QLineEdit>(410)->text(), "Harbour Walk");
    EXPECT_EQ(document().undoStack().count(), 0);
}

TEST_F(DocumentTest, ARevertThatCannotReadTheFileKeepsTheDocument)
{
    newScene();
    const auto file = path("gone.qmp");
    saveAs(file);
    typeInto(410, "Unsaved Work");
    std::ofstream(file, std::ios::trunc) << "not a project";
    test::testAlerts().queueAnswer(AlertButton::Yes);
    shell->runCommand(cmdRevert);
    ASSERT_EQ(test::testAlerts().shown().size(), 2u); // the question, then the error
    EXPECT_EQ(test::testAlerts().shown().back().icon, AlertIcon::Stop);
    ASSERT_NE(sceneWindow(), nullptr);
    EXPECT_EQ(scene().name.str(), "Unsaved Work");
    EXPECT_TRUE(document().isDirty());
}

TEST_F(DocumentTest, ATemplateOpensUntitledWithItsSettings)
{
    newScene();
    editEverything();
    const auto file = path("Office.QMT");
    saveAs(file);
    shell->runCommand(cmdClose);
    open(file);
    ASSERT_NE(sceneWindow(), nullptr);
    EXPECT_EQ(scene().name.str(), "Untitled Scene");
    EXPECT_EQ(test::shownTitle(shell->mainWindow()), "Untitled Scene — Quillmere");
    Scene expected = scene();
    expected.name = "Harbour Walk";
    expectEverything(expected);
    EXPECT_FALSE(document().isDirty());

    // Save asks for a name of its own rather than writing over the template.
    typeInto(410, "From Template");
    dialogs->saveAnswers.push_back(QString::fromStdString(path("own.qmp").string()));
    shell->runCommand(cmdSave);
    EXPECT_EQ(dialogs->asked.last(), "Save As");
    Scene templ;
    ASSERT_EQ(openProject(file, templ), 0);
    EXPECT_EQ(templ.name.str(), "Harbour Walk");
    EXPECT_EQ(test::shownTitle(shell->mainWindow()), "own.qmp — Quillmere");
}

TEST_F(DocumentTest, SaveErrorsAreReportedAndTheDocumentStaysDirty)
{
    newScene();
    typeInto(410, "Nowhere");
    saveAs(path("missing-folder") / "x.qmp");
    ASSERT_EQ(test::testAlerts().shown().size(), 1u);
    EXPECT_EQ(test::testAlerts().shown().back().icon, AlertIcon::Stop);
    // The report names the file it is about.
    EXPECT_EQ(test::testAlerts().shown().back().text,
              "File not found.(-43)\n\n" + (path("missing-folder") / "x.qmp").string());
    EXPECT_TRUE(document().isDirty());
}

TEST_F(DocumentTest, DamagedFilesAreReportedAndOpenNothing)
{
    startShell();
    const auto file = path("short.qmp");
    std::ofstream(file) << "QLMx";
    open(file);
    EXPECT_EQ(sceneWindow(), nullptr);
    ASSERT_EQ(test::testAlerts().shown().size(), 1u);
    EXPECT_NE(test::testAlerts().shown()[0].text.find(file.string()), std::string::npos)
        << test::testAlerts().shown()[0].text;
}

TEST_F(DocumentTest, UnresolvedMediaAsksAlert159AndCancelOpensNothing)
{
    const auto media = path("pano.mov");
    std::ofstream(media) << "media";
    Scene s = makeNewScene();
    Node node;
    node.kind = NodeKind::kPanorama;
    node.id = 1;
    node.mediaReference = FileAlias::forFile(media, temp.path()).serialize();
    s.nodes.push_back(node);
    const auto file = path("media.qmp");
    ASSERT_EQ(saveProject(s, file), 0);
    std::filesystem::remove(media);

    startShell();
    test::testAlerts().queueAnswer(AlertButton::Cancel);
    open(file);
    EXPECT_EQ(sceneWindow(), nullptr);
    ASSERT_EQ(test::testAlerts().shown().size(), 1u); // -128 itself is not reported
    EXPECT_EQ(test::testAlerts().shown()[0].stringId, 159);

    test::testAlerts().clear();
    test::testAlerts().queueAnswer(AlertButton::Ok);
    open(file);
    ASSERT_NE(sceneWindow(), nullptr);
    ASSERT_EQ(scene().nodes.size(), 1u);
    EXPECT_EQ(scene().nodes[0].kind, NodeKind::kGeneric);
    EXPECT_TRUE(document().isDirty());
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 3); // a generic node closes the compose page
}

TEST_F(DocumentTest, NodesWithoutIdsAreReportedOnce)
{
    Scene s = makeNewScene();
    for (int i = 0; i < 2; ++i) {
        Node node;
        node.kind = NodeKind::kStillImage;
        s.nodes.push_back(node);
    }
    const auto file = path("ids.qmp");
    ASSERT_EQ(saveProject(s, file), 0);
    startShell();
    open(file);
    ASSERT_NE(sceneWindow(), nullptr);
    ASSERT_EQ(test::testAlerts().shown().size(), 1u);
    EXPECT_EQ(test::testAlerts().shown()[0].text,
              "One or more nodes are missing information and may need to be removed.(201)");
    EXPECT_EQ(scene().nodes[0].id, 1);
    EXPECT_EQ(scene().nodes[1].id, 2);
}

TEST_F(DocumentTest, AStoredComposedMovieComesBackIntoTheScratchFolder)
{
    const auto movie = path("composed.mov");
    {
        std::ofstream out(movie, std::ios::binary);
        const char atoms[] = {0, 0, 0, 8, 'm', 'd', 'a', 't', 0, 0, 0, 8, 'm', 'o', 'o', 'v'};
        out.write(atoms, sizeof atoms);
    }
    const auto still = path("still.png");
    std::ofstream(still) << "png";
    Scene s = makeNewScene();
    Node node;
    node.kind = NodeKind::kStillImage;
    node.id = 1;
    node.mediaReference = FileAlias::forFile(still, temp.path()).serialize();
    s.nodes.push_back(node);
    s.composedMovieFile = movie;
    s.composedAt = 1700000000;
    const auto file = path("composed.qmp");
    ASSERT_EQ(saveProject(s, file), 0);

    const auto scratch = path("scratch");
    std::filesystem::create_directory(scratch);
    preferences.setScratchFolder(scratch.string());
    startShell();
    open(file);
    ASSERT_NE(sceneWindow(), nullptr);
    const auto copied = scene().composedMovieFile;
    EXPECT_EQ(copied.parent_path(), scratch);
    EXPECT_EQ(std::filesystem::file_size(copied), 16u);
    EXPECT_EQ(sceneWindow()->enabledTabCount(), 5);
    // The scene owns its scratch copy: closing the document deletes it.
    shell->runCommand(cmdClose);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(std::filesystem::exists(copied));
}

} // namespace
} // namespace qm
