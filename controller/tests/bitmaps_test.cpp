// The dialog's bitmaps at 1x and 2x: every bitmap has a drawing at twice its
// size with no pixel blended into a key colour, the loader picks the drawing
// for the screen's scale, and a direction button shows it pixel for pixel.
// Also the application's name and icon on the desktop.
// CTest runs this program once as it is and once with QT_SCALE_FACTOR=2.
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QSet>
#include <QTest>

#include "app/desktop_identity.h"
#include "resources/bitmap_ids.h"
#include "ui/common/bitmaps.h"
#include "ui/main/direction_button.h"

namespace qtr90x::testing {

namespace {

// The bitmap ids in the resources, from the 1x files' names.
QList<int> BitmapIds() {
  QList<int> ids;
  const QStringList names =
      QDir(QStringLiteral(":/bitmaps")).entryList({QStringLiteral("*.png")}, QDir::Files);
  for (const QString& name : names) {
    if (!name.contains('@')) {
      ids.append(name.section('.', 0, 0).toInt());
    }
  }
  return ids;
}

QSet<QRgb> Colours(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  QSet<QRgb> colours;
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      colours.insert(line[x] | 0xFF000000u);
    }
  }
  return colours;
}

}  // namespace

class BitmapsTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryBitmapHasASharpDrawingAtTwiceItsSize_data() {
    QTest::addColumn<int>("id");
    const QList<int> ids = BitmapIds();
    QVERIFY(ids.size() >= 56);
    for (int id : ids) {
      QTest::newRow(qPrintable(QString::number(id))) << id;
    }
  }
  void EveryBitmapHasASharpDrawingAtTwiceItsSize() {
    QFETCH(int, id);
    const QImage normal = LoadBitmapImage(id, 1.0);
    const QImage sharp = LoadBitmapImage(id, 2.0);
    QVERIFY(!normal.isNull());
    QCOMPARE(normal.devicePixelRatio(), 1.0);
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    QCOMPARE(sharp.size(), normal.size() * 2);
    QCOMPARE(sharp.deviceIndependentSize(), QSizeF(normal.size()));
    // Hard edges: the 2x drawing uses no colour that the 1x one lacks, so no
    // pixel is a blend of a shape and the key colour (a fringe after the
    // key is replaced).
    const QSet<QRgb> extra = Colours(sharp) - Colours(normal);
    QVERIFY2(extra.isEmpty(), qPrintable(QStringLiteral("%1 blended colours").arg(extra.size())));
  }

  void LoadsTheDrawingForTheScreensScale_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<qreal>("expected");
    QTest::newRow("1") << 1.0 << 1.0;
    QTest::newRow("1.25 takes 2x, scaled down") << 1.25 << 2.0;
    QTest::newRow("2") << 2.0 << 2.0;
    QTest::newRow("3 takes 2x, scaled up") << 3.0 << 2.0;
  }
  void LoadsTheDrawingForTheScreensScale() {
    QFETCH(qreal, ratio);
    QFETCH(qreal, expected);
    QCOMPARE(LoadBitmapImage(bmp::kHome[0], ratio).devicePixelRatio(), expected);
    QCOMPARE(LoadBitmapImage(bmp::kHome[0]).devicePixelRatio(),
             qApp->devicePixelRatio() > 1.0 ? 2.0 : 1.0);
  }

  void UnknownIdIsNull() {
    QVERIFY(LoadBitmapImage(9999, 1.0).isNull());
    QVERIFY(LoadBitmapImage(9999, 2.0).isNull());
  }

  void ReplacingTheKeyKeepsTheScale() {
    const QImage sharp = LoadBitmapImage(bmp::kUp[0], 2.0);
    const QImage replaced = ReplaceKeyColour(sharp, qRgb(255, 0, 255), qRgb(1, 2, 3));
    QCOMPARE(replaced.devicePixelRatio(), 2.0);
    QVERIFY(!Colours(replaced).contains(qRgb(255, 0, 255)));
    QVERIFY(Colours(replaced).contains(qRgb(1, 2, 3)));
  }

  // The button keeps its size in the layout and, on a screen of scale 2,
  // shows the 2x drawing unscaled: its pixels are the bitmap's, with the
  // button face in place of the key colour and nothing of magenta left.
  void ButtonShowsTheDrawingPixelForPixel_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("Up") << bmp::kUp[0];
    QTest::newRow("Home") << bmp::kHome[0];
    QTest::newRow("Tele") << bmp::kTele[0];
    QTest::newRow("Near") << bmp::kNear[0];
  }
  void ButtonShowsTheDrawingPixelForPixel() {
    QFETCH(int, id);
    DirectionButton button;
    button.SetKeyColour(qRgb(255, 0, 255));
    QVERIFY(button.LoadBitmaps(id, 0, 0, 0));
    QCOMPARE(button.sizeHint(), QSize(24, 24));
    button.resize(24, 24);
    const qreal ratio = qApp->devicePixelRatio();
    const QImage shown = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(24, 24) * ratio);
    QVERIFY(!Colours(shown).contains(qRgb(255, 0, 255)));
    const QRgb face = button.palette().color(QPalette::Button).rgb();
    const QImage expected = ReplaceKeyColour(LoadBitmapImage(id, ratio), qRgb(255, 0, 255), face)
                                .convertToFormat(QImage::Format_RGB32);
    if (ratio == 1.0 || ratio == 2.0) {
      QCOMPARE(shown.size(), expected.size());
      for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
          QCOMPARE(shown.pixel(x, y) | 0xFF000000u, expected.pixel(x, y) | 0xFF000000u);
        }
      }
    }
  }

  // Docks find the menu entry by the desktop file name; without an installed
  // theme icon every window still gets the camera at 1x and 2x.
  void DesktopIdentity() {
    ApplyDesktopIdentity();
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("com.orveda.QTR90xControler"));
    const QIcon icon = QApplication::windowIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QVERIFY(icon.availableSizes().contains(QSize(64, 64)));
    QWidget window;
    QCOMPARE(window.windowIcon().cacheKey(), icon.cacheKey());
  }
};

}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qtr90x::testing::BitmapsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "bitmaps_test.moc"
