#include "ui/common/bitmaps.h"

#include <QGuiApplication>
#include <QString>

namespace qtr90x {

QImage LoadBitmapImage(int id) {
  return LoadBitmapImage(id, qApp != nullptr ? qApp->devicePixelRatio() : 1.0);
}

QImage LoadBitmapImage(int id, qreal devicePixelRatio) {
  // Each bitmap is drawn at 1x and 2x with hard edges; a 1x bitmap scaled up
  // would be blurred or blocky. A ratio between 1 and 2 takes the 2x drawing,
  // which the painter scales down.
  if (devicePixelRatio > 1.0) {
    QImage sharp(QStringLiteral(":/bitmaps/%1@2x.png").arg(id));
    if (!sharp.isNull()) {
      sharp.setDevicePixelRatio(2.0);
      return sharp;
    }
  }
  return QImage(QStringLiteral(":/bitmaps/%1.png").arg(id));
}

QImage ReplaceKeyColour(const QImage& image, QRgb key, QRgb replacement) {
  QImage out = image.convertToFormat(QImage::Format_RGB32);
  out.setDevicePixelRatio(image.devicePixelRatio());
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
