#pragma once
// Icons and pictures the program refers to by resource number, drawn from the SVG files under
// resources/images.
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
};

// An empty pixmap for an unknown number.
QPixmap resourcePixmap(int id, QSize size);
QIcon resourceIcon(int id);
// The picture's designed size (its SVG canvas).
QSize resourceSize(int id);

} // namespace qm
