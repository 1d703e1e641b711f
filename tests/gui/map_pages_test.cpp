// The node map and background pages driven with the mouse and keyboard. Every edit is checked
// on the scene and through Edit > Undo and Redo, which must give back the written project
// bytes exactly.
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QSpinBox>
#include <QToolButton>

#include "app/main_window.h"
#include "compose/scene_map_edit.h"
#include "framework/command_ids.h"
#include "framework/scene_document.h"
#include "gui/shell_fixture.h"
#include "project/project_writer.h"
#include "render/map_pictures.h"
#include "nodes/node_browser.h"
#include "scene/background_page.h"
#include "scene/map_area.h"
#include "scene/node_map_page.h"
#include "scene/scene_window.h"
#include "support/qtvr_fixtures.h"

namespace qm {
namespace {

class MapPagesTest : public test::ShellTest {
protected:
    Bytes projectBytes() const { return buildProjectContainer(scene()); }
    Scene& editable() { return document().editableScene(); }

    // A window large enough for the map points the tests use, laid out.
    void showLarge()
    {
        QWidget* main = shell->mainWindow();
        main->resize(1200, 900);
        main->show();
        QApplication::processEvents();
    }
    template <class Page>
    Page* openPage(int number)
    {
        if (sceneWindow()->currentPageNumber() != number) {
            EXPECT_TRUE(sceneWindow()->choosePage(number));
        }
        showLarge();
        return qobject_cast<Page*>(sceneWindow()->page());
    }
    NodeMapPage* nodeMap() { return openPage<NodeMapPage>(3); }
    BackgroundPage* background() { return openPage<BackgroundPage>(2); }
    MapArea* area() const { return items::item<MapArea>(sceneWindow(), sceneWindow()->currentPageNumber() == 2 ? 601 : 602); }

    void click(QPoint mapPoint, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(area(), Qt::LeftButton, modifiers, area()->toWidget(mapPoint));
    }
    void drag(QPoint from, QPoint to)
    {
        MapArea* a = area();
        QTest::mousePress(a, Qt::LeftButton, {}, a->toWidget(from));
        QTest::mouseMove(a, a->toWidget((from + to) / 2));
        QTest::mouseMove(a, a->toWidget(to));
        QTest::mouseRelease(a, Qt::LeftButton, {}, a->toWidget(to));
    }
    void pressItem(int id) { item<QAbstractButton>(id)->click(); }

    // Undo gives back `before`, Redo `after`, as written project bytes.
    void expectUndoRedo(const Bytes& before, const Bytes& after)
    {
        shell->runCommand(cmdUndo);
        EXPECT_EQ(projectBytes(), before) << "undo";
        shell->runCommand(cmdRedo);
        EXPECT_EQ(projectBytes(), after) << "redo";
    }

    Node plainNode(std::int16_t id, std::int16_t v, std::int16_t h)
    {
        Node n;
        n.id = id;
        n.name = "Node " + std::to_string(id);
        n.kind = NodeKind::kPanorama;
        n.mediaData = PanoramaSampleRecord{};
        n.mapPosition = {v, h};
        n.initial = id == 1;
        return n;
    }
    // A new scene (70 x 100 feet at 1:10, both grids shown and active at 8 divisions) with
    // nodes at the given (v, h) places; the document clean.
    void sceneWithNodes(std::initializer_list<QPoint> places)
    {
        newScene();
        std::int16_t id = 1;
        for (QPoint p : places)
            editable().nodes.push_back(plainNode(id++, std::int16_t(p.y()), std::int16_t(p.x())));
        document().notifyChanged();
    }
    QPoint at(std::int16_t id) const
    {
        const Node* n = findNode(scene(), id);
        return n ? QPoint(n->mapPosition.h, n->mapPosition.v) : QPoint(-1, -1);
    }
};

// The node grid's rule, worked out here: cell 72 / 8 = 9, nearest crossing, halves downwards.
int snapped(int x)
{
    const int rest = x % 9;
    return rest > 4 ? x - rest + 9 : x - rest;
}

TEST_F(MapPagesTest, AddImportsTwoMediaAt72AndUndoTakesThemAway)
{
    newScene();
    ASSERT_EQ(test::writePanorama2x(path("hall.mov"), {}), 0);
    ASSERT_TRUE(test::writeStillImage(path("plan.png"), fourCC("PNGf"), 64, 48));
    NodeMapPage* page = nodeMap();
    ASSERT_NE(page, nullptr);
    const Bytes empty = projectBytes();
    dialogs->openAnswers = {QString::fromStdString(path("hall.mov").string()),
                            QString::fromStdString(path("plan.png").string())};
    pressItem(436);
    const Bytes one = projectBytes();
    pressItem(436);
    const Bytes two = projectBytes();
    ASSERT_EQ(scene().nodes.size(), 2u) << test::testAlerts().shown().size();
    EXPECT_EQ(scene().nodes[0].kind, NodeKind::kPanorama);
    EXPECT_EQ(scene().nodes[1].kind, NodeKind::kStillImage);
    EXPECT_EQ(at(1), QPoint(72, 72));
    // The second lands on the first and moves right a grid cell at a time until 72 away.
    EXPECT_EQ(at(2), QPoint(144, 72));
    EXPECT_TRUE(scene().nodes[0].initial);
    EXPECT_FALSE(scene().nodes[1].initial);
    EXPECT_FALSE(scene().nodes[0].selected);
    EXPECT_TRUE(scene().nodes[1].selected);
    EXPECT_TRUE(document().isDirty());
    EXPECT_EQ(page->tool(), 1);

    shell->runCommand(cmdUndo);
    EXPECT_EQ(projectBytes(), one);
    shell->runCommand(cmdUndo);
    EXPECT_EQ(projectBytes(), empty);
    EXPECT_FALSE(document().isDirty());
    shell->runCommand(cmdRedo);
    shell->runCommand(cmdRedo);
    EXPECT_EQ(projectBytes(), two);
    EXPECT_TRUE(document().isDirty());

    // A cancelled chooser adds nothing and says nothing.
    dialogs->openAnswers = {QString()};
    pressItem(436);
    EXPECT_EQ(scene().nodes.size(), 2u);
    EXPECT_EQ(document().undoStack().count(), 2);
}

TEST_F(MapPagesTest, DragSnapsToTheNodeGridAndADropOnANodeIsSeparated)
{
    sceneWithNodes({{72, 72}, {216, 72}});
    nodeMap();
    const Bytes start = projectBytes();
    drag(QPoint(216, 72), QPoint(300, 150));
    EXPECT_EQ(at(2), QPoint(snapped(300), snapped(150)));
    EXPECT_EQ(at(2), QPoint(297, 153));
    const Bytes moved = projectBytes();
    expectUndoRedo(start, moved);
    EXPECT_EQ(document().undoStack().count(), 1);

    // Grabbed off-centre and dropped on node 1: snapped to (72, 72), then moved right a cell
    // at a time until it is 72 pixels away.
    drag(QPoint(297 + 5, 153 - 4), QPoint(72 + 5 + 2, 72 - 4 + 3));
    EXPECT_EQ(at(2), QPoint(144, 72));
    EXPECT_EQ(at(1), QPoint(72, 72));
    expectUndoRedo(moved, projectBytes());

    // A click moves nothing and makes no undo step.
    click(at(1));
    EXPECT_EQ(document().undoStack().count(), 2);
    EXPECT_TRUE(findNode(scene(), 1)->selected);
    EXPECT_FALSE(findNode(scene(), 2)->selected);
}

TEST_F(MapPagesTest, LinksOneWayAndBothWaysMakeAutomaticHotSpots)
{
    sceneWithNodes({{72, 72}, {216, 72}, {72, 216}});
    NodeMapPage* page = nodeMap();
    EXPECT_TRUE(item<QAbstractButton>(594)->isEnabled());
    EXPECT_FALSE(item<QAbstractButton>(596)->isEnabled()) << "no link to delete yet";
    const Bytes start = projectBytes();

    pressItem(594);
    EXPECT_EQ(page->tool(), 2);
    drag(at(1), at(2));
    ASSERT_EQ(findNode(scene(), 1)->hotSpots.size(), 1u);
    const HotSpot& h = findNode(scene(), 1)->hotSpots[0];
    EXPECT_EQ(h.destinationNodeId, 2);
    EXPECT_TRUE(h.autoGenerated);
    EXPECT_EQ(h.type, HotSpotType::kLink);
    EXPECT_TRUE(findNode(scene(), 2)->hotSpots.empty());
    const Bytes oneWay = projectBytes();
    expectUndoRedo(start, oneWay);

    // The same link again, or released on empty ground, does nothing.
    drag(at(1), at(2));
    drag(at(1), QPoint(300, 300));
    EXPECT_EQ(document().undoStack().count(), 1);

    // Both ways between nodes linked one way adds only the missing direction.
    pressItem(595);
    drag(at(2), at(1));
    EXPECT_EQ(findNode(scene(), 1)->hotSpots.size(), 1u);
    ASSERT_EQ(findNode(scene(), 2)->hotSpots.size(), 1u);
    EXPECT_EQ(findNode(scene(), 2)->hotSpots[0].destinationNodeId, 1);
    const Bytes back = projectBytes();
    expectUndoRedo(oneWay, back);

    drag(at(1), at(3));
    EXPECT_EQ(findNode(scene(), 1)->hotSpots.size(), 2u);
    ASSERT_EQ(findNode(scene(), 3)->hotSpots.size(), 1u);
    EXPECT_TRUE(findNode(scene(), 3)->hotSpots[0].autoGenerated);
    expectUndoRedo(back, projectBytes());
    EXPECT_EQ(countLinks(scene()), 4);
}

TEST_F(MapPagesTest, DeleteLinkToolTakesBothOverlappingLinksInOneStep)
{
    sceneWithNodes({{72, 72}, {288, 72}});
    nodeMap();
    pressItem(595);
    drag(at(1), at(2));
    ASSERT_EQ(countLinks(scene()), 2);
    const Bytes linked = projectBytes();
    pressItem(596);
    click(QPoint(180, 74)); // on both arrows, 2 pixels off the line
    EXPECT_EQ(countLinks(scene()), 0);
    EXPECT_EQ(document().undoStack().count(), 2);
    expectUndoRedo(linked, projectBytes());
    // With no link left the tool falls back to 1.
    QTest::qWait(80);
    EXPECT_FALSE(item<QAbstractButton>(596)->isEnabled());
}

TEST_F(MapPagesTest, DeletingTheInitialNodeWithBackspace)
{
    sceneWithNodes({{72, 72}, {216, 72}, {72, 216}});
    nodeMap();
    pressItem(595);
    drag(at(2), at(1));
    drag(at(3), at(2));
    pressItem(593);
    const Bytes before = projectBytes();
    click(at(1));
    QTest::keyClick(area(), Qt::Key_Backspace);
    ASSERT_EQ(scene().nodes.size(), 2u);
    EXPECT_EQ(findNode(scene(), 1), nullptr);
    EXPECT_TRUE(findNode(scene(), 2)->initial);
    for (const Node& n : scene().nodes)
        for (const HotSpot& h : n.hotSpots)
            EXPECT_NE(h.destinationNodeId, 1);
    EXPECT_EQ(countLinks(scene()), 2); // 2 <-> 3 stay
    expectUndoRedo(before, projectBytes());
}

TEST_F(MapPagesTest, SelectAllThenDeleteEmptiesTheMapInOneStep)
{
    sceneWithNodes({{72, 72}, {216, 72}, {72, 216}});
    nodeMap();
    const Bytes before = projectBytes();
    shell->runCommand(cmdSelectAll);
    EXPECT_EQ(countSelectedNodes(scene()), 3);
    shell->runCommand(cmdDelete);
    EXPECT_TRUE(scene().nodes.empty());
    EXPECT_EQ(document().undoStack().count(), 1);
    expectUndoRedo(before, projectBytes());
    EXPECT_FALSE(item<QAbstractButton>(437)->isEnabled());
}

TEST_F(MapPagesTest, DoubleClickAndBrowseAskForTheNodeBrowser)
{
    sceneWithNodes({{72, 72}, {216, 72}});
    nodeMap();
    QList<int> asked;
    QObject::connect(sceneWindow(), &SceneWindow::nodeBrowserRequested, [&](std::int16_t id) { asked << id; });
    click(at(2));
    QTest::mouseDClick(area(), Qt::LeftButton, {}, area()->toWidget(at(2)));
    EXPECT_EQ(asked, QList<int>{2});
    NodeBrowser* browser = NodeBrowser::browserOf(document());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->currentNodeId(), 2);
    click(at(1));
    pressItem(437);
    EXPECT_EQ(asked, (QList<int>{2, 1}));
    EXPECT_EQ(NodeBrowser::browserOf(document()), browser);
    EXPECT_EQ(browser->currentNodeId(), 1);
    browser->close();
}

// Background page

class BackgroundPageTest : public MapPagesTest {
protected:
    void SetUp() override
    {
        MapPagesTest::SetUp();
        newScene();
        page = background();
        ASSERT_NE(page, nullptr);
    }
    void noGrid() { editable().backgroundGrid.active = false; }
    const MapObject& last() const { return scene().mapObjects.back(); }
    BackgroundPage* page = nullptr;
};

TEST_F(BackgroundPageTest, EachDrawingToolMakesItsObjectInOneStep)
{
    noGrid();
    const struct {
        int item, kind;
    } tools[] = {{445, 2}, {444, 3}, {443, 4}, {449, 6}, {448, 7}, {447, 8}};
    for (const auto& t : tools) {
        const Bytes before = projectBytes();
        pressItem(t.item);
        EXPECT_EQ(page->tool(), t.kind);
        drag(QPoint(100, 100), QPoint(50, 60));
        ASSERT_FALSE(scene().mapObjects.empty());
        const MapObject& o = last();
        EXPECT_EQ(o.kind, t.kind);
        if (t.kind == 2 || t.kind == 6) // lines and arcs keep the corners as dragged
            EXPECT_EQ(o.bounds, (Rect{100, 100, 60, 50})) << t.kind;
        else // normalised and widened by one
            EXPECT_EQ(o.bounds, (Rect{60, 50, 101, 101})) << t.kind;
        EXPECT_EQ(o.penStyle, 1);
        EXPECT_EQ(o.fillStyle, (t.kind == 7 || t.kind == 8) ? 1 : 0);
        EXPECT_EQ(o.drawingValues[0], 1);
        EXPECT_TRUE(o.selected);
        EXPECT_EQ(page->tool(), 1);
        expectUndoRedo(before, projectBytes());
    }
    EXPECT_EQ(document().undoStack().count(), 6);
    // A click without movement makes nothing.
    pressItem(444);
    click(QPoint(300, 300));
    EXPECT_EQ(scene().mapObjects.size(), 6u);
}

TEST_F(BackgroundPageTest, CornersSnapToTheBackgroundGrid)
{
    // Shown and active at 8 divisions: step 9; 22 moves to 18, 23 to 27.
    pressItem(444);
    drag(QPoint(22, 23), QPoint(23, 22));
    ASSERT_EQ(scene().mapObjects.size(), 1u);
    EXPECT_EQ(last().bounds, (Rect{18, 18, 27 + 1, 27 + 1}));
}

TEST_F(BackgroundPageTest, NewObjectsTakeTheAttributesTheControlsShow)
{
    noGrid();
    // Nothing selected: the values become the defaults and change no object.
    dialogs->colourAnswers = {RGBColor{0xFFFF, 0, 0}, RGBColor{0, 0, 0xFFFF}};
    pressItem(426);
    pressItem(429);
    test::onNextModal([](QDialog* d) {
        auto* list = d->findChild<QListWidget*>(QStringLiteral("item587"));
        list->setCurrentRow(2);
        test::clickItem(d, 1);
    });
    pressItem(427);
    EXPECT_EQ(document().undoStack().count(), 0);
    EXPECT_EQ(page->shownAttributes().penSize, 3);
    EXPECT_EQ(sceneWindow()->mapDefaults().penColor, (RGBColor{0xFFFF, 0, 0}));

    pressItem(448);
    drag(QPoint(40, 40), QPoint(140, 90));
    ASSERT_EQ(scene().mapObjects.size(), 1u);
    EXPECT_EQ(last().penColor, (RGBColor{0xFFFF, 0, 0}));
    EXPECT_EQ(last().fillColor, (RGBColor{0, 0, 0xFFFF}));
    EXPECT_EQ(last().penSize, 3);

    // With a selection the value goes to the selected objects, one step.
    const Bytes before = projectBytes();
    dialogs->colourAnswers = {RGBColor{0, 0x8000, 0}};
    pressItem(429);
    EXPECT_EQ(last().fillColor, (RGBColor{0, 0x8000, 0}));
    EXPECT_EQ(sceneWindow()->mapDefaults().fillColor, (RGBColor{0, 0, 0xFFFF}));
    EXPECT_EQ(document().undoStack().count(), 2);
    expectUndoRedo(before, projectBytes());
}

TEST_F(BackgroundPageTest, TextTypedAndEditedAgain)
{
    pressItem(450);
    click(QPoint(200, 150));
    QPlainTextEdit* editor = page->textEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "Hall");
    QTest::keyClick(editor, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(page->textEditor(), nullptr);
    ASSERT_EQ(scene().mapObjects.size(), 1u);
    ASSERT_TRUE(last().text.has_value());
    EXPECT_EQ(last().kind, MapObjectKind::kText);
    EXPECT_EQ(last().text->text, "Hall");
    EXPECT_EQ(last().bounds.left, 200);
    EXPECT_EQ(last().bounds.top, 150);
    EXPECT_EQ(page->tool(), 1);
    const Bytes typed = projectBytes();

    QTest::mouseDClick(area(), Qt::LeftButton, {}, area()->toWidget(QPoint(203, 153)));
    editor = page->textEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->toPlainText(), "Hall");
    QTest::keyClicks(editor, " B");
    click(QPoint(400, 400)); // ends the editing
    EXPECT_EQ(last().text->text, "Hall B");
    EXPECT_EQ(document().undoStack().count(), 2);
    expectUndoRedo(typed, projectBytes());
    shell->runCommand(cmdUndo);
    shell->runCommand(cmdUndo);
    EXPECT_TRUE(scene().mapObjects.empty());
}

TEST_F(BackgroundPageTest, LayersReorderTheObjects)
{
    noGrid();
    pressItem(444);
    drag(QPoint(10, 10), QPoint(60, 60));
    pressItem(448);
    drag(QPoint(30, 30), QPoint(90, 90));
    ASSERT_EQ(scene().mapObjects.size(), 2u);
    const Bytes before = projectBytes();
    EXPECT_EQ(item<QSpinBox>(607)->value(), 3);
    item<QSpinBox>(607)->setValue(1); // the filled rectangle goes beneath
    EXPECT_EQ(scene().mapObjects[0].kind, MapObjectKind::kFilledRectangle);
    EXPECT_EQ(scene().mapObjects[1].kind, MapObjectKind::kRectangle);
    expectUndoRedo(before, projectBytes());
}

TEST_F(BackgroundPageTest, CopyAndPasteBetweenTwoScenesKeepEveryField)
{
    Scene& s = editable();
    MapObject arc;
    arc.kind = MapObjectKind::kArc;
    arc.secondValue = 2;
    arc.bounds = {10, 20, 80, 90};
    arc.secondRect = {1, 2, 3, 4};
    arc.penStyle = 1;
    arc.penSize = 4;
    arc.penColor = {0x1111, 0x2222, 0x3333};
    arc.fillStyle = 1;
    arc.fillColor = {0x4444, 0x5555, 0x6666};
    arc.drawingValues = {7, 8, 9, 10};
    MapObject text;
    text.kind = MapObjectKind::kText;
    text.secondValue = 3;
    text.bounds = {100, 100, 120, 180};
    text.penStyle = 1;
    text.penSize = 1;
    text.drawingValues = {1, 0, 0, 0};
    text.text = MapObjectText{0, 4, {100, 100, 120, 180}, {100, 100, 120, 180}, "Gate", Bytes{0, 1, 2, 3}};
    MapObject picture;
    picture.kind = MapObjectKind::kPicture;
    picture.secondValue = 3;
    picture.bounds = {200, 200, 210, 220};
    picture.drawingValues = {1, 0, 0, 0};
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    picture.data = mapPictureData(image);
    s.mapObjects = {arc, text, picture};
    document().notifyChanged();

    shell->runCommand(cmdSelectAll);
    shell->runCommand(cmdCopy);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_TRUE(mime->hasFormat(QStringLiteral("QMP Background")));
    EXPECT_TRUE(mime->hasImage()) << "the picture goes beside the objects, not instead of them";
    std::vector<MapObject> copied = scene().mapObjects;

    // Another scene: close this one without saving, make a new one.
    test::testAlerts().queueAnswer(AlertButton::No); // do not save
    shell->runCommand(cmdClose);
    newScene();
    page = background();
    const Bytes empty = projectBytes();
    shell->runCommand(cmdPaste);
    ASSERT_EQ(scene().mapObjects.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(scene().mapObjects[i].selected);
        EXPECT_EQ(scene().mapObjects[i], copied[i]) << i;
    }
    expectUndoRedo(empty, projectBytes());

    // Cut takes them away and keeps them on the clipboard.
    const Bytes pasted = projectBytes();
    shell->runCommand(cmdCut);
    EXPECT_TRUE(scene().mapObjects.empty());
    expectUndoRedo(pasted, projectBytes());
    shell->runCommand(cmdPaste);
    EXPECT_EQ(scene().mapObjects.size(), 3u);
}

TEST_F(BackgroundPageTest, APastedBitmapBecomesAPictureObject)
{
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(QColor(250, 120, 0));
    image.setPixel(3, 4, qRgb(0, 0, 255));
    QGuiApplication::clipboard()->setImage(image);
    const Bytes before = projectBytes();
    shell->runCommand(cmdPaste);
    ASSERT_EQ(scene().mapObjects.size(), 1u);
    const MapObject& o = last();
    EXPECT_EQ(o.kind, MapObjectKind::kPicture);
    EXPECT_EQ(o.bounds.width(), 30);
    EXPECT_EQ(o.bounds.height(), 20);
    const QImage back = mapPictureImage(o.data);
    ASSERT_EQ(back.size(), image.size());
    EXPECT_EQ(back.pixel(3, 4), qRgb(0, 0, 255));
    EXPECT_EQ(back.pixel(10, 10), qRgb(250, 120, 0));
    expectUndoRedo(before, projectBytes());
}

TEST_F(BackgroundPageTest, SelectMoveAndDeleteObjects)
{
    noGrid();
    pressItem(444);
    drag(QPoint(10, 10), QPoint(60, 60));
    pressItem(446);
    const Bytes drawn = projectBytes();
    click(QPoint(400, 400));
    EXPECT_FALSE(last().selected);
    drag(QPoint(10, 30), QPoint(110, 50));
    EXPECT_EQ(last().bounds, (Rect{30, 110, 81, 161}));
    const Bytes moved = projectBytes();
    expectUndoRedo(drawn, moved);
    QTest::keyClick(area(), Qt::Key_Delete);
    EXPECT_TRUE(scene().mapObjects.empty());
    expectUndoRedo(moved, projectBytes());
}

} // namespace
} // namespace qm
