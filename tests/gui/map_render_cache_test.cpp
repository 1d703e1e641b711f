// The map drawing's kept pictures: the map pages' kept background must never show a stale map,
// and the kept images of wide-pen curves must give the pixels of the stroke itself.
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "project/scene_defaults.h"
#include "render/map_renderer.h"

namespace qm {
namespace {

Scene sampleScene()
{
    Scene s = makeNewScene();
    s.mapWidth = 50; // feet at 1:10: 360 x 360 map pixels
    s.mapHeight = 50;
    s.scaleFactor = 10;
    s.nodeGrid = {true, 4, true};
    for (std::int16_t id = 1; id <= 3; ++id) {
        Node n;
        n.id = id;
        n.kind = NodeKind::kPanorama;
        n.name = "Node " + std::to_string(id);
        n.mapPosition = {std::int16_t(60 * id), std::int16_t(50 + 40 * id)};
        n.initial = id == 1;
        s.nodes.push_back(n);
    }
    HotSpot link;
    link.id = 1;
    link.type = HotSpotType::kLink;
    link.destinationNodeId = 3;
    s.nodes[0].hotSpots.push_back(link);
    MapObject oval;
    oval.kind = MapObjectKind::kFilledOval;
    oval.bounds = {150, 40, 230, 160};
    oval.penStyle = 1;
    oval.penSize = 4;
    oval.penColor = {0x2000, 0x2000, 0x9000};
    oval.fillStyle = 1;
    oval.fillColor = {0xF000, 0xC000, 0x4000};
    oval.drawingValues[0] = 1;
    s.mapObjects.push_back(oval);
    MapObject arc = oval;
    arc.kind = MapObjectKind::kArc;
    arc.bounds = {300, 300, 250, 200};
    arc.penSize = 3;
    s.mapObjects.push_back(arc);
    return s;
}

QImage fullDrawing(const Scene& scene, QSize size, QPoint scroll)
{
    QImage image(size, QImage::Format_RGB32);
    renderMap(scene, image, scroll);
    return image;
}

// Draws through the kept background the way the map pages do: inside a one-pixel frame.
QImage keptDrawing(CachedMapRenderer& renderer, const Scene& scene, QSize size, QPoint scroll)
{
    QImage framed(size + QSize(2, 2), QImage::Format_RGB32);
    framed.fill(Qt::red);
    QPainter p(&framed);
    p.translate(1, 1);
    renderer.render(scene, p, size, scroll);
    p.end();
    return framed.copy(QRect(QPoint(1, 1), size));
}

TEST(MapRenderCache, KeptBackgroundFollowsEveryChangeItShows)
{
    Scene scene = sampleScene();
    CachedMapRenderer renderer;
    QSize size(300, 260);
    QPoint scroll(20, 30);
    auto expectCurrent = [&](bool reused, const char* step) {
        const QImage drawn = keptDrawing(renderer, scene, size, scroll);
        EXPECT_EQ(renderer.backgroundReused(), reused) << step;
        EXPECT_TRUE(drawn == fullDrawing(scene, size, scroll)) << step;
    };
    expectCurrent(false, "first drawing");
    expectCurrent(true, "nothing changed");

    scene.nodes[2].mapPosition = {250, 120}; // a node drag: links and nodes over the kept background
    expectCurrent(true, "node moved");
    scene.nodes[1].selected = true;
    expectCurrent(true, "node selected");

    const QImage before = keptDrawing(renderer, scene, size, scroll);
    scene.mapObjects[0].fillColor = {0x1000, 0xE000, 0x1000};
    expectCurrent(false, "fill colour changed");
    EXPECT_FALSE(keptDrawing(renderer, scene, size, scroll) == before) << "the new colour shows";
    scene.mapObjects[1].bounds.left += 8;
    expectCurrent(false, "object moved");
    scene.mapObjects[0].selected = true;
    expectCurrent(false, "object selected");
    MapObject added = scene.mapObjects[0];
    added.kind = MapObjectKind::kRectangle;
    added.bounds = {20, 200, 90, 290};
    scene.mapObjects.push_back(added);
    expectCurrent(false, "object added");
    scene.mapObjects.erase(scene.mapObjects.begin());
    expectCurrent(false, "object deleted");

    scene.nodeGrid.divisions = 3;
    expectCurrent(false, "grid divisions");
    scene.nodeGrid.shown = false;
    expectCurrent(false, "grid hidden");
    scene.backgroundGrid = {true, 2, true}; // the other page's grid does not show here
    expectCurrent(true, "background grid");
    scene.unitIndex = 13; // metres: 29 pixels a unit, a smaller boundary
    expectCurrent(false, "unit");
    scene.unitIndex = 2;
    scene.mapWidth = 40;
    expectCurrent(false, "boundary");

    scroll = QPoint(0, 0);
    expectCurrent(false, "scrolled");
    size = QSize(200, 180);
    expectCurrent(false, "resized");
    expectCurrent(true, "settled");
    renderer.invalidate();
    expectCurrent(false, "invalidated");
}

TEST(MapRenderCache, BackgroundPageOptionsAndPixelRatio)
{
    Scene scene = sampleScene();
    MapRenderOptions options;
    options.grid = MapGrid::Background;
    options.nodes = false;
    scene.backgroundGrid = {true, 2, false};
    CachedMapRenderer renderer;
    const QSize size(220, 200);
    for (qreal ratio : {1.0, 2.0}) {
        QImage kept(size * ratio, QImage::Format_RGB32), full(size * ratio, QImage::Format_RGB32);
        kept.setDevicePixelRatio(ratio);
        full.setDevicePixelRatio(ratio);
        for (int pass = 0; pass < 2; ++pass) {
            QPainter p(&kept);
            renderer.render(scene, p, size, QPoint(5, 5), options);
        }
        EXPECT_TRUE(renderer.backgroundReused());
        renderMap(scene, full, QPoint(5, 5), options);
        EXPECT_TRUE(kept == full) << "ratio " << ratio;
    }
    options.selectionMarks = false;
    scene.mapObjects[0].selected = true;
    QImage kept(size, QImage::Format_RGB32), full(size, QImage::Format_RGB32);
    QPainter p(&kept);
    renderer.render(scene, p, size, QPoint(5, 5), options);
    p.end();
    EXPECT_FALSE(renderer.backgroundReused());
    renderMap(scene, full, QPoint(5, 5), options);
    EXPECT_TRUE(kept == full);
}

// The stroke of a wide pen, drawn by QPainter straight onto the map, against the map drawing
// (which keeps it as an image). Flat and thin ovals are where a miter reaches far past the box.
TEST(MapRenderCache, WidePenCurvesGiveTheStrokesPixels)
{
    struct Case {
        std::int16_t kind;
        Rect bounds;
        std::int16_t pen;
    };
    const Case cases[] = {
        {MapObjectKind::kOval, {40, 30, 120, 200}, 3},
        {MapObjectKind::kOval, {100, 20, 103, 260}, 3},   // three pixels high
        {MapObjectKind::kOval, {20, 150, 200, 152}, 5},   // narrower than the pen
        {MapObjectKind::kFilledOval, {60, 60, 61, 180}, 6},
        {MapObjectKind::kArc, {200, 50, 40, 260}, 4},     // drawn from bottom left
        {MapObjectKind::kArc, {30, 250, 210, 20}, 6},
    };
    const QSize size(300, 280);
    for (const QPoint scroll : {QPoint(0, 0), QPoint(-7, 13)}) {
        for (const Case& c : cases) {
            Scene scene = makeNewScene();
            scene.mapWidth = 50;
            scene.mapHeight = 50;
            scene.scaleFactor = 10;
            scene.nodeGrid.shown = false;
            MapObject o;
            o.kind = c.kind;
            o.bounds = c.bounds;
            o.penStyle = 1;
            o.penSize = c.pen;
            o.penColor = {0x9000, 0x1000, 0x2000};
            scene.mapObjects.push_back(o);
            // Drawn straight, then into the kept image, then from it.
            const QImage drawn = fullDrawing(scene, size, scroll);
            const QImage again = fullDrawing(scene, size, scroll);
            const QImage kept = fullDrawing(scene, size, scroll);

            Scene empty = scene;
            empty.mapObjects.clear();
            QImage expected = fullDrawing(empty, size, scroll);
            QPainter p(&expected);
            p.translate(-scroll);
            QPen pen(QColor::fromRgba64(0x9000, 0x1000, 0x2000), c.pen);
            pen.setJoinStyle(Qt::MiterJoin);
            pen.setCapStyle(Qt::SquareCap);
            p.setPen(pen);
            const QRect r(QPoint(std::min(o.bounds.left, o.bounds.right), std::min(o.bounds.top, o.bounds.bottom)),
                          QPoint(std::max(o.bounds.left, o.bounds.right) - 1, std::max(o.bounds.top, o.bounds.bottom) - 1));
            if (c.kind == MapObjectKind::kArc) {
                QRectF box;
                int start = 0;
                ASSERT_TRUE(mapArcGeometry(o.bounds, box, start));
                p.drawArc(box, (90 - start) * 16, -90 * 16);
            } else {
                const qreal half = c.pen / 2.0;
                p.drawEllipse(QRectF(r.left() + half, r.top() + half, r.width() - c.pen, r.height() - c.pen));
            }
            p.end();
            EXPECT_TRUE(drawn == expected) << "kind " << c.kind << " pen " << c.pen << " at " << c.bounds.left;
            EXPECT_TRUE(again == expected) << "image made, kind " << c.kind << " pen " << c.pen;
            EXPECT_TRUE(kept == expected) << "kept image, kind " << c.kind << " pen " << c.pen;
        }
    }
    // After a move the stroke shows at the new place only.
    Scene scene = makeNewScene();
    scene.mapWidth = scene.mapHeight = 50;
    scene.scaleFactor = 10;
    scene.nodeGrid.shown = false;
    MapObject o;
    o.kind = MapObjectKind::kOval;
    o.bounds = {40, 40, 100, 120};
    o.penStyle = 1;
    o.penSize = 4;
    scene.mapObjects.push_back(o);
    for (int i = 0; i < 3; ++i)
        (void)fullDrawing(scene, size, QPoint(0, 0));
    scene.mapObjects[0].bounds = {140, 150, 200, 230};
    const QImage moved = fullDrawing(scene, size, QPoint(0, 0));
    EXPECT_EQ(moved.pixel(41, 70), 0xFFFFFFFFu) << "the old place is clear";
    EXPECT_EQ(moved.pixel(151, 170), 0xFF000000u) << "the oval's left edge at its new place";
}

} // namespace
} // namespace qm
