#include "ui/bitmaps.h"

#include <QString>

namespace qtr90x {

QImage LoadBitmapImage(int id) {
  return QImage(QStringLiteral(":/bitmaps/%1.png").arg(id));
}

QImage ReplaceKeyColour(const QImage& image, QRgb key, QRgb replacement) {
  QImage out = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (qRed(line[x]) == qRed(key) && qGreen(line[x]) == qGreen(key) &&
          qBlue(line[x]) == qBlue(key)) {
        line[x] = replacement;
      }
    }
  }
  return out;
}

}  // namespace qtr90x
