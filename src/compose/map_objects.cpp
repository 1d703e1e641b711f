#include "compose/map_objects.h"

#include <algorithm>
#include <cmath>

#include "compose/scene_map_edit.h"
#include "quicktime/base/byte_io.h"

namespace qm {

namespace {

std::int16_t clamp16(long v) { return std::int16_t(std::clamp<long>(v, INT16_MIN, INT16_MAX)); }

} // namespace

const std::vector<MapFont>& mapFonts()
{
    static const std::vector<MapFont> fonts = {
        {0, "Chicago"}, {2, "New York"}, {3, "Geneva"}, {4, "Monaco"},
        {20, "Times"},  {21, "Helvetica"}, {22, "Courier"},
    };
    return fonts;
}

std::string mapFontName(std::int16_t number)
{
    for (const MapFont& f : mapFonts())
        if (f.number == number)
            return f.name;
    return "Geneva";
}

// Style scrap: count (i16), then per run start (i32), line height (i16), ascent (i16), family
// (i16), face (u8) and a pad byte, size (i16), colour (3 x u16): 20 bytes.
MapTextStyle decodeMapTextStyle(const Bytes& styleData)
{
    MapTextStyle style;
    ByteReader r(styleData);
    const std::int16_t count = r.i16();
    if (!r.ok() || count < 1)
        return style;
    r.skip(4 + 2 + 2);
    const std::int16_t family = r.i16();
    const std::uint8_t face = r.u8();
    r.skip(1);
    const std::int16_t size = r.i16();
    const RGBColor color = r.color();
    if (!r.ok())
        return style;
    style.fontNumber = family;
    style.face = face;
    style.size = size > 0 ? size : 12;
    style.color = color;
    return style;
}

Bytes encodeMapTextStyle(const MapTextStyle& style)
{
    ByteWriter w;
    w.i16(1);
    w.i32(0);
    w.i16(std::int16_t(style.size + style.size / 4)); // line height
    w.i16(style.size);                                // ascent
    w.i16(style.fontNumber);
    w.u8(style.face);
    w.u8(0);
    w.i16(style.size);
    w.color(style.color);
    return w.take();
}

int snapToBackgroundGrid(const Scene& scene, int x, bool vertical)
{
    const GridSettings& grid = scene.backgroundGrid;
    if (!(grid.shown && grid.active))
        return x;
    const double step = 72.0 / std::max<int>(grid.divisions, 1);
    const int c = std::max(1, int(std::lround(step)));
    const double scale = scene.scaleFactor > 0 ? scene.scaleFactor : 1;
    const int edge = int((vertical ? scene.mapHeight : scene.mapWidth) / scale * 72);
    const int rest = x % c;
    x -= rest;
    if (rest > step * 0.5)
        x = int(x + step);
    if (x == 0)
        x = int(step);
    else if (x == edge)
        x = int(x - step);
    return x;
}

Rect draggedObjectBounds(const Scene& scene, std::int16_t kind, Point first, Point second)
{
    const int h1 = snapToBackgroundGrid(scene, first.h, false);
    const int v1 = snapToBackgroundGrid(scene, first.v, true);
    const int h2 = snapToBackgroundGrid(scene, second.h, false);
    const int v2 = snapToBackgroundGrid(scene, second.v, true);
    if (kind == MapObjectKind::kLine || kind == MapObjectKind::kArc)
        return Rect{clamp16(v1), clamp16(h1), clamp16(v2), clamp16(h2)};
    return Rect{clamp16(std::min(v1, v2)), clamp16(std::min(h1, h2)), clamp16(std::max(v1, v2) + 1),
                clamp16(std::max(h1, h2) + 1)};
}

MapObject newMapObject(std::int16_t kind, const Rect& bounds, const MapAttributes& a)
{
    MapObject o;
    o.kind = kind;
    o.secondValue = kMapLayers;
    o.bounds = bounds;
    o.penStyle = 1;
    o.penSize = a.penSize > 0 ? a.penSize : 1;
    o.penColor = a.penColor;
    o.fillColor = a.fillColor;
    o.fillStyle = (kind == MapObjectKind::kFilledRectangle || kind == MapObjectKind::kFilledOval) ? 1 : 0;
    o.drawingValues[0] = a.pattern >= 1 ? a.pattern : 1;
    if (kind == MapObjectKind::kText) {
        MapObjectText text;
        text.viewRect = bounds;
        text.destRect = bounds;
        text.styleData = encodeMapTextStyle({a.fontNumber, a.textSize, a.textStyle, a.penColor});
        o.text = std::move(text);
    }
    return o;
}

MapAttributes objectAttributes(const MapObject& o, const MapAttributes& defaults)
{
    MapAttributes a = defaults;
    a.penColor = o.penColor;
    a.fillColor = o.fillColor;
    a.penSize = o.penSize;
    a.pattern = o.drawingValues[0];
    if (o.kind == MapObjectKind::kText && o.text) {
        const MapTextStyle s = decodeMapTextStyle(o.text->styleData);
        a.fontNumber = s.fontNumber;
        a.textSize = s.size;
        a.textStyle = s.face;
    }
    return a;
}

void applyMapAttribute(MapObject& o, MapAttribute which, const MapAttributes& v)
{
    switch (which) {
    case MapAttribute::PenColor: o.penColor = v.penColor; break;
    case MapAttribute::FillColor: o.fillColor = v.fillColor; break;
    case MapAttribute::PenSize: o.penSize = v.penSize; break;
    case MapAttribute::Pattern: o.drawingValues[0] = v.pattern; break;
    default: break;
    }
    if (o.kind != MapObjectKind::kText || !o.text)
        return;
    MapTextStyle s = decodeMapTextStyle(o.text->styleData);
    switch (which) {
    case MapAttribute::Font: s.fontNumber = v.fontNumber; break;
    case MapAttribute::TextSize: s.size = v.textSize; break;
    case MapAttribute::TextStyle: s.face = v.textStyle; break;
    case MapAttribute::PenColor: s.color = v.penColor; break;
    default: return;
    }
    o.text->styleData = encodeMapTextStyle(s);
}

int firstSelectedObject(const Scene& scene)
{
    for (std::size_t i = 0; i < scene.mapObjects.size(); ++i)
        if (scene.mapObjects[i].selected)
            return int(i);
    return -1;
}

int hitMapObject(const Scene& scene, Point p)
{
    for (int i = int(scene.mapObjects.size()) - 1; i >= 0; --i) {
        const Rect& b = scene.mapObjects[std::size_t(i)].bounds;
        const int left = std::min(b.left, b.right) - 3, right = std::max(b.left, b.right) + 3;
        const int top = std::min(b.top, b.bottom) - 3, bottom = std::max(b.top, b.bottom) + 3;
        if (p.h >= left && p.h < right && p.v >= top && p.v < bottom)
            return i;
    }
    return -1;
}

int mapObjectLayer(const MapObject& o) { return std::clamp<int>(o.secondValue, 1, kMapLayers); }

bool setSelectedObjectsLayer(Scene& scene, int layer)
{
    layer = std::clamp(layer, 1, kMapLayers);
    const std::vector<MapObject> before = scene.mapObjects;
    for (MapObject& o : scene.mapObjects)
        if (o.selected)
            o.secondValue = std::int16_t(layer);
    std::stable_sort(scene.mapObjects.begin(), scene.mapObjects.end(),
                     [](const MapObject& a, const MapObject& b) { return mapObjectLayer(a) < mapObjectLayer(b); });
    return scene.mapObjects != before;
}

int selectedObjectsLayer(const Scene& scene)
{
    int layer = 0;
    for (const MapObject& o : scene.mapObjects) {
        if (!o.selected)
            continue;
        if (layer != 0 && layer != mapObjectLayer(o))
            return 0;
        layer = mapObjectLayer(o);
    }
    return layer;
}

} // namespace qm
