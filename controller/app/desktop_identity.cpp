#include "app/desktop_identity.h"

#include <QApplication>
#include <QPixmap>

#include "resources/bitmap_ids.h"
#include "ui/common/bitmaps.h"

namespace qtr90x {

const char* DesktopId() {
  return QZ_APP_ID;
}

QIcon ApplicationIcon() {
  QIcon bitmap;
  for (qreal ratio : {1.0, 2.0}) {
    // An icon chooses among its pixmaps by their pixel size.
    QPixmap pixmap = QPixmap::fromImage(LoadBitmapImage(bmp::kAppIcon, ratio));
    pixmap.setDevicePixelRatio(1.0);
    bitmap.addPixmap(pixmap);
  }
  return QIcon::fromTheme(QString::fromLatin1(DesktopId()), bitmap);
}

void ApplyDesktopIdentity() {
  QGuiApplication::setDesktopFileName(QString::fromLatin1(DesktopId()));
  QApplication::setWindowIcon(ApplicationIcon());
}

}  // namespace qtr90x
