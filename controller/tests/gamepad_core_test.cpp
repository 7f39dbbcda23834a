// The gamepad core: axes and buttons in, commands out, with the camera
// answering when the test says so.
#include "core/gamepad/gamepad_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <ostream>
#include <vector>

namespace qtr90x {

// Failures name the calls rather than dump their bytes.
void PrintTo(const LibraryCall& call, std::ostream* os) {
  *os << DescribeCall(call);
}

namespace {

using F = LibraryFunction;
using A = GamepadAxis;
using Z = ZoomSource;
using Calls = std::vector<LibraryCall>;
namespace b = gamepad_button;

constexpr int kFull = 32767;

LibraryCall Speed(int cam, int mode, int speed) {
  return MakeCall(F::kQzSetMotorSpeed, cam, mode, speed);
}
LibraryCall PanTilt(int cam, int code) {
  return MakeCall(F::kQzSetPanTilt2, cam, code);
}
LibraryCall Zooming(int cam, int code) {
  return MakeCall(F::kQzSetZooming, cam, code);
}
LibraryCall ZoomSpeed(int cam, int speed) {
  return MakeCall(F::kQzSetZoomSpeed, cam, speed);
}
LibraryCall Focus(int cam, int mode) {
  return MakeCall(F::kQzSetFocusMode, cam, mode);
}

GamepadSettings NoDeadZone() {
  GamepadSettings s;
  s.deadZonePercent = 0;
  return s;
}
GamepadSettings ControlOff() {
  GamepadSettings s = NoDeadZone();
  s.enabled = false;
  return s;
}

// The core with a camera that answers in order when told to.
class Pad {
 public:
  explicit Pad(GamepadSettings settings = NoDeadZone()) {
    ctx.camera = 1;
    ctx.panTiltEnabled = ctx.zoomEnabled = ctx.focusEnabled = true;
    ctx.panSpeed = 400;
    ctx.tiltSpeed = 300;
    ctx.zoomSpeed = 3;
    Configure(settings);
    Run([&](GamepadOutputs& out) { core.OnAttached({}, ctx, out); });  // all let go
  }

  template <typename Event>
  void Run(Event event) {
    GamepadOutputs out;
    event(out);
    for (const GamepadOutput& o : out) {
      if (o.kind == GamepadOutput::Kind::kSend) {
        sent.push_back(o.call);
        inFlight.push_back(o.call);
      } else {
        actions.push_back(o.action);
      }
    }
  }
  void Axis(A axis, int value) {
    Run([&](GamepadOutputs& out) { core.OnAxis(axis, value, ctx, out); });
  }
  void Button(int button, bool down) {
    Run([&](GamepadOutputs& out) { core.OnButton(button, down, ctx, out); });
  }
  void Context() {
    Run([&](GamepadOutputs& out) { core.OnContextChanged(ctx, out); });
  }
  void Configure(const GamepadSettings& s) {
    Run([&](GamepadOutputs& out) { core.SetSettings(s, ctx, out); });
  }
  void Detach() {
    Run([&](GamepadOutputs& out) { core.OnDetached(ctx, out); });
  }
  void EndSession() {
    Run([&](GamepadOutputs& out) {
      core.StopAll(GamepadCore::StopReason::kSessionEnding, ctx, out);
    });
  }
  void PanTiltEnabled(bool enabled) {
    ctx.panTiltEnabled = enabled;
    Context();
  }
  void SwitchCamera(int camera, int panSpeed) {
    ctx.camera = camera;
    ctx.panSpeed = panSpeed;
    Context();
  }
  // The camera answers the oldest command in flight.
  void Answer() {
    ASSERT_FALSE(inFlight.empty());
    inFlight.pop_front();
    Run([&](GamepadOutputs& out) { core.OnAnswered(ctx, out); });
  }
  // Answers until nothing is in flight; every command sent, from the start.
  Calls Settle() {
    for (int guard = 0; !inFlight.empty() && guard < 100; ++guard)
      Answer();
    return Take();
  }
  Calls Take() {
    Calls taken;
    taken.swap(sent);
    return taken;
  }

  GamepadCore core;
  GamepadContext ctx;
  Calls sent;
  std::deque<LibraryCall> inFlight;
  std::vector<GamepadAction> actions;
};

TEST(GamepadShaping, DeadZoneRampsFromZeroAndCurveBendsIt) {
  struct Case {
    int raw;
    int deadZone;
    SpeedCurve curve;
    double expected;
  };
  const Case cases[] = {
      {0, 10, SpeedCurve::kLinear, 0.0},
      {3276, 10, SpeedCurve::kLinear, 0.0},  // inside
      {-3276, 10, SpeedCurve::kLinear, 0.0},
      {3277, 10, SpeedCurve::kLinear, 0.0},  // the edge: still from zero, no jump
      {3300, 10, SpeedCurve::kLinear, 0.0},  // just past it: the bottom of the speed range
      {kFull, 10, SpeedCurve::kLinear, 1.0},
      {-32768, 10, SpeedCurve::kLinear, -1.0},
      {(kFull + 3277) / 2, 10, SpeedCurve::kLinear, 0.5},  // half way past the edge
      {kFull / 2 + 1, 0, SpeedCurve::kLinear, 0.5},
      {kFull / 2 + 1, 0, SpeedCurve::kSquared, 0.25},
      {-(kFull / 2 + 1), 0, SpeedCurve::kSquared, -0.25},
      {kFull, 50, SpeedCurve::kSquared, 1.0},
      {kFull, 90, SpeedCurve::kLinear, 1.0},  // a dead zone past its limit is held at 50 %
      {kFull / 4, 90, SpeedCurve::kLinear, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(ShapeAxis(c.raw, c.deadZone, c.curve), c.expected, 0.001)
        << c.raw << " dz " << c.deadZone << " curve " << static_cast<int>(c.curve);
  }
}

TEST(GamepadShaping, DeflectionMapsOntoTheSpeedRange) {
  struct Case {
    double magnitude;
    int min, max, expected;
  };
  const Case cases[] = {{0.0, 8, 800, 8},    {1.0, 8, 800, 800}, {0.5, 8, 800, 404},
                        {0.25, 8, 622, 162}, {1.0, 8, 622, 622}, {0.0, 0, 7, 0},
                        {0.5, 0, 7, 4},      {1.0, 0, 7, 7},     {1.5, 0, 7, 7}};
  for (const Case& c : cases)
    EXPECT_EQ(SpeedForDeflection(c.magnitude, c.min, c.max), c.expected) << c.magnitude;
}

// Speed and direction from the left stick, plain and inverted.
TEST(GamepadCore, SpeedIsProportionalToTheDeflection) {
  struct Case {
    int x, y;
    bool inverted;
    Calls expected;
  };
  const int half = kFull / 2 + 1;
  const std::vector<Case> cases = {
      {kFull, 0, false, {Speed(1, 0, 800), PanTilt(1, 3)}},
      {-32768, 0, false, {Speed(1, 0, 800), PanTilt(1, 4)}},
      {0, -32768, false, {Speed(1, 1, 622), PanTilt(1, 1)}},  // stick up: tilt up
      {0, kFull, false, {Speed(1, 1, 622), PanTilt(1, 2)}},
      {half, 0, false, {Speed(1, 0, 404), PanTilt(1, 3)}},
      {-half, half, false, {Speed(1, 0, 404), Speed(1, 1, 315), PanTilt(1, 8)}},
      {half, -kFull, false, {Speed(1, 0, 404), Speed(1, 1, 622), PanTilt(1, 5)}},
      {kFull, kFull, true, {Speed(1, 0, 800), Speed(1, 1, 622), PanTilt(1, 7)}},  // up and left
  };
  for (const Case& c : cases) {
    GamepadSettings s = NoDeadZone();
    s.invertPan = s.invertTilt = c.inverted;
    Pad pad(s);
    pad.Axis(A::kLeftX, c.x);
    pad.Axis(A::kLeftY, c.y);
    const Calls calls = pad.Settle();
    EXPECT_EQ(calls, c.expected) << c.x << "," << c.y << ": ";
  }
}

// Back into the dead zone: one stop at once, then the operator's speed back
// where it was read (a speed never read is not written).
TEST(GamepadCore, ReturnSendsExactlyOneStopThenPutsTheSpeedBack) {
  struct Case {
    int panSpeed;
    Calls expected;
  };
  const Case cases[] = {{400, {PanTilt(1, 0), Speed(1, 0, 400)}}, {-1, {PanTilt(1, 0)}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.panSpeed);
    GamepadSettings s;
    s.deadZonePercent = 10;
    Pad pad(s);
    pad.ctx.panSpeed = c.panSpeed;
    pad.Axis(A::kLeftX, kFull);
    pad.Settle();
    pad.Axis(A::kLeftX, 1000);  // inside the dead zone
    ASSERT_EQ(pad.sent, Calls{PanTilt(1, 0)}) << "the stop goes at once";
    pad.Axis(A::kLeftX, -1000);
    pad.Axis(A::kLeftX, 0);
    pad.Axis(A::kLeftY, 2000);
    EXPECT_EQ(pad.Settle(), c.expected);
    EXPECT_FALSE(pad.core.Moving());
    pad.Axis(A::kLeftX, 500);
    EXPECT_TRUE(pad.Settle().empty());
  }
}

TEST(GamepadCore, ABurstOfAxisEventsLeavesOneCommandInFlightAndTheNewestWins) {
  Pad pad;
  pad.Axis(A::kLeftX, 4000);
  ASSERT_EQ(pad.sent.size(), 1u);
  for (int i = 0; i < 10000; ++i)
    pad.Axis(A::kLeftX, 4000 + i * 2);
  EXPECT_EQ(pad.sent.size(), 1u) << "nothing queued behind the command in flight";
  EXPECT_EQ(pad.core.CommandsInFlight(), 1);
  const int newest = 4000 + 9999 * 2;
  const Calls calls = pad.Settle();
  const int speed = SpeedForDeflection(ShapeAxis(newest, 0, SpeedCurve::kLinear), 8, 800);
  // The first speed and the start, then straight to the newest speed.
  EXPECT_EQ(calls, (Calls{Speed(1, 0, SpeedForDeflection(4000 / 32767.0, 8, 800)), PanTilt(1, 3),
                          Speed(1, 0, speed)}));
}

// A stick (or a trigger) pushed from the centre to full over `pushEvents`
// axis events, the camera answering once every `eventsPerAnswer` events:
// the move goes right after one speed command, at the stick's position of
// that moment, and the speed follows under the running move without
// starting it again.
TEST(GamepadCore, AGradualPushStartsTheMoveAtOnceAndTheSpeedFollows) {
  struct Case {
    A axis;
    int pushEvents;
    int eventsPerAnswer;
  };
  const Case cases[] = {
      {A::kLeftX, 1, 20},           {A::kLeftX, 10, 20},  {A::kLeftX, 100, 20},
      {A::kLeftX, 200, 20},         {A::kLeftX, 500, 20}, {A::kLeftX, 1000, 20},
      {A::kLeftX, 1000, 1},         {A::kLeftX, 50, 200}, {A::kTriggerRight, 100, 20},
      {A::kTriggerRight, 1000, 20},
  };
  for (const Case& c : cases) {
    const bool zoom = c.axis == A::kTriggerRight;
    SCOPED_TRACE(::testing::Message() << (zoom ? "zoom, " : "pan, ") << c.pushEvents
                                      << " events, an answer every " << c.eventsPerAnswer);
    GamepadSettings s;
    s.deadZonePercent = 10;
    Pad pad(s);
    const auto value = [&](int i) {
      return static_cast<int>(static_cast<long long>(kFull) * std::min(i, c.pushEvents) /
                              c.pushEvents);
    };
    const auto speedAt = [&](int i) {
      const double m = ShapeAxis(value(i), s.deadZonePercent, s.curve);
      return zoom ? ZoomSpeed(1, SpeedForDeflection(m, 0, 7))
                  : Speed(1, 0, SpeedForDeflection(m, 8, 800));
    };
    int left = -1;         // the event that left the dead zone
    int valueAtMove = -1;  // the stick when the move went
    for (int i = 1; i <= c.pushEvents + c.eventsPerAnswer; ++i) {
      pad.Axis(c.axis, value(i));
      if (left < 0 && !pad.sent.empty())
        left = i;
      if (valueAtMove < 0 && pad.core.Moving())
        valueAtMove = value(i);
      if (i % c.eventsPerAnswer == 0 && !pad.inFlight.empty())
        pad.Answer();
    }
    const Calls calls = pad.Settle();
    ASSERT_GE(calls.size(), 2u);
    const LibraryCall start = zoom ? Zooming(1, 2) : PanTilt(1, 3);
    EXPECT_EQ(calls[0], speedAt(left));
    EXPECT_EQ(calls[1], start) << "the move is the second command";
    // No later than one answer after the stick left the dead zone.
    EXPECT_LE(valueAtMove, value(left + c.eventsPerAnswer));
    EXPECT_EQ(calls.back(), c.pushEvents > 1 ? speedAt(c.pushEvents) : start);
    for (std::size_t i = 2; i < calls.size(); ++i)
      EXPECT_EQ(calls[i].function, calls[0].function) << i;
  }
}

// A stick that follows slow curves for three periods of 1,000 events, the
// camera answering every 20: the move is sent again only when its
// direction changes (every pan/tilt command differs from the one before),
// and the speeds follow the stick in between.
TEST(GamepadCore, AStickOnASlowCurveTurnsTheMoveOnlyWhenItsDirectionChanges) {
  constexpr double kPi = 3.14159265358979;
  struct Case {
    const char* what;
    double (*x)(double);  // of the period's fraction, -1..1
    double (*y)(double);
    int moves;  // pan/tilt commands, stops included
  };
  const Case cases[] = {
      // Six half waves: a start and a stop each.
      {"sine", [](double t) { return std::sin(2 * kPi * t); }, [](double) { return 0.0; }, 12},
      // Never back inside the dead zone: one start, the stop at the end.
      {"sine off the centre", [](double t) { return 0.6 + 0.35 * std::sin(2 * kPi * t); },
       [](double) { return 0.0; }, 2},
      // Round and round: eight directions a turn, each one once.
      {"circle", [](double t) { return std::cos(2 * kPi * t); },
       [](double t) { return std::sin(2 * kPi * t); }, 3 * 8 + 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GamepadSettings s;
    s.deadZonePercent = 10;
    Pad pad(s);
    for (int i = 0; i <= 3000; ++i) {
      const double t = i / 1000.0;
      pad.Axis(A::kLeftX, static_cast<int>(kFull * c.x(t)));
      pad.Axis(A::kLeftY, static_cast<int>(-kFull * c.y(t)));
      if (i % 20 == 0 && !pad.inFlight.empty())
        pad.Answer();
    }
    pad.Axis(A::kLeftX, 0);
    pad.Axis(A::kLeftY, 0);
    const Calls calls = pad.Settle();
    int moves = 0;
    int speeds = 0;
    int restarts = 0;
    LibraryCall last;
    for (const LibraryCall& call : calls) {
      if (call.function == F::kQzSetPanTilt2) {
        ++moves;
        restarts += moves > 1 && call == last ? 1 : 0;
        last = call;
      } else {
        ++speeds;
      }
    }
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ(moves, c.moves);
    EXPECT_GT(speeds, 3 * 10) << "the speeds follow the stick";
    EXPECT_EQ(last, PanTilt(1, 0));
  }
}

TEST(GamepadCore, StopGoesAtOnceAndBeforeAnyLaterSpeedChange) {
  Pad pad;
  pad.Axis(A::kLeftX, kFull);  // speed 800 in flight
  pad.Axis(A::kLeftX, 20000);  // a newer speed waits
  pad.Axis(A::kLeftX, 0);      // back: nothing was started, so no stop
  EXPECT_EQ(pad.Take(), Calls{Speed(1, 0, 800)});
  pad.Answer();
  // The stick went back before the start: nothing moves, the speed goes back.
  EXPECT_EQ(pad.Settle(), Calls{Speed(1, 0, 400)});

  pad.Axis(A::kLeftX, kFull);
  pad.Answer();                // speed answered, the start goes
  pad.Axis(A::kLeftX, 10000);  // start in flight; a slower speed waits
  pad.Axis(A::kLeftX, 0);      // the stop does not wait
  EXPECT_EQ(pad.Take(), (Calls{Speed(1, 0, 800), PanTilt(1, 3), PanTilt(1, 0)}));
  pad.Axis(A::kLeftX, -kFull);  // a new move waits for both answers
  EXPECT_TRUE(pad.sent.empty());
  pad.Answer();
  EXPECT_TRUE(pad.sent.empty());
  pad.Answer();
  EXPECT_EQ(pad.Settle(), Calls{PanTilt(1, 4)}) << "800 is still set";

  // One axis of two stopping goes before the other's speed change.
  Pad both;
  both.Axis(A::kLeftX, kFull);
  both.Axis(A::kLeftY, -kFull);
  both.Settle();
  both.Axis(A::kLeftY, 0);
  both.Axis(A::kLeftX, 10000);
  const Calls calls = both.Settle();
  ASSERT_GE(calls.size(), 1u);
  EXPECT_EQ(calls.front(), PanTilt(1, 3));
}

TEST(GamepadCore, ZoomFromTriggersOrRightStick) {
  struct Case {
    ZoomSource source;
    bool invert;
    A axis;
    int value;
    Calls expected;
  };
  const std::vector<Case> cases = {
      {Z::kTriggers, false, A::kTriggerRight, kFull, {ZoomSpeed(1, 7), Zooming(1, 2)}},
      {Z::kTriggers, false, A::kTriggerLeft, kFull / 2 + 1, {ZoomSpeed(1, 4), Zooming(1, 1)}},
      {Z::kTriggers, true, A::kTriggerRight, kFull, {ZoomSpeed(1, 7), Zooming(1, 1)}},
      {Z::kRightStick, false, A::kRightY, -kFull, {ZoomSpeed(1, 7), Zooming(1, 2)}},
      {Z::kRightStick, false, A::kRightY, kFull, {ZoomSpeed(1, 7), Zooming(1, 1)}},
      {Z::kRightStick, false, A::kTriggerRight, kFull, {}},  // triggers unused
      {Z::kTriggers, false, A::kRightY, kFull, {}},
  };
  for (const Case& c : cases) {
    GamepadSettings s = NoDeadZone();
    s.zoomSource = c.source;
    s.invertZoom = c.invert;
    Pad pad(s);
    pad.Axis(c.axis, c.value);
    EXPECT_EQ(pad.Settle(), c.expected) << static_cast<int>(c.axis) << " " << c.value;
    pad.Axis(c.axis, 0);
    const Calls release = pad.Settle();
    const Calls stopped = c.expected.empty() ? Calls{} : Calls{Zooming(1, 0), ZoomSpeed(1, 3)};
    EXPECT_EQ(release, stopped);
  }
}

TEST(GamepadCore, ButtonsRecallPresetsStepCamerasAndFocus) {
  struct Case {
    bool modifier;
    int button;
    std::vector<GamepadAction> expected;
  };
  const std::vector<Case> cases = {
      {true, b::kA, {GamepadAction::kPreset1}},
      {true, b::kY, {GamepadAction::kPreset4}},
      {true, b::kDpadUp, {GamepadAction::kPreset5}},
      {true, b::kDpadLeft, {GamepadAction::kPreset8}},
      {true, b::kStart, {GamepadAction::kPreset9}},
      {false, b::kA, {}},
      {false, b::kY, {GamepadAction::kOnePushAf}},
      {false, b::kDpadLeft, {GamepadAction::kCameraPrevious}},
      {false, b::kDpadRight, {GamepadAction::kCameraNext}},
      {false, b::kLeftShoulder, {}},                     // focus: a command, no action
      {false, b::kDpadDown, {GamepadAction::kPreset2}},  // the operator's own mapping
  };
  GamepadSettings s = NoDeadZone();
  s.Binding(GamepadAction::kPreset2) = ButtonBinding{b::kDpadDown, false};
  for (const Case& c : cases) {
    Pad pad(s);
    if (c.modifier)
      pad.Button(b::kBack, true);
    pad.Button(c.button, true);
    pad.Button(c.button, true);  // a repeated press is one press
    pad.Button(c.button, false);
    EXPECT_EQ(pad.actions, c.expected) << c.button << " modifier " << c.modifier;
  }
}

TEST(GamepadCore, FocusDrivesWhileHeldAndStopsOnRelease) {
  Pad pad;
  pad.Button(b::kLeftShoulder, true);
  EXPECT_EQ(pad.Settle(), Calls{Focus(1, 2)});
  pad.Button(b::kRightShoulder, true);  // the later press wins
  EXPECT_EQ(pad.Settle(), Calls{Focus(1, 3)});
  pad.Button(b::kRightShoulder, false);
  pad.Button(b::kLeftShoulder, false);
  EXPECT_EQ(pad.Settle(), (Calls{Focus(1, 2), Focus(1, 1)}));

  // Auto focus disables Near and Far: a held drive stops and stays stopped.
  pad.Button(b::kRightShoulder, true);
  pad.Settle();
  pad.ctx.focusEnabled = false;
  pad.Context();
  EXPECT_EQ(pad.Settle(), Calls{Focus(1, 1)});
  pad.ctx.focusEnabled = true;
  pad.Context();
  EXPECT_TRUE(pad.Settle().empty()) << "held through the change: ignored until let go";
  pad.Button(b::kRightShoulder, false);
  pad.Button(b::kRightShoulder, true);
  EXPECT_EQ(pad.Settle(), Calls{Focus(1, 3)});
}

// The stop goes at once; the speed goes back to the camera that moved as
// soon as it can be written, unless the session ends (its speeds are
// forgotten and set again). A stick still held when control is usable again
// waits to be let go.
TEST(GamepadCore, AMoveStoppedByTheApplicationWaitsForTheStickToReturn) {
  struct Case {
    const char* what;
    void (*apply)(Pad&);
    Calls putBack;       // after the stop
    Calls reenabled;     // the pad usable again, the stick still held
    Calls afterRelease;  // let go, then full right again
  };
  const Calls back = {Speed(1, 0, 400)};
  const Calls again = {Speed(1, 0, 800), PanTilt(1, 3)};
  const Calls onTwo = {Speed(2, 0, 800), PanTilt(2, 3)};
  const std::vector<Case> cases = {
      {"pad disabled", [](Pad& p) { p.PanTiltEnabled(false); }, {}, back, again},
      {"camera changed", [](Pad& p) { p.SwitchCamera(2, 100); }, back, {}, onTwo},
      {"detached", [](Pad& p) { p.Detach(); }, back, {}, {}},
      {"session ending", [](Pad& p) { p.EndSession(); }, {}, {}, again},
      {"control off", [](Pad& p) { p.Configure(ControlOff()); }, back, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Pad pad;
    pad.Axis(A::kLeftX, kFull);
    pad.Settle();
    c.apply(pad);
    EXPECT_EQ(pad.Take(), Calls{PanTilt(1, 0)});
    EXPECT_EQ(pad.Settle(), c.putBack);
    EXPECT_FALSE(pad.core.Moving());
    pad.PanTiltEnabled(true);
    pad.Axis(A::kLeftX, kFull - 1);
    EXPECT_EQ(pad.Settle(), c.reenabled);
    EXPECT_FALSE(pad.core.Moving());
    pad.Axis(A::kLeftX, 0);
    pad.Axis(A::kLeftX, kFull);
    EXPECT_EQ(pad.Settle(), c.afterRelease);
  }
}

TEST(GamepadCore, ControlsHeldAtAttachOrWhileDisabledAreIgnoredUntilLetGo) {
  Pad pad;
  pad.Run([&](GamepadOutputs& out) {
    std::array<int, kGamepadAxes> held{};
    held[static_cast<std::size_t>(A::kTriggerRight)] = 16384;
    pad.core.OnAttached(held, pad.ctx, out);
  });
  pad.Axis(A::kTriggerRight, kFull);
  EXPECT_TRUE(pad.Settle().empty());
  pad.Axis(A::kTriggerRight, 0);
  pad.Axis(A::kTriggerRight, kFull);
  EXPECT_EQ(pad.Settle(), (Calls{ZoomSpeed(1, 7), Zooming(1, 2)}));

  Pad off;
  off.PanTiltEnabled(false);  // camera off, Local, or disconnected
  off.Axis(A::kLeftX, kFull);
  off.PanTiltEnabled(true);
  EXPECT_TRUE(off.Settle().empty());
}

}  // namespace
}  // namespace qtr90x
