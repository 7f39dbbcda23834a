// The refresh sequence engine against a scripted camera.
#include "core/sequence_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>

#include "core/private_messages.h"
#include "tests/scripted_camera.h"

namespace qtr90x::test {
namespace {

using T = EngineAction::Type;

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

void Connect(ScriptedCamera& cam) {
  cam.Feed(cam.Engine().OnConnectionAttempt(1, true, true));
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

TEST_P(ColumnTest, ConnectAndCameraChangeSendExactlyTheirColumn) {
  const ColumnCase& c = GetParam();
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.unitName = c.unitName;
    s.pedestalInitialised = c.pedestal;
  }));
  Connect(cam);
  EXPECT_EQ(CallsUntilPageRead(cam), c.connect);
  // Completion reached the main dialog once, the model line followed, and
  // the visible page's read ran to its end.
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 2);
  ASSERT_EQ(cam.ActionsOf(T::kApplyModel).size(), 1u);
  EXPECT_EQ(cam.Engine().Camera().unitName, c.unitName);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
  EXPECT_TRUE(cam.Engine().Camera().pedestalInitialised || !c.pedestal);

  cam.Script().pedestalInitialised = c.pedestal;
  cam.Calls().clear();
  cam.Feed(cam.Engine().OnCameraSelected(0));
  EXPECT_EQ(CallsUntilPageRead(cam), c.change);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, ColumnTest,
    ::testing::Values(
        ColumnCase{"QtR7Ped", "QT-R7", true, Join(kConnectHead, kR7PedTail),
                   Join(kChangeHead, kR7PedTail)},
        ColumnCase{"QtR7NotPed", "QT-R7", false, Join(kConnectHead, kR7NotPedTail),
                   Join(kChangeHead, kR7NotPedTail)},
        ColumnCase{
            "OtherPed", "QT-R90x", true,
            Join(kConnectHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                                "QzSetSensorInputDetectProp(1, 17)"}),
            Join(kChangeHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                               "QzGetSensorInputTerminalStat(1)", "QzGetIrCutFilter(1)"})},
        ColumnCase{
            "OtherNotPed", "QT-R90xN", false, Join(kConnectHead, kOtherNotPedConnectTail),
            Join(Join(kChangeHead, kOtherNotPedConnectTail), {"QzGetSensorInputTerminalStat(1)"})}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(SequenceEngineTest, ConnectFillsCameraListModelAndControls) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.unitName = "QT-R90xN";
    s.cameras = 3;
  }));
  Connect(cam);
  const auto lists = cam.ActionsOf(T::kCameraList);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].count, 3);
  EXPECT_EQ(lists[0].index, 0);
  EXPECT_EQ(cam.Engine().SelectedCamera(), 1);
  const EngineAction model = cam.ActionsOf(T::kApplyModel).at(0);
  EXPECT_EQ(model.value, 57354);  // "Model : QT-R90xN"
  EXPECT_FALSE(model.flag);
  EXPECT_TRUE(model.checked);  // IR cut filter out: Night Mode checked
  EXPECT_EQ(model.index, 3);
  const auto presets = cam.ActionsOf(T::kPresetList);
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0].value, 5);
  EXPECT_TRUE(cam.ActionsOf(T::kCameraControlsEnabled).at(0).flag);
  EXPECT_TRUE(cam.ActionsOf(T::kEnableControls).at(0).flag);
}

TEST(SequenceEngineTest, PowerOffAtConnectWaitsForPowerThenRereadsStatus) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.powerOn = false;
    s.holdPowerOn = true;
  }));
  Connect(cam);
  // Acknowledged with the power off: the timer runs, the sequence waits.
  EXPECT_EQ(cam.ActionsOf(T::kStartPowerOnTimer).size(), 1u);
  EXPECT_TRUE(cam.Engine().PowerOnTimerRunning());
  EXPECT_EQ(cam.Calls().back(), "QzSetCameraPower(1, 1)");

  cam.ReleasePower();
  cam.Run();
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
  const std::vector<std::string> expected =
      Join(kConnectHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                          "QzSetSensorInputDetectProp(1, 17)"});
  std::vector<std::string> withReread = expected;
  // The status is read again, and power-on sent again, before the unit name.
  withReread.insert(withReread.begin() + 6,
                    {"QzGetExtendedOperateStatus(1)", "QzSetCameraPower(1, 1)"});
  EXPECT_EQ(CallsUntilPageRead(cam), withReread);
  EXPECT_TRUE(cam.Engine().Camera().cameraPower);
  EXPECT_TRUE(cam.ActionsOf(T::kConnectionFailed).empty());
}

TEST(SequenceEngineTest, PowerOnTimerReadsStatusAndALateNotificationAddsNoStep) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.powerOn = false;
    s.holdPowerOn = true;
  }));
  Connect(cam);
  cam.Take(cam.Engine().OnPowerOnTimer());
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
  // The power notification comes only after the timer's status read.
  cam.ReleasePower();
  cam.Run();
  std::vector<std::string> expected(kConnectHead.begin(), kConnectHead.begin() + 6);
  expected = Join(expected, {"QzGetExtendedOperateStatus(1)", "QzGetUnitName(1)", "QzGetIrLight(1)",
                             "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                             "QzSetSensorInputDetectProp(1, 17)"});
  EXPECT_EQ(CallsUntilPageRead(cam), expected);
  // One command in flight at a time: each answer met its own command.
  EXPECT_EQ(cam.Engine().Camera().unitName, "QT-R90x");
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_FALSE(cam.Engine().Camera().cameraPower);
  EXPECT_FALSE(cam.ActionsOf(T::kCameraControlsEnabled).at(0).flag);
}

TEST(SequenceEngineTest, SecondPowerOnAcknowledgementWithPowerOffFailsTheConnection) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.powerOn = false;
    s.holdPowerOn = true;
  }));
  Connect(cam);
  // The camera notifies completion but keeps reporting its power off.
  cam.Inject(Frame{true, 1, "", "FA 30 31 00 A0 31 EF"});
  cam.Run();
  EXPECT_EQ(cam.ActionsOf(T::kConnectionFailed).size(), 1u);
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
}

TEST(SequenceEngineTest, TimerStopsWhenASequenceStartsOrTheSessionCloses) {
  for (const bool close : {false, true}) {
    ScriptedCamera cam(Scripted([&](CameraScript& s) {
      s.powerOn = false;
      s.holdPowerOn = true;
    }));
    Connect(cam);
    ASSERT_TRUE(cam.Engine().PowerOnTimerRunning());
    const EngineActions actions = close ? cam.Engine().OnConnectionClosed()
                                        : cam.Engine().HandleMessage(um::kStartQuery, 0, 1);
    EXPECT_EQ(actions.at(0).type, T::kStopPowerOnTimer) << close;
    EXPECT_FALSE(cam.Engine().PowerOnTimerRunning());
    // A timer message already queued does nothing.
    EXPECT_TRUE(cam.Engine().OnPowerOnTimer().empty());
  }
}

TEST(SequenceEngineTest, PageReadsCarryFirstReadOnlyOnce) {
  struct Case {
    const char* unitName;
    std::intptr_t kind;
    int message;
    std::vector<std::string> first;
    std::vector<std::string> later;
  };
  const Case cases[] = {
      {"QT-R7",
       2,
       um::kRefreshPage,
       {"QzGetExtendedOperateStatus(1)", "QzSetLed(1, 0)", "QzSetOnScreen(1, 0)",
        "QzSetOnScreen(1, 6)", "QzSetOnScreen(1, 9)"},
       {"QzGetExtendedOperateStatus(1)"}},
      {"QT-R90x",
       2,
       um::kRefreshPage,
       {"QzGetExtendedOperateStatus(1)", "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
        "QzGet2ByteStatus(1)"},
       {"QzGetExtendedOperateStatus(1)", "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
        "QzGet2ByteStatus(1)"}},
      {"QT-R7",
       4,
       um::kRefreshPage,
       {"QzSetBackLight(1, 0)", "QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"},
       {"QzGetAEVal(1)"}},
      {"QT-R90x",
       4,
       um::kRefreshPage,
       {"QzGetBacklight(1)", "QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"},
       {"QzGetAEVal(1)", "QzGetExtendedOperateStatus(1)"}},
  };
  for (const Case& c : cases) {
    ScriptedCamera cam(Scripted([&](CameraScript& s) { s.unitName = c.unitName; }));
    Connect(cam);
    std::vector<std::intptr_t> wParams;
    for (const auto* expected : {&c.first, &c.later}) {
      cam.Calls().clear();
      cam.Actions().clear();
      cam.Feed(cam.Engine().HandleMessage(um::kStartQuery, 0, c.kind));
      EXPECT_EQ(cam.Calls(), *expected) << c.unitName << " kind " << c.kind;
      for (const EngineAction& a : cam.ActionsOf(T::kPostMessage)) {
        if (a.message == c.message)
          wParams.push_back(a.wParam);
      }
    }
    EXPECT_EQ(wParams, (std::vector<std::intptr_t>{1, 0})) << c.unitName << " kind " << c.kind;
  }
}

TEST(SequenceEngineTest, AdjustPageReadDecodesItsValues) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) {
    s.unitName = "QT-R90x";
    s.panSpeed = 0x123;
    s.tiltSpeed = 0x45;
    s.zoomSpeed = 6;
  }));
  Connect(cam);  // the Adjust page is visible: its read follows
  const CameraState& s = cam.Engine().Camera();
  EXPECT_EQ(s.panSpeed, 0x123);
  EXPECT_EQ(s.tiltSpeed, 0x45);
  EXPECT_EQ(s.zoomSpeed, 6);
  EXPECT_EQ(s.electronicZoom, 12);
  EXPECT_TRUE(s.externalLight);
  EXPECT_EQ(s.sensorInput, 2);
}

// A camera that reports the end of pedestal initialisation with "00 58 30"
// must not stall the connect sequence.
TEST(SequenceEngineFaultTest, PedestalInitialisationEndsOnItsOwnNotification) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) { s.pedestalInitialised = false; }));
  Connect(cam);
  EXPECT_EQ(CallsUntilPageRead(cam), Join(kConnectHead, kOtherNotPedConnectTail));
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST(SequenceEngineFaultTest, DetectNotificationWaitsForTheRunningSequence) {
  ScriptedCamera cam(CameraScript{});
  cam.Take(cam.Engine().OnConnectionAttempt(1, true, true));
  // A detect notification arrives while the connect sequence has just begun.
  cam.Inject(Frame{true, 5, "", "FB 30 31 31 EF"});
  cam.Run();
  EXPECT_EQ(CallsUntilPageRead(cam),
            Join(kConnectHead, {"QzGetIrLight(1)", "QzGetIrCutFilter(1)", "QzGetExtendPreset(1)",
                                "QzSetSensorInputDetectProp(1, 17)"}));
  EXPECT_EQ(cam.CountPosted(um::kSensorChanged), 1);
  EXPECT_EQ(cam.Calls().back(), "QzGetSensorInputTerminalStat(1)");
  EXPECT_FALSE(cam.Engine().SequenceActive());
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST(SequenceEngineFaultTest, PresetNamesBelongOnlyToTheCameraTheyWereLoadedFor) {
  ScriptedCamera cam(Scripted([&](CameraScript& s) { s.cameras = 2; }));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 1));
  Connect(cam);
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 1));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(2, 1));
  // Changing camera: until camera 2's names are loaded, neither camera may
  // be written with the slots.
  cam.Take(cam.Engine().OnCameraSelected(1));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 1));
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Run();
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Engine().OnConnectionClosed();
  EXPECT_FALSE(cam.Engine().PresetNamesLoadedFor(1, 2));
  cam.Engine().NotePresetNamesSet();
  EXPECT_TRUE(cam.Engine().PresetNamesLoadedFor(1, 2));
}

TEST(SequenceEngineFaultTest, InchingDuringAPageReadLeavesTheReadAlone) {
  ScriptedCamera cam(CameraScript{});
  Connect(cam);
  int button = 0;
  cam.Calls().clear();
  cam.Actions().clear();
  // The System page read starts; the operator presses an inching button
  // while its first answer is due.
  cam.Take(cam.Engine().HandleMessage(um::kStartQuery, 0, 2));
  cam.Take(cam.Engine().OnInchStart(0, &button, {0x123, 0x80, 5}));
  EXPECT_EQ(cam.Engine().Step(), 1);
  cam.Run();
  EXPECT_EQ(cam.Calls(),
            (std::vector<std::string>{"QzGetExtendedOperateStatus(1)", "QzSetMotorSpeed(1, 0, 8)",
                                      "QzGetNoiseReduction(1)", "QzGet4ByteStatus(1)",
                                      "QzGet2ByteStatus(1)"}));
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
  const auto go = cam.ActionsOf(T::kPostMessage);
  const auto moveGo = std::count_if(go.begin(), go.end(), [&](const EngineAction& a) {
    return a.message == um::kMoveGo && a.window == &button && a.lParam == 1;
  });
  EXPECT_EQ(moveGo, 1);
  EXPECT_FALSE(cam.Engine().SequenceActive());
}

TEST(SequenceEngineFaultTest, InchingRestoresOnlySpeedsReadFromThisCamera) {
  struct Case {
    int moveKind;
    bool readFirst;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {0, true, {"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 0, 300)"}},
      {2,
       true,
       {"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 1, 8)", "QzSetMotorSpeed(1, 0, 300)",
        "QzSetMotorSpeed(1, 1, 200)"}},
      {3, true, {"QzSetZoomSpeed(1, 0)", "QzSetZoomSpeed(1, 4)"}},
      {0, false, {"QzSetMotorSpeed(1, 0, 8)"}},
      {2, false, {"QzSetMotorSpeed(1, 0, 8)", "QzSetMotorSpeed(1, 1, 8)"}},
  };
  for (const Case& c : cases) {
    ScriptedCamera cam(CameraScript{});
    if (c.readFirst) {
      Connect(cam);  // the Adjust page read follows the connect
    } else {
      cam.Engine().SetVisiblePage(1);  // the Adjust page was never read
      Connect(cam);
    }
    int button = 0;
    cam.Calls().clear();
    cam.Actions().clear();
    cam.Feed(cam.Engine().OnInchStart(c.moveKind, &button, {300, 200, 4}));
    cam.Feed(cam.Engine().OnInchStop(c.moveKind, &button));
    EXPECT_EQ(cam.Calls(), c.calls) << c.moveKind << " " << c.readFirst;
    std::vector<std::intptr_t> goes;
    for (const EngineAction& a : cam.ActionsOf(T::kPostMessage)) {
      if (a.message == um::kMoveGo)
        goes.push_back(a.lParam);
    }
    EXPECT_EQ(goes, (std::vector<std::intptr_t>{1, 0})) << c.moveKind << " " << c.readFirst;
    EXPECT_FALSE(cam.Engine().InchingPending());
  }
}

TEST(SequenceEngineFaultTest, FailedCallEndsTheSequenceAndTheWaitCursor) {
  for (const int failing : {1, 3, 9}) {
    ScriptedCamera cam(Scripted([&](CameraScript& s) { s.failingCalls = {failing}; }));
    Connect(cam);
    EXPECT_EQ(cam.Calls().size(), static_cast<std::size_t>(failing));
    EXPECT_FALSE(cam.Engine().SequenceActive());
    EXPECT_EQ(cam.CursorDepth(), 0);
    const auto lines = cam.ActionsOf(T::kDebugLine);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const EngineAction& a) {
      return a.text == "fail to send command: " + cam.Calls().back();
    }));
    // Night Mode is no longer ignored.
    const EngineActions night = cam.Engine().OnNightModeClicked(true);
    EXPECT_EQ(cam.Calls().back(),
              "QzSetIrCutFilter(" + std::to_string(cam.Engine().SelectedCamera()) + ", 0)");
    EXPECT_TRUE(night.back().checked);
  }
}

TEST(SequenceEngineFaultTest, IgnoredClicksPutTheControlBackAsTheCameraIs) {
  ScriptedCamera cam(CameraScript{});
  Connect(cam);
  cam.Take(cam.Engine().HandleMessage(um::kStartQuery, 0, 3));  // a read is running
  const std::size_t calls = cam.Calls().size();
  // IR cut filter in (decoded 0 = out, so set it in by a click first).
  const EngineAction night = cam.Engine().OnNightModeClicked(false).back();
  EXPECT_EQ(night.type, T::kNightMode);
  EXPECT_TRUE(night.checked);  // the camera's filter is out: Night Mode stays checked
  const EngineAction radios = cam.Engine().OnCommandModeClicked(true).back();
  EXPECT_EQ(radios.type, T::kCommandModeRadios);
  EXPECT_FALSE(radios.checked);
  EXPECT_EQ(cam.Calls().size(), calls);
}

TEST(SequenceEngineFaultTest, MalformedAnswersLeaveTheStateUnchanged) {
  struct Case {
    const char* sent;
    const char* answer;
  };
  const Case cases[] = {
      {"FF 30 31 00 86 30 EF", "FE 30 31 30 30 47 47 30 30 30 EF"},  // 'G' is no hex digit
      {"FF 30 31 00 86 30 EF", "FE 30 31 30 30 32 EF"},              // too few digits
      {"FF 30 31 00 86 30 EF", "FE 30"},                             // cut short
      {"FF 30 31 00 86 30 EF", ""},
  };
  for (const Case& c : cases) {
    ScriptedCamera cam(CameraScript{});
    Connect(cam);
    cam.Engine().SetDebugLogging(true);
    cam.Take(cam.Engine().HandleMessage(um::kStartQuery, 0, 3));
    const CameraState before = cam.Engine().Camera();
    cam.Actions().clear();
    cam.Take(cam.Engine().OnAnswer(c.sent, c.answer));
    const CameraState& after = cam.Engine().Camera();
    EXPECT_EQ(after.cameraPower, before.cameraPower) << c.answer;
    EXPECT_EQ(after.pedestalInitialised, before.pedestalInitialised) << c.answer;
    EXPECT_EQ(after.focusAuto, before.focusAuto) << c.answer;
    const auto lines = cam.ActionsOf(T::kDebugLine);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const EngineAction& a) {
      return a.text == c.answer;
    })) << c.answer;
  }
}

TEST(SequenceEngineTest, ErrorAnswersAreDebugLinesOnlyAndTheSequenceGoesOn) {
  ScriptedCamera cam(CameraScript{});
  Connect(cam);
  cam.Take(cam.Engine().HandleMessage(um::kStartQuery, 0, 3));
  cam.Actions().clear();
  cam.Take(cam.Engine().OnAnswer("FF 30 31 00 86 30 EF", "FE 30 31 39 30 EF"));
  const auto lines = cam.ActionsOf(T::kDebugLine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].debugType, 0);
  EXPECT_EQ(lines[1].debugType, 4);
  EXPECT_EQ(lines[2].text, "the specified mode is wrong(code:90)");
  EXPECT_EQ(cam.ActionsOf(T::kPostMessage).at(0).message, um::kRefreshPage);

  // Without DispCommandWindow nothing is logged for an answer.
  cam.Engine().SetDebugLogging(false);
  EXPECT_TRUE(cam.Engine().OnAnswer("FF 30 31 00 86 30 EF", "FE 30 31 39 30 EF").empty());
}

TEST(SequenceEngineTest, ALatePageIdleLeavesANewerSequenceRunning) {
  ScriptedCamera cam(CameraScript{});
  Connect(cam);
  cam.Actions().clear();
  cam.Take(cam.Engine().HandleMessage(um::kStartQuery, 0, 2));
  cam.Take(cam.Engine().OnPageRefreshed());  // the Adjust page, late
  EXPECT_EQ(cam.Engine().Kind(), SequenceKind::kSystemPage);
  cam.Run();
  EXPECT_EQ(cam.CountPosted(um::kRefreshPage), 1);
  EXPECT_FALSE(cam.Engine().SequenceActive());
}

TEST(SequenceEngineTest, WaitCursorBeginAndEndStayBalanced) {
  ScriptedCamera cam(CameraScript{});
  SequenceEngine& e = cam.Engine();
  using W = WaitCursorStep;
  e.RequestWaitCursor(1);
  EXPECT_EQ(e.AtMessageStart(), W::kNone);  // never ends a cursor not begun
  e.RequestWaitCursor(2);
  EXPECT_EQ(e.AtMessageStart(), W::kBegin);
  EXPECT_EQ(e.AtMessageStart(), W::kRestore);
  e.RequestWaitCursor(2);
  EXPECT_EQ(e.AtMessageStart(), W::kRestore);  // begun once only
  e.RequestWaitCursor(1);
  EXPECT_EQ(e.AtMessageStart(), W::kEnd);
  EXPECT_EQ(e.AtMessageStart(), W::kNone);
}

TEST(SequenceEngineTest, PowerOnAndOffFromTheSystemPage) {
  ScriptedCamera cam(CameraScript{});
  Connect(cam);
  cam.Calls().clear();
  cam.Feed(cam.Engine().HandleMessage(um::kPowerOff, 0, 11));
  EXPECT_EQ(cam.Calls().at(0), "QzSetCameraPower(1, 0)");
  EXPECT_FALSE(cam.Engine().Camera().cameraPower);
  EXPECT_FALSE(cam.ActionsOf(T::kCameraControlsEnabled).back().flag);
  cam.Calls().clear();
  cam.Feed(cam.Engine().HandleMessage(um::kPowerOn, 0, 10));
  // Power on re-reads everything through the camera change sequence.
  EXPECT_EQ(cam.Calls().at(0), "QzSetCameraPower(1, 1)");
  EXPECT_EQ(cam.Calls().at(1), "QzSetCmdMode(1, 0)");
  EXPECT_TRUE(cam.Engine().Camera().cameraPower);
  EXPECT_TRUE(cam.ActionsOf(T::kCameraControlsEnabled).back().flag);
  EXPECT_EQ(cam.CursorDepth(), 0);
}

TEST(SequenceEngineTest, HostLocalFollowsWhatTheCameraAccepted) {
  for (const bool refused : {false, true}) {
    ScriptedCamera cam(CameraScript{});
    Connect(cam);
    cam.Actions().clear();
    if (refused)
      cam.Script().refused = {"QzSetCmdMode"};
    cam.Feed(cam.Engine().OnCommandModeClicked(true));
    EXPECT_EQ(cam.Calls().back(), "QzSetCmdMode(1, 1)");
    EXPECT_EQ(cam.ActionsOf(T::kMakeCompact).size(), 1u);
    EXPECT_EQ(cam.ActionsOf(T::kCommandModeRadios).back().checked, !refused);
    EXPECT_EQ(cam.ActionsOf(T::kEnableControls).back().flag, refused);
    EXPECT_FALSE(cam.Engine().SequenceActive());
  }
}

TEST(SequenceEngineTest, NightModeIsInvertedAndResetsTheIrLight) {
  ScriptedCamera cam(CameraScript{});
  for (const bool checked : {true, false}) {
    const EngineAction box = cam.Engine().OnNightModeClicked(checked).back();
    EXPECT_EQ(cam.Calls().back(), checked ? "QzSetIrCutFilter(0, 0)" : "QzSetIrCutFilter(0, 1)");
    EXPECT_EQ(box.checked, checked);
    EXPECT_EQ(box.index, 0);
    EXPECT_EQ(cam.Engine().Camera().irCutFilter, !checked);
  }
}

}  // namespace
}  // namespace qtr90x::test
