#include "render/map_text.h"

#include <algorithm>
#include <QPainter>

namespace qm {

QFont mapTextFont(std::int16_t fontNumber, int size, std::uint8_t face)
{
    QFont font;
    switch (fontNumber) {
    case 2:  // New York
    case 20: // Times
        font.setFamily(QStringLiteral("Serif"));
        font.setStyleHint(QFont::Serif);
        break;
    case 4:  // Monaco
    case 22: // Courier
        font.setFamily(QStringLiteral("Monospace"));
        font.setStyleHint(QFont::Monospace);
        break;
    default: // Chicago, Geneva, Helvetica and unknown families
        font.setFamily(QStringLiteral("Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
        break;
    }
    font.setPixelSize(std::clamp(size, 4, 400));
    font.setBold((face & 1) || fontNumber == 0);
    font.setItalic(face & 2);
    font.setUnderline(face & 4);
    if (face & 32)
        font.setStretch(QFont::Condensed);
    else if (face & 64)
        font.setStretch(QFont::Expanded);
    return font;
}

QFont mapTextFont(const MapTextStyle& style) { return mapTextFont(style.fontNumber, style.size, style.face); }

int mapTextFlags() { return Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap; }

void drawMapText(QPainter& p, const MapObject& o, const QRect& r)
{
    if (!o.text || o.text->text.empty())
        return;
    const MapTextStyle style = decodeMapTextStyle(o.text->styleData);
    const QString text = QString::fromStdString(o.text->text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    p.save();
    p.setFont(mapTextFont(style));
    p.setClipRect(r, Qt::IntersectClip);
    const QColor ink = QColor::fromRgba64(o.penColor.red, o.penColor.green, o.penColor.blue);
    if (style.face & (8 | 16)) { // outline and shadow: a lighter copy offset behind the text
        p.setPen(QColor(0xA0, 0xA0, 0xA0));
        p.drawText(r.translated(1, 1), mapTextFlags(), text);
    }
    p.setPen(ink);
    p.drawText(r, mapTextFlags(), text);
    p.restore();
}

} // namespace qm
