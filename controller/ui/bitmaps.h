// The application's bitmaps, loaded by resource id.
#pragma once

#include <QColor>
#include <QImage>

namespace qtr90x {

// The image of a bitmap id; a null image for an unknown id.
QImage LoadBitmapImage(int id);

// A copy of `image` with every pixel of `key` replaced by `replacement`.
QImage ReplaceKeyColour(const QImage& image, QRgb key, QRgb replacement);

}  // namespace qtr90x
