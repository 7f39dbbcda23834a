// The one command path: every answer belongs to the call that asked for it,
// every wait is bounded, and a late answer is decoded for nobody.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/engine/private_messages.h"
#include "core/link/calls_in_flight.h"
#include "tests/scripted_camera.h"

namespace qtr90x::test {
namespace {

using F = LibraryFunction;

constexpr Micros kMs = kMicrosPerMilli;

// --- the calls in flight ---------------------------------------------------------

// A call to `address` whose answer has `dataLength` data characters (0: a
// setting, none).
CallInFlight Call(std::uint64_t id, int address, int dataLength, Micros deadline = 100) {
  CallInFlight call;
  call.id = id;
  call.address = address;
  call.carriesData = dataLength > 0;
  call.dataLength = dataLength;
  call.deadline = deadline;
  return call;
}

// An answer from `address` with `dataLength` data characters; a negative
// length stands for an error answer ("39 30", wrong mode).
std::vector<std::uint8_t> Answer(int address, int dataLength) {
  const std::uint8_t code = dataLength < 0 ? '9' : '0';
  std::vector<std::uint8_t> bytes = {0xFE, 0x30, static_cast<std::uint8_t>('0' + address), code,
                                     '0'};
  for (int i = 0; i < dataLength; ++i)
    bytes.push_back('7');
  bytes.push_back(0xEF);
  return bytes;
}

using Kind = CallsInFlight::Match::Kind;

// What an answer is taken for: "call N", "late N", or "nobody".
std::string Take(CallsInFlight& calls, int address, int dataLength) {
  const std::vector<std::uint8_t> bytes = Answer(address, dataLength);
  const CallsInFlight::Match match = calls.TakeAnswered(AnswerFrame(bytes));
  switch (match.kind) {
    case Kind::kCall:
      return "call " + std::to_string(match.call.id);
    case Kind::kLate:
      return "late " + std::to_string(match.call.id);
    case Kind::kNobody:
      break;
  }
  return "nobody";
}

TEST(CallsInFlightTest, AnAnswerBelongsToTheOldestCallItFits) {
  CallsInFlight calls;
  calls.Add(Call(1, 1, 3));
  calls.Add(Call(2, 2, 3));
  calls.Add(Call(3, 1, 0));
  EXPECT_EQ(Take(calls, 2, 3), "call 2");
  EXPECT_EQ(Take(calls, 1, 3), "call 1");
  EXPECT_EQ(Take(calls, 1, 3), "nobody");  // a setting's answer has no data
  EXPECT_EQ(Take(calls, 1, 0), "call 3");
  // The camera count comes back in the address byte: any address is its.
  calls.Add(Call(4, -1, 0));
  EXPECT_EQ(Take(calls, 3, 0), "call 4");
}

// The camera answers in order: an answer to a later call means the older
// calls to that address will get none.
TEST(CallsInFlightTest, OlderCallsTheCameraAnsweredPastAreLost) {
  CallsInFlight calls;
  calls.Add(Call(1, 1, 3));
  calls.Add(Call(2, 2, 3));
  calls.Add(Call(3, 1, 5));
  calls.Add(Call(4, 1, 0));
  const std::vector<std::uint8_t> bytes = Answer(1, 0);
  const CallsInFlight::Match match = calls.TakeAnswered(AnswerFrame(bytes));
  EXPECT_EQ(match.call.id, 4u);
  ASSERT_EQ(match.lostCount, 2u);
  EXPECT_EQ(match.lost[0].id, 1u);
  EXPECT_EQ(match.lost[1].id, 3u);
  EXPECT_EQ(calls.Size(), 1u);  // camera 2's call waits on
}

// Who owns an answer when calls were given up before it: the waiting call
// of its shape, else the oldest given-up one; never a given-up call while a
// waiting call fits as well.
TEST(CallsInFlightTest, TheOwnershipRule) {
  struct Case {
    const char* name;
    std::vector<int> givenUp;  // data lengths of the calls given up, ids from 1
    std::vector<int> waiting;  // of the calls sent after them, still waiting
    std::vector<int> answers;  // data lengths of the answers, in order; -1 an error
    std::vector<std::string> taken;
  };
  const Case cases[] = {
      {"a late answer", {3}, {}, {3}, {"late 1"}},
      {"a late answer while a setting waits", {3}, {0}, {3, 0}, {"late 1", "call 2"}},
      {"a late answer of its own length", {3}, {5}, {3, 5}, {"late 1", "call 2"}},
      {"a lost answer, then a call of the same shape", {3}, {3}, {3}, {"call 2"}},
      {"a lost answer, then an error answer", {3}, {3}, {-1}, {"call 2"}},
      {"a lost setting, then a setting", {0}, {0}, {0}, {"call 2"}},
      {"the length tells two queries apart", {5}, {3}, {3}, {"call 2"}},
      {"two lost answers, then a call of the same shape", {3, 3}, {3}, {3}, {"call 3"}},
      {"two late answers", {3, 3}, {}, {3, 3}, {"late 1", "late 2"}},
      {"an operator command between", {3}, {0, 3}, {0, 3}, {"call 2", "call 3"}},
      {"a lost answer costs one call", {3}, {3, 3}, {3, 3}, {"call 2", "call 3"}},
      // A camera silent past the answer time, then answering both: the
      // first answer is the waiting call's, the second nobody's.
      {"a stalled camera answers both", {3}, {3}, {3, 3}, {"call 2", "nobody"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CallsInFlight calls;
    std::uint64_t id = 1;
    for (int length : c.givenUp) {
      calls.Add(Call(id++, 1, length, 10));
      ASSERT_TRUE(calls.TakeExpired(10));
    }
    for (int length : c.waiting)
      calls.Add(Call(id++, 1, length, 5000));
    std::vector<std::string> taken;
    for (int length : c.answers)
      taken.push_back(Take(calls, 1, length));
    EXPECT_EQ(taken, c.taken);
    EXPECT_EQ(calls.GivenUp(), 0u);  // answered, or answered past
    EXPECT_EQ(calls.Size(), 0u);
  }
}

TEST(CallsInFlightTest, DeadlinesGiveUpInTurnAndAFullListMakesRoom) {
  CallsInFlight calls;
  calls.Add(Call(1, 1, 3, 300));
  calls.Add(Call(2, 1, 3, 200));
  EXPECT_EQ(calls.NextDeadline(), 200);
  EXPECT_FALSE(calls.TakeExpired(199));
  EXPECT_EQ(calls.TakeExpired(250)->id, 2u);
  EXPECT_EQ(calls.NextDeadline(), 300);
  calls.Remove(1);
  EXPECT_FALSE(calls.NextDeadline());
  for (std::uint64_t id = 1; !calls.Full(); ++id)
    calls.Add(Call(id, 1, 3));
  EXPECT_EQ(calls.TakeOldest()->id, 1u);
  EXPECT_FALSE(calls.Full());
}

// --- the engine's command path against a scripted camera -------------------------

// Starts `kind` as its trigger would: a camera change by the camera combo,
// the pages by UM_STARTQUERY, the sensor query by UM_SENSORQUERY.
void Start(ScriptedCamera& cam, int kind) {
  cam.Take([&](EngineActions& out) {
    SequenceEngine& e = cam.Engine();
    if (kind == 0)
      e.OnConnectionAttempt(1, true, false, out);
    else if (kind == 7)
      e.OnCameraSelected(0, out);
    else if (kind == 12)
      e.HandleMessage(um::kSensorQuery, 0, 12, out);
    else
      e.HandleMessage(um::kStartQuery, 0, kind, out);
  });
}

// The calls a sequence sends, with nothing else going on.
std::vector<std::string> QuietCalls(int kind) {
  ScriptedCamera cam;
  cam.Connect();
  cam.Calls().clear();
  Start(cam, kind);
  cam.Run();
  return cam.Calls();
}

// The debug lines that say an answer was decoded for nobody.
std::vector<std::string> Unowned(const ScriptedCamera& cam) {
  std::vector<std::string> lines;
  for (const act::DebugLine& line : cam.ActionsOf<act::DebugLine>()) {
    if (line.text.find("decoded for nobody") != std::string::npos)
      lines.push_back(line.text);
  }
  return lines;
}

struct OperatorCommand {
  const char* name;
  std::function<void(ScriptedCamera&, int round, EngineActions&)> send;
};

const OperatorCommand kOperatorCommands[] = {
    {"Home",
     [](ScriptedCamera& cam, int, EngineActions& out) {
       cam.Engine().SendOperatorCall(MakeCall(F::kQzGotoHomePosition, 1), AnswerFollowUp::kNone,
                                     out);
     }},
    {"DirectionStartStop",
     [](ScriptedCamera& cam, int, EngineActions& out) {
       cam.Engine().SendOperatorCall(MakeCall(F::kQzSetPanTilt2, 1, 3), AnswerFollowUp::kNone, out);
       cam.Engine().SendOperatorCall(MakeCall(F::kQzSetPanTilt2, 1, 0), AnswerFollowUp::kNone, out);
     }},
    {"PresetSet",
     [](ScriptedCamera& cam, int round, EngineActions& out) {
       cam.Engine().SendOperatorCall(MakeCall(F::kQzSetPresetMemory, 1, 1 + round % 9),
                                     AnswerFollowUp::kNone, out);
     }},
    {"SpeedSlider",
     [](ScriptedCamera& cam, int round, EngineActions& out) {
       cam.Engine().SendOperatorCall(MakeCall(F::kQzSetMotorSpeed, 1, round % 2, 300 + round),
                                     AnswerFollowUp::kNone, out);
     }},
    {"NightMode", [](ScriptedCamera& cam, int round,
                     EngineActions& out) { cam.Engine().OnNightModeClicked(round % 2 == 0, out); }},
};

struct InterleaveCase {
  int kind;
  std::size_t command;
};

void PrintTo(const InterleaveCase& c, std::ostream* os) {
  *os << "kind " << c.kind << " " << kOperatorCommands[c.command].name;
}

class InterleaveTest : public ::testing::TestWithParam<InterleaveCase> {};

// An operator command sent while a step waits for its answer is answered as
// its own; the sequence's answers stay the sequence's. Checked at every step.
TEST_P(InterleaveTest, EveryDecodedValueStaysTheCamerasOwn) {
  const InterleaveCase& c = GetParam();
  const OperatorCommand& command = kOperatorCommands[c.command];
  ScriptedCamera cam;
  cam.Connect();
  cam.Calls().clear();
  Start(cam, c.kind);
  int lastStep = -1;
  int round = 0;
  const auto sendWhileAStepWaits = [&] {
    SequenceEngine& e = cam.Engine();
    if (static_cast<int>(e.Kind()) == c.kind && e.Step() != lastStep && e.CallsInFlight() > 0) {
      lastStep = e.Step();
      cam.Take([&](EngineActions& out) { command.send(cam, round++, out); });
    }
  };
  sendWhileAStepWaits();
  while (cam.RunOne())
    sendWhileAStepWaits();
  ASSERT_GT(round, 0);
  const SequenceEngine& e = cam.Engine();
  const CameraState& s = e.Camera();
  const CameraScript& camera = cam.Script();
  EXPECT_FALSE(e.SequenceActive());
  EXPECT_EQ(e.CallsInFlight(), 0u);
  EXPECT_EQ(cam.Lines(2), std::vector<std::string>{});  // nothing unanswered
  EXPECT_EQ(Unowned(cam), std::vector<std::string>{});  // nothing late
  // What the engine decoded is what the camera holds, field by field.
  const auto values = [](const auto& x) {
    return std::tuple(x.panSpeed, x.tiltSpeed, x.zoomSpeed, x.externalLight, x.alarmOutput,
                      x.electronicZoom, x.irCutFilter, x.irLight, x.sensorInput, x.unitName);
  };
  EXPECT_EQ(values(s), values(camera));
  EXPECT_TRUE(s.cameraPower);
  // The sequence itself sent exactly what it sends alone.
  std::vector<std::string> sequenceCalls = cam.Calls();
  std::vector<std::string> operatorCalls;
  {
    ScriptedCamera probe;
    for (int r = 0; r < round; ++r) {
      probe.Take([&](EngineActions& out) { command.send(probe, r, out); });
    }
    operatorCalls = probe.Calls();
  }
  for (const std::string& call : operatorCalls) {
    const auto it = std::find(sequenceCalls.begin(), sequenceCalls.end(), call);
    if (it != sequenceCalls.end())
      sequenceCalls.erase(it);
  }
  EXPECT_EQ(sequenceCalls, QuietCalls(c.kind));
}

std::vector<InterleaveCase> AllInterleaveCases() {
  std::vector<InterleaveCase> cases;
  for (int kind : {0, 1, 2, 3, 4, 5, 7, 12}) {
    for (std::size_t command = 0; command < std::size(kOperatorCommands); ++command)
      cases.push_back({kind, command});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(KindsAndCommands, InterleaveTest,
                         ::testing::ValuesIn(AllInterleaveCases()), [](const auto& param) {
                           return "Kind" + std::to_string(param.param.kind) +
                                  kOperatorCommands[param.param.command].name;
                         });

using Trigger = std::function<void(SequenceEngine&, EngineActions&)>;

Trigger Query(int kind) {
  return [kind](SequenceEngine& e, EngineActions& out) {
    e.HandleMessage(um::kStartQuery, 0, kind, out);
  };
}

Trigger Send(const LibraryCall& call, AnswerFollowUp followUp) {
  return [call, followUp](SequenceEngine& e, EngineActions& out) {
    e.SendOperatorCall(call, followUp, out);
  };
}

// What a wait holds: a sequence (under the wait cursor), the wait cursor
// alone (an operator command whose end the camera notifies), or nothing.
enum class Holds { kSequence, kCursor, kNothing };

// A wait that never ends ends at its bound, and a refused command's at once:
// the sequence or the operator's command stops, the cursor ends, a red line
// names what never came, the controls show what is known, and the operator
// goes on.
TEST(BoundedWaitTest, AWaitInVainEndsAtItsBound) {
  struct Case {
    const char* name;
    std::function<void(CameraScript&)> setUp;
    Trigger start;
    Holds holds;
    Micros bound;                                     // 0: ends at once
    const char* line;                                 // the red line it leaves, if any
    std::function<void(ScriptedCamera&)> check = {};  // what the screen shows afterwards
  };
  const auto silent = [](const char* name) { return [=](CameraScript& s) { s.silent = {name}; }; };
  const auto unnotified = [](const char* name) {
    return [=](CameraScript& s) { s.unnotified = {name}; };
  };
  const auto refused = [](const char* name) {
    return [=](CameraScript& s) { s.refused = {name}; };
  };
  const auto pedestalUnnotified = [](CameraScript& s) {
    s.pedestalInitialised = false;
    s.unnotified = {"QzPedestalInitialize"};
  };
  const Trigger cameraChange = [](SequenceEngine& e, EngineActions& out) {
    e.OnCameraSelected(0, out);
  };
  const Trigger powerOff = [](SequenceEngine& e, EngineActions& out) {
    e.HandleMessage(um::kPowerOff, 0, 11, out);
  };
  const Trigger onePushAf = Send(MakeCall(F::kQzSetOnePushAF, 1), AnswerFollowUp::kAwaitOnePushAf);
  const Trigger backlight =
      Send(MakeCall(F::kQzSetBackLight, 1, 1), AnswerFollowUp::kAwaitBacklight);
  const Trigger brightness =
      Send(MakeCall(F::kQzSetAEVal, 1, 40), AnswerFollowUp::kAutoExposureReady);
  // The model line and the presets are this camera's, not the last one's.
  const auto modelShown = [](ScriptedCamera& cam) {
    const bool named = !cam.Engine().Camera().unitName.empty();
    EXPECT_EQ(cam.ActionsOf<act::ApplyModel>().back().stringId, named ? 57353 : 57355);
    EXPECT_FALSE(cam.ActionsOf<act::PresetList>().empty());
  };
  const auto powerShownOn = [](ScriptedCamera& cam) {
    EXPECT_EQ(cam.ActionsOf<act::PowerBox>(), std::vector<act::PowerBox>{{true}});
  };
  // A page shows the values that did arrive; its first read is still to do.
  const auto systemPageShown = [](ScriptedCamera& cam) {
    const auto posts = cam.ActionsOf<act::Post>();
    EXPECT_EQ(std::count(posts.begin(), posts.end(),
                         act::Post{MessageTarget::kSystemPage, um::kRefreshPage, 0, 2}),
              1);
    EXPECT_TRUE(cam.Engine().FirstReadSystem());
    EXPECT_EQ(cam.Engine().Camera().noiseReduction, 1);
  };
  // The brightness slider is re-armed even when its command is never answered.
  const auto sliderReArmed = [](ScriptedCamera& cam) {
    EXPECT_EQ(cam.CountPosted(um::kAeValueReady), 1);
  };
  const Micros answer = kCameraAnswerTime;
  const auto S = Holds::kSequence;
  const auto C = Holds::kCursor;
  const Case cases[] = {
      {"unit name during a camera change", silent("QzGetUnitName"), cameraChange, S, answer,
       "no answer from the camera, given up: QzGetUnitName(1)", modelShown},
      {"the Adjust read's first answer", silent("QzGetMotorSpeed"), Query(1), S, answer,
       "no answer from the camera, given up: QzGetMotorSpeed(1, 0)"},
      {"the end of pedestal initialisation", pedestalUnnotified, cameraChange, S,
       kPedestalNotificationBound,
       "the camera did not report the end of pedestal initialisation (QzPedestalInitialize(1, 0))",
       modelShown},
      {"power off never confirmed", unnotified("QzSetCameraPower"), powerOff, S,
       kPowerNotificationBound,
       "the camera did not report the end of the camera power switch (QzSetCameraPower(1, 0))",
       powerShownOn},
      {"power off refused", refused("QzSetCameraPower"), powerOff, S, 0, nullptr, powerShownOn},
      {"a page read given up", silent("QzGet4ByteStatus"), Query(2), S, answer,
       "no answer from the camera, given up: QzGet4ByteStatus(1)", systemPageShown},
      {"one-push AF never notified", unnotified("QzSetOnePushAF"), onePushAf, C,
       kOnePushAfNotificationBound,
       "the camera did not report the end of one-push autofocus (QzSetOnePushAF(1))"},
      {"one-push AF never answered", silent("QzSetOnePushAF"), onePushAf, C, answer,
       "no answer from the camera, given up: QzSetOnePushAF(1)"},
      {"backlight refused", refused("QzSetBackLight"), backlight, C, 0, nullptr},
      {"backlight notified", [](CameraScript&) {}, backlight, C, 0, nullptr},
      {"brightness never answered", silent("QzSetAEVal"), brightness, Holds::kNothing, answer,
       "no answer from the camera, given up: QzSetAEVal(1, 40)", sliderReArmed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCamera cam;
    cam.Connect();
    c.setUp(cam.Script());
    cam.Actions().clear();
    if (c.holds != Holds::kNothing)
      cam.Engine().Cursor().Request(WaitCursorRequest::kBegin);
    cam.Feed([&](EngineActions& out) { c.start(cam.Engine(), out); });
    if (c.bound > 0) {
      for (const Micros step : {Micros{0}, c.bound - kMs}) {
        cam.Advance(step);
        EXPECT_EQ(cam.Engine().SequenceActive(), c.holds == Holds::kSequence);
        EXPECT_EQ(cam.CursorDepth(), c.holds == Holds::kNothing ? 0 : 1);
        EXPECT_EQ(cam.CountPosted(um::kAeValueReady), 0);  // re-armed at the end only
      }
      cam.Advance(200 * kMs);
    }
    EXPECT_FALSE(cam.Engine().SequenceActive());
    EXPECT_EQ(cam.CursorDepth(), 0);
    EXPECT_FALSE(cam.Engine().NextDeadline());
    EXPECT_EQ(cam.Lines(2), c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    if (c.check)
      c.check(cam);
    // The operator goes on: Local is taken, its answer its own.
    cam.Script().silent.clear();
    cam.Script().unnotified.clear();
    cam.Feed([&](EngineActions& out) { cam.Engine().OnCommandModeClicked(true, out); });
    EXPECT_EQ(cam.Calls().back(), "QzSetCmdMode(1, 1)");
    EXPECT_TRUE(cam.Engine().Camera().localMode);
  }
}

// A power-on acknowledged with the power on waits for its notification no
// longer than PowerOnTimer would, then reads the status and goes on.
TEST(BoundedWaitTest, AMissingPowerOnNotificationIsReadBackAsTheTimerWould) {
  ScriptedCamera cam;
  cam.Script().unnotified = {"QzSetCameraPower"};
  cam.Connect();
  EXPECT_EQ(cam.Calls().back(), "QzSetCameraPower(1, 1)");
  cam.Advance(kPowerNotificationBound + kMs);
  EXPECT_EQ(cam.Calls().at(6), "QzGetExtendedOperateStatus(1)");
  EXPECT_EQ(cam.Calls().at(7), "QzGetUnitName(1)");
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.Engine().Camera().unitName, "QT-R90x");
}

// A camera that answers after its command was given up (it stalled): the
// answer is listed with its own code's type, said to be late and decoded
// for nobody, however late; the next read is decoded as ever.
TEST(BoundedWaitTest, ALateAnswerIsDecodedForNobody) {
  struct Case {
    const char* name;
    Micros lateBy;
    int reads;     // reads given up before the answers come
    bool refused;  // the late answers are errors ("39 30")
  };
  const Case cases[] = {
      {"just after the give-up", 0, 1, false},
      {"20 s later", 20 * kMicrosPerSecond, 1, false},
      {"20 s later, the read given up twice", 20 * kMicrosPerSecond, 2, false},
      {"an error answer", 0, 1, true},
  };
  const std::string late = "late answer, decoded for nobody (QzGetMotorSpeed(1, 0) was given up)";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCamera cam;
    cam.Connect();
    cam.Script().held = {"QzGetMotorSpeed"};  // the camera stalls: it answers in order later
    if (c.refused)
      cam.Script().refused = {"QzGetMotorSpeed"};
    std::vector<act::DebugLine> expected;
    for (int read = 0; read < c.reads; ++read) {
      Start(cam, 1);
      cam.Run();
      cam.Advance(kCameraAnswerTime + 100 * kMs);
      ASSERT_FALSE(cam.Engine().SequenceActive());
      if (c.refused) {
        expected.push_back({4, "FE 30 31 39 30 EF"});
        expected.push_back({4, "the specified mode is wrong(code:90)"});
        expected.push_back({4, late});
      } else {
        expected.push_back(
            {1, read == 0 ? "FE 30 31 30 30 31 30 30 EF" : "FE 30 31 30 30 32 32 32 EF"});
        expected.push_back({1, late});
      }
      cam.Advance(c.lateBy);
      cam.Script().panSpeed = 0x222;  // what a read after the stall finds
    }
    cam.Actions().clear();
    cam.Script().held.clear();
    cam.Script().refused.clear();
    cam.ReleaseHeld();
    cam.Run();
    EXPECT_EQ(cam.ActionsOf<act::DebugLine>(), expected);
    Start(cam, 1);  // the next read works as ever
    cam.Run();
    EXPECT_FALSE(cam.Engine().SequenceActive());
    const CameraState& s = cam.Engine().Camera();
    EXPECT_EQ(s.panSpeed, 0x222);
    EXPECT_EQ(s.tiltSpeed, cam.Script().tiltSpeed);
    EXPECT_EQ(s.zoomSpeed, cam.Script().zoomSpeed);
  }
}

// An answer no call waits for is listed with its own code's type.
TEST(BoundedWaitTest, AnAnswerNoCallOwnsKeepsItsOwnCode) {
  const std::string nobody = "answer to no command, decoded for nobody";
  const std::pair<const char*, std::vector<act::DebugLine>> cases[] = {
      {"FE 30 31 30 30 EF", {{1, "FE 30 31 30 30 EF"}, {1, nobody}}},
      {"FE 30 31 31 30 EF",
       {{2, "FE 30 31 31 30 EF"}, {2, "the camera is busy(code:10)"}, {2, nobody}}},
      {"FE 30 31 30 31 EF",
       {{5, "FE 30 31 30 31 EF"},
        {5, "the fatal error of a system occurred(code:1)"},
        {5, nobody}}},
  };
  for (const auto& [frame, lines] : cases) {
    SCOPED_TRACE(frame);
    ScriptedCamera cam;
    cam.Connect();
    cam.Actions().clear();
    cam.Inject(Frame{false, 1, frame});
    cam.Run();
    EXPECT_EQ(cam.ActionsOf<act::DebugLine>(), lines);
  }
}

// One answer the camera never sent costs its own read only: the same read
// again is answered as its own and shows what the camera holds now.
TEST(BoundedWaitTest, ADroppedAnswerCostsItsOwnReadOnly) {
  for (const char* dropped :
       {"QzGetMotorSpeed", "QzGetAlarmOutput", "QzGetSensorInputTerminalStat"}) {
    SCOPED_TRACE(dropped);
    ScriptedCamera cam;
    cam.Connect();
    cam.Script().silent = {dropped};
    Start(cam, 1);
    cam.Run();
    cam.Advance(kCameraAnswerTime + 100 * kMs);
    ASSERT_FALSE(cam.Engine().SequenceActive());
    CameraScript& camera = cam.Script();
    camera.silent.clear();
    camera.panSpeed = 500;
    camera.tiltSpeed = 200;
    camera.zoomSpeed = 3;
    camera.alarmOutput = true;
    camera.electronicZoom = 4;
    camera.sensorInput = 0;
    cam.Actions().clear();
    Start(cam, 1);
    cam.Run();
    EXPECT_FALSE(cam.Engine().SequenceActive());
    EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
    EXPECT_EQ(cam.Lines(2), std::vector<std::string>{});
    EXPECT_EQ(Unowned(cam), std::vector<std::string>{});
    const auto values = [](const auto& x) {
      return std::tuple(x.panSpeed, x.tiltSpeed, x.zoomSpeed, x.externalLight, x.alarmOutput,
                        x.electronicZoom, x.sensorInput);
    };
    EXPECT_EQ(values(cam.Engine().Camera()), values(camera));
  }
}

// An answer that never comes costs its own call only: the calls sent behind
// it are answered as their own, and a lost inching read leaves no wrong
// speed behind.
TEST(BoundedWaitTest, ALostAnswerDoesNotShiftTheAnswersBehindIt) {
  ScriptedCamera cam;
  cam.Engine().SetVisiblePage(1);  // the speeds were never read
  cam.Connect();
  cam.Script().silent = {"QzGetMotorSpeed"};
  int button = 0;
  cam.Actions().clear();
  cam.Take([&](EngineActions& out) { cam.Engine().OnInchStart(MoveKind::kPan, &button, out); });
  Start(cam, 2);  // the System page's read
  cam.Run();
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);  // the read ran to its end
  EXPECT_EQ(cam.Lines(2),
            std::vector<std::string>{"no answer from the camera, given up: QzGetMotorSpeed(1, 0)"});
  cam.Script().silent.clear();
  cam.Feed([&](EngineActions& out) { cam.Engine().OnInchStop(MoveKind::kPan, &button, out); });
  EXPECT_EQ(cam.Script().panSpeed, 0x100);  // never set slow: its speed could not be read
}

// Switched off at the camera while a page is read; Night Mode clicked while
// a camera change runs: the screen shows the camera.
TEST(BoundedWaitTest, PowerAndNightModeDuringASequence) {
  ScriptedCamera cam;
  cam.Connect();
  cam.Actions().clear();
  Start(cam, 4);
  cam.Script().powerOn = false;
  cam.InjectFirst(Frame{true, 1, "FA 30 31 00 A0 30 EF"});
  cam.Run();
  EXPECT_EQ(cam.ActionsOf<act::PowerBox>(), std::vector<act::PowerBox>{{false}});
  EXPECT_FALSE(cam.Engine().Camera().cameraPower);

  cam.Script().powerOn = true;
  cam.Actions().clear();
  Start(cam, 7);
  ASSERT_TRUE(cam.RunOne());  // the camera change begins
  ASSERT_TRUE(cam.Engine().SequenceActive());
  EngineActions night;
  cam.Engine().OnNightModeClicked(true, night);
  EXPECT_EQ(night, (EngineActions{act::NightMode{false, -1}}));  // undone: as it was
}

TEST(BoundedWaitTest, AnErrorAnswerToTheOperatorsCommandIsReportedAsItsOwn) {
  ScriptedCamera cam;
  cam.Connect();
  cam.Script().refused = {"QzGotoHomePosition"};
  cam.Actions().clear();
  Start(cam, 1);
  cam.Take([&](EngineActions& out) {
    cam.Engine().SendOperatorCall(MakeCall(F::kQzGotoHomePosition, 1), AnswerFollowUp::kNone, out);
  });
  cam.Run();
  const auto lines = cam.ActionsOf<act::DebugLine>();
  // The sequence's first answer, then Home's error with Home's own frame.
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], (act::DebugLine{0, "FF 30 31 00 52 30 EF"}));
  EXPECT_EQ(lines[1], (act::DebugLine{1, "FE 30 31 30 30 31 30 30 EF"}));
  EXPECT_EQ(lines[2], (act::DebugLine{0, "FF 30 31 00 57 EF"}));
  EXPECT_EQ(lines[3], (act::DebugLine{4, "FE 30 31 39 30 EF"}));
  EXPECT_EQ(lines[4], (act::DebugLine{4, "the specified mode is wrong(code:90)"}));
  EXPECT_EQ(cam.Engine().Camera().tiltSpeed, cam.Script().tiltSpeed);
  EXPECT_FALSE(cam.Engine().SequenceActive());
}

}  // namespace
}  // namespace qtr90x::test
