// The gamepad core: axes and buttons in, commands out, with the camera
// answering when the test says so.
#include "core/gamepad_core.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace qtr90x {
namespace {

using F = LibraryFunction;
using A = GamepadAxis;
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

std::string Describe(const std::vector<LibraryCall>& calls) {
  std::string text;
  for (const LibraryCall& call : calls)
    text += DescribeCall(call) + " ";
  return text;
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
    Run([&](GamepadOutputs& out) { core.SetSettings(settings, ctx, out); });
    Run([&](GamepadOutputs& out) { core.OnAttached(Released(), ctx, out); });
  }

  static GamepadSettings NoDeadZone() {
    GamepadSettings s;
    s.deadZonePercent = 0;
    return s;
  }
  // Sticks centred, triggers let go.
  static std::array<int, kGamepadAxes> Released() { return {}; }

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
  // The camera answers the oldest command in flight.
  void Answer() {
    ASSERT_FALSE(inFlight.empty());
    inFlight.pop_front();
    Run([&](GamepadOutputs& out) { core.OnAnswered(ctx, out); });
  }
  // Answers until nothing is in flight; every command sent, from the start.
  std::vector<LibraryCall> Settle() {
    for (int guard = 0; !inFlight.empty() && guard < 100; ++guard)
      Answer();
    return Take();
  }
  std::vector<LibraryCall> Take() {
    std::vector<LibraryCall> taken;
    taken.swap(sent);
    return taken;
  }

  GamepadCore core;
  GamepadContext ctx;
  std::vector<LibraryCall> sent;
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
  // Just past the edge the value is tiny: the speed starts at the range's bottom.
  EXPECT_LT(ShapeAxis(3300, 10, SpeedCurve::kLinear), 0.001);
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

TEST(GamepadCore, SpeedIsProportionalToTheDeflection) {
  struct Case {
    int x, y;
    std::vector<LibraryCall> expected;
  };
  const int half = kFull / 2 + 1;
  const std::vector<Case> cases = {
      {kFull, 0, {Speed(1, 0, 800), PanTilt(1, 3)}},
      {-32768, 0, {Speed(1, 0, 800), PanTilt(1, 4)}},
      {0, -32768, {Speed(1, 1, 622), PanTilt(1, 1)}},  // stick up: tilt up
      {0, kFull, {Speed(1, 1, 622), PanTilt(1, 2)}},
      {half, 0, {Speed(1, 0, 404), PanTilt(1, 3)}},
      {-half, half, {Speed(1, 0, 404), Speed(1, 1, 315), PanTilt(1, 8)}},
      {half, -kFull, {Speed(1, 0, 404), Speed(1, 1, 622), PanTilt(1, 5)}},
  };
  for (const Case& c : cases) {
    Pad pad;
    pad.Axis(A::kLeftX, c.x);
    pad.Axis(A::kLeftY, c.y);
    const std::vector<LibraryCall> calls = pad.Settle();
    EXPECT_EQ(calls, c.expected) << c.x << "," << c.y << ": " << Describe(calls);
  }
}

TEST(GamepadCore, ReturnSendsExactlyOneStopThenPutsTheSpeedBack) {
  GamepadSettings s;
  s.deadZonePercent = 10;
  Pad pad(s);
  pad.Axis(A::kLeftX, kFull);
  pad.Settle();
  pad.Axis(A::kLeftX, 1000);  // inside the dead zone
  ASSERT_EQ(pad.sent, std::vector<LibraryCall>{PanTilt(1, 0)}) << "the stop goes at once";
  pad.Axis(A::kLeftX, -1000);
  pad.Axis(A::kLeftX, 0);
  pad.Axis(A::kLeftY, 2000);
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{PanTilt(1, 0), Speed(1, 0, 400)}));
  EXPECT_FALSE(pad.core.Moving());
  pad.Axis(A::kLeftX, 500);
  EXPECT_TRUE(pad.Settle().empty());
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
  const std::vector<LibraryCall> calls = pad.Settle();
  const int speed = SpeedForDeflection(ShapeAxis(newest, 0, SpeedCurve::kLinear), 8, 800);
  // The first speed, then straight to the newest before the move starts.
  EXPECT_EQ(calls,
            (std::vector<LibraryCall>{Speed(1, 0, SpeedForDeflection(4000 / 32767.0, 8, 800)),
                                      Speed(1, 0, speed), PanTilt(1, 3)}))
      << Describe(calls);
}

TEST(GamepadCore, StopGoesAtOnceAndBeforeAnyLaterSpeedChange) {
  Pad pad;
  pad.Axis(A::kLeftX, kFull);  // speed 800 in flight
  pad.Axis(A::kLeftX, 20000);  // a newer speed waits
  pad.Axis(A::kLeftX, 0);      // back: nothing was started, so no stop
  EXPECT_EQ(pad.Take(), std::vector<LibraryCall>{Speed(1, 0, 800)});
  pad.Answer();
  // The stick went back before the start: nothing moves, the speed goes back.
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{Speed(1, 0, 400)});

  pad.Axis(A::kLeftX, kFull);
  pad.Answer();                // speed answered, the start goes
  pad.Axis(A::kLeftX, 10000);  // start in flight; a slower speed waits
  pad.Axis(A::kLeftX, 0);      // the stop does not wait
  EXPECT_EQ(pad.Take(), (std::vector<LibraryCall>{Speed(1, 0, 800), PanTilt(1, 3), PanTilt(1, 0)}));
  pad.Axis(A::kLeftX, -kFull);  // a new move waits for both answers
  EXPECT_TRUE(pad.sent.empty());
  pad.Answer();
  EXPECT_TRUE(pad.sent.empty());
  pad.Answer();
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{PanTilt(1, 4)}) << "800 is still set";
}

TEST(GamepadCore, OneAxisStoppingGoesBeforeASpeedChange) {
  Pad pad;
  pad.Axis(A::kLeftX, kFull);
  pad.Axis(A::kLeftY, -kFull);
  pad.Settle();
  pad.Axis(A::kLeftY, 0);
  pad.Axis(A::kLeftX, 10000);
  const std::vector<LibraryCall> calls = pad.Settle();
  ASSERT_GE(calls.size(), 1u);
  EXPECT_EQ(calls.front(), PanTilt(1, 3)) << Describe(calls);
}

TEST(GamepadCore, ZoomFromTriggersOrRightStick) {
  struct Case {
    ZoomSource source;
    bool invert;
    A axis;
    int value;
    std::vector<LibraryCall> expected;
  };
  const std::vector<Case> cases = {
      {ZoomSource::kTriggers, false, A::kTriggerRight, kFull, {ZoomSpeed(1, 7), Zooming(1, 2)}},
      {ZoomSource::kTriggers,
       false,
       A::kTriggerLeft,
       kFull / 2 + 1,
       {ZoomSpeed(1, 4), Zooming(1, 1)}},
      {ZoomSource::kTriggers, true, A::kTriggerRight, kFull, {ZoomSpeed(1, 7), Zooming(1, 1)}},
      {ZoomSource::kRightStick, false, A::kRightY, -kFull, {ZoomSpeed(1, 7), Zooming(1, 2)}},
      {ZoomSource::kRightStick, false, A::kRightY, kFull, {ZoomSpeed(1, 7), Zooming(1, 1)}},
      {ZoomSource::kRightStick, false, A::kTriggerRight, kFull, {}},  // triggers unused
      {ZoomSource::kTriggers, false, A::kRightY, kFull, {}},
  };
  for (const Case& c : cases) {
    GamepadSettings s = Pad::NoDeadZone();
    s.zoomSource = c.source;
    s.invertZoom = c.invert;
    Pad pad(s);
    pad.Axis(c.axis, c.value);
    EXPECT_EQ(pad.Settle(), c.expected) << static_cast<int>(c.axis) << " " << c.value;
    pad.Axis(c.axis, 0);
    const std::vector<LibraryCall> release = pad.Settle();
    if (!c.expected.empty()) {
      EXPECT_EQ(release, (std::vector<LibraryCall>{Zooming(1, 0), ZoomSpeed(1, 3)}))
          << Describe(release);
    }
  }
}

TEST(GamepadCore, InvertedAxesSwapDirections) {
  GamepadSettings s = Pad::NoDeadZone();
  s.invertPan = true;
  s.invertTilt = true;
  Pad pad(s);
  pad.Axis(A::kLeftX, kFull);
  pad.Axis(A::kLeftY, kFull);
  const std::vector<LibraryCall> calls = pad.Settle();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), PanTilt(1, 7)) << "up and left";
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
      {false, b::kLeftShoulder, {}},  // focus: a command, no action
  };
  for (const Case& c : cases) {
    Pad pad;
    if (c.modifier)
      pad.Button(b::kBack, true);
    pad.Button(c.button, true);
    pad.Button(c.button, true);  // a repeated press is one press
    pad.Button(c.button, false);
    EXPECT_EQ(pad.actions, c.expected) << c.button << " modifier " << c.modifier;
  }
  // A preset of the operator's own mapping, on the d-pad without the modifier.
  GamepadSettings s;
  s.Binding(GamepadAction::kPreset2) = ButtonBinding{b::kDpadDown, false};
  Pad mapped(s);
  mapped.Button(b::kDpadDown, true);
  EXPECT_EQ(mapped.actions, std::vector<GamepadAction>{GamepadAction::kPreset2});
}

TEST(GamepadCore, FocusDrivesWhileHeldAndStopsOnRelease) {
  Pad pad;
  pad.Button(b::kLeftShoulder, true);
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{Focus(1, 2)});
  pad.Button(b::kRightShoulder, true);  // the later press wins
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{Focus(1, 3)});
  pad.Button(b::kRightShoulder, false);
  pad.Button(b::kLeftShoulder, false);
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{Focus(1, 2), Focus(1, 1)}));

  // Auto focus disables Near and Far: a held drive stops and stays stopped.
  pad.Button(b::kRightShoulder, true);
  pad.Settle();
  pad.ctx.focusEnabled = false;
  pad.Context();
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{Focus(1, 1)});
  pad.ctx.focusEnabled = true;
  pad.Context();
  EXPECT_TRUE(pad.Settle().empty()) << "held through the change: ignored until let go";
  pad.Button(b::kRightShoulder, false);
  pad.Button(b::kRightShoulder, true);
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{Focus(1, 3)});
}

TEST(GamepadCore, AMoveStoppedByTheApplicationWaitsForTheStickToReturn) {
  struct Case {
    const char* what;
    void (*apply)(Pad&);
    std::vector<LibraryCall> stops;  // at once
  };
  const std::vector<Case> cases = {
      {"pad disabled",
       [](Pad& p) {
         p.ctx.panTiltEnabled = false;
         p.Context();
       },
       {PanTilt(1, 0)}},
      {"camera changed",
       [](Pad& p) {
         p.ctx.camera = 2;
         p.Context();
       },
       {PanTilt(1, 0)}},
      {"detached",
       [](Pad& p) { p.Run([&](GamepadOutputs& out) { p.core.OnDetached(p.ctx, out); }); },
       {PanTilt(1, 0)}},
      {"session ending",
       [](Pad& p) {
         p.Run([&](GamepadOutputs& out) {
           p.core.StopAll(GamepadCore::StopReason::kSessionEnding, p.ctx, out);
         });
       },
       {PanTilt(1, 0)}},
      {"control off",
       [](Pad& p) {
         GamepadSettings s = Pad::NoDeadZone();
         s.enabled = false;
         p.Run([&](GamepadOutputs& out) { p.core.SetSettings(s, p.ctx, out); });
       },
       {PanTilt(1, 0)}},
  };
  for (const Case& c : cases) {
    Pad pad;
    pad.Axis(A::kLeftX, kFull);
    pad.Settle();
    c.apply(pad);
    EXPECT_EQ(pad.Take(), c.stops) << c.what;
    pad.Settle();
    EXPECT_FALSE(pad.core.Moving()) << c.what;
    // Everything usable again, the stick still held: nothing moves.
    pad.ctx.panTiltEnabled = true;
    pad.Context();
    pad.Axis(A::kLeftX, kFull - 1);
    EXPECT_TRUE(pad.Settle().empty() || !pad.core.Moving()) << c.what;
  }
}

TEST(GamepadCore, CameraChangeStopsTheOldCameraAndPutsItsSpeedBack) {
  Pad pad;
  pad.Axis(A::kLeftX, kFull);
  pad.Settle();
  pad.ctx.camera = 2;
  pad.ctx.panSpeed = 100;
  pad.Context();
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{PanTilt(1, 0), Speed(1, 0, 400)}));
  pad.Axis(A::kLeftX, 0);
  pad.Axis(A::kLeftX, kFull);
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{Speed(2, 0, 800), PanTilt(2, 3)}));
}

TEST(GamepadCore, SessionEndingPutsNothingBackAndForgetsTheSpeeds) {
  Pad pad;
  pad.Axis(A::kLeftX, kFull);
  pad.Settle();
  pad.Run([&](GamepadOutputs& out) {
    pad.core.StopAll(GamepadCore::StopReason::kSessionEnding, pad.ctx, out);
  });
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{PanTilt(1, 0)});
  pad.Axis(A::kLeftX, 0);
  pad.Axis(A::kLeftX, kFull);
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{Speed(1, 0, 800), PanTilt(1, 3)}))
      << "the new session's speed is set again";
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
  EXPECT_EQ(pad.Settle(), (std::vector<LibraryCall>{ZoomSpeed(1, 7), Zooming(1, 2)}));

  Pad off;
  off.ctx.panTiltEnabled = false;  // camera off, Local, or disconnected
  off.Context();
  off.Axis(A::kLeftX, kFull);
  off.ctx.panTiltEnabled = true;
  off.Context();
  EXPECT_TRUE(off.Settle().empty());
}

TEST(GamepadCore, SpeedsNotReadAreNotPutBack) {
  Pad pad;
  pad.ctx.panSpeed = -1;
  pad.Axis(A::kLeftX, kFull);
  pad.Settle();
  pad.Axis(A::kLeftX, 0);
  EXPECT_EQ(pad.Settle(), std::vector<LibraryCall>{PanTilt(1, 0)});
}

}  // namespace
}  // namespace qtr90x
