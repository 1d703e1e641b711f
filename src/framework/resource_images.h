#pragma once
// Icons and pictures the program refers to by resource number, drawn from the SVG files under
// resources/images.
#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace qm {

enum ResourceImage : int {
    imgAppIcon = 102,
    imgPrefsStartup = 377,
    imgPrefsScratchDisk = 378,
    imgPrefsHotSpots = 379,
    imgPrefsAnnotations = 5808,
    imgStartupPicture = 1, // the start-up box's picture (no number of its own)
    imgBrowse = 113,
    imgAdd = 311,
    // Map tools: select, one-way link, two-way link, delete link; background drawing tools:
    // line, rectangle, oval, text, arc, filled rectangle, filled oval; colour, pattern, pen size.
    imgToolSelect = 357,
    imgToolOneWayLink = 358,
    imgToolTwoWayLink = 359,
    imgToolDeleteLink = 360,
    imgToolLine = 361,
    imgToolRectangle = 362,
    imgToolOval = 363,
    imgToolText = 364,
    imgToolArc = 365,
    imgToolFilledRectangle = 366,
    imgToolFilledOval = 367,
    imgColorButton = 368,
    imgPatternButton = 369,
    imgPenSizeButton = 370,
};

// Cursors by resource number: 353 over the map while the delete-link tool is chosen, 354 while
// a link is being deleted.
enum ResourceCursor : int { curDeleteLink = 353, curDeletingLink = 354 };
// The cursor drawn from its SVG, hot spot in the middle; the arrow for an unknown number.
QCursor resourceCursor(int id);

// An empty pixmap for an unknown number.
QPixmap resourcePixmap(int id, QSize size);
QIcon resourceIcon(int id);
// The picture's designed size (its SVG canvas).
QSize resourceSize(int id);

} // namespace qm
