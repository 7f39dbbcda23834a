// Gamepad control end to end: a virtual game controller of SDL (no hardware)
// steers the main dialog, which drives the simulated camera; the camera's
// state and the library's trace of the frames sent show what happened.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
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
#include <cmath>
#include <memory>

#include "core/gamepad/gamepad_core.h"
#include "resources/control_ids.h"
#include "resources/menu_ids.h"
#include "tests/gui_test_support.h"
#include "tests/virtual_pad.h"
#include "ui/gamepad/gamepad_control.h"
#include "ui/gamepad/gamepad_dialog.h"
#include "ui/main/main_dialog.h"

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

// The same with the time each frame went (ms since the epoch, the trace's
// local wall clock).
QList<std::pair<qint64, QString>> TimedSince(qint64 offset) {
  QFile trace(qEnvironmentVariable("QZLINK_TRACE"));
  QList<std::pair<qint64, QString>> commands;
  if (!trace.open(QIODevice::ReadOnly) || !trace.seek(offset))
    return commands;
  while (!trace.atEnd()) {
    const QStringList fields = QString::fromLatin1(trace.readLine()).trimmed().split(' ');
    if (fields.size() > 8 && fields[2] == QLatin1String("send")) {
      const QDateTime at = QDateTime::fromString(fields[0] + ' ' + fields[1].left(12),
                                                 QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
      commands.append({at.toMSecsSinceEpoch(), fields.mid(7, fields.size() - 8).join(' ')});
    }
  }
  return commands;
}

qint64 TraceEnd() {
  return QFile(qEnvironmentVariable("QZLINK_TRACE")).size();
}

// Runs `act` and gives the frames the library sent within `ms` after it: a
// span for the checks that nothing is sent.
template <typename Act>
QStringList SentDuring(Act act, int ms = 150) {
  const qint64 offset = TraceEnd();
  act();
  RunFor(ms);
  return SentSince(offset);
}

}  // namespace

class GamepadTest : public QObject {
  Q_OBJECT

 private:
  static constexpr SDL_GameControllerAxis kX = SDL_CONTROLLER_AXIS_LEFTX;
  static constexpr SDL_GameControllerAxis kY = SDL_CONTROLLER_AXIS_LEFTY;
  static constexpr SDL_GameControllerButton kNear = SDL_CONTROLLER_BUTTON_LEFTSHOULDER;
  std::unique_ptr<QTemporaryDir> dir_;

  struct Running {
    explicit Running(const QStringList& options = {}, bool fast = true) : camera(options, fast) {}
    // The dialog connected and, with `plug`, the virtual pad attached to it.
    bool Start(bool plug = true) {
      if (!camera.Ready())
        return false;
      dialog = std::make_unique<MainDialog>();
      dialog->show();
      if (!Settled() || dialog->Gamepad() == nullptr)
        return false;
      return !plug || (pad.Attach() && QTest::qWaitFor([&] { return Pad().Attached(); }, 3000));
    }
    bool Settled(int timeoutMs = kPatienceMs) {
      const auto* model = qobject_cast<QLabel*>(dialog->Control(ctl::kModelLine));
      const auto idle = [&] {
        return !model->text().isEmpty() && !dialog->Engine().SequenceActive() &&
               dialog->Engine().CallsInFlight() == 0 && !dialog->Engine().Cursor().Shown() &&
               dialog->Engine().Cursor().State() == 0;
      };
      // Messages already posted start their sequences first: idle still once
      // they are delivered.
      return WaitUntil([&] { return idle() && (DeliverPosted(), idle()); }, timeoutMs);
    }
    GamepadControl& Pad() { return *dialog->Gamepad(); }
    // The gamepad's commands answered and nothing else in flight.
    bool Quiet(int timeoutMs = 3000) {
      return QTest::qWaitFor(
          [&] {
            return Pad().Core().CommandsInFlight() == 0 && dialog->Engine().CallsInFlight() == 0;
          },
          timeoutMs);
    }
    // Moves `axis` to `value` and waits until the move runs and is answered.
    bool Deflect(SDL_GameControllerAxis axis, int value) {
      pad.Axis(axis, value);
      return QTest::qWaitFor([&] { return Pad().Core().Moving(); }, 3000) && Quiet();
    }
    // A field of the simulated camera's state ("pan", "zoomSpeed", ...).
    QString State(const char* key) { return camera.Camera().value(QLatin1String(key)); }
    // Whether the field changes, waiting until it does.
    bool Changing(const char* key) {
      const QString before = State(key);
      return WaitUntil([&] { return State(key) != before; });
    }
    // Whether the field stays as it is over `ms`: a span, for a move that
    // must have stopped.
    bool Still(const char* key, int ms = 150) {
      const QString before = State(key);
      RunFor(ms);
      return State(key) == before;
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
    QCOMPARE(run.State("panSpeed"), QStringLiteral("400"));
    const qint64 offset = TraceEnd();

    // Full right: the camera pans at its top speed.
    run.pad.Axis(kX, kFull);
    QTRY_COMPARE_WITH_TIMEOUT(run.State("panSpeed"), QStringLiteral("800"), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Changing("pan"));
    // Held a while: still moving, nothing more sent.
    const int sent = run.Pad().CommandsSent();
    const QString held = run.State("pan");
    RunFor(300);  // a command sent while the stick is held would show meanwhile
    QVERIFY(run.State("pan") != held);
    QCOMPARE(run.Pad().CommandsSent(), sent);

    // Half way: a slower speed under the running move.
    run.pad.Axis(kX, kFull / 2);
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(run.State("panSpeed").toInt() - 400) < 60, 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Changing("pan"));

    // Back to the middle: one stop, and the operator's speed back.
    run.pad.Axis(kX, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.State("panSpeed"), QStringLiteral("400"), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Still("pan", 200));
    const QStringList frames = SentSince(offset);
    QCOMPARE(frames.count(QStringLiteral("60 30 30")), 1);
    QVERIFY2(frames.indexOf(QStringLiteral("60 31 30")) >= 0, qPrintable(frames.join(" | ")));
    // The stop went before the speed was put back.
    QVERIFY(frames.indexOf(QStringLiteral("60 30 30")) <
            frames.lastIndexOf(QStringLiteral("50 31 39 30")));
  }

  // With no controller the edge sleeps; a pad attached later wakes it, and
  // a joystick that is no game controller lets it sleep again.
  void SleepsUntilAControllerComes() {
    Running run;
    QVERIFY(run.Start(false));
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().SourceSleeping(), 3000);
    const int wakes = run.Pad().SourceWakes();
    RunFor(100);                               // a wake-up would show meanwhile
    QCOMPARE(run.Pad().SourceWakes(), wakes);  // nothing wakes it by itself
    const int other = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 0, 0);
    QVERIFY2(other >= 0, SDL_GetError());
    const SDL_JoystickID otherId = SDL_JoystickGetDeviceInstanceID(other);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().SourceWakes() == wakes + 1 && run.Pad().SourceSleeping(),
                             3000);
    RunFor(100);                                   // a wake-up would show meanwhile
    QCOMPARE(run.Pad().SourceWakes(), wakes + 1);  // back to sleep for good
    QVERIFY(!run.Pad().Attached());
    for (int round = 0; round < 2; ++round) {
      QVERIFY(run.pad.Attach());
      QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Attached(), 3000);
      QVERIFY(!run.Pad().SourceSleeping());
      QVERIFY(run.Deflect(kX, kFull));
      run.pad.Detach();
      QTRY_VERIFY_WITH_TIMEOUT(!run.Pad().Attached(), 3000);
      QTRY_VERIFY_WITH_TIMEOUT(run.Pad().SourceSleeping(), 3000);
      QVERIFY(!run.Pad().Core().Moving());
    }
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == otherId)
        SDL_JoystickDetachVirtual(i);
    }
  }

  void AttachedBeforeTheApplicationStarts() {
    Running run;
    QVERIFY(run.pad.Attach());
    QVERIFY(run.Start(false));
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Attached(), 3000);
    QCOMPARE(run.Pad().ControllerName(), QStringLiteral("Virtual test pad"));
    run.pad.Axis(kX, -kFull);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().Moving(), 3000);
  }

  void ZoomAndFocus() {
    Running run;
    QVERIFY(run.Start());
    const QString zoomSpeed = run.State("zoomSpeed");
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, kFull);
    QTRY_COMPARE_WITH_TIMEOUT(run.State("zoomSpeed"), QStringLiteral("7"), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Changing("zoom"));
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    QTRY_COMPARE_WITH_TIMEOUT(run.State("zoomSpeed"), zoomSpeed, 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Still("zoom"));

    // Focus follows Near and Far: nothing in auto focus, a drive in manual.
    QVERIFY(!run.dialog->Control(ctl::kFocusNear)->isEnabled());
    const auto tap = [&] {
      run.pad.Button(kNear, true);
      RunFor(100);  // held that long; a drive would be sent meanwhile
      run.pad.Button(kNear, false);
    };
    QCOMPARE(SentDuring(tap, 50), QStringList());
    qobject_cast<QRadioButton*>(run.dialog->Control(ctl::kFocusManual))->click();  // Manual
    QVERIFY(run.Quiet());
    const qint64 offset = TraceEnd();
    run.pad.Button(kNear, true);
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(offset).contains(QStringLiteral("A1 32")), 3000);
    QVERIFY(run.Changing("focus"));
    run.pad.Button(kNear, false);
    QTRY_COMPARE_WITH_TIMEOUT(SentSince(offset).last(), QStringLiteral("A1 31"), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Still("focus"));
  }

  // A diagonal move stops when the controller goes (SDL lets go of its
  // axes: the pan stops with the first command, the tilt with the stop that
  // follows, then the speeds go back) or when the session ends (the stop is
  // the last frame; nothing is put back).
  void StopsWhenThePadOrTheSessionGoes_data() {
    QTest::addColumn<bool>("detach");
    QTest::newRow("detached") << true;
    QTest::newRow("disconnected") << false;
  }
  void StopsWhenThePadOrTheSessionGoes() {
    QFETCH(bool, detach);
    Running run;
    QVERIFY(run.Start());
    const qint64 start = TraceEnd();
    run.pad.Axis(kY, -kFull);  // tilt up
    run.pad.Axis(kX, -kFull);  // and left
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(start).contains(QStringLiteral("60 32 31")), 3000);
    QVERIFY(run.Quiet());
    QVERIFY(run.Changing("pan"));
    const qint64 offset = TraceEnd();
    if (detach) {
      run.pad.Detach();
      QTRY_VERIFY_WITH_TIMEOUT(!run.Pad().Attached(), 3000);
      QVERIFY(run.Quiet());
    } else {
      run.dialog->RunCommand(cmd::kConnect);  // File -> Connect: disconnect
      QVERIFY(!run.dialog->Connected());
    }
    QVERIFY(run.Still("pan", 200));
    const QStringList frames = SentSince(offset);
    const QStringList moves = frames.filter(QRegularExpression(QStringLiteral("^60 ")));
    const int speedBack = frames.indexOf(QStringLiteral("50 31 39 30"));
    QVERIFY2(!moves.isEmpty() && moves.size() <= 2 && moves.last() == QLatin1String("60 30 30") &&
                 (detach ? frames.indexOf(moves.last()) < speedBack : speedBack < 0),
             qPrintable(frames.join(" | ")));
  }

  void ActionsFollowTheirButtons() {
    Running run({QStringLiteral("--cameras"), QStringLiteral("2")});
    QVERIFY(run.Start());
    // Store preset 1 where the camera is, so that Go is enabled for it.
    qobject_cast<QPushButton*>(run.dialog->Control(ctl::kPresetSet))->click();  // Set
    QVERIFY(run.Quiet());
    qint64 offset = TraceEnd();
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);  // the modifier first
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().ButtonDown(gamepad_button::kBack), 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_A, true);  // preset 1
    QTRY_VERIFY_WITH_TIMEOUT(SentSince(offset).contains(QStringLiteral("8A 31")), 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_A, false);
    run.pad.Button(SDL_CONTROLLER_BUTTON_B, true);  // preset 2: not stored, Go disabled
    RunFor(100);                                    // a recall sent anyway would show meanwhile
    QVERIFY(!SentSince(offset).contains(QStringLiteral("8A 32")));
    QCOMPARE(qobject_cast<QComboBox*>(run.dialog->Control(ctl::kPresetCombo))->currentIndex(), 1);
    run.pad.Button(SDL_CONTROLLER_BUTTON_B, false);
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, false);

    // The next camera of the cascade, as if chosen in the list.
    run.pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    QTRY_COMPARE_WITH_TIMEOUT(run.dialog->SelectedCamera(), 2, 3000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    QVERIFY(run.Settled());

    // In Local mode the stick does nothing at all.
    qobject_cast<QRadioButton*>(run.dialog->Control(ctl::kLocal))->click();
    QVERIFY(run.Settled());
    QVERIFY(!run.dialog->Control(ctl::kPadUp)->isEnabled());
    QCOMPARE(SentDuring([&] { run.pad.Axis(kX, kFull); }), QStringList());
    // Back in Host mode with the stick still held: it waits to be let go.
    qobject_cast<QRadioButton*>(run.dialog->Control(ctl::kHost))->click();
    QVERIFY(run.Settled());
    RunFor(100);  // a move started by the held stick would show meanwhile
    QVERIFY(!run.Pad().Core().Moving());
    run.pad.Axis(kX, 0);
    QTRY_COMPARE_WITH_TIMEOUT(run.Pad().Core().AxisValue(GamepadAxis::kLeftX), 0, 3000);
    QVERIFY(run.Deflect(kX, kFull));
    // Choosing the first camera again stops the second before anything else.
    offset = TraceEnd();
    auto* cameras = qobject_cast<QComboBox*>(run.dialog->Control(ctl::kCameraCombo));
    cameras->setCurrentIndex(0);
    emit cameras->activated(0);
    QVERIFY(run.Settled());
    QCOMPARE(SentSince(offset).value(0), QStringLiteral("60 30 30"));
    QVERIFY(!run.Pad().Core().Moving());
  }

  void SwitchedOffInTheDialog() {
    Running run;
    QVERIFY(run.Start());
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
    QCOMPARE(SentDuring([&] { run.pad.Axis(kX, kFull); }), QStringList());
    GamepadSettings stored;
    QCOMPARE(LoadGamepadSettings(&stored), 0);
    QVERIFY(!stored.enabled);
    // On again: the controller is found again, the held stick waits to be let go.
    stored.enabled = true;
    run.Pad().ApplySettings(stored);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Attached(), 3000);
    RunFor(100);  // a move started by the held stick would show meanwhile
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
    run.pad.Axis(kX, 21000);
    run.pad.Axis(kY, -9000);
    run.pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 12000);
    run.pad.Button(SDL_CONTROLLER_BUTTON_BACK, true);
    QTRY_VERIFY_WITH_TIMEOUT(run.Pad().Core().ButtonDown(gamepad_button::kBack), 3000);
    GamepadDialog dialog(run.Pad());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.grab().save(QDir(dir).filePath(QStringLiteral("gamepad-dialog.png"))));
  }

  // The stick pushed from the centre to full over 100 to 1,000 ms on a
  // 9600 baud line: one speed command, then the move, while the stick is
  // still on its way; from then on only the speed follows it.
  void GradualPushStartsTheMoveAtOnce_data() {
    QTest::addColumn<int>("pushMs");
    for (int ms : {100, 200, 500, 1000})
      QTest::newRow(qPrintable(QStringLiteral("%1 ms").arg(ms))) << ms;
  }
  void GradualPushStartsTheMoveAtOnce() {
    QFETCH(int, pushMs);
    Running run({}, false);
    QVERIFY(run.Start());
    QVERIFY(run.Quiet());
    const GamepadCore& core = run.Pad().Core();
    const int edge = kFull * run.Pad().Settings().deadZonePercent / 100 + 1;
    const qint64 offset = TraceEnd();
    qint64 leftAt = -1;  // wall clock, ms
    int atMove = -1;     // the stick as the application had it at the start
    QElapsedTimer push;
    push.start();
    for (qint64 t = 0; t <= pushMs; t = push.elapsed()) {
      const int value = static_cast<int>(kFull * t / pushMs);
      run.pad.Axis(kX, value);
      if (leftAt < 0 && value >= edge)
        leftAt = QDateTime::currentMSecsSinceEpoch();
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
      if (atMove < 0 && core.Moving())
        atMove = core.AxisValue(GamepadAxis::kLeftX);
    }
    run.pad.Axis(kX, kFull);
    QTRY_VERIFY_WITH_TIMEOUT(core.Moving(), 3000);
    if (atMove < 0)
      atMove = core.AxisValue(GamepadAxis::kLeftX);
    QTRY_COMPARE_WITH_TIMEOUT(run.State("panSpeed"), QStringLiteral("800"), 3000);
    QVERIFY(run.Quiet());
    const auto frames = TimedSince(offset);
    QStringList sent;
    for (const auto& frame : frames)
      sent << frame.second;
    const int move = sent.indexOf(QStringLiteral("60 31 30"));
    QVERIFY2(move >= 0, qPrintable(sent.join(" | ")));
    qInfo(
        "%d ms push: the move %lld ms after the stick left the dead zone, the stick at %d, "
        "%d speed commands after it",
        pushMs, static_cast<long long>(frames[move].first - leftAt), atMove,
        static_cast<int>(sent.mid(move).filter(QRegularExpression(QStringLiteral("^50 "))).size()));
    QCOMPARE(sent.mid(0, move).filter(QRegularExpression(QStringLiteral("^50 "))).size(), 1);
    QCOMPARE(sent.filter(QRegularExpression(QStringLiteral("^60 "))).size(), 1);
    if (pushMs >= 500)
      QVERIFY2(atMove < kFull, "the move went before the stick was at full");
    run.pad.Axis(kX, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!core.Moving(), 3000);
  }

  // The stick follows a sine of one second for three seconds: the pan is
  // started once per half wave and never again while its direction holds.
  void SlowCurveTurnsOnlyWithTheDirection() {
    Running run({}, false);
    QVERIFY(run.Start());
    QVERIFY(run.Quiet());
    const qint64 offset = TraceEnd();
    QElapsedTimer clock;
    clock.start();
    for (qint64 t = 0; t <= 3000; t = clock.elapsed()) {
      run.pad.Axis(kX, static_cast<int>(kFull * std::sin(2 * 3.14159265358979 * t / 1000.0)));
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    run.pad.Axis(kX, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!run.Pad().Core().Moving(), 3000);
    QVERIFY(run.Quiet());
    const QStringList sent = SentSince(offset);
    const QStringList moves = sent.filter(QRegularExpression(QStringLiteral("^60 ")));
    int restarts = 0;
    int starts = 0;
    for (int i = 0; i < moves.size(); ++i) {
      if (moves[i] != QLatin1String("60 30 30")) {
        ++starts;
        restarts += i > 0 && moves[i] == moves[i - 1] ? 1 : 0;
      }
    }
    const int speeds =
        static_cast<int>(sent.filter(QRegularExpression(QStringLiteral("^50 "))).size());
    qInfo("slow sine: %d starts, %d restarts, %d stops, %d speed commands", starts, restarts,
          static_cast<int>(moves.size()) - starts, speeds);
    QCOMPARE(restarts, 0);
    // A start per half wave, each stopped once in the dead zone (or turned
    // straight round when the application saw no value inside it).
    QVERIFY2(starts >= 5 && starts <= 7 && moves.size() <= 2 * starts &&
                 moves.last() == QLatin1String("60 30 30"),
             qPrintable(moves.join(" | ")));
    QVERIFY(speeds > starts);
  }

  // 10,000 axis events, each one seen by the application, against a camera
  // on a 9600 baud line: never more than one of the gamepad's commands in
  // flight, and the camera at the newest speed right after the burst.
  void BurstAtLineSpeed() {
    Running run({QStringLiteral("--move-delay"), QStringLiteral("20")}, false);
    QVERIFY(run.Start());
    QVERIFY(run.Deflect(kX, kFull));
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
      run.pad.Axis(kX, value);
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
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(run.State("panSpeed").toInt() - finalSpeed) < step, 3000);
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
