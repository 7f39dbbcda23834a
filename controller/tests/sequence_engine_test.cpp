// The refresh sequence engine against a scripted camera.
#include "core/engine/sequence_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

#include "core/engine/private_messages.h"
#include "tests/scripted_camera.h"

namespace qtr90x::test {
namespace {

using F = LibraryFunction;

// The calls after the common head of each column, camera 1.
const std::vector<std::string> kR7PedTail = {"QzGetExtendPreset(1)"};
const std::vector<std::string> kR7NotPedTail = {"QzPedestalInitialize(1, 0)",
                                                "QzSetDate(1, 26, 12, 8)",
                                                "QzSetTime(1, 9, 45, 30)", "QzGetExtendPreset(1)"};
const std::vector<std::string> kOtherNotPedConnectTail = {"QzPedestalInitialize(1, 0)",
                                                          "QzSetDate(1, 26, 12, 8)",
                                                          "QzSetTime(1, 9, 45, 30)",
                                                          "QzGetIrLight(1)",
                                                          "QzGetIrCutFilter(1)",
                                                          "QzGetExtendPreset(1)",
                                                          "QzSetSensorInputDetectProp(1, 17)"};

std::vector<std::string> Join(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const std::vector<std::string> kConnectHead = {"QzSetCascade(0, 0)",
                                               "QzSetCascade(0, 1)",
                                               "QzSetCmdMode(1, 0)",
                                               "QzSetNotify(1, 1)",
                                               "QzGetExtendedOperateStatus(1)",
                                               "QzSetCameraPower(1, 1)",
                                               "QzGetUnitName(1)"};
const std::vector<std::string> kChangeHead = {"QzSetCmdMode(1, 0)", "QzSetNotify(1, 1)",
                                              "QzGetExtendedOperateStatus(1)",
                                              "QzSetCameraPower(1, 1)", "QzGetUnitName(1)"};
const std::vector<std::string> kOtherPedConnectTail = {"QzGetIrLight(1)", "QzGetIrCutFilter(1)",
                                                       "QzGetExtendPreset(1)",
                                                       "QzSetSensorInputDetectProp(1, 17)"};
const std::vector<std::string> kChangeOtherPed =
    Join(kChangeHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                       "QzGetSensorInputTerminalStat(1)", "QzGetIrCutFilter(1)"});

// The calls up to the completion of the running connect or change sequence.
std::vector<std::string> CallsUntilPageRead(ScriptedCamera& cam) {
  std::vector<std::string> calls = cam.Calls();
  const auto page = std::find(calls.begin(), calls.end(), "QzGetMotorSpeed(1, 0)");
  calls.erase(page, calls.end());
  return calls;
}

CameraScript Scripted(const std::function<void(CameraScript&)>& edit) {
  CameraScript script;
  edit(script);
  return script;
}

// A camera switched off at connect: its power comes on when the test says.
CameraScript PoweredOff() {
  return Scripted([](CameraScript& s) {
    s.powerOn = false;
    s.holdPowerOn = true;
  });
}

// Posts UM_STARTQUERY of `kind` as a page would, without running it.
void StartQuery(ScriptedCamera& cam, int kind) {
  cam.Take([&](EngineActions& out) { cam.Engine().HandleMessage(um::kStartQuery, 0, kind, out); });
}

void Clear(ScriptedCamera& cam) {
  cam.Calls().clear();
  cam.Actions().clear();
}

struct ColumnCase {
  const char* name;
  const char* unitName;
  bool pedestal;
  std::vector<std::string> connect;
  std::vector<std::string> change;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ColumnCase& c, std::ostream* os) {
  *os << c.name;
}

class ColumnTest : public ::testing::TestWithParam<ColumnCase> {};

// The columns without the pedestal initialised also prove that the end of
// its initialisation, notified as "00 58 30", does not stall the sequence.

TEST_P(ColumnTest, ConnectAndCameraChangeSendExactlyTheirColumn) {
  const ColumnCase& c = GetParam();
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.unitName = c.unitName;
    s.pedestalInitialised = c.pedestal;
  }));
  cam.Connect();
  EXPECT_EQ(CallsUntilPageRead(cam), c.connect);
  // Completion reached the main dialog once, the model line followed, and
  // the visible page's read ran to its end.
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 2);
  ASSERT_EQ(cam.ActionsOf<act::ApplyModel>().size(), 1u);
  EXPECT_EQ(cam.Engine().Camera().unitName, c.unitName);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
  EXPECT_TRUE(cam.Engine().Camera().pedestalInitialised || !c.pedestal);

  cam.Script().pedestalInitialised = c.pedestal;
  cam.Calls().clear();
  cam.Feed([&](EngineActions& out) { cam.Engine().OnCameraSelected(0, out); });
  EXPECT_EQ(CallsUntilPageRead(cam), c.change);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
  EXPECT_EQ(cam.Engine().CallsInFlight(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, ColumnTest,
    ::testing::Values(
        ColumnCase{"QtR7Ped", "QT-R7", true, Join(kConnectHead, kR7PedTail),
                   Join(kChangeHead, kR7PedTail)},
        ColumnCase{"QtR7NotPed", "QT-R7", false, Join(kConnectHead, kR7NotPedTail),
                   Join(kChangeHead, kR7NotPedTail)},
        ColumnCase{
            "OtherPed", "QT-R90x", true, Join(kConnectHead, kOtherPedConnectTail),
            Join(kChangeHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                               "QzGetSensorInputTerminalStat(1)", "QzGetIrCutFilter(1)"})},
        ColumnCase{
            "OtherNotPed", "QT-R90xN", false, Join(kConnectHead, kOtherNotPedConnectTail),
            Join(Join(kChangeHead, kOtherNotPedConnectTail), {"QzGetSensorInputTerminalStat(1)"})}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SequenceEngineTest, ConnectFillsCameraListModelControlsAndTheAdjustPage) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.unitName = "QT-R90xN";
    s.cameras = 3;
    s.panSpeed = 0x123;
    s.tiltSpeed = 0x45;
    s.zoomSpeed = 6;
  }));
  cam.Connect();
  EXPECT_EQ(cam.ActionsOf<act::CameraList>(), (std::vector<act::CameraList>{{3, 0}}));
  EXPECT_EQ(cam.Engine().SelectedCamera(), 1);
  // "Model : QT-R90xN"; the IR cut filter is out: Night Mode checked.
  EXPECT_EQ(cam.ActionsOf<act::ApplyModel>().at(0), (act::ApplyModel{57354, false, true, 3}));
  EXPECT_EQ(cam.ActionsOf<act::PresetList>(), (std::vector<act::PresetList>{{5, 1, 1}}));
  EXPECT_TRUE(cam.ActionsOf<act::CameraControls>().at(0).enabled);
  EXPECT_TRUE(cam.ActionsOf<act::EnableControls>().at(0).operable);
  // The Adjust page is visible: its read follows and decodes its values.
  const CameraState& s = cam.Engine().Camera();
  EXPECT_EQ(s.panSpeed, 0x123);
  EXPECT_EQ(s.tiltSpeed, 0x45);
  EXPECT_EQ(s.zoomSpeed, 6);
  EXPECT_EQ(s.electronicZoom, 12);
  EXPECT_TRUE(s.externalLight);
  EXPECT_EQ(s.sensorInput, 2);
}

// A camera off at connect acknowledges the power-on with its power off: the
// timer runs and the sequence waits for the power, the timer or a failure.
class PowerOffAtConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cam.Connect();
    ASSERT_EQ(cam.ActionsOf<act::StartPowerOnTimer>().size(), 1u);
    ASSERT_TRUE(cam.Engine().PowerOnTimerRunning());
    ASSERT_EQ(cam.Calls().back(), "QzSetCameraPower(1, 1)");
  }
  // The calls up to the power-on acknowledged with the power off.
  const std::vector<std::string> acknowledged{kConnectHead.begin(), kConnectHead.begin() + 6};
  ScriptedCamera cam{PoweredOff()};
};

TEST_F(PowerOffAtConnectTest, ThePowerComingOnRereadsTheStatus) {
  cam.ReleasePower();
  cam.Run();
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
  // The status is read again, and power-on sent again, before the unit name.
  EXPECT_EQ(CallsUntilPageRead(cam),
            Join(Join(acknowledged, {"QzGetExtendedOperateStatus(1)", "QzSetCameraPower(1, 1)",
                                     "QzGetUnitName(1)"}),
                 kOtherPedConnectTail));
  EXPECT_TRUE(cam.Engine().Camera().cameraPower);
  EXPECT_TRUE(cam.ActionsOf<act::ConnectionFailed>().empty());
}

TEST_F(PowerOffAtConnectTest, TheTimerReadsTheStatusAndALateNotificationRereadsTheCamera) {
  cam.Take([&](EngineActions& out) { cam.Engine().OnPowerOnTimer(out); });
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
  // The power notification comes only after the timer's status read: the
  // connect goes on as the camera was, then the camera is read again.
  cam.ReleasePower();
  cam.Run();
  EXPECT_EQ(CallsUntilPageRead(cam),
            Join(Join(Join(acknowledged, {"QzGetExtendedOperateStatus(1)", "QzGetUnitName(1)"}),
                      kOtherPedConnectTail),
                 kChangeOtherPed));
  EXPECT_EQ(cam.Engine().Camera().unitName, "QT-R90x");
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_TRUE(cam.Engine().Camera().cameraPower);
  EXPECT_EQ(cam.ActionsOf<act::CameraControls>().back(), act::CameraControls{true});
  EXPECT_TRUE(cam.ActionsOf<act::ConnectionFailed>().empty());
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST_F(PowerOffAtConnectTest, ASecondAcknowledgementWithThePowerOffFailsTheConnection) {
  // The camera notifies completion but keeps reporting its power off.
  cam.Inject(Frame{true, 1, "FA 30 31 00 A0 31 EF"});
  cam.Run();
  EXPECT_EQ(cam.ActionsOf<act::ConnectionFailed>().size(), 1u);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
}

TEST(SequenceEngineTest, TimerStopsWhenASequenceStartsOrTheSessionCloses) {
  for (const bool close : {false, true}) {
    ScriptedCamera cam(PoweredOff());
    cam.Connect();
    ASSERT_TRUE(cam.Engine().PowerOnTimerRunning());
    EngineActions actions;
    if (close)
      cam.Engine().OnConnectionClosed(actions);
    else
      cam.Engine().HandleMessage(um::kStartQuery, 0, 1, actions);
    EXPECT_EQ(actions.at(0), EngineAction{act::StopPowerOnTimer{}}) << close;
    EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
    // A timer message already queued does nothing.
    actions.clear();
    cam.Engine().OnPowerOnTimer(actions);
    EXPECT_TRUE(actions.empty());
  }
}

TEST(SequenceEngineTest, PageReadsCarryFirstReadOnlyOnce) {
  struct Case {
    const char* unitName;
    int kind;
    std::vector<std::string> first;
    std::vector<std::string> later;
  };
  const Case cases[] = {
      {"QT-R7",
       2,
       {"QzGetExtendedOperateStatus(1)", "QzSetLed(1, 0)", "QzSetOnScreen(1, 0)",
        "QzSetOnScreen(1, 6)", "QzSetOnScreen(1, 9)"},
       {"QzGetExtendedOperateStatus(1)"}},
      {"QT-R90x",
       2,
       {"QzGetExtendedOperateStatus(1)", "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
        "QzGet2ByteStatus(1)"},
       {"QzGetExtendedOperateStatus(1)", "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
        "QzGet2ByteStatus(1)"}},
      {"QT-R7",
       4,
       {"QzSetBackLight(1, 0)", "QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"},
       {"QzGetAEVal(1)"}},
      {"QT-R90x",
       4,
       {"QzGetBacklight(1)", "QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"},
       {"QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"}},
  };
  for (const Case& c : cases) {
    ScriptedCamera cam(Scripted([&](CameraScript& s) { s.unitName = c.unitName; }));
    cam.Connect();
    std::vector<std::intptr_t> wParams;
    for (const auto* expected : {&c.first, &c.later}) {
      Clear(cam);
      StartQuery(cam, c.kind);
      cam.Run();
      EXPECT_EQ(cam.Calls(), *expected) << c.unitName << " kind " << c.kind;
      for (const act::Post& p : cam.ActionsOf<act::Post>()) {
        if (p.message == um::kRefreshPage)
          wParams.push_back(p.wParam);
      }
    }
    EXPECT_EQ(wParams, (std::vector<std::intptr_t>{1, 0})) << c.unitName << " kind " << c.kind;
  }
}

TEST(SequenceEngineFaultTest, DetectNotificationWaitsForTheRunningSequence) {
  ScriptedCamera cam;
  cam.Take([&](EngineActions& out) { cam.Engine().OnConnectionAttempt(1, true, true, out); });
  // A detect notification arrives while the connect sequence runs, once
  // the camera list is known.
  while (cam.Engine().SelectedCamera() == 0)
    ASSERT_TRUE(cam.RunOne());
  cam.Inject(Frame{true, 5, "FB 30 31 31 EF"});
  cam.Run();
  EXPECT_EQ(CallsUntilPageRead(cam), Join(kConnectHead, kOtherPedConnectTail));
  EXPECT_EQ(cam.CountPosted(um::kSensorChanged), 1);
  EXPECT_EQ(cam.Calls().back(), "QzGetSensorInputTerminalStat(1)");
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST(SequenceEngineFaultTest, PresetNamesBelongOnlyToTheCameraTheyWereLoadedFor) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) { s.cameras = 2; }));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 1));
  cam.Connect();
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 1));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(2, 1));
  // Changing camera: until camera 2's names are loaded, neither camera may
  // be written with the slots.
  cam.Take([&](EngineActions& out) { cam.Engine().OnCameraSelected(1, out); });
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 1));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Run();
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Take([&](EngineActions& out) { cam.Engine().OnConnectionClosed(out); });
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Engine().NotePresetNamesSet();
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 2));
}

TEST(SequenceEngineFaultTest, InchingDuringAPageReadLeavesTheReadAlone) {
  ScriptedCamera cam;
  cam.Connect();
  int button = 0;
  Clear(cam);
  // The System page read starts; the operator presses an inching button
  // while its first answer is due.
  StartQuery(cam, 2);
  cam.Take([&](EngineActions& out) { cam.Engine().OnInchStart(MoveKind::kPan, &button, out); });
  EXPECT_EQ(cam.Engine().Step(), 1);
  cam.Run();
  EXPECT_EQ(cam.Calls(),
            (std::vector<std::string>{"QzGetExtendedOperateStatus(1)", "QzSetMotorSpeed(1, 0, 8)",
                                      "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
                                      "QzGet2ByteStatus(1)"}));
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
  const auto posts = cam.ActionsOf<act::Post>();
  EXPECT_EQ(std::count(posts.begin(), posts.end(),
                       act::Post{MessageTarget::kInchingButton, um::kMoveGo, 0, 1, &button}),
            1);
  EXPECT_FALSE(cam.Engine().SequenceActive());
}

// Inching leaves the camera at the speed it had: a speed not known from the
// camera is read first, one that cannot be read is not set slow, and a
// second press uses what the first one read.
TEST(SequenceEngineFaultTest, InchingLeavesTheCameraAtTheSpeedItHad) {
  struct Case {
    const char* name;
    MoveKind moveKind;
    bool adjustRead;  // the Adjust page read the speeds at the connect
    bool readRefused;
    int presses;
    std::vector<std::string> calls;
  };
  // Slowest speed, then the speed the camera had.
  const std::vector<std::string> pan = {"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 0, 256)"};
  const std::vector<std::string> diagonal = {"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 1, 8)",
                                             "QzSetMotorSpeed(1, 0, 256)",
                                             "QzSetMotorSpeed(1, 1, 128)"};
  const std::vector<std::string> zoom = {"QzSetZoomSpeed(1, 0)", "QzSetZoomSpeed(1, 5)"};
  const std::vector<std::string> readPan = {"QzGetMotorSpeed(1, 0)"};
  const Case cases[] = {
      {"pan, speeds read", MoveKind::kPan, true, false, 1, pan},
      {"diagonal, speeds read", MoveKind::kDiagonal, true, false, 1, diagonal},
      {"zoom, speeds read", MoveKind::kZoom, true, false, 1, zoom},
      {"pan, never read", MoveKind::kPan, false, false, 1, Join(readPan, pan)},
      {"diagonal, never read", MoveKind::kDiagonal, false, false, 1,
       Join({"QzGetMotorSpeed(1, 0)", "QzGetMotorSpeed(1, 1)"}, diagonal)},
      {"zoom, never read", MoveKind::kZoom, false, false, 1, Join({"QzGetZoomSpeed(1)"}, zoom)},
      {"a second press uses the first one's read", MoveKind::kPan, false, false, 2,
       Join(Join(readPan, pan), pan)},
      {"the read refused: no slow speed", MoveKind::kPan, false, true, 1, readPan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCamera cam;
    if (!c.adjustRead)
      cam.Engine().SetVisiblePage(1);  // the System page shows
    cam.Connect();
    if (c.readRefused)
      cam.Script().refused = {"QzGetMotorSpeed"};
    int button = 0;
    Clear(cam);
    std::vector<std::intptr_t> goes;
    for (int press = 0; press < c.presses; ++press) {
      cam.Feed([&](EngineActions& out) { cam.Engine().OnInchStart(c.moveKind, &button, out); });
      cam.Feed([&](EngineActions& out) { cam.Engine().OnInchStop(c.moveKind, &button, out); });
      EXPECT_EQ(cam.Script().panSpeed, 0x100);
      EXPECT_EQ(cam.Script().tiltSpeed, 0x80);
      EXPECT_EQ(cam.Script().zoomSpeed, 5);
      EXPECT_FALSE(cam.Engine().Inch().Pending());
    }
    EXPECT_EQ(cam.Calls(), c.calls);
    for (const act::Post& p : cam.ActionsOf<act::Post>()) {
      if (p.message == um::kMoveGo)
        goes.push_back(p.lParam);
    }
    EXPECT_EQ(goes.size(), static_cast<std::size_t>(2 * c.presses));
    EXPECT_EQ(goes.front(), 1);
    EXPECT_EQ(goes.back(), 0);
  }
}

// A release before the slow speed was answered: the press's answer does not
// stand for the restore's, so the stop waits for the restore to be answered.
TEST(SequenceEngineFaultTest, QuickReleaseStopsOnlyAfterTheRestoreIsAnswered) {
  ScriptedCamera cam;
  cam.Connect();
  int button = 0;
  Clear(cam);
  cam.Take([&](EngineActions& out) { cam.Engine().OnInchStart(MoveKind::kPan, &button, out); });
  cam.Take([&](EngineActions& out) { cam.Engine().OnInchStop(MoveKind::kPan, &button, out); });
  ASSERT_TRUE(cam.RunOne());  // the slow speed's answer
  EXPECT_EQ(cam.CountPosted(um::kMoveGo), 0);
  cam.Run();
  EXPECT_EQ(cam.Calls(),
            (std::vector<std::string>{"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 0, 256)"}));
  EXPECT_EQ(cam.ActionsOf<act::Post>().back(),
            (act::Post{MessageTarget::kInchingButton, um::kMoveGo, 0, 0, &button}));
  EXPECT_EQ(cam.Script().panSpeed, 0x100);
}

TEST(SequenceEngineFaultTest, FailedCallEndsTheSequenceAndTheWaitCursor) {
  for (const int failing : {1, 3, 9}) {
    ScriptedCamera cam(Scripted([&](CameraScript& s) { s.failingCalls = {failing}; }));
    cam.Connect();
    EXPECT_EQ(cam.Calls().size(), static_cast<std::size_t>(failing));
    EXPECT_FALSE(cam.Engine().SequenceActive());
    EXPECT_EQ(cam.CursorDepth(), 0);
    const auto lines = cam.Lines(2);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "fail to send command: " + cam.Calls().back()),
              lines.end());
    // Night Mode is no longer ignored.
    EngineActions night;
    cam.Engine().OnNightModeClicked(true, night);
    EXPECT_EQ(cam.Calls().back(),
              "QzSetIrCutFilter(" + std::to_string(cam.Engine().SelectedCamera()) + ", 0)");
    EXPECT_EQ(night.back(), EngineAction{(act::NightMode{true, 0})});
  }
}

TEST(SequenceEngineFaultTest, IgnoredClicksPutTheControlBackAsTheCameraIs) {
  ScriptedCamera cam;
  cam.Connect();
  StartQuery(cam, 3);  // a read is running
  const std::size_t calls = cam.Calls().size();
  EngineActions actions;
  cam.Engine().OnNightModeClicked(false, actions);
  // The camera's filter is out: Night Mode stays checked.
  EXPECT_EQ(actions.back(), EngineAction{(act::NightMode{true, -1})});
  cam.Engine().OnCommandModeClicked(true, actions);
  EXPECT_EQ(actions.back(), EngineAction{act::CommandModeRadios{false}});
  EXPECT_EQ(cam.Calls().size(), calls);
}

TEST(SequenceEngineFaultTest, MalformedAnswersLeaveTheStateUnchanged) {
  const char* const answers[] = {
      "FE 30 31 30 30 47 47 30 30 30 EF",  // 'G' is no hex digit
      "FE 30 31 30 30 32 EF",              // too few digits
      "FE 30",                             // cut short: no address, no code
      "",
  };
  for (const char* text : answers) {
    ScriptedCamera cam;
    cam.Connect();
    StartQuery(cam, 3);  // the status query waits
    const CameraState before = cam.Engine().Camera();
    cam.Actions().clear();
    cam.InjectFirst(Frame{false, 1, text});
    ASSERT_TRUE(cam.RunOne()) << text;  // the real answer stays on the line behind it
    const CameraState& after = cam.Engine().Camera();
    EXPECT_EQ(after.cameraPower, before.cameraPower) << text;
    EXPECT_EQ(after.pedestalInitialised, before.pedestalInitialised) << text;
    EXPECT_EQ(after.focusAuto, before.focusAuto) << text;
    const auto lines = cam.ActionsOf<act::DebugLine>();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const act::DebugLine& l) {
      return l.text == text;
    })) << text;
  }
}

// An error answer is logged with its message (none for an unknown code), and
// only with DispCommandWindow; the sequence goes on.
TEST(SequenceEngineTest, ErrorAnswersAreDebugLinesOnlyAndTheSequenceGoesOn) {
  struct Case {
    const char* answer;
    int type;
    const char* message;
  };
  const Case cases[] = {
      {"FE 30 31 39 30 EF", 4, "the specified mode is wrong(code:90)"},
      {"FE 30 31 34 30 EF", 0, ""},
  };
  for (const Case& c : cases) {
    for (const bool logging : {true, false}) {
      SCOPED_TRACE(std::string(c.answer) + (logging ? ", logged" : ", not logged"));
      ScriptedCamera cam;
      cam.Connect();
      cam.Script().silent = {"QzGetExtendedOperateStatus"};
      cam.Engine().SetDebugLogging(logging);
      cam.Actions().clear();
      StartQuery(cam, 3);
      cam.Inject(Frame{false, 1, c.answer});
      cam.Run();
      const std::vector<act::DebugLine> logged = {
          {0, "FF 30 31 00 86 30 EF"}, {c.type, c.answer}, {c.type, c.message}};
      EXPECT_EQ(cam.ActionsOf<act::DebugLine>(), logging ? logged : std::vector<act::DebugLine>{});
      EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
    }
  }
}

TEST(SequenceEngineTest, ALatePageIdleLeavesANewerSequenceRunning) {
  ScriptedCamera cam;
  cam.Connect();
  cam.Actions().clear();
  StartQuery(cam, 2);
  cam.Take(
      [&](EngineActions& out) { cam.Engine().OnPageRefreshed(out); });  // the Adjust page, late
  EXPECT_EQ(cam.Engine().Kind(), SequenceKind::kSystemPage);
  cam.Run();
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
  EXPECT_FALSE(cam.Engine().SequenceActive());
}

TEST(WaitCursorTest, BeginAndEndStayBalanced) {
  WaitCursor cursor;
  using W = WaitCursorStep;
  cursor.Request(WaitCursorRequest::kEnd);
  EXPECT_EQ(cursor.AtMessageStart(), W::kNone);  // never ends a cursor not begun
  cursor.Request(WaitCursorRequest::kBegin);
  EXPECT_EQ(cursor.AtMessageStart(), W::kBegin);
  EXPECT_EQ(cursor.AtMessageStart(), W::kRestore);
  cursor.Request(WaitCursorRequest::kBegin);
  EXPECT_EQ(cursor.AtMessageStart(), W::kRestore);  // begun once only
  cursor.Request(WaitCursorRequest::kEnd);
  EXPECT_EQ(cursor.AtMessageStart(), W::kEnd);
  EXPECT_EQ(cursor.AtMessageStart(), W::kNone);
}

// Switched off and on from the System page or at the camera, outside any
// sequence: the power box and the controls follow, and a power-on reads the
// camera as a camera change.
TEST(SequenceEngineTest, PowerSwitchedOffAndOnIsShown) {
  using Switch = std::function<void(ScriptedCamera&)>;
  const auto page = [](int message, int kind) -> Switch {
    return [=](ScriptedCamera& cam) {
      cam.Feed([&](EngineActions& out) { cam.Engine().HandleMessage(message, 0, kind, out); });
    };
  };
  const auto atTheCamera = [](const char* frame) -> Switch {
    return [=](ScriptedCamera& cam) {
      cam.Inject(Frame{true, 1, frame});
      cam.Run();
    };
  };
  struct Case {
    const char* name;
    Switch off, on;
    std::vector<std::string> offCalls, onCalls;
  };
  const std::vector<std::string>& change = kChangeOtherPed;
  const Case cases[] = {
      {"from the System page",
       page(um::kPowerOff, 11),
       page(um::kPowerOn, 10),
       {"QzSetCameraPower(1, 0)"},
       Join({"QzSetCameraPower(1, 1)"}, change)},
      {"at the camera",
       atTheCamera("FA 30 31 00 A0 30 EF"),
       atTheCamera("FA 30 31 00 A0 31 EF"),
       {},
       change},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedCamera cam;
    cam.Connect();
    Clear(cam);
    c.off(cam);
    EXPECT_EQ(cam.Calls(), c.offCalls);
    EXPECT_FALSE(cam.Engine().Camera().cameraPower);
    EXPECT_EQ(cam.ActionsOf<act::PowerBox>(), (std::vector<act::PowerBox>{{false}}));
    EXPECT_EQ(cam.ActionsOf<act::CameraControls>(), (std::vector<act::CameraControls>{{false}}));
    Clear(cam);
    c.on(cam);
    EXPECT_EQ(CallsUntilPageRead(cam), c.onCalls);
    EXPECT_TRUE(cam.Engine().Camera().cameraPower);
    EXPECT_EQ(cam.ActionsOf<act::PowerBox>(), (std::vector<act::PowerBox>{{true}}));
    EXPECT_EQ(cam.ActionsOf<act::CameraControls>().front(), act::CameraControls{true});
    EXPECT_EQ(cam.CursorDepth(), 0);
  }
}

// The visible page's read after a connect keeps the wait cursor until the
// page has shown its values.
TEST(SequenceEngineFaultTest, ThePageReadAfterAConnectRunsUnderTheWaitCursor) {
  ScriptedCamera cam;
  cam.Take([&](EngineActions& out) { cam.Engine().OnConnectionAttempt(1, true, true, out); });
  bool seen = false;
  while (cam.RunOne()) {
    if (cam.Engine().Kind() == SequenceKind::kAdjustPage && cam.Engine().Step() >= 2) {
      EXPECT_EQ(cam.CursorDepth(), 1);
      seen = true;
    }
  }
  cam.Run();
  EXPECT_TRUE(seen);
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST(SequenceEngineTest, HostLocalFollowsWhatTheCameraAccepted) {
  for (const bool refused : {false, true}) {
    ScriptedCamera cam;
    cam.Connect();
    cam.Actions().clear();
    if (refused)
      cam.Script().refused = {"QzSetCmdMode"};
    cam.Feed([&](EngineActions& out) { cam.Engine().OnCommandModeClicked(true, out); });
    EXPECT_EQ(cam.Calls().back(), "QzSetCmdMode(1, 1)");
    EXPECT_EQ(cam.ActionsOf<act::MakeCompact>().size(), 1u);
    EXPECT_EQ(cam.ActionsOf<act::CommandModeRadios>().back().local, !refused);
    EXPECT_EQ(cam.ActionsOf<act::EnableControls>().back().operable, refused);
    EXPECT_FALSE(cam.Engine().SequenceActive());
  }
}

TEST(SequenceEngineTest, NightModeIsInvertedAndResetsTheIrLight) {
  ScriptedCamera cam;
  cam.Connect();
  for (const bool checked : {true, false}) {
    cam.Actions().clear();
    cam.Feed([&](EngineActions& out) { cam.Engine().OnNightModeClicked(checked, out); });
    EXPECT_EQ(cam.Calls().back(), checked ? "QzSetIrCutFilter(1, 0)" : "QzSetIrCutFilter(1, 1)");
    EXPECT_EQ(cam.ActionsOf<act::NightMode>(), (std::vector<act::NightMode>{{checked, 0}}));
    // The camera took it: the state follows its answer.
    EXPECT_EQ(cam.Engine().Camera().irCutFilter, !checked);
  }
}

// --- a cascade: every camera's notification is its own -----------------------------

// A notification of camera 2 while camera 1 is selected changes nothing but
// the debug window; the same one from camera 1 acts (each case proves its
// own set-up).
TEST(CascadeNotificationTest, AnotherCamerasNotificationActsOnNothing) {
  using SetUp = std::function<void(ScriptedCamera&)>;
  using Acted = std::function<bool(ScriptedCamera&)>;
  const auto connected = [](ScriptedCamera& cam) { cam.Connect(); };
  const auto madeCalls = [](ScriptedCamera& cam) { return !cam.Calls().empty(); };
  struct Case {
    const char* name;
    CameraScript script;
    SetUp setUp;
    int kind;
    const char* bytes;  // after the address
    Acted acted;
  };
  const Case cases[] = {
      {"power off",
       {},
       connected,
       1,
       "00 A0 30",
       [](ScriptedCamera& cam) {
         return !cam.Engine().Camera().cameraPower || !cam.ActionsOf<act::PowerBox>().empty() ||
                !cam.ActionsOf<act::CameraControls>().empty();
       }},
      {"power on, camera 1 switched off",
       {},
       [](ScriptedCamera& cam) {
         cam.Connect();
         cam.SwitchPower(false);
         cam.Run();
         ASSERT_FALSE(cam.Engine().Camera().cameraPower);
         cam.Script().holdPowerOn = true;  // its power stays off whatever is sent
       },
       1,
       "00 A0 31",
       madeCalls},
      {"power on, the connect waits for camera 1's power", PoweredOff(), connected, 1, "00 A0 31",
       madeCalls},
      {"pedestal end, the connect waits for camera 1's pedestal", Scripted([](CameraScript& s) {
         s.pedestalInitialised = false;
         s.unnotified = {"QzPedestalInitialize"};
       }),
       connected, 1, "00 58 30", madeCalls},
      {"one-push AF end, camera 1's one-push AF runs",
       Scripted([](CameraScript& s) { s.unnotified = {"QzSetOnePushAF"}; }),
       [](ScriptedCamera& cam) {
         cam.Connect();
         cam.Feed([&](EngineActions& out) {
           cam.Engine().SendOperatorCall(MakeCall(F::kQzSetOnePushAF, 1),
                                         AnswerFollowUp::kAwaitOnePushAf, out);
         });
       },
       1, "00 B1 31",
       [](ScriptedCamera& cam) { return !cam.ActionsOf<act::FocusRadios>().empty(); }},
      {"detect",
       {},
       connected,
       5,
       "31",
       [](ScriptedCamera& cam) { return cam.CountPosted(um::kSensorQuery) > 0; }},
  };
  for (const Case& c : cases) {
    for (const char* address : {"32", "31"}) {
      SCOPED_TRACE(std::string(c.name) + ", from " + address);
      CameraScript script = c.script;
      script.cameras = 2;
      ScriptedCamera cam(script);
      c.setUp(cam);
      Clear(cam);
      const std::string frame =
          std::string(c.kind == 5 ? "FB" : "FA") + " 30 " + address + " " + c.bytes + " EF";
      cam.Inject(Frame{true, c.kind, frame});
      cam.Run();
      // Logged in every case, as the camera sent it.
      EXPECT_EQ(cam.ActionsOf<act::DebugLine>().at(0).text, frame);
      EXPECT_EQ(c.acted(cam), std::string(address) == "31");
    }
  }
}

// A connect whose camera list never comes knows no camera: it selects none,
// owns and fills no preset names and shows no Night Mode. A refused list is
// camera 1 alone, with its names.
TEST(CascadeNotificationTest, AConnectWithoutACameraListKnowsNoCamera) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "list refused" : "no answer");
    ScriptedCamera cam(
        Scripted([&](CameraScript& s) { (refused ? s.refused : s.silent) = {"QzSetCascade"}; }));
    cam.Connect();
    cam.Advance(60'000'000);
    EXPECT_FALSE(cam.Engine().SequenceActive());
    EXPECT_EQ(cam.CursorDepth(), 0);
    const auto lists = cam.ActionsOf<act::CameraList>();
    ASSERT_FALSE(lists.empty());
    EXPECT_EQ(lists.back(), (act::CameraList{0, -1}));
    EXPECT_EQ(cam.Engine().SelectedCamera(), refused ? 1 : 0);
    EXPECT_EQ(cam.ActionsOf<act::PresetList>().size(), refused ? 1u : 0u);
    EXPECT_EQ(cam.Engine().PresetNamesLoadedFor(1, 0), false);
    EXPECT_EQ(cam.Engine().PresetNamesLoadedFor(1, 1), refused);
    if (!refused) {
      ASSERT_FALSE(cam.ActionsOf<act::ApplyModel>().empty());
      EXPECT_FALSE(cam.ActionsOf<act::ApplyModel>().back().nightMode);
      EXPECT_EQ(cam.Calls(), (std::vector<std::string>{"QzSetCascade(0, 0)"}));
      // Nothing any camera notifies acts, and the System page's power box
      // (usable with the camera off) switches nothing at address 0, every
      // camera on the line.
      Clear(cam);
      cam.Inject(Frame{true, 1, "FA 30 31 00 A0 31 EF"});
      cam.Run();
      cam.Feed([&](EngineActions& out) { cam.Engine().HandleMessage(um::kPowerOn, 0, 10, out); });
      EXPECT_TRUE(cam.Calls().empty());
      EXPECT_EQ(cam.ActionsOf<act::PowerBox>(), (std::vector<act::PowerBox>{{false}}));
      EXPECT_EQ(cam.CursorDepth(), 0);
    }
  }
}

// One event of the dialog's loop: a posted message, else a frame from the
// line, else PowerOnTimer firing. False when nothing is left.
bool NextEvent(ScriptedCamera& cam) {
  if (cam.RunOne())
    return true;
  if (!cam.Engine().PowerOnTimerRunning())
    return false;
  cam.Take([&](EngineActions& out) { cam.Engine().OnPowerOnTimer(out); });
  return true;
}

// A camera off at a connect or a camera change comes on at its own switch
// after any event of the sequence (before each step, between each step and
// its answer, after the sequence): the application ends with it shown on.
TEST(CascadeNotificationTest, APowerOnAtAnyPointOfAConnectOrChangeIsShown) {
  for (const bool change : {false, true}) {
    SCOPED_TRACE(change ? "camera change" : "connect");
    const auto start = [change](ScriptedCamera& cam) {
      if (change) {
        cam.Connect();
        cam.SwitchPower(false);
        cam.Run();
        cam.Script().holdPowerOn = true;
        cam.Take([&](EngineActions& out) { cam.Engine().OnCameraSelected(0, out); });
      } else {
        cam.Take([&](EngineActions& out) { cam.Engine().OnConnectionAttempt(1, true, true, out); });
      }
    };
    int events = 0;
    {
      ScriptedCamera cam(PoweredOff());
      start(cam);
      while (NextEvent(cam))
        ++events;
      ASSERT_FALSE(cam.Engine().Camera().cameraPower);  // never switched on
    }
    ASSERT_GT(events, 20);
    for (int at = 0; at <= events; ++at) {
      SCOPED_TRACE("on after event " + std::to_string(at));
      ScriptedCamera cam(PoweredOff());
      start(cam);
      for (int i = 0; i < at; ++i)
        ASSERT_TRUE(NextEvent(cam));
      cam.SwitchPower(true);
      for (int guard = 0; guard < 1000 && NextEvent(cam); ++guard) {
      }
      cam.Run();
      EXPECT_TRUE(cam.Engine().Camera().cameraPower);
      EXPECT_FALSE(cam.Engine().SequenceActive());
      ASSERT_FALSE(cam.ActionsOf<act::CameraControls>().empty());
      EXPECT_TRUE(cam.ActionsOf<act::CameraControls>().back().enabled);
      EXPECT_TRUE(cam.ActionsOf<act::ConnectionFailed>().empty());
      EXPECT_EQ(cam.CursorDepth(), 0);
      // Every power-on sent went to camera 1.
      for (const std::string& call : cam.Calls())
        EXPECT_TRUE(call.rfind("QzSetCameraPower(", 0) != 0 || call == "QzSetCameraPower(1, 1)");
    }
  }
}

}  // namespace
}  // namespace qtr90x::test
