#pragma once
// Text objects of the background drawing: their font and how their text is laid out.
#include <QFont>
#include <QRect>

#include "compose/map_objects.h"

class QPainter;

namespace qm {

// The font for a classic family number, size (points drawn as pixels, as on a 72 dpi screen)
// and style bits.
QFont mapTextFont(std::int16_t fontNumber, int size, std::uint8_t face);
QFont mapTextFont(const MapTextStyle& style);
// The text of a text object, wrapped inside r, in the object's pen colour.
void drawMapText(QPainter& painter, const MapObject& object, const QRect& r);
// Text flags used for drawing and for placing the caret.
int mapTextFlags();

} // namespace qm
