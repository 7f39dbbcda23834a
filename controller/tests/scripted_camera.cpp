#include "tests/scripted_camera.h"

#include <algorithm>
#include <cstdio>

#include "core/private_messages.h"
#include "core/traffic_text.h"

namespace qtr90x::test {

namespace {

using F = LibraryFunction;

// Hex text of ASCII characters: "12" -> "31 32".
std::string Chars(const std::string& chars) {
  std::vector<std::uint8_t> bytes(chars.begin(), chars.end());
  return TrafficText(bytes.data(), bytes.size());
}

std::string Hex(int value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return Chars(buffer);
}

std::string Dec(int value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
  return Chars(buffer);
}

// The command bytes after the 00 of a call's frame.
std::string CommandBytes(const LibraryCall& c) {
  const int a = c.args[0];
  const int b = c.args[1];
  switch (c.function) {
    case F::kQzSetCascade:
      return "8F " + Dec(a, 1);
    case F::kQzSetCmdMode:
      return "90 " + Dec(a, 1);
    case F::kQzSetNotify:
      return "94 " + Dec(a, 1);
    case F::kQzGetExtendedOperateStatus:
      return "86 30";
    case F::kQzSetCameraPower:
      return "A0 " + Dec(a, 1);
    case F::kQzGetUnitName:
      return "87";
    case F::kQzGetExtendPreset:
      return "8B 30";
    case F::kQzPedestalInitialize:
      return "58 " + Dec(a, 1);
    case F::kQzSetDate:
      return "91 33 " + Dec(a, 2) + " " + Dec(b, 2) + " " + Dec(c.args[2], 2);
    case F::kQzSetTime:
      return "91 35 " + Dec(a, 2) + " " + Dec(b, 2) + " " + Dec(c.args[2], 2);
    case F::kQzGetIrLight:
      return "77";
    case F::kQzGetIrCutFilter:
      return "B6";
    case F::kQzSetSensorInputDetectProp:
      return "74 " + Hex(a, 2);
    case F::kQzGetSensorInputTerminalStat:
      return "75";
    case F::kQzGetMotorSpeed:
      return "52 " + Dec(a, 1);
    case F::kQzGetZoomSpeed:
      return "B4 32";
    case F::kQzGetExternalLight:
      return "79";
    case F::kQzGetAlarmOutput:
      return "73";
    case F::kQzGetElectronicZoom:
      return "B8";
    case F::kQzGetNoiseReduction:
      return "BA";
    case F::kQzGet4ByteStatus:
      return "86 31";
    case F::kQzGet2ByteStatus:
      return "86 32";
    case F::kQzSetLed:
      return "8E " + Dec(a, 1);
    case F::kQzSetOnScreen:
      return "91 30 " + Dec(a, 1);
    case F::kQzGetBacklight:
      return "A5 3F";
    case F::kQzSetBackLight:
      return "A5 " + Dec(a, 1);
    case F::kQzGetAEVal:
      return "A5 3C";
    case F::kQzGetIris:
      return "A5 3A";
    case F::kQzGetAGCGain:
      return "A5 38";
    case F::kQzGetShutterSpeed:
      return "A5 36";
    case F::kQzSetMotorSpeed:
      return (a == 0 ? "50 " : "51 ") + Hex(b, 3);
    case F::kQzSetZoomSpeed:
      return "B4 31 " + Hex(a, 1);
    case F::kQzSetIrCutFilter:
      return "B5 " + Dec(a, 1);
    case F::kQzSetIrLight:
      return "76 " + Dec(a, 1);
  }
  return "00";
}

}  // namespace

ScriptedCamera::ScriptedCamera(CameraScript script) : script_(std::move(script)), engine_(*this) {
  engine_.SetClock([] { return LocalDateTime{2026, 12, 8, 9, 45, 30}; });
  engine_.SetDebugLogging(true);
}

std::string ScriptedCamera::FrameText(const LibraryCall& call) const {
  return "FF 30 " + Dec(call.camera, 1) + " 00 " + CommandBytes(call) + " EF";
}

std::string ScriptedCamera::Answer(const LibraryCall& call) const {
  const std::string name(LibraryFunctionName(call.function));
  if (std::find(script_.refused.begin(), script_.refused.end(), name) != script_.refused.end())
    return "FE 30 " + Dec(call.camera, 1) + " 39 30 EF";
  if (call.function == F::kQzSetCascade)
    return "FE 30 " + (call.args[0] == 1 ? Dec(script_.cameras, 1) : "30") + " 30 30 EF";
  std::string data;
  switch (call.function) {
    case F::kQzGetExtendedOperateStatus: {
      const int bits = (script_.pedestalInitialised ? 0 : 0x10) | (script_.powerOn ? 0 : 0x20);
      data = Hex(bits, 5);
      break;
    }
    case F::kQzGetUnitName:
      data = Chars(script_.unitName);
      break;
    case F::kQzGetExtendPreset:
      data = Hex(0x005, 3);
      break;
    case F::kQzGetMotorSpeed:
      data = Hex(call.args[0] == 0 ? script_.panSpeed : script_.tiltSpeed, 3);
      break;
    case F::kQzGetZoomSpeed:
      data = Hex(script_.zoomSpeed, 1);
      break;
    case F::kQzGetIrLight:
      data = Hex(3, 1);
      break;
    case F::kQzGetIrCutFilter:
      data = Hex(0, 1);
      break;
    case F::kQzGetSensorInputTerminalStat:
      data = Hex(2, 2);
      break;
    case F::kQzGetElectronicZoom:
      data = Dec(12, 2);
      break;
    case F::kQzGet4ByteStatus:
      data = Hex(0x0090, 4);
      break;
    case F::kQzGet2ByteStatus:
      data = Hex(0x11, 2);
      break;
    case F::kQzGetBacklight:
    case F::kQzGetExternalLight:
    case F::kQzGetAlarmOutput:
    case F::kQzGetNoiseReduction:
      data = Hex(1, 1);
      break;
    case F::kQzGetAEVal:
    case F::kQzGetIris:
    case F::kQzGetAGCGain:
    case F::kQzGetShutterSpeed:
      data = Hex(0x20, 2);
      break;
    default:
      break;
  }
  return "FE 30 " + Dec(call.camera, 1) + " 30 30 " + (data.empty() ? "" : data + " ") + "EF";
}

int ScriptedCamera::Call(const LibraryCall& call) {
  calls_.push_back(DescribeCall(call));
  const int number = static_cast<int>(calls_.size());
  if (std::find(script_.failingCalls.begin(), script_.failingCalls.end(), number) !=
      script_.failingCalls.end())
    return 0;
  const std::string sent = FrameText(call);
  lastSent_ = sent;
  line_.push_back(Frame{false, 1, sent, Answer(call)});
  const std::string address = Dec(call.camera, 1);
  const auto notify = [&](const std::string& bytes) {
    return Frame{true, 1, sent, "FA 30 " + address + " 00 " + bytes + " EF"};
  };
  switch (call.function) {
    case F::kQzSetCameraPower:
      if (call.args[0] == 1 && !script_.powerOn && script_.holdPowerOn) {
        heldPower_.push_back(notify("A0 31"));
      } else {
        script_.powerOn = call.args[0] == 1;
        line_.push_back(notify(CommandBytes(call)));
      }
      break;
    case F::kQzPedestalInitialize:
      script_.pedestalInitialised = true;
      line_.push_back(notify("58 30"));
      break;
    case F::kQzSetBackLight:
      line_.push_back(notify(CommandBytes(call)));
      break;
    default:
      break;
  }
  return 1;
}

void ScriptedCamera::ReleasePower() {
  script_.powerOn = true;
  for (Frame& f : heldPower_)
    line_.push_back(std::move(f));
  heldPower_.clear();
}

void ScriptedCamera::MessageStart() {
  switch (engine_.AtMessageStart()) {
    case WaitCursorStep::kBegin:
      ++cursorDepth_;
      break;
    case WaitCursorStep::kEnd:
      --cursorDepth_;
      break;
    default:
      break;
  }
}

void ScriptedCamera::Take(const EngineActions& actions) {
  for (const EngineAction& a : actions) {
    actions_.push_back(a);
    if (a.type == EngineAction::Type::kPostMessage)
      posted_.push_back(a);
    else if (a.type == EngineAction::Type::kStartPowerOnTimer)
      timerRunning_ = true;
    else if (a.type == EngineAction::Type::kStopPowerOnTimer)
      timerRunning_ = false;
  }
}

void ScriptedCamera::Feed(const EngineActions& actions) {
  Take(actions);
  Run();
}

void ScriptedCamera::Dispatch(const EngineAction& post) {
  MessageStart();
  if (post.target == MessageTarget::kMainDialog) {
    Take(engine_.HandleMessage(post.message, post.wParam, post.lParam));
    return;
  }
  // A page or sub-panel shows its values, ends the sequence and the cursor.
  if (post.message == um::kRefreshPage || post.message == um::kSensorChanged) {
    Take(engine_.OnPageRefreshed());
    engine_.RequestWaitCursor(1);
  }
}

void ScriptedCamera::Deliver(const Frame& frame) {
  MessageStart();
  if (frame.notification)
    Take(engine_.OnNotification(frame.kind, frame.text));
  else
    Take(engine_.OnAnswer(lastSent_, frame.text));
}

void ScriptedCamera::Run() {
  for (int guard = 0; guard < 10000; ++guard) {
    if (!posted_.empty()) {
      const EngineAction post = posted_.front();
      posted_.pop_front();
      Dispatch(post);
    } else if (!line_.empty()) {
      const Frame frame = line_.front();
      line_.pop_front();
      Deliver(frame);
    } else {
      MessageStart();  // the next message after a quiet moment
      return;
    }
  }
}

std::vector<EngineAction> ScriptedCamera::ActionsOf(EngineAction::Type type) const {
  std::vector<EngineAction> found;
  for (const EngineAction& a : actions_) {
    if (a.type == type)
      found.push_back(a);
  }
  return found;
}

int ScriptedCamera::CountPosted(int message) const {
  int n = 0;
  for (const EngineAction& a : actions_) {
    if (a.type == EngineAction::Type::kPostMessage && a.message == message)
      ++n;
  }
  return n;
}

}  // namespace qtr90x::test
