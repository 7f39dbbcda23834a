#include "tests/scripted_camera.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

#include "core/engine/private_messages.h"
#include "core/link/traffic_text.h"

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

// A call's command bytes after the 00 of its frame: fixed bytes, then its
// first `args` arguments, each as `digits` decimal (or hex) characters.
struct Command {
  F function;
  const char* bytes;
  int args = 0;
  int digits = 1;
  bool hex = false;
};

const Command kCommands[] = {
    {F::kQzSetCascade, "8F", 1},
    {F::kQzSetCmdMode, "90", 1},
    {F::kQzSetNotify, "94", 1},
    {F::kQzGetExtendedOperateStatus, "86 30"},
    {F::kQzSetCameraPower, "A0", 1},
    {F::kQzGetUnitName, "87"},
    {F::kQzGetExtendPreset, "8B 30"},
    {F::kQzPedestalInitialize, "58", 1},
    {F::kQzSetDate, "91 33", 3, 2},
    {F::kQzSetTime, "91 35", 3, 2},
    {F::kQzGetIrLight, "77"},
    {F::kQzSetIrLight, "76", 1},
    {F::kQzGetIrCutFilter, "B6"},
    {F::kQzSetIrCutFilter, "B5", 1},
    {F::kQzSetSensorInputDetectProp, "74", 1, 2, true},
    {F::kQzGetSensorInputTerminalStat, "75"},
    {F::kQzGetMotorSpeed, "52", 1},
    {F::kQzGetZoomSpeed, "B4 32"},
    {F::kQzSetZoomSpeed, "B4 31", 1, 1, true},
    {F::kQzGetExternalLight, "79"},
    {F::kQzSetExternalLight, "78", 1},
    {F::kQzGetAlarmOutput, "73"},
    {F::kQzSetAlarmOutput, "72", 1},
    {F::kQzGetElectronicZoom, "B8"},
    {F::kQzSetElectronicZoom, "B7", 1, 2},
    {F::kQzGetNoiseReduction, "BA"},
    {F::kQzGet4ByteStatus, "86 31"},
    {F::kQzGet2ByteStatus, "86 32"},
    {F::kQzSetLed, "8E", 1},
    {F::kQzSetOnScreen, "91 30", 1},
    {F::kQzGetBacklight, "A5 3F"},
    {F::kQzSetBackLight, "A5", 1},
    {F::kQzGetAEVal, "A5 3C"},
    {F::kQzGetIris, "A5 3A"},
    {F::kQzGetAGCGain, "A5 38"},
    {F::kQzGetShutterSpeed, "A5 36"},
    {F::kQzGotoHomePosition, "57"},
    {F::kQzSetPanTilt2, "53", 1},
    {F::kQzSetPresetMemory, "89", 1},
    {F::kQzGoToPreset, "8A", 1},
    {F::kQzSetZooming, "A2", 1},
    {F::kQzSetFocusMode, "A1", 1},
    {F::kQzSetOnePushAF, "B1 31"},
};

std::string CommandBytes(const LibraryCall& c) {
  // The axis picks the command byte; the speed is its argument.
  if (c.function == F::kQzSetMotorSpeed)
    return (c.args[0] == 0 ? "50 " : "51 ") + Hex(c.args[1], 3);
  const auto row = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const Command& each) { return each.function == c.function; });
  if (row == std::end(kCommands))
    return "AA";
  std::string bytes = row->bytes;
  for (int i = 0; i < row->args; ++i)
    bytes += " " + (row->hex ? Hex : Dec)(c.args[i], row->digits);
  return bytes;
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
  // Each query's data, from the camera's state.
  const int status = (s.pedestalInitialised ? 0 : 0x10) | (s.powerOn ? 0 : 0x20);
  const std::pair<F, std::string> answers[] = {
      {F::kQzGetExtendedOperateStatus, Hex(status, 5)},
      {F::kQzGetUnitName, Chars(s.unitName)},
      {F::kQzGetExtendPreset, Hex(s.presets, 3)},
      {F::kQzGetMotorSpeed, Hex(call.args[0] == 0 ? s.panSpeed : s.tiltSpeed, 3)},
      {F::kQzGetZoomSpeed, Hex(s.zoomSpeed, 1)},
      {F::kQzGetIrLight, Hex(s.irLight, 1)},
      {F::kQzGetIrCutFilter, Hex(s.irCutFilter ? 1 : 0, 1)},
      {F::kQzGetSensorInputTerminalStat, Hex(s.sensorInput, 2)},
      {F::kQzGetElectronicZoom, Dec(s.electronicZoom, 2)},
      {F::kQzGetExternalLight, Hex(s.externalLight ? 1 : 0, 1)},
      {F::kQzGetAlarmOutput, Hex(s.alarmOutput ? 1 : 0, 1)},
      {F::kQzGet4ByteStatus, Hex(0x0090, 4)},
      {F::kQzGet2ByteStatus, Hex(0x11, 2)},
      {F::kQzGetBacklight, Hex(1, 1)},
      {F::kQzGetNoiseReduction, Hex(1, 1)},
      {F::kQzGetAEVal, Hex(0x20, 2)},
      {F::kQzGetIris, Hex(0x20, 2)},
      {F::kQzGetAGCGain, Hex(0x20, 2)},
      {F::kQzGetShutterSpeed, Hex(0x20, 2)},
  };
  std::string data;
  for (const auto& [function, text] : answers) {
    if (function == call.function)
      data = text;
  }
  return "FE 30 " + Dec(call.camera, 1) + " 30 30 " + (data.empty() ? "" : data + " ") + "EF";
}

// What an executed setting changes in the camera: a number or a switch
// taken from its first argument, a speed of the axis it names, a preset.
void ScriptedCamera::Apply(const LibraryCall& call) {
  CameraScript& s = script_;
  const int a = call.args[0];
  const std::pair<F, int CameraScript::*> numbers[] = {
      {F::kQzSetZoomSpeed, &CameraScript::zoomSpeed},
      {F::kQzSetElectronicZoom, &CameraScript::electronicZoom},
      {F::kQzSetIrLight, &CameraScript::irLight}};
  const std::pair<F, bool CameraScript::*> switches[] = {
      {F::kQzSetExternalLight, &CameraScript::externalLight},
      {F::kQzSetAlarmOutput, &CameraScript::alarmOutput},
      {F::kQzSetIrCutFilter, &CameraScript::irCutFilter}};
  for (const auto& [function, field] : numbers) {
    if (function == call.function)
      s.*field = a;
  }
  for (const auto& [function, field] : switches) {
    if (function == call.function)
      s.*field = a != 0;
  }
  if (call.function == F::kQzSetMotorSpeed)
    (a == 0 ? s.panSpeed : s.tiltSpeed) = call.args[1];
  else if (call.function == F::kQzSetPresetMemory)
    s.presets |= 1 << (a - 1);
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

void ScriptedCamera::SwitchPower(bool on) {
  if (on && !heldPower_.empty()) {
    ReleasePower();
    return;
  }
  script_.powerOn = on;
  line_.push_back(Frame{true, 1, on ? "FA 30 31 00 A0 31 EF" : "FA 30 31 00 A0 30 EF"});
}

void ScriptedCamera::ReleaseHeld() {
  for (Frame& f : heldAnswers_)
    line_.push_back(std::move(f));
  heldAnswers_.clear();
}

void ScriptedCamera::MessageStart() {
  switch (engine_.Cursor().AtMessageStart()) {
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

void ScriptedCamera::Connect() {
  Feed([&](EngineActions& out) { engine_.OnConnectionAttempt(1, true, true, out); });
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
    engine_.Cursor().Request(WaitCursorRequest::kEnd);
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
