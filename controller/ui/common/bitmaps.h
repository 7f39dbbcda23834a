// The application's bitmaps, loaded by resource id.
#pragma once

#include <QColor>
#include <QImage>

namespace qtr90x {

// The image of a bitmap id for the application's screens: drawn at twice the
// size (device pixel ratio 2) when a screen has a scale factor above 1, else
// at its own size; a null image for an unknown id. Either way the image's
// device-independent size is the bitmap's own, so layouts do not change.
QImage LoadBitmapImage(int id);

// The same for a given device pixel ratio.
QImage LoadBitmapImage(int id, qreal devicePixelRatio);

// A copy of `image` with every pixel of `key` replaced by `replacement`; the
// device pixel ratio is kept.
QImage ReplaceKeyColour(const QImage& image, QRgb key, QRgb replacement);

}  // namespace qtr90x
