// The node browser driven as a user would: mouse events on the Hot Spots view, clicks and typing
// on the Properties page; every edit checked in the scene and on the undo stack.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

#include "appcore/alert_service.h"
#include "appcore/progress.h"
#include "compose/composer.h"
#include "compose/working_copies.h"
#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "project/scene_defaults.h"
#include "framework/scene_document.h"
#include "gui/gui_test_environment.h"
#include "gui/shell_fixture.h"
#include "media/node_import.h"
#include "nodes/hot_spot_view.h"
#include "nodes/hot_spots_page.h"
#include "nodes/node_browser.h"
#include "nodes/node_properties_page.h"
#include "quicktime/raster/raster_geometry.h"
#include "support/ffprobe_oracle.h"
#include "support/qtvr_fixtures.h"
#include "support/test_paths.h"

namespace qm {
namespace {

class NodeBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        alerts().setPresenter(test::testAlerts());
        auto scripted = std::make_unique<test::ScriptedDialogs>();
        dialogs = scripted.get();
        StandardDialogs::install(std::move(scripted));
        ASSERT_EQ(test::writePanorama2x(temp / "pano.mov", {}), 0);
        test::Object2xFixture object;
        object.record.animationSettings = 1;
        object.record.frameRate = 12.0f;
        ASSERT_EQ(test::writeObject2x(temp / "object.mov", object), 0);
        QApplication::setStartDragDistance(2);
        Scene scene = makeNewScene();
        scene.projectFile = temp / "Test.qmp";
        panoId = add(scene, temp / "pano.mov", {100, 100});
        objectId = add(scene, temp / "object.mov", {100, 300});
        Node generic;
        generic.id = nextFreeNodeId(scene);
        generic.name = "Nothing yet";
        scene.nodes.push_back(generic);
        genericId = generic.id;
        doc = std::make_unique<SceneDocument>(std::move(scene));
    }

    void TearDown() override
    {
        if (NodeBrowser* b = NodeBrowser::browserOf(*doc))
            b->close();
        QApplication::processEvents();
        doc.reset();
        QApplication::processEvents();
        StandardDialogs::install(nullptr);
    }

    static std::int16_t add(Scene& scene, const std::filesystem::path& file, Point at)
    {
        std::int16_t id = 0;
        EXPECT_EQ(AddNodeFromFile(scene, at, file, false, {}, &id), 0);
        return id;
    }

    NodeBrowser* open(std::int16_t id)
    {
        NodeBrowser* b = openNodeBrowser(*doc, id);
        EXPECT_NE(b, nullptr);
        return b;
    }

    HotSpotsPage* hotSpots(std::int16_t id)
    {
        NodeBrowser* b = open(id);
        b->tabs()->setCurrentIndex(1);
        HotSpotsPage* page = b->hotSpotsPage();
        EXPECT_NE(page, nullptr);
        page->imageView()->geometry();
        return page;
    }

    const Node& node(std::int16_t id) const { return *findNode(doc->scene(), id); }

    // A native image point as a view point.
    QPoint at(HotSpotsPage* page, int h, int v)
    {
        const Point p = page->imageView()->geometry().toView(Point{std::int16_t(v), std::int16_t(h)});
        return QPoint(p.h, p.v);
    }

    void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, mods);
        QApplication::sendEvent(w, &e);
    }
    void press(HotSpotsPage* page, QPoint p) { send(page->imageView(), QEvent::MouseButtonPress, p, Qt::LeftButton); }
    void release(HotSpotsPage* page, QPoint p) { send(page->imageView(), QEvent::MouseButtonRelease, p, Qt::NoButton); }
    void drag(HotSpotsPage* page, QPoint from, QPoint to)
    {
        press(page, from);
        send(page->imageView(), QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        send(page->imageView(), QEvent::MouseMove, to, Qt::LeftButton);
        release(page, to);
    }
    void doubleClick(HotSpotsPage* page, QPoint p)
    {
        press(page, p);
        release(page, p);
        send(page->imageView(), QEvent::MouseButtonDblClick, p, Qt::LeftButton);
        release(page, p);
    }
    int steps() const { return doc->undoStack().count(); }

    test::TempDir temp;
    test::ScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<SceneDocument> doc;
    std::int16_t panoId = 0, objectId = 0, genericId = 0;
};

TEST_F(NodeBrowserTest, FollowsTheSelectionAndTheTabRules)
{
    NodeBrowser* b = open(panoId);
    EXPECT_EQ(b->windowTitle(), "Node Browser");
    EXPECT_EQ(b->currentNodeId(), panoId);
    EXPECT_EQ(NodeBrowser::open(*doc, objectId), b) << "a second open brings the same browser forward";
    EXPECT_EQ(b->currentNodeId(), objectId);
    b->tabs()->setCurrentIndex(2);
    EXPECT_EQ(b->currentTab(), NodeBrowser::kPreviewTab);
    // Selecting a generic node while the Preview tab shows: Properties, tabs 2 and 3 greyed.
    openNodeBrowser(*doc, genericId);
    EXPECT_EQ(b->currentTab(), NodeBrowser::kPropertiesTab);
    EXPECT_FALSE(b->tabs()->isTabEnabled(1));
    EXPECT_FALSE(b->tabs()->isTabEnabled(2));
    b->tabs()->setCurrentIndex(1);
    EXPECT_EQ(b->currentTab(), NodeBrowser::kPropertiesTab) << "a disabled tab cannot be chosen";
    EXPECT_EQ(items::item<QLabel>(b, 490)->text(), "Generic Node");
    // Deselecting every node closes the browser.
    QPointer<NodeBrowser> watch(b);
    for (Node& n : doc->editableScene().nodes)
        n.selected = false;
    doc->notifyChanged();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(NodeBrowser::browserOf(*doc), nullptr);
}

TEST_F(NodeBrowserTest, PropertiesPageNameCommentInitialNodeUndoAndRedo)
{
    NodeBrowser* b = open(objectId);
    EXPECT_EQ(items::item<QLabel>(b, 488)->text(), QString::asprintf("%03d", int(objectId)));
    EXPECT_EQ(items::item<QLabel>(b, 490)->text(), "QTVR Object");
    EXPECT_EQ(items::item<QLabel>(b, 493)->text(), "Animate Frames (loop , speed=12)");
    EXPECT_TRUE(items::item<QPushButton>(b, 495)->isEnabled());
    EXPECT_TRUE(items::item<QLabel>(b, 492)->text().endsWith("object.mov"));

    auto* name = items::item<QLineEdit>(b, 489);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Sculpture Court");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(node(objectId).name.str(), "Sculpture Court");
    EXPECT_EQ(steps(), 1);
    name->setText("Sculpture Court");
    b->propertiesPage()->commitName();
    EXPECT_EQ(steps(), 1) << "the same name again stores nothing";

    auto* comment = items::item<QPlainTextEdit>(b, 491);
    comment->setPlainText("By the gate");
    b->propertiesPage()->commitComment();
    EXPECT_EQ(node(objectId).comment.str(), "By the gate");
    EXPECT_EQ(steps(), 2);

    ASSERT_TRUE(node(panoId).initial) << "the first imported node starts as the initial node";
    auto* initial = items::item<QCheckBox>(b, 496);
    EXPECT_FALSE(initial->isChecked());
    initial->click();
    EXPECT_TRUE(node(objectId).initial);
    EXPECT_FALSE(node(panoId).initial);
    EXPECT_EQ(steps(), 3);
    initial->click();
    EXPECT_TRUE(initial->isChecked()) << "the initial node stays initial when its own box is clicked";
    EXPECT_EQ(steps(), 3);

    doc->undoStack().undo();
    EXPECT_TRUE(node(panoId).initial);
    EXPECT_FALSE(initial->isChecked());
    doc->undoStack().undo();
    EXPECT_EQ(node(objectId).comment.str(), "");
    doc->undoStack().undo();
    EXPECT_NE(node(objectId).name.str(), "Sculpture Court");
    EXPECT_NE(name->text(), "Sculpture Court") << "the page follows the undo";
    doc->undoStack().redo();
    doc->undoStack().redo();
    doc->undoStack().redo();
    EXPECT_EQ(node(objectId).name.str(), "Sculpture Court");
    EXPECT_TRUE(node(objectId).initial);
}

TEST_F(NodeBrowserTest, ChangingTheMediaFileAnalysesItAgainAsOneStep)
{
    NodeBrowser* b = open(genericId);
    EXPECT_FALSE(b->tabs()->isTabEnabled(1));
    EXPECT_EQ(items::item<QLabel>(b, 492)->text(), "<Undefined>");
    EXPECT_EQ(items::item<QLabel>(b, 493)->text(), "<n/a>");
    EXPECT_FALSE(items::item<QPushButton>(b, 495)->isEnabled());
    dialogs->openAnswers.push_back(QString::fromStdString((temp / "pano.mov").string()));
    items::item<QPushButton>(b, 494)->click();
    EXPECT_EQ(node(genericId).kind, NodeKind::kPanorama);
    EXPECT_TRUE(b->tabs()->isTabEnabled(1)) << "a node with media gets its Hot Spots tab";
    EXPECT_EQ(items::item<QLabel>(b, 490)->text(), "QTVR Panorama");
    EXPECT_EQ(steps(), 1);
    // A file that is not media: the alert, nothing changes.
    std::ofstream(temp / "notes.txt") << "not a movie";
    dialogs->openAnswers.push_back(QString::fromStdString((temp / "notes.txt").string()));
    items::item<QPushButton>(b, 494)->click();
    EXPECT_EQ(node(genericId).kind, NodeKind::kPanorama);
    EXPECT_EQ(steps(), 1);
    doc->undoStack().undo();
    EXPECT_EQ(node(genericId).kind, NodeKind::kGeneric);
    EXPECT_TRUE(node(genericId).mediaReference.empty());
    EXPECT_FALSE(b->tabs()->isTabEnabled(1));
}

TEST_F(NodeBrowserTest, AnimationSettingsDialogWritesTheRecord)
{
    NodeBrowser* b = open(objectId);
    test::onNextModal([](QDialog* d) {
        EXPECT_TRUE(items::item<QCheckBox>(d, 556)->isChecked());
        EXPECT_FALSE(items::item<QPushButton>(d, 1)->isEnabled()) << "OK waits for a change";
        EXPECT_FALSE(items::item<QCheckBox>(d, 564)->isEnabled()) << "sync needs view animation";
        items::item<QCheckBox>(d, 557)->click(); // play backwards
        items::item<QCheckBox>(d, 561)->click(); // views on
        EXPECT_TRUE(items::item<QCheckBox>(d, 564)->isEnabled());
        items::item<QCheckBox>(d, 564)->click();
        test::clickItem(d, 1);
    });
    items::item<QPushButton>(b, 495)->click();
    const auto& r = std::get<ObjectSampleRecord>(node(objectId).mediaData);
    EXPECT_EQ(r.animationSettings, 1u + 8u + 32u);
    EXPECT_FLOAT_EQ(r.frameRate, -12.0f);
    EXPECT_FLOAT_EQ(r.viewRate, 1.0f);
    EXPECT_EQ(items::item<QLabel>(b, 493)->text(),
              "Animate Frames (play backwards, loop , speed=12), Animate Views (sync. with frame animation, speed=1)");
    doc->undoStack().undo();
    EXPECT_EQ(std::get<ObjectSampleRecord>(node(objectId).mediaData).animationSettings, 1u);
}

TEST_F(NodeBrowserTest, EachToolDrawsItsShapeAndAClickAtOnePointMakesNothing)
{
    HotSpotsPage* page = hotSpots(panoId);
    ASSERT_FALSE(page->workingImage().isNull());
    EXPECT_EQ(page->workingImage().nativeRect, makeRect(0, 0, 48, 128));
    const int tools[] = {HotSpotTool::kSquare, HotSpotTool::kRectangle, HotSpotTool::kCircle, HotSpotTool::kOval};
    int made = 0;
    for (int tool : tools) {
        page->chooseTool(tool);
        press(page, at(page, 20, 20));
        release(page, at(page, 20, 20));
        EXPECT_EQ(node(panoId).hotSpots.size(), std::size_t(made)) << "a click makes nothing";
        EXPECT_EQ(page->tool(), tool) << "and keeps the tool";
        drag(page, at(page, 10 + made * 25, 10), at(page, 25 + made * 25, 30));
        ++made;
        ASSERT_EQ(node(panoId).hotSpots.size(), std::size_t(made));
        const HotSpot& h = node(panoId).hotSpots.back();
        EXPECT_EQ(h.shape, tool);
        EXPECT_EQ(page->tool(), HotSpotTool::kArrow) << "the tool goes back to the arrow";
        EXPECT_TRUE(h.selected);
    }
    const auto& spots = node(panoId).hotSpots;
    EXPECT_EQ(spots[1].bounds, makeRect(10, 35, 30, 50)) << "rectangle: the two corners";
    EXPECT_EQ(spots[0].bounds.width(), spots[0].bounds.height()) << "square: centre +- r";
    EXPECT_EQ(spots[0].bounds, squareAround(Point{10, 10}, Point{30, 25}));
    EXPECT_EQ(steps(), 4);
    doc->undoStack().undo();
    EXPECT_EQ(node(panoId).hotSpots.size(), 3u);
    doc->undoStack().redo();
    EXPECT_EQ(node(panoId).hotSpots.size(), 4u);
}

TEST_F(NodeBrowserTest, PolygonsCloseOnTheLastVertexWithThreeVerticesAndAreDiscardedWithTwo)
{
    HotSpotsPage* page = hotSpots(panoId);
    page->chooseTool(HotSpotTool::kPolygon);
    press(page, at(page, 10, 10));
    release(page, at(page, 10, 10));
    press(page, at(page, 40, 30));
    release(page, at(page, 40, 30));
    doubleClick(page, at(page, 40, 30));
    EXPECT_TRUE(node(panoId).hotSpots.empty()) << "two vertices make no hot spot";
    EXPECT_FALSE(page->imageView()->polygonInProgress());

    for (QPoint p : {at(page, 10, 10), at(page, 60, 10), at(page, 60, 40)}) {
        press(page, p);
        release(page, p);
    }
    EXPECT_TRUE(page->imageView()->polygonInProgress());
    send(page->imageView(), QEvent::MouseMove, at(page, 30, 30), Qt::NoButton); // the rubber band
    doubleClick(page, at(page, 60, 40));
    ASSERT_EQ(node(panoId).hotSpots.size(), 1u);
    const HotSpot& h = node(panoId).hotSpots[0];
    EXPECT_EQ(h.shape, HotSpotShape::kRegion);
    // The region's own bounds: the pixels whose centres lie inside the triangle.
    EXPECT_EQ(h.bounds.top, 10);
    EXPECT_EQ(h.bounds.bottom, 40);
    EXPECT_EQ(h.bounds.right, 60);
    EXPECT_LE(h.bounds.left, 11);
    EXPECT_EQ(page->tool(), HotSpotTool::kArrow);
    doc->undoStack().undo();
    EXPECT_TRUE(node(panoId).hotSpots.empty());
}

TEST_F(NodeBrowserTest, MovingResizingByEachHandleAndCtrlClickReshaping)
{
    HotSpotsPage* page = hotSpots(panoId);
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 40, 10), at(page, 80, 30));
    ASSERT_EQ(node(panoId).hotSpots.size(), 1u);
    const std::int16_t id = node(panoId).hotSpots[0].id;
    auto bounds = [&] { return node(panoId).hotSpots[0].bounds; };
    EXPECT_EQ(bounds(), makeRect(10, 40, 30, 80));

    drag(page, at(page, 60, 20), at(page, 65, 24));
    EXPECT_EQ(bounds(), makeRect(14, 45, 34, 85)) << "moved by the pointer's movement";
    EXPECT_EQ(steps(), 2);

    // Handles 1 top-left, 2 bottom-left, 3 top-right, 4 bottom-right; the opposite corner stays.
    drag(page, at(page, 45, 14), at(page, 40, 10));
    EXPECT_EQ(bounds(), makeRect(10, 40, 34, 85));
    drag(page, at(page, 40, 34), at(page, 35, 40));
    EXPECT_EQ(bounds(), makeRect(10, 35, 40, 85));
    drag(page, at(page, 85, 10), at(page, 90, 5));
    EXPECT_EQ(bounds(), makeRect(5, 35, 40, 90));
    drag(page, at(page, 90, 40), at(page, 100, 45));
    EXPECT_EQ(bounds(), makeRect(5, 35, 45, 100));
    EXPECT_EQ(steps(), 6);
    doc->undoStack().undo();
    EXPECT_EQ(bounds(), makeRect(5, 35, 40, 90));

    // A second rectangle; both selected, Ctrl-click on the oval tool turns both into ovals.
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 5, 5), at(page, 20, 20));
    for (HotSpot& h : doc->editableScene().nodes[0].hotSpots)
        h.selected = true;
    page->chooseTool(HotSpotTool::kOval, true);
    EXPECT_EQ(page->tool(), HotSpotTool::kArrow);
    for (const HotSpot& h : node(panoId).hotSpots)
        EXPECT_EQ(h.shape, HotSpotShape::kOval);
    doc->undoStack().undo();
    for (const HotSpot& h : node(panoId).hotSpots)
        EXPECT_EQ(h.shape, HotSpotShape::kRectangle);
    (void)id;
}

TEST_F(NodeBrowserTest, PropertiesDialogWritesBackEveryPage)
{
    HotSpotsPage* page = hotSpots(panoId);
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 40, 10), at(page, 80, 30));
    test::onNextModal([&](QDialog* d) {
        auto* tabs = d->findChild<QTabWidget*>();
        EXPECT_TRUE(tabs->isTabEnabled(2)) << "Link tab for a link";
        EXPECT_FALSE(tabs->isTabEnabled(3));
        EXPECT_EQ(d->findChild<QLabel*>("id")->text(), "001");
        d->findChild<QLineEdit*>("name")->setText("To the gate");
        d->findChild<QPlainTextEdit*>("comment")->setPlainText("Opens at dawn");
        d->findChild<QCheckBox*>("customCursors")->setChecked(true);
        d->findChild<QSpinBox*>("cursor1")->setValue(130);
        d->findChild<QSpinBox*>("cursor3")->setValue(7);
        auto* dest = d->findChild<QComboBox*>("destination");
        dest->setCurrentIndex(dest->findData(int(objectId)));
        EXPECT_EQ(dest->currentText(), QString::asprintf("%03d \"%s\"", int(objectId), node(objectId).name.c_str()));
        d->findChild<QCheckBox*>("customView")->setChecked(true);
        d->findChild<QCheckBox*>("panSet")->setChecked(true);
        d->findChild<QDoubleSpinBox*>("pan")->setValue(45.5);
        d->findChild<QCheckBox*>("centerSet")->setChecked(true);
        d->findChild<QSpinBox*>("centerH")->setValue(12);
        // Kind URL: the URL tab opens, the Link tab closes.
        auto* kind = d->findChild<QComboBox*>("kind");
        kind->setCurrentIndex(4);
        emit kind->activated(4);
        EXPECT_FALSE(tabs->isTabEnabled(2));
        EXPECT_TRUE(tabs->isTabEnabled(3));
        EXPECT_EQ(d->findChild<QLineEdit*>("type")->text(), "url ");
        d->findChild<QLineEdit*>("url")->setText("http://example.org/gate");
        test::clickItem(d, 1);
    });
    doubleClick(page, at(page, 60, 20));
    const HotSpot& h = node(panoId).hotSpots.at(0);
    EXPECT_EQ(h.type, HotSpotType::kUrl);
    EXPECT_EQ(h.name, "To the gate");
    EXPECT_EQ(h.comment, "Opens at dawn");
    EXPECT_TRUE(h.customCursors);
    EXPECT_EQ(h.mouseOverCursor, 130);
    EXPECT_EQ(h.mouseUpCursor, 7);
    EXPECT_EQ(h.destinationNodeId, objectId);
    EXPECT_TRUE(h.customLinkView);
    EXPECT_TRUE(h.linkView.panSet);
    EXPECT_FLOAT_EQ(h.linkView.pan, 45.5f);
    EXPECT_FALSE(h.linkView.tiltSet);
    EXPECT_TRUE(h.linkView.viewCenterSet);
    EXPECT_EQ(h.linkView.viewCenter.h, 12);
    EXPECT_EQ(h.url, "http://example.org/gate");
    EXPECT_EQ(steps(), 2);
    doc->undoStack().undo();
    EXPECT_EQ(node(panoId).hotSpots.at(0).name, "Hot Spot 1");
    EXPECT_EQ(node(panoId).hotSpots.at(0).type, HotSpotType::kLink);

    // Another type typed under "Other:".
    test::onNextModal([&](QDialog* d) {
        auto* kind = d->findChild<QComboBox*>("kind");
        kind->setCurrentIndex(5);
        emit kind->activated(5);
        EXPECT_TRUE(d->findChild<QLineEdit*>("type")->isEnabled());
        d->findChild<QLineEdit*>("type")->setText("door");
        test::clickItem(d, 1);
    });
    doubleClick(page, at(page, 60, 20));
    EXPECT_EQ(node(panoId).hotSpots.at(0).type, fourCC("door"));
}

TEST_F(NodeBrowserTest, CopyFromOneObjectViewPasteIntoAnotherWithFreshIds)
{
    HotSpotsPage* page = hotSpots(objectId);
    EXPECT_EQ(items::item<QLabel>(page, 531)->text(), "0, 0");
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 5, 5), at(page, 20, 15));
    page->chooseTool(HotSpotTool::kOval);
    drag(page, at(page, 22, 5), at(page, 35, 25));
    for (HotSpot& h : doc->editableScene().nodes[1].hotSpots)
        h.selected = true;
    EXPECT_TRUE(page->canEdit(evCopy));
    page->handleEvent(evCopy);
    EXPECT_TRUE(page->canEdit(evPaste));

    // Stepping left from column 0 wraps to the last column.
    page->stepView(-1, 0);
    EXPECT_EQ(page->viewIndex().column, 3);
    page->stepView(0, 1);
    EXPECT_EQ(items::item<QLabel>(page, 531)->text(), "1, 3");
    EXPECT_EQ(page->selectedCount(), 0) << "the other view's selection is not counted here";
    EXPECT_FALSE(page->canEdit(evDelete));
    page->handleEvent(evPaste);
    const auto& spots = node(objectId).hotSpots;
    ASSERT_EQ(spots.size(), 4u);
    EXPECT_EQ(spots[2].id, 3);
    EXPECT_EQ(spots[3].id, 4);
    for (std::size_t i = 2; i < 4; ++i) {
        EXPECT_EQ(spots[i].viewColumn, 3);
        EXPECT_EQ(spots[i].viewRow, 1);
        EXPECT_EQ(spots[i].bounds, spots[i - 2].bounds);
    }
    // Delete acts on this view only; Cut copies and deletes.
    page->handleEvent(evDelete);
    EXPECT_EQ(node(objectId).hotSpots.size(), 2u);
    doc->undoStack().undo();
    EXPECT_EQ(node(objectId).hotSpots.size(), 4u);
    doc->undoStack().undo();
    EXPECT_EQ(node(objectId).hotSpots.size(), 2u);
    doc->undoStack().redo();
    EXPECT_EQ(node(objectId).hotSpots.size(), 4u);
}

TEST_F(NodeBrowserTest, SwatchesSetTheNodesColours)
{
    HotSpotsPage* page = hotSpots(panoId);
    dialogs->colourAnswers.push_back(RGBColor{0x1111, 0x2222, 0x3333});
    page->chooseColor(false);
    EXPECT_TRUE(node(panoId).manualColorSet);
    EXPECT_EQ(node(panoId).manualColor, (RGBColor{0x1111, 0x2222, 0x3333}));
    EXPECT_EQ(page->colors().manualColor, (RGBColor{0x1111, 0x2222, 0x3333}));
    dialogs->colourAnswers.push_back(std::nullopt);
    page->chooseColor(true);
    EXPECT_FALSE(node(panoId).autoColorSet) << "a cancelled chooser changes nothing";
    doc->undoStack().undo();
    EXPECT_FALSE(node(panoId).manualColorSet);
}

TEST_F(NodeBrowserTest, AWideViewShowsTheWholeWorkingWidthAndMapsItToTheNativeWidth)
{
    test::Panorama2xFixture f;
    f.record.imageSizeX = 768;
    f.record.imageSizeY = 4096;
    f.record.imageNumFramesY = 24;
    f.tileWidth = 768;
    f.tileHeight = 171;
    ASSERT_EQ(test::writePanorama2x(temp / "wide.mov", f), 0);
    const std::int16_t wide = add(doc->editableScene(), temp / "wide.mov", {300, 300});
    HotSpotsPage* page = hotSpots(wide);
    EXPECT_EQ(page->workingImage().workingRect, makeRect(0, 0, 288, 1536));
    NodeBrowser* b = NodeBrowser::browserOf(*doc);
    b->setMinimumSize(100, 100);
    b->resize(1900, 600);
    QApplication::processEvents();
    const ViewGeometry& g = page->imageView()->geometry();
    ASSERT_EQ(g.display.width(), 1536) << "the view is wider than the picture";
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, QPoint(g.display.left, g.display.top + 20), QPoint(g.display.right, g.display.top + 100));
    ASSERT_EQ(node(wide).hotSpots.size(), 1u);
    EXPECT_EQ(node(wide).hotSpots[0].bounds.left, 0);
    EXPECT_EQ(node(wide).hotSpots[0].bounds.width(), 4096) << "stored in native pixels";
}

TEST_F(NodeBrowserTest, HotSpotsDrawnOnThePageComposeIntoTheHotSpotTrack)
{
    QM_REQUIRE_FFPROBE();
    HotSpotsPage* page = hotSpots(panoId);
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 10, 10), at(page, 30, 30));
    page->chooseTool(HotSpotTool::kCircle);
    drag(page, at(page, 90, 24), at(page, 100, 24));
    ASSERT_EQ(node(panoId).hotSpots.size(), 2u);
    // A panorama-only scene: compose it alone.
    Scene scene = doc->scene();
    std::erase_if(scene.nodes, [&](const Node& n) { return n.id != panoId; });
    scene.nodes[0].initial = true;
    WorkingCopies copies;
    ComposeEnvironment env = standardComposeEnvironment();
    env.scratchFolder = temp.path();
    env.deterministic = true;
    NullProgress progress;
    ASSERT_EQ(composeScene(scene, copies, env, progress), 0);

    std::string raw;
    ASSERT_EQ(test::runCommand("ffmpeg -v error -i '" + scene.composedMovieFile.string() +
                                   "' -map 0:3 -vsync 0 -f rawvideo -pix_fmt pal8 - 2>/dev/null",
                               &raw),
              0);
    // Four tiles of 48 x 32 with a palette each; tile k holds unrolled strip 3 - k turned.
    const std::size_t frame = 48 * 32, stride = frame + 1024;
    ASSERT_EQ(raw.size(), 4 * stride);
    auto idAt = [&](int x, int y) {
        const int strip = x / 32, k = 3 - strip;
        const int sx = y, sy = 31 - (x - strip * 32);
        return int(std::uint8_t(raw[std::size_t(k) * stride + std::size_t(sy) * 48 + std::size_t(sx)]));
    };
    EXPECT_EQ(idAt(20, 20), 1);
    EXPECT_EQ(idAt(11, 11), 1);
    EXPECT_EQ(idAt(29, 29), 1);
    EXPECT_EQ(idAt(9, 20), 0);
    EXPECT_EQ(idAt(31, 20), 0);
    EXPECT_EQ(idAt(90, 24), 2) << "the circle's centre";
    EXPECT_EQ(idAt(90, 16), 2);
    EXPECT_EQ(idAt(90, 38), 0);
    EXPECT_EQ(idAt(60, 40), 0);
    discardAllWorkingCopies(scene, copies);
    disposeScene(scene);
}

} // namespace
} // namespace qm

namespace qm {
namespace {

TEST_F(NodeBrowserTest, ZoomFitsTheBrowserToTheWholePictureAndHotSpotsFollow)
{
    // A 520 x 200 panorama: wider than the view of a browser at its smallest size, small enough
    // for the whole of it to fit on the test screen.
    test::Panorama2xFixture f;
    f.record.imageSizeX = 200; // stored width = unrolled height
    f.record.imageSizeY = 520; // stored height = unrolled width
    f.record.imageNumFramesY = 4;
    f.tileWidth = 200;
    f.tileHeight = 130;
    ASSERT_EQ(test::writePanorama2x(temp / "mid.mov", f), 0);
    const std::int16_t mid = add(doc->editableScene(), temp / "mid.mov", {300, 300});
    HotSpotsPage* page = hotSpots(mid);
    NodeBrowser* b = NodeBrowser::browserOf(*doc);
    ASSERT_EQ(page->workingImage().workingRect, makeRect(0, 0, 200, 520));
    QApplication::processEvents();
    ASSERT_LT(page->imageView()->area().width(), 520) << "the smallest browser shows part of the picture";
    EXPECT_TRUE(page->horizontalBar()->isEnabled());
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, at(page, 20, 30), at(page, 60, 80));
    ASSERT_EQ(node(mid).hotSpots.size(), 1u);
    const Rect drawn = node(mid).hotSpots[0].bounds;

    // Window > Zoom: the view grows to the picture's size; nothing is left to scroll.
    QAction* zoom = b->findChild<QAction*>(QStringLiteral("zoom"));
    ASSERT_NE(zoom, nullptr);
    const QSize wanted = b->zoomSize();
    zoom->trigger();
    QApplication::processEvents();
    const QRect screen = b->screen()->availableGeometry();
    const QSize frame = b->frameGeometry().size() - b->size();
    if (wanted.width() + frame.width() <= screen.width() && wanted.height() + frame.height() <= screen.height()) {
        // Never below the smallest size: the picture is lower than the smallest view, so only
        // the width follows it.
        EXPECT_EQ(b->size(), wanted.expandedTo(b->minimumSize()));
        EXPECT_EQ(page->imageView()->area().width(), 520) << "the whole width, no more";
        EXPECT_GE(page->imageView()->area().height(), 200);
        EXPECT_FALSE(page->horizontalBar()->isEnabled());
        EXPECT_FALSE(page->verticalBar()->isEnabled());
    } else {
        EXPECT_EQ(b->size(), wanted.boundedTo(screen.size() - frame).expandedTo(b->minimumSize())) << "fitted to the screen";
    }
    EXPECT_TRUE(screen.contains(b->geometry())) << "kept on the screen";

    // The hot spot is drawn and hit where its native bounds are at the new size.
    const ViewGeometry& g = page->imageView()->geometry();
    EXPECT_EQ(g.toView(drawn).left, at(page, drawn.left, drawn.top).x());
    page->chooseTool(HotSpotTool::kArrow);
    deselectAllHotSpots(*findNode(doc->editableScene(), mid));
    const QPoint inside = at(page, (drawn.left + drawn.right) / 2, (drawn.top + drawn.bottom) / 2);
    press(page, inside);
    release(page, inside);
    EXPECT_TRUE(node(mid).hotSpots[0].selected) << "hit at its native place";
    // A hot spot drawn over the whole zoomed view covers the whole native width.
    page->chooseTool(HotSpotTool::kRectangle);
    drag(page, QPoint(g.display.left, g.display.top + 150), QPoint(g.display.right, g.display.top + 190));
    ASSERT_EQ(node(mid).hotSpots.size(), 2u);
    EXPECT_EQ(node(mid).hotSpots[1].bounds.left, 0);
    EXPECT_EQ(node(mid).hotSpots[1].bounds.right, 520);

    // On another tab Zoom goes back to the browser's smallest size.
    b->tabs()->setCurrentIndex(0);
    zoom->trigger();
    QApplication::processEvents();
    EXPECT_EQ(b->size(), b->minimumSize());
}

} // namespace
} // namespace qm
