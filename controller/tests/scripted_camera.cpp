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

// "FE 30 31 EF" -> its bytes.
std::vector<std::uint8_t> Bytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 3)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  return bytes;
}

bool Listed(const std::vector<std::string>& names, F function) {
  return std::find(names.begin(), names.end(), std::string(LibraryFunctionName(function))) !=
         names.end();
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
    case F::kQzSetIrLight:
      return "76 " + Dec(a, 1);
    case F::kQzGetIrCutFilter:
      return "B6";
    case F::kQzSetIrCutFilter:
      return "B5 " + Dec(a, 1);
    case F::kQzSetSensorInputDetectProp:
      return "74 " + Hex(a, 2);
    case F::kQzGetSensorInputTerminalStat:
      return "75";
    case F::kQzGetMotorSpeed:
      return "52 " + Dec(a, 1);
    case F::kQzSetMotorSpeed:
      return (a == 0 ? "50 " : "51 ") + Hex(b, 3);
    case F::kQzGetZoomSpeed:
      return "B4 32";
    case F::kQzSetZoomSpeed:
      return "B4 31 " + Hex(a, 1);
    case F::kQzGetExternalLight:
      return "79";
    case F::kQzSetExternalLight:
      return "78 " + Dec(a, 1);
    case F::kQzGetAlarmOutput:
      return "73";
    case F::kQzSetAlarmOutput:
      return "72 " + Dec(a, 1);
    case F::kQzGetElectronicZoom:
      return "B8";
    case F::kQzSetElectronicZoom:
      return "B7 " + Dec(a, 2);
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
    case F::kQzGotoHomePosition:
      return "57";
    case F::kQzSetPanTilt2:
      return "53 " + Dec(a, 1);
    case F::kQzSetPresetMemory:
      return "89 " + Dec(a, 1);
    case F::kQzGoToPreset:
      return "8A " + Dec(a, 1);
    case F::kQzSetZooming:
      return "A2 " + Dec(a, 1);
    case F::kQzSetFocusMode:
      return "A1 " + Dec(a, 1);
    case F::kQzSetOnePushAF:
      return "B1 31";
    default:
      return "AA";
  }
}

}  // namespace

ScriptedCamera::ScriptedCamera(CameraScript script) : script_(std::move(script)), engine_(*this) {
  engine_.SetClock([] { return LocalDateTime{2026, 12, 8, 9, 45, 30}; });
  engine_.SetMonotonicClock([this] { return now_; });
  engine_.SetDebugLogging(true);
}

std::string ScriptedCamera::FrameText(const LibraryCall& call) const {
  return "FF 30 " + Dec(call.camera, 1) + " 00 " + CommandBytes(call) + " EF";
}

std::string ScriptedCamera::Answer(const LibraryCall& call) const {
  if (Listed(script_.refused, call.function))
    return "FE 30 " + Dec(call.camera, 1) + " 39 30 EF";
  if (call.function == F::kQzSetCascade)
    return "FE 30 " + (call.args[0] == 1 ? Dec(script_.cameras, 1) : "30") + " 30 30 EF";
  const CameraScript& s = script_;
  std::string data;
  switch (call.function) {
    case F::kQzGetExtendedOperateStatus: {
      const int bits = (s.pedestalInitialised ? 0 : 0x10) | (s.powerOn ? 0 : 0x20);
      data = Hex(bits, 5);
      break;
    }
    case F::kQzGetUnitName:
      data = Chars(s.unitName);
      break;
    case F::kQzGetExtendPreset:
      data = Hex(s.presets, 3);
      break;
    case F::kQzGetMotorSpeed:
      data = Hex(call.args[0] == 0 ? s.panSpeed : s.tiltSpeed, 3);
      break;
    case F::kQzGetZoomSpeed:
      data = Hex(s.zoomSpeed, 1);
      break;
    case F::kQzGetIrLight:
      data = Hex(s.irLight, 1);
      break;
    case F::kQzGetIrCutFilter:
      data = Hex(s.irCutFilter ? 1 : 0, 1);
      break;
    case F::kQzGetSensorInputTerminalStat:
      data = Hex(s.sensorInput, 2);
      break;
    case F::kQzGetElectronicZoom:
      data = Dec(s.electronicZoom, 2);
      break;
    case F::kQzGetExternalLight:
      data = Hex(s.externalLight ? 1 : 0, 1);
      break;
    case F::kQzGetAlarmOutput:
      data = Hex(s.alarmOutput ? 1 : 0, 1);
      break;
    case F::kQzGet4ByteStatus:
      data = Hex(0x0090, 4);
      break;
    case F::kQzGet2ByteStatus:
      data = Hex(0x11, 2);
      break;
    case F::kQzGetBacklight:
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

// What an executed setting changes in the camera.
void ScriptedCamera::Apply(const LibraryCall& call) {
  CameraScript& s = script_;
  const int a = call.args[0];
  switch (call.function) {
    case F::kQzSetMotorSpeed:
      (a == 0 ? s.panSpeed : s.tiltSpeed) = call.args[1];
      break;
    case F::kQzSetZoomSpeed:
      s.zoomSpeed = a;
      break;
    case F::kQzSetExternalLight:
      s.externalLight = a != 0;
      break;
    case F::kQzSetAlarmOutput:
      s.alarmOutput = a != 0;
      break;
    case F::kQzSetElectronicZoom:
      s.electronicZoom = a;
      break;
    case F::kQzSetIrCutFilter:
      s.irCutFilter = a != 0;
      break;
    case F::kQzSetIrLight:
      s.irLight = a;
      break;
    case F::kQzSetPresetMemory:
      s.presets |= 1 << (a - 1);
      break;
    default:
      break;
  }
}

bool ScriptedCamera::Send(const LibraryCall& call, SentFrame& sent) {
  calls_.push_back(DescribeCall(call));
  const int number = static_cast<int>(calls_.size());
  if (std::find(script_.failingCalls.begin(), script_.failingCalls.end(), number) !=
      script_.failingCalls.end())
    return false;
  const std::string frame = FrameText(call);
  sent.Assign(Bytes(frame));
  if (Listed(script_.silent, call.function))
    return true;
  // A held answer holds back everything after it: the line answers in order.
  const bool stalled = Listed(script_.held, call.function) || !heldAnswers_.empty();
  std::deque<Frame>& line = stalled ? heldAnswers_ : line_;
  line.push_back(Frame{false, 1, Answer(call)});
  if (Listed(script_.refused, call.function))
    return true;
  Apply(call);
  const std::string address = Dec(call.camera, 1);
  const auto notify = [&](const std::string& bytes) {
    return Frame{true, 1, "FA 30 " + address + " 00 " + bytes + " EF"};
  };
  if (Listed(script_.unnotified, call.function))
    return true;
  switch (call.function) {
    case F::kQzSetCameraPower:
      if (call.args[0] == 1 && !script_.powerOn && script_.holdPowerOn) {
        heldPower_.push_back(notify("A0 31"));
      } else {
        script_.powerOn = call.args[0] == 1;
        line.push_back(notify(CommandBytes(call)));
      }
      break;
    case F::kQzPedestalInitialize:
      script_.pedestalInitialised = true;
      line.push_back(notify("58 30"));
      break;
    case F::kQzSetBackLight:
    case F::kQzSetOnePushAF:
      line.push_back(notify(CommandBytes(call)));
      break;
    default:
      break;
  }
  return true;
}

bool ScriptedCamera::SendRaw(std::span<const std::uint8_t> bytes) {
  const std::string text = TrafficText(bytes.data(), bytes.size());
  calls_.push_back(text);
  if (bytes.size() >= 6 && bytes[0] == 0xFF)
    line_.push_back(Frame{false, 1, "FE 30 " + text.substr(6, 2) + " 30 30 EF"});
  return true;
}

void ScriptedCamera::ReleasePower() {
  script_.powerOn = true;
  for (Frame& f : heldPower_)
    line_.push_back(std::move(f));
  heldPower_.clear();
}

void ScriptedCamera::ReleaseHeld() {
  for (Frame& f : heldAnswers_)
    line_.push_back(std::move(f));
  heldAnswers_.clear();
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

void ScriptedCamera::TakeActions(const EngineActions& actions) {
  for (const EngineAction& a : actions) {
    actions_.push_back(a);
    if (const auto* post = std::get_if<act::Post>(&a))
      posted_.push_back(*post);
  }
}

void ScriptedCamera::Take(const std::function<void(EngineActions&)>& event) {
  EngineActions actions;
  event(actions);
  TakeActions(actions);
}

void ScriptedCamera::Feed(const std::function<void(EngineActions&)>& event) {
  Take(event);
  Run();
}

void ScriptedCamera::Advance(Micros micros) {
  now_ += micros;
  const std::optional<Micros> due = engine_.NextDeadline();
  if (due && *due <= now_) {
    MessageStart();
    Take([&](EngineActions& out) { engine_.OnDeadline(out); });
  }
  Run();
}

void ScriptedCamera::Dispatch(const act::Post& post) {
  MessageStart();
  if (post.target == MessageTarget::kMainDialog) {
    Take([&](EngineActions& out) {
      engine_.HandleMessage(post.message, post.wParam, post.lParam, out);
    });
    return;
  }
  // A page or sub-panel shows its values, ends the sequence and the cursor.
  if (post.message == um::kRefreshPage || post.message == um::kSensorChanged) {
    Take([&](EngineActions& out) { engine_.OnPageRefreshed(out); });
    engine_.RequestWaitCursor(1);
  }
}

void ScriptedCamera::Deliver(const Frame& frame) {
  MessageStart();
  const std::vector<std::uint8_t> bytes = Bytes(frame.text);
  Take([&](EngineActions& out) {
    if (frame.notification)
      engine_.OnNotification(frame.kind, bytes, out);
    else
      engine_.OnAnswer(bytes, out);
  });
}

bool ScriptedCamera::RunOne() {
  if (!posted_.empty()) {
    const act::Post post = posted_.front();
    posted_.pop_front();
    Dispatch(post);
    return true;
  }
  if (line_.empty())
    return false;
  const Frame frame = line_.front();
  line_.pop_front();
  Deliver(frame);
  return true;
}

void ScriptedCamera::Run() {
  for (int guard = 0; guard < 10000; ++guard) {
    if (!RunOne()) {
      MessageStart();  // the next message after a quiet moment
      return;
    }
  }
}

int ScriptedCamera::CountPosted(int message) const {
  int n = 0;
  for (const act::Post& p : ActionsOf<act::Post>())
    n += p.message == message ? 1 : 0;
  return n;
}

std::vector<std::string> ScriptedCamera::Lines(int type) const {
  std::vector<std::string> lines;
  for (const act::DebugLine& line : ActionsOf<act::DebugLine>()) {
    if (line.type == type)
      lines.push_back(line.text);
  }
  return lines;
}

void PrintTo(const act::DebugLine& line, std::ostream* os) {
  *os << "line " << line.type << " \"" << line.text << '"';
}

void PrintTo(const act::Post& post, std::ostream* os) {
  *os << "post 0x" << std::hex << post.message << std::dec << " (" << post.wParam << ", "
      << post.lParam << ") to " << static_cast<int>(post.target);
}

}  // namespace qtr90x::test
