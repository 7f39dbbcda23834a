// Gamepad control end to end: a virtual game controller of SDL (no hardware)
// steers the main dialog, which drives the simulated camera; the camera's
// state and the library's trace of the frames sent show what happened.
#include <SDL2/SDL.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/gamepad_core.h"
#include "tests/gui_test_support.h"
#include "ui/gamepad_control.h"
#include "ui/gamepad_dialog.h"
#include "ui/main_dialog.h"

namespace qtr90x::testing {

namespace {

constexpr int kFull = 32767;

// The frames the library sent since `offset` of its trace (QZLINK_TRACE),
// each from the command byte on ("60 31 30", ...).
QStringList SentSince(qint64 offset) {
  QFile trace(qEnvironmentVariable("QZLINK_TRACE"));
  QStringList commands;
  if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset))
    return commands;
  while (!trace.atEnd()) {
    const QStringList fields = QString::fromLatin1(trace.readLine()).trimmed().split(' ');
    if (fields.size() > 8 && fields[2] == QLatin1String("send"))
      commands << fields.mid(7, fields.size() - 8).join(' ');
  }
  return commands;
}

qint64 TraceEnd() {
  return QFile(qEnvironmentVariable("QZLINK_TRACE")).size();
}

// A game controller made by SDL itself: sticks, triggers and buttons set
// from the test.
class VirtualPad {
 public:
  bool Attach() {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Virtual test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0)
      return false;
    joystick_ = SDL_JoystickOpen(index);
    if (joystick_ == nullptr)
      return false;
    // A virtual trigger starts half way; let both go.
    Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    return true;
  }
  void Detach() {
    if (joystick_ == nullptr)
      return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) {
        SDL_JoystickDetachVirtual(i);
        break;
      }
    }
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
  }
  ~VirtualPad() { Detach(); }

  void Axis(SDL_GameControllerAxis axis, int value) {
    SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(value));
  }
  void Button(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

}  // namespace

class GamepadTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;

  struct Running {
    explicit Running(const QStringList& options = {}, bool fast = true) : camera(options, fast) {}
    bool Start() {
      if (!camera.Ready())
        return false;
      dialog = std::make_unique<MainDialog>();
      dialog->show();
      return Settled() && dialog->Gamepad() != nullptr;
    }
    bool Settled(int timeoutMs = 8000) {
      const auto* model = qobject_cast<QLabel*>(dialog->Control(1162));
      QTest::qWait(30);
      return QTest::qWaitFor(
          [&] {
            return !model->text().isEmpty() && !dialog->Engine().SequenceActive() &&
                   dialog->Engine().CallsInFlight() == 0 && !dialog->Engine().WaitCursorShown() &&
                   dialog->Engine().WaitCursorStateValue() == 0;
          },
          timeoutMs);
    }
    GamepadControl& Pad() { return *dialog->Gamepad(); }
    bool Plug() {
      return pad.Attach() && QTest::qWaitFor([&] { return Pad().Attached(); }, 3000);
    }
    // The gamepad's commands answered and nothing else in flight.
    bool Quiet(int timeoutMs = 3000) {
      return QTest::qWaitFor(
          [&] {
            return Pad().Core().CommandsInFlight() == 0 && dialog->Engine().CallsInFlight() == 0;
          },
          timeoutMs);
    }
    int Pan() { return camera.Camera().value(QStringLiteral("pan")).toInt(); }
    // Whether the pan position changes over `ms`.
    bool PanMoving(int ms = 150) {
      const int before = Pan();
      QTest::qWait(ms);
      return Pan() != before;
    }
    SimulatedCamera camera;
    std::unique_ptr<MainDialog> dialog;
    VirtualPad pad;
  };

 private slots:
  void initTestCase() {
    // The test's own hold on SDL: the virtual controllers outlive each dialog.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    QVERIFY2(SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0, SDL_GetError());
  }
  void cleanupTestCase() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    qputenv("QZLINK_REGISTRY", (dir_->path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", dir_->path().toLocal8Bit());
  }

  void DeflectHoldReturn() {
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    const QString restSpeed = run.camera.Camera().value(QStringLiteral("panSpeed"));
    QCOMPARE(restSpeed, QStringLiteral("400"));
    const qint64 offset = TraceEnd();

    // Full right: the camera pans at its top speed.
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTRY_COMPARE_WITH_TIMEOUT(run.camera.Camera().value(QStringLiteral("panSpeed")),
                              QStringLiteral("800"), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.PanMoving());
    // Held a while: still moving, nothing more sent.
    const int sent = run.Pad().CommandsSent();
    QVERIFY(run.PanMoving(300));
    QCOMPARE(run.Pad().CommandsSent(), sent);

    // Half way: a slower speed under the running move.
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull / 2);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::abs(run.camera.Camera().value(QStringLiteral("panSpeed")).toInt() - 400) < 60, 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.PanMoving());

    // Back to the middle: one stop, and the operator's speed back.
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.camera.Camera().value(QStringLiteral("panSpeed")), restSpeed,
                              3000);
    QVERIFY(run.Quiet());
    QVERIFY(!run.PanMoving(200));
    const QStringList frames = SentSince(offset);
    QCOMPARE(frames.count(QStringLiteral("60 30 30")), 1);
    QVERIFY2(frames.indexOf(QStringLiteral("60 31 30")) >= 0, qPrintable(frames.join(" | ")));
    // The stop went before the speed was put back.
    QVERIFY(frames.indexOf(QStringLiteral("60 30 30")) <
            frames.lastIndexOf(QStringLiteral("50 31 39 30")));
  }

  void AttachedBeforeTheApplicationStarts() {
    Running run;
    QVERIFY(run.pad.Attach());
    QVERIFY(run.Start());
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Attached(), 3000);
    QCOMPARE(run.Pad().ControllerName(), QStringLiteral("Virtual test pad"));
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -kFull);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().Moving(), 3000);
  }

  void ZoomAndFocus() {
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    const auto zoom = [&] { return run.camera.Camera().value(QStringLiteral("zoom")); };
    const QString zoomSpeed = run.camera.Camera().value(QStringLiteral("zoomSpeed"));
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, kFull);
    QTRY_COMPARE_WITH_TIMEOUT(run.camera.Camera().value(QStringLiteral("zoomSpeed")),
                              QStringLiteral("7"), 3000);
    QVERIFY(run.Quiet());
    const QString before = zoom();
    QTest::qWait(150);
    QVERIFY(zoom() != before);
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    QTRY_COMPARE_WITH_TIMEOUT(run.camera.Camera().value(QStringLiteral("zoomSpeed")), zoomSpeed,
                              3000);
    QVERIFY(run.Quiet());
    const QString stopped = zoom();
    QTest::qWait(150);
    QCOMPARE(zoom(), stopped);

    // Focus follows Near and Far: nothing in auto focus, a drive in manual.
    const auto focus = [&] { return run.camera.Camera().value(QStringLiteral("focus")); };
    QVERIFY(!run.dialog->Control(1016)->isEnabled());
    const qint64 offset = TraceEnd();
    run.pad.Button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
    QTest::qWait(100);
    run.pad.Button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, false);
    QTest::qWait(50);
    QVERIFY2(SentSince(offset).isEmpty(), qPrintable(SentSince(offset).join(" | ")));
    qobject_cast<QRadioButton*>(run.dialog->Control(1020))->click();  // Manual
    QVERIFY(run.Quiet());
    run.pad.Button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, true);
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(offset).contains(QStringLiteral("A1 32")), 3000);
    const QString driving = focus();
    QTest::qWait(150);
    QVERIFY(focus() != driving);
    run.pad.Button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, false);
    QTRY_COMPARE_WITH_TIMEOUT(SentSince(offset).last(), QStringLiteral("A1 31"), 3000);
    QVERIFY(run.Quiet());
    const QString held = focus();
    QTest::qWait(150);
    QCOMPARE(focus(), held);
  }

  void DetachWhileMovingStops() {
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    const qint64 start = TraceEnd();
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, -kFull);  // tilt up
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, -kFull);  // and left
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(start).contains(QStringLiteral("60 32 31")), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.PanMoving());
    const qint64 offset = TraceEnd();
    run.pad.Detach();
    QTRY_VERIFY_WITH_TIMEOUT(!run.Pad().Attached(), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(!run.PanMoving(200));
    // SDL lets go of every axis of a controller that goes: the pan stops
    // with the first command, the tilt with the stop that follows; then the
    // speeds go back.
    const QStringList frames = SentSince(offset);
    const QStringList moves = frames.filter(QRegularExpression(QStringLiteral("^60 ")));
    QVERIFY2(moves.size() <= 2 && moves.last() == QLatin1String("60 30 30") &&
                 frames.indexOf(moves.last()) < frames.indexOf(QStringLiteral("50 31 39 30")),
             qPrintable(frames.join(" | ")));
  }

  void ActionsFollowTheirButtons() {
    Running run({QStringLiteral("--cameras"), QStringLiteral("2")});
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    // Store preset 1 where the camera is, so that Go is enabled for it.
    qobject_cast<QPushButton*>(run.dialog->Control(1031))->click();  // Set
    QVERIFY(run.Quiet());
    qint64 offset = TraceEnd();
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);  // the modifier first
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().ButtonDown(gamepad_button::kBack), 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_A, true);  // preset 1
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(offset).contains(QStringLiteral("8A 31")), 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    run.pad.Button(SDL_CONTROLLER_BUTTON_B, true);  // preset 2: not stored, Go disabled
    QTest::qWait(100);
    QVERIFY(!SentSince(offset).contains(QStringLiteral("8A 32")));
    QCOMPARE(qobject_cast<QComboBox*>(run.dialog->Control(1072))->currentIndex(), 1);
    run.pad.Button(SDL_CONTROLLER_BUTTON_B, false);
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, false);

    // The next camera of the cascade, as if chosen in the list.
    run.pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    QTRY_COMPARE_WITH_TIMEOUT(run.dialog->SelectedCamera(), 2, 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    QVERIFY(run.Settled());

    // In Local mode the stick does nothing at all.
    qobject_cast<QRadioButton*>(run.dialog->Control(1139))->click();
    QVERIFY(run.Settled());
    QVERIFY(!run.dialog->Control(1006)->isEnabled());
    offset = TraceEnd();
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTest::qWait(150);
    QVERIFY2(SentSince(offset).isEmpty(), qPrintable(SentSince(offset).join(" | ")));
    // Back in Host mode with the stick still held: it waits to be let go.
    qobject_cast<QRadioButton*>(run.dialog->Control(1138))->click();
    QVERIFY(run.Settled());
    QTest::qWait(100);
    QVERIFY(!run.Pad().Core().Moving());
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.Pad().Core().AxisValue(GamepadAxis::kLeftX), 0, 3000);
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().Moving(), 3000);
    QVERIFY(run.Quiet());
    // Choosing the first camera again stops the second before anything else.
    offset = TraceEnd();
    auto* cameras = qobject_cast<QComboBox*>(run.dialog->Control(1042));
    cameras->setCurrentIndex(0);
    emit cameras->activated(0);
    QVERIFY(run.Settled());
    QCOMPARE(SentSince(offset).value(0), QStringLiteral("60 30 30"));
    QVERIFY(!run.Pad().Core().Moving());
  }

  void SessionEndStopsTheMove() {
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().Moving(), 3000);
    QVERIFY(run.Quiet());
    run.dialog->RunCommand(32771);  // File -> Connect: disconnect
    QVERIFY(!run.dialog->Connected());
    QVERIFY(!run.PanMoving(200));
  }

  void SwitchedOffInTheDialog() {
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    QAction* entry = nullptr;
    for (QAction* a : run.dialog->ToolsMenu()->actions()) {
      if (a->objectName() == QLatin1String("gamepad"))
        entry = a;
    }
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(), QStringLiteral("&Gamepad..."));
    {
      GamepadDialog dialog(run.Pad());
      QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("controllerName"))->text(),
               QStringLiteral("Virtual test pad"));
      GamepadSettings off = dialog.Edited();
      QCOMPARE(off, run.Pad().Settings());
      off.enabled = false;
      run.Pad().ApplySettings(off);
    }
    QVERIFY(!run.Pad().Attached());  // SDL is not kept running
    const qint64 offset = TraceEnd();
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTest::qWait(150);
    QVERIFY(SentSince(offset).isEmpty());
    GamepadSettings stored;
    QCOMPARE(LoadGamepadSettings(&stored), 0);
    QVERIFY(!stored.enabled);
    // On again: the controller is found again, the held stick waits to be let go.
    stored.enabled = true;
    run.Pad().ApplySettings(stored);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Attached(), 3000);
    QTest::qWait(100);
    QVERIFY(!run.Pad().Core().Moving());
  }

  // The dialog for the documentation, with the stick and a trigger held;
  // only when QZ_SCREENSHOT_DIR names the folder to write to.
  void Screenshot() {
    const QString dir = qEnvironmentVariable("QZ_SCREENSHOT_DIR");
    if (dir.isEmpty())
      QSKIP("QZ_SCREENSHOT_DIR not set");
    Running run;
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 21000);
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, -9000);
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 12000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().ButtonDown(gamepad_button::kBack), 3000);
    GamepadDialog dialog(run.Pad());
    dialog.show();
    QTest::qWait(50);
    QVERIFY(dialog.grab().save(QDir(dir).filePath(QStringLiteral("gamepad-dialog.png"))));
  }

  // 10,000 axis events, each one seen by the application, against a camera
  // on a 9600 baud line: never more than one of the gamepad's commands in
  // flight, and the camera at the newest speed right after the burst.
  void BurstAtLineSpeed() {
    Running run({QStringLiteral("--move-delay"), QStringLiteral("20")}, false);
    QVERIFY(run.Start());
    QVERIFY(run.Plug());
    run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, kFull);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().Moving(), 3000);
    QVERIFY(run.Quiet());
    const int sentBefore = run.Pad().CommandsSent();
    const GamepadCore& core = run.Pad().Core();
    int mostInFlight = 0;
    int value = 0;
    QElapsedTimer burst;
    burst.start();
    for (int i = 0; i < 10000; ++i) {
      value = 12000 + (i * 37) % 20000;
      if (value == core.AxisValue(GamepadAxis::kLeftX))
        ++value;
      run.pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, value);
      // Each value reaches the application as an event of its own.
      QElapsedTimer wait;
      wait.start();
      while (core.AxisValue(GamepadAxis::kLeftX) != value && wait.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
      QCOMPARE(core.AxisValue(GamepadAxis::kLeftX), value);
      mostInFlight = std::max(mostInFlight, core.CommandsInFlight());
    }
    const qint64 burstMs = burst.elapsed();
    const int inFlightAtEnd = core.CommandsInFlight();
    const int sentAtEnd = run.Pad().CommandsSent();
    const int finalSpeed = SpeedForDeflection(
        ShapeAxis(value, run.Pad().Settings().deadZonePercent, run.Pad().Settings().curve),
        kPanSpeedMin, kPanSpeedMax);
    QVERIFY(run.Quiet());
    // Within the smallest change worth a command of the newest speed.
    const int step = (kPanSpeedMax - kPanSpeedMin) / 50;
    QTRY_VERIFY_WITH_TIMEOUT(
        std::abs(run.camera.Camera().value(QStringLiteral("panSpeed")).toInt() - finalSpeed) < step,
        3000);
    const int sentAfter = run.Pad().CommandsSent() - sentAtEnd;
    qInfo("burst: %lld ms, %d commands for 10000 events, %d after the last one",
          static_cast<long long>(burstMs), sentAtEnd - sentBefore, sentAfter);
    QVERIFY(mostInFlight <= 1);
    QVERIFY(inFlightAtEnd <= 1);
    // The newest speed and the restart of the move: nothing older than the
    // one command in flight was left to go.
    QVERIFY(sentAfter <= 2);
    // What the line carried: at least 9 ms per command frame at 9600 baud.
    QVERIFY(sentAtEnd - sentBefore <= burstMs / 9 + 2);
  }
};

QObject* MakeGamepadTest() {
  return new GamepadTest;
}

}  // namespace qtr90x::testing

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::unique_ptr<QObject> test(qtr90x::testing::MakeGamepadTest());
  return QTest::qExec(test.get(), argc, argv) == 0 ? 0 : 1;
}

#include "gamepad_test.moc"
