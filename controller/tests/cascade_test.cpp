// The main dialog on a cascade of two simulated cameras: each camera's
// notifications are its own. Camera 2 switched at its own power switch
// leaves camera 1's controls alone and never makes the application switch
// camera 1 on.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "resources/control_ids.h"
#include "tests/gui_test_support.h"
#include "ui/main/main_dialog.h"
#include "ui/tools/debug_window.h"

namespace qtr90x::testing {

namespace {

// The frames the library sent since `offset` of its trace file, whole.
QStringList SentSince(qint64 offset) {
  QFile trace(qEnvironmentVariable("QZLINK_TRACE"));
  QStringList frames;
  if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset)) {
    return frames;
  }
  while (!trace.atEnd()) {
    // date time "send" FF 30 <address> 00 <command ...> EF
    const QStringList fields = QString::fromLatin1(trace.readLine()).trimmed().split(' ');
    if (fields.size() > 3 && fields[2] == QLatin1String("send")) {
      frames << fields.mid(3).join(' ');
    }
  }
  return frames;
}

qint64 TraceEnd() {
  return QFile(qEnvironmentVariable("QZLINK_TRACE")).size();
}

bool Settled(MainDialog& dialog, int timeoutMs = kPatienceMs) {
  const auto idle = [&] {
    return !dialog.Engine().SequenceActive() && !dialog.Engine().Cursor().Shown() &&
           dialog.Engine().Cursor().State() == 0;
  };
  // Messages already posted start their sequences first: idle still once
  // they are delivered.
  return WaitUntil([&] { return idle() && (DeliverPosted(), idle()); }, timeoutMs);
}

// Waits until the debug window lists `frame` as a notification.
bool Notified(MainDialog& dialog, const QString& frame) {
  return WaitUntil(
      [&] { return dialog.Debug()->Rows().contains(QStringLiteral("notify\t") + frame); });
}

}  // namespace

class CascadeTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;

  // Cameras 1 and 2, camera 2 chosen once and then camera 1 again: both
  // have their notifications switched on, camera 1 is selected.
  static bool StartOnCameraOne(SimulatedCamera& camera, MainDialog& dialog) {
    if (!camera.Ready()) {
      return false;
    }
    dialog.show();
    if (!Settled(dialog)) {
      return false;
    }
    auto* cameras = qobject_cast<QComboBox*>(dialog.Control(ctl::kCameraCombo));
    if (cameras == nullptr || cameras->count() != 2) {
      return false;
    }
    for (const int index : {1, 0}) {
      cameras->setCurrentIndex(index);
      emit cameras->activated(index);
      if (!Settled(dialog)) {
        return false;
      }
    }
    return dialog.SelectedCamera() == 1 && dialog.Camera().cameraPower &&
           dialog.Control(ctl::kPadUpLeft)->isEnabled();
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("QZLINK_REGISTRY", (dir_->path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_->path().toLocal8Bit());
  }

  void AnotherCamerasPowerOffLeavesTheSelectedCameraUsable() {
    SimulatedCamera camera({"--cameras", "2"});
    MainDialog dialog;
    QVERIFY(StartOnCameraOne(camera, dialog));
    QCOMPARE(camera.Control(QStringLiteral("power 2 off")), QStringList{QStringLiteral("ok")});
    QVERIFY(Notified(dialog, QStringLiteral("FA 30 32 00 A0 30 EF")));
    QVERIFY(Settled(dialog));
    QVERIFY(dialog.Camera().cameraPower);
    QVERIFY(dialog.Control(ctl::kPadUpLeft)->isEnabled());  // the pad
    QVERIFY(dialog.Control(ctl::kZoomTele)->isEnabled());   // Tele
  }

  void AnotherCamerasPowerOnNeverSwitchesTheSelectedCameraOn() {
    SimulatedCamera camera({"--cameras", "2"});
    MainDialog dialog;
    QVERIFY(StartOnCameraOne(camera, dialog));
    // Camera 1 off at its own switch: shown off.
    QCOMPARE(camera.Control(QStringLiteral("power 1 off")), QStringList{QStringLiteral("ok")});
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.Control(ctl::kPadUpLeft)->isEnabled(), kPatienceMs);
    QVERIFY(Settled(dialog));
    const qint64 start = TraceEnd();
    QCOMPARE(camera.Control(QStringLiteral("power 2 off")), QStringList{QStringLiteral("ok")});
    QVERIFY(Notified(dialog, QStringLiteral("FA 30 32 00 A0 30 EF")));
    QCOMPARE(camera.Control(QStringLiteral("power 2 on")), QStringList{QStringLiteral("ok")});
    QVERIFY(Notified(dialog, QStringLiteral("FA 30 32 00 A0 31 EF")));
    RunFor(300);  // a power-on of camera 1 would be sent meanwhile
    QVERIFY(Settled(dialog));
    const QStringList sent = SentSince(start);
    QVERIFY2(!sent.contains(QStringLiteral("FF 30 31 00 A0 31 EF")), qPrintable(sent.join(", ")));
    QVERIFY(!dialog.Camera().cameraPower);
    QVERIFY(!dialog.Control(ctl::kPadUpLeft)->isEnabled());
    QCOMPARE(camera.Camera().value(QStringLiteral("power")), QStringLiteral("off"));
  }

  // The cascade query never answered at the start: no camera is known, so
  // none is offered, no preset names are shown or stored, Night Mode is
  // not shown checked.
  void AConnectWithoutACameraListKnowsNoCamera() {
    SimulatedCamera camera;
    QVERIFY(camera.Ready());
    QCOMPARE(camera.Control(QStringLiteral("noanswer cmd 8F")), QStringList{QStringLiteral("ok")});
    {
      MainDialog dialog;
      dialog.show();
      QVERIFY(Settled(dialog));  // the cascade query is given up after its answer time
      QVERIFY(dialog.Connected());
      QCOMPARE(dialog.SelectedCamera(), 0);
      auto* cameras = qobject_cast<QComboBox*>(dialog.Control(ctl::kCameraCombo));
      QCOMPARE(cameras->count(), 0);
      QVERIFY(!cameras->isEnabled());
      QVERIFY(!dialog.Control(ctl::kCameraLabel)->isEnabled());  // its label
      QCOMPARE(qobject_cast<QComboBox*>(dialog.Control(ctl::kPresetCombo))->count(), 0);  // presets
      QVERIFY(!qobject_cast<QCheckBox*>(dialog.Control(ctl::kNightMode))->isChecked());
      QVERIFY(!dialog.Control(ctl::kPadUpLeft)->isEnabled());
    }  // exit
    QFile registry(qEnvironmentVariable("QZLINK_REGISTRY"));
    QVERIFY(registry.open(QIODevice::ReadOnly));
    const QString stored = QString::fromUtf8(registry.readAll());
    QVERIFY(stored.contains(QLatin1String("\\1.0\\Gen]")));
    QVERIFY2(!stored.contains(QLatin1String("\\Cam")), qPrintable(stored));
  }
};

}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  qtr90x::testing::CascadeTest test;
  return QTest::qExec(&test, argc, argv) == 0 ? 0 : 1;
}

#include "cascade_test.moc"
