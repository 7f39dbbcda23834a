// What only a real X server shows: input to a window while the main dialog
// runs modally, and a held key's auto-repeat as the server delivers it. Runs
// on the xcb platform under Xvfb (tests/run_under_xvfb.sh); the input comes
// from xdotool, as a person's would.
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "core/settings/settings.h"
#include "resources/control_ids.h"
#include "tests/gui_test_support.h"
#include "ui/main/main_dialog.h"
#include "ui/pages/action_slider.h"
#include "ui/tools/debug_window.h"

namespace qtr90x::testing {

namespace {

bool Xdo(const QStringList& arguments) {
  return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// A real click at the middle of `w`.
bool Click(QWidget* w) {
  const QPoint at = w->mapToGlobal(w->rect().center());
  return Xdo({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
              QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

bool Focus(QWidget* w) {
  return Xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"),
              QString::number(w->window()->winId())});
}

}  // namespace

class X11InputTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      QSKIP("needs an X server (run under Xvfb)");
    }
    // Repeats after 250 ms, 30 a second, as a held key on a desktop.
    QProcess::execute(QStringLiteral("xset"), {QStringLiteral("r"), QStringLiteral("rate"),
                                               QStringLiteral("250"), QStringLiteral("30")});
  }

  // A held arrow key on a speed slider sends once, on its final release,
  // however the server delivers the repeats.
  void HeldArrowKeySendsOnceOnTheFinalRelease() {
    ActionSlider slider;
    slider.setRange(8, 800);
    slider.setValue(100);
    slider.resize(300, 40);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QVERIFY(Focus(&slider));
    QVERIFY(QTest::qWaitFor([&] { return slider.hasFocus(); }, 2000));
    QSignalSpy spy(&slider, &ActionSlider::Released);
    constexpr int kHolds = 20;
    for (int i = 0; i < kHolds; ++i) {
      const int before = slider.value();
      QVERIFY(Xdo({QStringLiteral("keydown"), QStringLiteral("Right")}));
      RunFor(500);  // held that long, the key repeats
      QVERIFY(Xdo({QStringLiteral("keyup"), QStringLiteral("Right")}));
      // The final release sends; a second send would show in the next
      // round's count.
      QTRY_COMPARE_WITH_TIMEOUT(spy.size(), i + 1, kPatienceMs);
      QVERIFY2(slider.value() - before > 3, "the key did not repeat");
    }
    RunFor(120);  // nor after the last round: a second send would show meanwhile
    QCOMPARE(spy.size(), kHolds);
    QCOMPARE(spy.last().at(0).toInt(), slider.value());
  }

  // The debug window takes clicks, keys and the wheel while the main dialog
  // runs modally, opens beside it, and hands nothing to the dialog.
  void DebugWindowWorksWhileTheDialogIsModal() {
    QTemporaryDir dir;
    qputenv("QZLINK_REGISTRY", (dir.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    GeneralSettings stored;
    stored.dispCommandWindow = 1;
    QCOMPARE(SaveGeneralSettings(stored), 0);
    SimulatedCamera camera;
    QVERIFY(camera.Ready());
    MainDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);  // as exec() runs it
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* model = qobject_cast<QLabel*>(dialog.Control(ctl::kModelLine));
    QVERIFY(QTest::qWaitFor([&] { return !model->text().isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return !dialog.Engine().SequenceActive(); }, 5000));

    DebugWindow* debug = dialog.Debug();
    QVERIFY(Click(dialog.Control(ctl::kDebug)));  // Debug
    QVERIFY(QTest::qWaitFor([&] { return debug->isVisible(); }, 2000));
    QVERIFY(QTest::qWaitForWindowExposed(debug));
    QVERIFY(!debug->frameGeometry().intersects(dialog.frameGeometry()));
    QVERIFY(dialog.screen()->availableGeometry().contains(debug->frameGeometry()));
    const QString shots = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
      // Both drawn, and the server has it, before the screen is grabbed.
      dialog.repaint();
      debug->repaint();
      QGuiApplication::sync();
      const QRect both = dialog.frameGeometry().united(debug->frameGeometry());
      QVERIFY(dialog.screen()
                  ->grabWindow(0, both.x(), both.y(), both.width(), both.height())
                  .save(shots + QStringLiteral("/debug-window-beside.png")));
    }
    QVERIFY(debug->RowCount() > 0);
    QVERIFY(Click(FindControl<QPushButton>(debug, ctl::kDebugClear)));  // Clear
    QVERIFY(QTest::qWaitFor([&] { return debug->RowCount() == 0; }, 2000));

    for (int i = 0; i < 40; ++i) {
      QVERIFY(dialog.SendCommand(MakeCall(LibraryFunction::kQzGetZoomSpeed, 1)));
    }
    QVERIFY(QTest::qWaitFor([&] { return dialog.Engine().CallsInFlight() == 0; }, 3000));
    QScrollBar* bar = debug->List()->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());  // the newest row in view
    bar->setValue(0);
    const QPoint list = debug->List()->mapToGlobal(debug->List()->rect().center());
    QVERIFY(Xdo({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(list.x()),
                 QString::number(list.y()), QStringLiteral("click"), QStringLiteral("--repeat"),
                 QStringLiteral("5"), QStringLiteral("5")}));
    QVERIFY(QTest::qWaitFor([&] { return bar->value() > 0; }, 2000));  // the wheel scrolls

    for (const char* key : {"Escape", "Return"}) {
      QVERIFY(Focus(debug));
      QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == debug; }, 2000));
      QVERIFY(Xdo({QStringLiteral("key"), QString::fromLatin1(key)}));
      QVERIFY2(QTest::qWaitFor([&] { return !debug->isVisible(); }, 2000), key);
      RunFor(50);  // the key passed on to the dialog would close it meanwhile
      QVERIFY2(dialog.isVisible(), key);  // the key did not reach the dialog
      QVERIFY(Click(dialog.Control(ctl::kDebug)));
      QVERIFY(QTest::qWaitFor([&] { return debug->isVisible(); }, 2000));
      QVERIFY(QTest::qWaitForWindowExposed(debug));
    }
    QVERIFY(Click(FindControl<QPushButton>(debug, ctl::kToolClose)));  // Close
    QVERIFY(QTest::qWaitFor([&] { return !debug->isVisible(); }, 2000));
  }
};

}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  qtr90x::testing::X11InputTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "x11_input_test.moc"
