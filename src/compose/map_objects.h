#pragma once
// Rules of the background drawing that need no window: how a dragged shape becomes a map
// object, the background grid, the attributes a new object takes, object order, and the style
// of text objects.
//
// Coordinates are map pixels from the top-left of the scene boundary.
#include <cstdint>
#include <string>
#include <vector>

#include "project/scene.h"

namespace qm {

// The attributes shown in the background page's controls; new objects take them.
struct MapAttributes {
    RGBColor penColor{0, 0, 0};
    RGBColor fillColor{0, 0, 0};
    std::int16_t penSize = 1;
    std::int16_t pattern = 1; // fill pattern number 1..38
    std::int16_t fontNumber = 3; // classic font family number (kMapFonts)
    std::int16_t textSize = 12;
    std::uint8_t textStyle = 0; // style bits: 1 bold, 2 italic, 4 underline, 8 outline, 16 shadow,
                                // 32 condense, 64 extend
    friend bool operator==(const MapAttributes&, const MapAttributes&) = default;
};

// The fonts a text object can use: classic family numbers with their names.
struct MapFont {
    std::int16_t number;
    const char* name;
};
const std::vector<MapFont>& mapFonts();
// The name of a family number ("Geneva" for an unknown one).
std::string mapFontName(std::int16_t number);

// The style of a text object, kept in its text record's style data as one run of a classic
// style scrap (count, then start, line height, ascent, family, face, size, colour).
struct MapTextStyle {
    std::int16_t fontNumber = 3;
    std::int16_t size = 12;
    std::uint8_t face = 0;
    RGBColor color{0, 0, 0};
    friend bool operator==(const MapTextStyle&, const MapTextStyle&) = default;
};
MapTextStyle decodeMapTextStyle(const Bytes& styleData); // defaults when absent or damaged
Bytes encodeMapTextStyle(const MapTextStyle& style);

// A coordinate moved onto the background grid while it is shown and active (unchanged
// otherwise); `edge` is the boundary's extent on that axis.
int snapToBackgroundGrid(const Scene& scene, int coordinate, bool vertical);

// The bounds a drag from `first` to `second` gives an object of this kind: lines and arcs keep
// the two corners as dragged, other kinds take the normalised rectangle widened by one pixel to
// the right and downwards. Both corners are snapped to the background grid first.
Rect draggedObjectBounds(const Scene& scene, std::int16_t kind, Point first, Point second);

// A new object of the kind with the attributes: filled kinds (7, 8) are filled, text objects
// get an empty text record in the attribute's font; every object has a pen.
MapObject newMapObject(std::int16_t kind, const Rect& bounds, const MapAttributes& attributes);

// The attributes of an object as its controls show them; text attributes come from the object
// when it is a text object, else from `defaults`.
MapAttributes objectAttributes(const MapObject& object, const MapAttributes& defaults);
// Which attribute a control changes.
enum class MapAttribute { PenColor, FillColor, PenSize, Pattern, Font, TextSize, TextStyle };
// Applies one attribute of `value` to the object (text attributes only to text objects).
void applyMapAttribute(MapObject& object, MapAttribute which, const MapAttributes& value);

// The first selected object's index, or -1.
int firstSelectedObject(const Scene& scene);
// Topmost object (last drawn) whose bounds, grown by 3 pixels, contain the point; -1 for none.
int hitMapObject(const Scene& scene, Point point);

// Layers 1 (bottom) to 3 (top), kept in an object's second value (0 counts as 1). The object
// list stays ordered by layer, so drawing in list order draws the layers bottom first; new
// objects go on the top layer, at the end of the list.
inline constexpr int kMapLayers = 3;
int mapObjectLayer(const MapObject& object);
// Puts the selected objects on the layer (1..3) and reorders the list by layer, keeping the
// order within each layer. True when anything changed.
bool setSelectedObjectsLayer(Scene& scene, int layer);
// The layer shared by every selected object; 0 when none is selected or they differ.
int selectedObjectsLayer(const Scene& scene);

} // namespace qm
