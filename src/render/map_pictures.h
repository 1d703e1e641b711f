#pragma once
// Picture objects of the background drawing. Their data is a QuickDraw picture (PICT, as the
// clipboard and resources hold one, without the 512-byte file header) of 32-bit direct pixels;
// pictures in any image file format Qt reads are drawn as well.
#include <QImage>

#include "quicktime/base/byte_io.h"

namespace qm {

// The picture's pixels; null when the data cannot be read. Decoded pictures are cached.
QImage mapPictureImage(const Bytes& data);
// A picture (PICT version 2, one direct-pixel copy of the whole image) of the image.
Bytes mapPictureData(const QImage& image);

} // namespace qm
