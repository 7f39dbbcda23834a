#include "core/engine/sequence_engine.h"

#include "core/link/debug_line_type.h"

#include <algorithm>
#include <ctime>

#include "core/engine/notification_table.h"
#include "core/engine/private_messages.h"
#include "core/link/answer_decoders.h"
#include "core/link/error_evaluation.h"
#include "core/link/traffic_text.h"
#include "core/link/unit_name.h"
#include "core/pages/control_rules.h"
#include "core/pages/system_mapping.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace qtr90x {

namespace {

using F = LibraryFunction;

// The status read right before the power-on step of a connect or camera
// change: it is sent again when the power came on late.
int StatusReadBeforePowerOn(const StepTable& table) {
  for (std::size_t i = 1; i < table.steps.size(); ++i) {
    if (table.steps[i].await == StepAwait::kPowerOnNotification)
      return static_cast<int>(i) - 1;
  }
  return 0;
}

LocalDateTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

act::Post Post(MessageTarget target, int message, std::intptr_t wParam, std::intptr_t lParam) {
  return act::Post{target, message, wParam, lParam, nullptr};
}

act::Post PostToMain(int message, SequenceKind kind) {
  return Post(MessageTarget::kMainDialog, message, 0, static_cast<int>(kind));
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  return TrafficText(bytes.data(), bytes.size());
}

// A string-table text with its one %d or %s replaced.
std::string Format(int stringId, const std::string& value) {
  std::string text = LoadString(stringId);
  std::size_t at = text.find("%d");
  if (at == std::string::npos)
    at = text.find("%s");
  if (at != std::string::npos)
    text.replace(at, 2, value);
  return text;
}

MessageTarget CompletionTarget(SequenceKind kind) {
  switch (kind) {
    case SequenceKind::kAdjustPage:
    case SequenceKind::kSensorInput:
      return MessageTarget::kAdjustPage;
    case SequenceKind::kSystemPage:
      return MessageTarget::kSystemPage;
    case SequenceKind::kPicturePage:
      return MessageTarget::kPicturePage;
    case SequenceKind::kAutoExposure:
      return MessageTarget::kAutoExposurePanel;
    case SequenceKind::kManualExposure:
      return MessageTarget::kManualExposurePanel;
    default:
      return MessageTarget::kMainDialog;
  }
}

int CompletionMessage(SequenceKind kind) {
  switch (kind) {
    case SequenceKind::kCommandMode:
      return um::kCmdModeDone;
    case SequenceKind::kOnScreen:
      return um::kOnScreenDone;
    case SequenceKind::kSensorInput:
      return um::kSensorChanged;
    default:
      return um::kRefreshPage;
  }
}

bool IsConnectOrChange(SequenceKind kind) {
  return kind == SequenceKind::kConnect || kind == SequenceKind::kCameraChange;
}

bool IsPowerSequence(SequenceKind kind) {
  return kind == SequenceKind::kPowerOn || kind == SequenceKind::kPowerOff;
}

// A notification that ends the operator's wait for the backlight switch.
bool IsExposureNotice(NoticeAction action) {
  return action == NoticeAction::kBacklightOff || action == NoticeAction::kBacklightOn ||
         action == NoticeAction::kExposure;
}

// What a sequence waited for, for the line that says it never came.
const char* AwaitedNotification(StepAwait await) {
  switch (await) {
    case StepAwait::kPowerOnNotification:
    case StepAwait::kPowerNotification:
      return "the camera power switch";
    case StepAwait::kPedestalNotification:
      return "pedestal initialisation";
    case StepAwait::kBacklightNotification:
      return "the backlight switch";
    case StepAwait::kAnswer:
      break;
  }
  return "a command";
}

Micros NotificationBound(StepAwait await) {
  switch (await) {
    case StepAwait::kPedestalNotification:
      return kPedestalNotificationBound;
    case StepAwait::kBacklightNotification:
      return kBacklightNotificationBound;
    default:
      return kPowerNotificationBound;
  }
}

// Which speed (pan, tilt, zoom) a call reads or sets, or -1. Inching's own
// settings do not count: its slow speed is not the camera's to keep.
int SpeedKnownBy(const LibraryCall& call, CallOwner owner) {
  const bool sets = call.function == F::kQzSetMotorSpeed || call.function == F::kQzSetZoomSpeed;
  if (owner == CallOwner::kInching && sets)
    return -1;
  switch (call.function) {
    case F::kQzGetMotorSpeed:
    case F::kQzSetMotorSpeed:
      return call.args[0] == 0 ? 0 : 1;
    case F::kQzGetZoomSpeed:
    case F::kQzSetZoomSpeed:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

SequenceEngine::SequenceEngine(LibraryPort& port)
    : path_(port, SteadyMicros), clock_(SystemLocalTime) {}

// --- sending ---------------------------------------------------------------------

bool SequenceEngine::SendCall(const LibraryCall& call, CallTag tag, EngineActions& out) {
  // A line that keeps every call unanswered must not grow the list: the
  // oldest is given up to make room.
  if (path_.Calls().Full()) {
    if (const auto oldest = path_.Calls().TakeOldest())
      GiveUpCall(*oldest, out);
  }
  if (path_.Send(call, tag))
    return true;
  out.push_back(act::DebugLine{
      kLineError, std::string(LoadString(str::kFailToSendCommand)) + ": " + DescribeCall(call)});
  return false;
}

Inching::Sender SequenceEngine::InchingSender(EngineActions& out) {
  return [this, &out](const LibraryCall& call) {
    return SendCall(call, CallTag{CallOwner::kInching, inching_.Generation()}, out);
  };
}

bool SequenceEngine::SendOperatorCall(const LibraryCall& call, AnswerFollowUp followUp,
                                      EngineActions& out) {
  if (SendCall(call, CallTag{CallOwner::kOperator, 0, followUp}, out))
    return true;
  // No answer will come to carry the follow-up.
  FollowUp(followUp, false, out);
  return false;
}

bool SequenceEngine::SendRawCommand(std::span<const std::uint8_t> bytes, EngineActions& out) {
  if (path_.Calls().Full()) {
    if (const auto oldest = path_.Calls().TakeOldest())
      GiveUpCall(*oldest, out);
  }
  return path_.SendRaw(bytes, CallTag{});
}

// --- connection and operator actions -------------------------------------------------

void SequenceEngine::OnConnectionAttempt(int port, bool connected, bool startupAttempt,
                                         EngineActions& out) {
  port_ = port;
  presetNamesOwned_ = false;
  cameraListKnown_ = false;
  if (connected || startupAttempt) {
    firstReadSystem_ = true;
    firstReadAutoExposure_ = true;
    out.push_back(PostToMain(um::kStartQuery, SequenceKind::kConnect));
  } else {
    out.push_back(act::CameraList{0, -1});
    cursor_.Request(WaitCursorRequest::kEnd);
  }
}

void SequenceEngine::OnConnectionClosed(EngineActions& out) {
  EndSequence(out);
  inching_.Reset();
  // No answer comes after the close: what waited for one is done.
  while (const auto call = path_.Calls().TakeOldest())
    FollowUp(call->tag.followUp, false, out);
  path_.Calls().Clear();
  operatorAwait_.reset();
  sensorQueryPending_ = false;
  presetNamesOwned_ = false;
  if (cursor_.Shown())
    cursor_.Request(WaitCursorRequest::kEnd);
}

void SequenceEngine::OnCameraSelected(int index, EngineActions& out) {
  selectedCamera_ = index + 1;
  presetNamesOwned_ = false;
  firstReadSystem_ = true;
  firstReadAutoExposure_ = true;
  out.push_back(PostToMain(um::kStartQuery, SequenceKind::kCameraChange));
}

void SequenceEngine::OnNightModeClicked(bool checked, EngineActions& out) {
  // Night Mode checked means the IR cut filter is out. A click that is not
  // sent is undone: the box shows again what it showed.
  if (SequenceActive() ||
      !SendOperatorCall(MakeCall(F::kQzSetIrCutFilter, selectedCamera_, checked ? 0 : 1),
                        AnswerFollowUp::kNone, out)) {
    out.push_back(act::NightMode{!checked, -1});
    return;
  }
  out.push_back(act::NightMode{checked, 0});
}

void SequenceEngine::OnIrLightChosen(int index, EngineActions& out) {
  SendOperatorCall(MakeCall(F::kQzSetIrLight, selectedCamera_, index), AnswerFollowUp::kNone, out);
}

void SequenceEngine::OnCommandModeClicked(bool local, EngineActions& out) {
  if (SequenceActive()) {
    out.push_back(act::CommandModeRadios{camera_.localMode});
    return;
  }
  if (local)
    out.push_back(act::MakeCompact{});
  out.push_back(Post(MessageTarget::kMainDialog, um::kCmdMode, local ? 1 : 0,
                     static_cast<int>(SequenceKind::kCommandMode)));
}

void SequenceEngine::OnOnScreenChanged(bool checked, EngineActions& out) {
  onScreenChecked_ = checked;
  StartSequence(SequenceKind::kOnScreen, false, out);
  Finish(out);
}

void SequenceEngine::OnInchStart(MoveKind moveKind, const void* button, EngineActions& out) {
  const SpeedPositions speeds{camera_.panSpeed, camera_.tiltSpeed, camera_.zoomSpeed};
  inching_.Start(moveKind, button, speeds, speedRead_, selectedCamera_, InchingSender(out), out);
}

void SequenceEngine::OnInchStop(MoveKind moveKind, const void* button, EngineActions& out) {
  inching_.Stop(moveKind, button, selectedCamera_, InchingSender(out), out);
}

// --- messages --------------------------------------------------------------------

bool SequenceEngine::HandlesMessage(int message) {
  switch (message) {
    case um::kNextStep:
    case um::kStartQuery:
    case um::kRefreshPage:
    case um::kCmdMode:
    case um::kCmdModeDone:
    case um::kOnScreenDone:
    case um::kPowerOn:
    case um::kPowerOnDone:
    case um::kPowerOff:
    case um::kPowerOffDone:
    case um::kSensorQuery:
      return true;
    default:
      return false;
  }
}

void SequenceEngine::HandleMessage(int message, std::intptr_t wParam, std::intptr_t lParam,
                                   EngineActions& out) {
  const auto kind = static_cast<SequenceKind>(lParam);
  switch (message) {
    case um::kNextStep:
      // Only the step this sequence asked for: a step posted by a sequence
      // that was replaced meanwhile would put a second command in flight.
      if (seq_.nextStepPosted && kind == seq_.kind) {
        seq_.nextStepPosted = false;
        RunStep(out);
      }
      break;
    case um::kStartQuery:
      if ((lParam >= 0 && lParam <= 5) || kind == SequenceKind::kCameraChange)
        StartSequence(kind, true, out);
      break;
    case um::kRefreshPage:
      if (IsConnectOrChange(kind) && kind == seq_.kind) {
        if (TakeNotifiedPower(out)) {
          // The power came on after the status read: read the camera again.
          EndSequence(out);
          cursor_.Request(WaitCursorRequest::kEnd);
          PowerCameOn(out);
          break;
        }
        ShowConnectedCamera(out);
        EndSequence(out);
        // The visible page reads its values next, with the wait cursor of
        // its own start message.
        static constexpr SequenceKind kPageKinds[] = {
            SequenceKind::kAdjustPage, SequenceKind::kSystemPage, SequenceKind::kPicturePage};
        const int page = visiblePage_ >= 0 && visiblePage_ < 3 ? visiblePage_ : 0;
        out.push_back(PostToMain(um::kStartQuery, kPageKinds[page]));
        cursor_.Request(WaitCursorRequest::kEnd);
      }
      break;
    case um::kCmdMode:
      commandModeLocal_ = wParam != 0;
      StartSequence(SequenceKind::kCommandMode, false, out);
      break;
    case um::kCmdModeDone:
      if (seq_.kind == SequenceKind::kCommandMode) {
        cursor_.Request(WaitCursorRequest::kEnd);
        // The mode the camera accepted: after a refused change the radios
        // go back rather than contradict the camera.
        out.push_back(act::CommandModeRadios{camera_.localMode});
        if (camera_.cameraPower)
          out.push_back(act::EnableControls{!camera_.localMode});
        EndSequence(out);
      }
      break;
    case um::kOnScreenDone:
      if (seq_.kind == SequenceKind::kOnScreen)
        EndSequence(out);
      break;
    case um::kPowerOn:
      StartSequence(SequenceKind::kPowerOn, true, out);
      break;
    case um::kPowerOff:
      StartSequence(SequenceKind::kPowerOff, true, out);
      break;
    case um::kPowerOnDone:
      EndSequence(out);
      cursor_.Request(WaitCursorRequest::kEnd);
      PowerCameOn(out);
      break;
    case um::kPowerOffDone:
      EndSequence(out);
      cursor_.Request(WaitCursorRequest::kEnd);
      PowerWentOff(out);
      break;
    case um::kSensorQuery:
      // A running sequence is never replaced by the sensor query: it runs
      // when that sequence has ended.
      if (SequenceActive())
        sensorQueryPending_ = true;
      else
        StartSequence(SequenceKind::kSensorInput, false, out);
      break;
    default:
      break;
  }
  Finish(out);
}

// --- answers ---------------------------------------------------------------------

namespace {

// An answer's lines in the debug window, with its code's type (returned):
// "ack" for "00", else the error's type and its message. An unknown code
// adds its message line too, empty.
int PushAnswerLines(const AnswerFrame& answer, EngineActions& out) {
  const AnswerError e = EvaluateAnswerCode(answer.CodeFirst(), answer.CodeSecond());
  const int type = e.isError ? e.labelType : kLineAck;
  out.push_back(act::DebugLine{type, Hex(answer.Bytes())});
  if (e.isError) {
    out.push_back(act::DebugLine{
        type, e.stringId != 0 ? Format(e.stringId, std::to_string(e.codeNumber)) : ""});
  }
  return type;
}

}  // namespace

void SequenceEngine::OnAnswer(std::span<const std::uint8_t> frame, EngineActions& out) {
  const AnswerFrame answer(frame);
  const CallsInFlight::Match match = path_.Calls().TakeAnswered(answer);
  // The camera answered past these: their answers will not come.
  for (std::size_t i = 0; i < match.lostCount; ++i)
    GiveUpCall(match.lost[i], out);
  switch (match.kind) {
    case CallsInFlight::Match::Kind::kCall:
      HandleAnswer(match.call, answer, out);
      break;
    case CallsInFlight::Match::Kind::kLate: {
      const std::string late =
          match.call.raw ? Hex(match.call.frame.Bytes()) : DescribeCall(match.call.call);
      const int type = PushAnswerLines(answer, out);
      out.push_back(act::DebugLine{type, Format(str::kLateAnswer, late)});
      break;
    }
    case CallsInFlight::Match::Kind::kNobody:
      out.push_back(
          act::DebugLine{PushAnswerLines(answer, out), LoadString(str::kAnswerForNobody)});
      break;
  }
  Finish(out);
}

void SequenceEngine::HandleAnswer(const CallInFlight& call, const AnswerFrame& answer,
                                  EngineActions& out) {
  // The answer tells about the camera it came from: the selected one, or
  // the whole line.
  if (!call.raw && (call.call.camera == selectedCamera_ || call.call.camera == 0)) {
    ApplyNews(call.call, DecodeAnswer(call.call, answer, camera_), out);
    // The status tells the power as it is now: a switch notified before it
    // is in it.
    if (call.call.function == F::kQzGetExtendedOperateStatus && answer.Executed())
      seq_.powerNotified.reset();
    // A speed the camera reported, or accepted from the operator, is known;
    // inching's own slow speed is not what the camera is to keep.
    const int speed = SpeedKnownBy(call.call, call.tag.owner);
    if (speed >= 0 && answer.Executed() &&
        (answer.Value() || call.call.function == F::kQzSetMotorSpeed ||
         call.call.function == F::kQzSetZoomSpeed))
      speedRead_[static_cast<std::size_t>(speed)] = true;
  }
  LogAnswer(call, answer, out);

  const CallTag& tag = call.tag;
  switch (tag.owner) {
    case CallOwner::kSequence:
      if (tag.generation == seq_.generation && seq_.wait == Wait::kAnswer)
        StepAnswered(answer, out);
      break;
    case CallOwner::kPowerOnStatus:
      // The status read after PowerOnTimer: the sequence goes on after the
      // power-on step.
      if (tag.generation == seq_.generation && seq_.wait == Wait::kTimerStatus)
        GoOn(out);
      break;
    case CallOwner::kInching: {
      std::optional<int> value;
      if (answer.Executed() && answer.Value())
        value = static_cast<int>(*answer.Value());
      inching_.Answered(tag.generation, call.call, value, InchingSender(out), out);
      break;
    }
    case CallOwner::kOperator:
      if (tag.followUp == AnswerFollowUp::kAwaitBacklight ||
          tag.followUp == AnswerFollowUp::kAwaitOnePushAf)
        operatorAwait_ = OperatorAwait{tag.followUp, call.call, {}};
      FollowUp(tag.followUp, answer.Executed(), out, true);
      break;
  }
}

void SequenceEngine::ApplyNews(const LibraryCall& call, const AnswerNews& news,
                               EngineActions& out) {
  switch (news.kind) {
    case AnswerNews::Kind::kCameraCount: {
      // A refused query leaves camera 1 alone on the line.
      cameraListKnown_ = true;
      int index = selectedCamera_ - 1;
      if (index < 0 || index >= news.value) {
        selectedCamera_ = 1;
        index = news.value > 0 ? 0 : -1;
      }
      out.push_back(act::CameraList{news.value, index});
      break;
    }
    case AnswerNews::Kind::kRegisteredPresets:
      if (call.camera != selectedCamera_)
        break;
      presetNamesOwned_ = true;
      presetNamesPort_ = port_;
      presetNamesCamera_ = selectedCamera_;
      seq_.presetsRead = true;
      out.push_back(act::PresetList{news.value, port_, selectedCamera_});
      break;
    case AnswerNews::Kind::kNone:
      break;
  }
}

void SequenceEngine::LogAnswer(const CallInFlight& call, const AnswerFrame& answer,
                               EngineActions& out) {
  if (!debugLogging_)
    return;
  out.push_back(act::DebugLine{kLineSend, Hex(call.frame.Bytes())});
  PushAnswerLines(answer, out);
}

void SequenceEngine::StepAnswered(const AnswerFrame& answer, EngineActions& out) {
  const bool executed = answer.Executed();
  switch (seq_.await) {
    case StepAwait::kAnswer:
      break;
    case StepAwait::kPowerOnNotification: {
      // After an error answer no notification comes; with the power off
      // PowerOnTimer covers the wait.
      const bool wait = executed || !camera_.cameraPower;
      PowerOnAcknowledged(out);
      if (!SequenceActive())
        return;
      if (wait) {
        WaitForNotification(seq_.await);
        return;
      }
      break;
    }
    case StepAwait::kPedestalNotification:
    case StepAwait::kBacklightNotification:
      if (executed) {
        WaitForNotification(seq_.await);
        return;
      }
      break;
    case StepAwait::kPowerNotification:
      if (!executed) {
        // Refused: the power stays as it was, and the box shows it again.
        out.push_back(act::PowerBox{camera_.cameraPower});
        EndSequence(out);
        cursor_.Request(WaitCursorRequest::kEnd);
        return;
      }
      WaitForNotification(seq_.await);
      return;
  }
  GoOn(out);
}

void SequenceEngine::PowerOnAcknowledged(EngineActions& out) {
  if (!camera_.cameraPower) {
    if (!powerOnAcknowledged_) {
      powerOnTimerRunning_ = true;
      out.push_back(act::StartPowerOnTimer{});
    } else {
      // Acknowledged twice and still off: the camera cannot be used.
      EndSequence(out);
      out.push_back(act::ConnectionFailed{});
    }
  }
  powerOnAcknowledged_ = true;
}

void SequenceEngine::FollowUp(AnswerFollowUp followUp, bool executed, EngineActions& out,
                              bool answered) {
  switch (followUp) {
    case AnswerFollowUp::kAutoExposureReady:
      out.push_back(Post(MessageTarget::kAutoExposurePanel, um::kAeValueReady, 0, 0));
      break;
    case AnswerFollowUp::kAwaitBacklight:
    case AnswerFollowUp::kAwaitOnePushAf:
      if (executed && operatorAwait_) {
        operatorAwait_->deadline = path_.Now() + (followUp == AnswerFollowUp::kAwaitOnePushAf
                                                      ? kOnePushAfNotificationBound
                                                      : kBacklightNotificationBound);
      } else {
        // No notification will come.
        operatorAwait_.reset();
        cursor_.Request(WaitCursorRequest::kEnd);
      }
      break;
    case AnswerFollowUp::kGamepadAnswered:
      out.push_back(
          Post(MessageTarget::kGamepad, um::kGamepadAnswered, executed ? 1 : 0, answered ? 1 : 0));
      break;
    case AnswerFollowUp::kNone:
      break;
  }
}

void SequenceEngine::OnNotification(int wParam, std::span<const std::uint8_t> frame,
                                    EngineActions& out) {
  static constexpr int kLineTypes[] = {kLineNotify, kLineRemoteOn, kLineRemoteOff,
                                       kLineGlobalNotify, kLineDetect};
  if (wParam < 1 || wParam > 5)
    return;
  out.push_back(act::DebugLine{kLineTypes[wParam - 1], Hex(frame)});
  const Notice notice = ReadNotice(wParam, frame);
  // Another camera of the cascade tells about itself: its line is all.
  if (notice.action == NoticeAction::kNone || !ConcernsSelectedCamera(notice, selectedCamera_))
    return;

  if (operatorAwait_ && (operatorAwait_->what == AnswerFollowUp::kAwaitOnePushAf
                             ? notice.action == NoticeAction::kOnePushAfEnd
                             : IsExposureNotice(notice.action))) {
    operatorAwait_.reset();
    cursor_.Request(WaitCursorRequest::kEnd);
  }
  const bool waiting = seq_.wait == Wait::kNotification;
  // The connect, camera change and power sequences wait for notifications
  // of their own; every other moment takes them as the camera's news.
  const bool ownSequence = IsConnectOrChange(seq_.kind) || IsPowerSequence(seq_.kind);
  switch (notice.action) {
    case NoticeAction::kSensorChanged:
      if (SequenceActive())
        sensorQueryPending_ = true;
      else
        out.push_back(PostToMain(um::kSensorQuery, SequenceKind::kSensorInput));
      break;
    case NoticeAction::kPowerOn:
    case NoticeAction::kPowerOff:
      PowerNotified(notice.action == NoticeAction::kPowerOn, out);
      break;
    case NoticeAction::kPedestalEnd:
      // The camera reports the end of pedestal initialisation with the
      // command's own bytes.
      if (IsConnectOrChange(seq_.kind) && waiting &&
          seq_.await == StepAwait::kPedestalNotification) {
        seq_.wait = Wait::kNone;
        PostNextStep(out);
      }
      break;
    case NoticeAction::kOnePushAfEnd:
      if (!ownSequence && seq_.kind != SequenceKind::kAutoExposure) {
        // One-push autofocus has finished and left the focus manual.
        camera_.focusAuto = false;
        out.push_back(act::FocusRadios{true, true});
        cursor_.Request(WaitCursorRequest::kEnd);
      }
      break;
    case NoticeAction::kBacklightOff:
      if (seq_.kind == SequenceKind::kAutoExposure) {
        camera_.backlight = 0;
        if (waiting && seq_.await == StepAwait::kBacklightNotification) {
          seq_.wait = Wait::kNone;
          PostNextStep(out);
        }
      } else if (!ownSequence) {
        camera_.backlight = 0;
        cursor_.Request(WaitCursorRequest::kEnd);
      }
      break;
    case NoticeAction::kBacklightOn:
      if (!ownSequence && seq_.kind != SequenceKind::kAutoExposure) {
        camera_.backlight = 1;
        cursor_.Request(WaitCursorRequest::kEnd);
      }
      break;
    case NoticeAction::kExposure:
    case NoticeAction::kNone:
      break;
  }
}

void SequenceEngine::PowerNotified(bool on, EngineActions& out) {
  const bool waiting = seq_.wait == Wait::kNotification;
  if (IsPowerSequence(seq_.kind)) {
    // Either switch ends the power-on or power-off from the System page.
    if (waiting) {
      seq_.wait = Wait::kNone;
      const bool powerOn = seq_.kind == SequenceKind::kPowerOn;
      out.push_back(PostToMain(powerOn ? um::kPowerOnDone : um::kPowerOffDone, seq_.kind));
      if (powerOn)
        inching_.Reset();
    }
    return;
  }
  if (!IsConnectOrChange(seq_.kind)) {
    // Switched at the camera, outside the sequences that switch it or wait
    // for it: shown, and a power-on reads the camera as a camera change does.
    if (on && !camera_.cameraPower)
      PowerCameOn(out);
    else if (!on && camera_.cameraPower)
      PowerWentOff(out);
    return;
  }
  // A connect or camera change remembers the switch the camera notified
  // last: one that comes after the status read and is not the awaited
  // power-on is acted on when the sequence ends (TakeNotifiedPower).
  seq_.powerNotified = on;
  if (!on || !waiting)
    return;
  if (seq_.await == StepAwait::kPowerOnNotification) {
    if (powerOnTimerRunning_) {
      // The power came on late: read the status again before going on.
      StopPowerOnTimer(out);
      seq_.step = StatusReadBeforePowerOn(CurrentTable());
    }
    seq_.wait = Wait::kNone;
    PostNextStep(out);
  } else if (seq_.await == StepAwait::kPedestalNotification) {
    // The power notification ends the wait for the pedestal as well.
    seq_.wait = Wait::kNone;
    PostNextStep(out);
  }
}

bool SequenceEngine::TakeNotifiedPower(EngineActions& out) {
  const std::optional<bool> notified = seq_.powerNotified;
  seq_.powerNotified.reset();
  if (!notified || *notified == camera_.cameraPower)
    return false;
  if (*notified)
    return true;
  // Switched off at the camera after its status was read.
  camera_.cameraPower = false;
  out.push_back(act::PowerBox{false});
  return false;
}

void SequenceEngine::PowerCameOn(EngineActions& out) {
  out.push_back(act::CameraControls{true});
  out.push_back(act::PowerBox{true});
  ClearCamera();
  camera_.cameraPower = true;
  out.push_back(PostToMain(um::kStartQuery, SequenceKind::kCameraChange));
}

void SequenceEngine::PowerWentOff(EngineActions& out) {
  out.push_back(act::CameraControls{false});
  out.push_back(act::PowerBox{false});
  camera_.cameraPower = false;
}

void SequenceEngine::OnPowerOnTimer(EngineActions& out) {
  if (!powerOnTimerRunning_)
    return;
  StopPowerOnTimer(out);
  if (IsConnectOrChange(seq_.kind) && seq_.wait == Wait::kNotification &&
      seq_.await == StepAwait::kPowerOnNotification)
    ReadStatusAfterPowerOn(out);
}

void SequenceEngine::ReadStatusAfterPowerOn(EngineActions& out) {
  // The power-on was never confirmed: read the status outside the step
  // table; its answer lets the sequence go on after the power-on step.
  const LibraryCall status = MakeCall(F::kQzGetExtendedOperateStatus, selectedCamera_);
  if (SendCall(status, CallTag{CallOwner::kPowerOnStatus, seq_.generation}, out)) {
    seq_.wait = Wait::kTimerStatus;
    seq_.notificationDeadline.reset();
    seq_.stepCall = status;
  } else {
    EndSequence(out);
    cursor_.Request(WaitCursorRequest::kEnd);
    Finish(out);
  }
}

void SequenceEngine::OnPageRefreshed(EngineActions& out) {
  if (seq_.completed)
    EndSequence(out);
  Finish(out);
}

// --- bounded waits -------------------------------------------------------------------

std::optional<Micros> SequenceEngine::NextDeadline() const {
  std::optional<Micros> next = path_.Calls().NextDeadline();
  const auto consider = [&next](Micros deadline) {
    if (!next || deadline < *next)
      next = deadline;
  };
  if (seq_.wait == Wait::kNotification && seq_.notificationDeadline)
    consider(*seq_.notificationDeadline);
  if (operatorAwait_ && operatorAwait_->deadline != 0)
    consider(operatorAwait_->deadline);
  return next;
}

void SequenceEngine::OnDeadline(EngineActions& out) {
  while (const auto call = path_.TakeExpired())
    GiveUpCall(*call, out);
  const Micros now = path_.Now();
  if (seq_.wait == Wait::kNotification && seq_.notificationDeadline &&
      *seq_.notificationDeadline <= now)
    GiveUpNotification(out);
  if (operatorAwait_ && operatorAwait_->deadline != 0 && operatorAwait_->deadline <= now) {
    const char* what = operatorAwait_->what == AnswerFollowUp::kAwaitOnePushAf
                           ? "one-push autofocus"
                           : "the backlight switch";
    out.push_back(act::DebugLine{
        kLineError, Format(str::kNoNotification,
                           std::string(what) + " (" + DescribeCall(operatorAwait_->call) + ")")});
    operatorAwait_.reset();
    cursor_.Request(WaitCursorRequest::kEnd);
  }
  Finish(out);
}

void SequenceEngine::GiveUpCall(const CallInFlight& call, EngineActions& out) {
  const std::string what = call.raw ? Hex(call.frame.Bytes()) : DescribeCall(call.call);
  out.push_back(act::DebugLine{kLineError, Format(str::kNoAnswer, what)});
  const CallTag& tag = call.tag;
  switch (tag.owner) {
    case CallOwner::kSequence:
      if (tag.generation == seq_.generation && seq_.wait == Wait::kAnswer)
        AbandonSequence(out);
      break;
    case CallOwner::kPowerOnStatus:
      if (tag.generation == seq_.generation && seq_.wait == Wait::kTimerStatus)
        AbandonSequence(out);
      break;
    case CallOwner::kInching:
      // The button gets its go all the same: released, it must stop.
      inching_.Answered(tag.generation, call.call, std::nullopt, InchingSender(out), out);
      break;
    case CallOwner::kOperator:
      FollowUp(tag.followUp, false, out);
      break;
  }
}

void SequenceEngine::GiveUpNotification(EngineActions& out) {
  out.push_back(act::DebugLine{
      kLineError, Format(str::kNoNotification, std::string(AwaitedNotification(seq_.await)) + " (" +
                                                   DescribeCall(seq_.stepCall) + ")")});
  // A power-on that was never confirmed is read back as PowerOnTimer would.
  if (IsConnectOrChange(seq_.kind) && seq_.await == StepAwait::kPowerOnNotification) {
    ReadStatusAfterPowerOn(out);
    return;
  }
  AbandonSequence(out);
}

void SequenceEngine::AbandonSequence(EngineActions& out) {
  const SequenceKind kind = seq_.kind;
  if (IsConnectOrChange(kind)) {
    const bool cameOn = TakeNotifiedPower(out);
    if (!cameraListKnown_) {
      // No camera is known: nothing to select, no preset names to own.
      out.push_back(act::CameraList{0, -1});
    } else if (!seq_.presetsRead && !cameOn) {
      // Show what is known of this camera, not what the previous one had.
      out.push_back(act::PresetList{0, port_, selectedCamera_});
      presetNamesOwned_ = true;
      presetNamesPort_ = port_;
      presetNamesCamera_ = selectedCamera_;
    }
    if (!cameOn)
      ShowConnectedCamera(out);
    EndSequence(out);
    cursor_.Request(WaitCursorRequest::kEnd);
    if (cameOn)
      PowerCameOn(out);
    return;
  } else if (kind == SequenceKind::kCommandMode) {
    out.push_back(act::CommandModeRadios{camera_.localMode});
  } else if (kind == SequenceKind::kPowerOn || kind == SequenceKind::kPowerOff) {
    out.push_back(act::PowerBox{camera_.cameraPower});
  } else if (CompletionTarget(kind) != MessageTarget::kMainDialog) {
    // A page read: the page shows what did arrive, and ends the sequence
    // and the cursor itself. A first read stays to be done.
    seq_.wait = Wait::kNone;
    seq_.completed = true;
    out.push_back(Post(CompletionTarget(kind), CompletionMessage(kind), 0, static_cast<int>(kind)));
    return;
  }
  EndSequence(out);
  cursor_.Request(WaitCursorRequest::kEnd);
}

// --- the sequence ------------------------------------------------------------------

void SequenceEngine::StartSequence(SequenceKind kind, bool requestWaitCursor, EngineActions& out) {
  if (kind != SequenceKind::kConnect && selectedCamera_ == 0) {
    // No camera is known: nothing to read or switch (address 0 would be
    // every camera on the line). A switch clicked shows the camera again.
    if (IsPowerSequence(kind))
      out.push_back(act::PowerBox{camera_.cameraPower});
    else if (kind == SequenceKind::kCommandMode)
      out.push_back(act::CommandModeRadios{camera_.localMode});
    return;
  }
  // A timer of the replaced sequence must not fire into this one.
  StopPowerOnTimer(out);
  const std::uint32_t generation = seq_.generation + 1;
  seq_ = Sequence{};
  seq_.kind = kind;
  seq_.generation = generation;
  if (requestWaitCursor)
    cursor_.Request(WaitCursorRequest::kBegin);
  if (IsConnectOrChange(kind)) {
    powerOnAcknowledged_ = false;
    ClearCamera();
  }
  if (kind == SequenceKind::kAutoExposure && !firstReadAutoExposure_)
    seq_.step = CurrentTable().firstStepNotFirstRead;
  RunStep(out);
}

StepTable SequenceEngine::CurrentTable() const {
  return StepTableOf(seq_.kind, ChooseModelColumn(IsQtR7(), camera_.pedestalInitialised));
}

LibraryCall SequenceEngine::BuildStepCall(const StepSpec& row) const {
  const int cam = selectedCamera_;
  switch (row.source) {
    case StepArgs::kDate: {
      const LocalDateTime now = clock_();
      return MakeCall(row.function, cam, CameraYear(now.year), now.month, now.day);
    }
    case StepArgs::kTime: {
      const LocalDateTime now = clock_();
      return MakeCall(row.function, cam, now.hour, now.minute, now.second);
    }
    case StepArgs::kLocalMode:
      return MakeCall(row.function, cam, commandModeLocal_ ? 1 : 0);
    case StepArgs::kOnScreenFirst:
      return MakeCall(row.function, cam, onScreenChecked_ ? 1 : 0);
    case StepArgs::kOnScreenSecond:
      return MakeCall(row.function, cam, onScreenChecked_ ? 3 : 2);
    case StepArgs::kFixed:
    case StepArgs::kFixedLine:
      break;
  }
  LibraryCall call = MakeCall(row.function, row.source == StepArgs::kFixedLine ? 0 : cam);
  call.argCount = row.argCount;
  call.args = {row.args[0], row.args[1], 0};
  return call;
}

void SequenceEngine::RunStep(EngineActions& out) {
  if (!SequenceActive())
    return;
  const StepTable table = CurrentTable();
  if (seq_.step < 0 || seq_.step >= static_cast<int>(table.steps.size())) {
    // Past the end of its table (the model changed under it): nothing to send.
    EndSequence(out);
    cursor_.Request(WaitCursorRequest::kEnd);
    return;
  }
  const StepSpec& row = table.steps[static_cast<std::size_t>(seq_.step)];
  const LibraryCall call = BuildStepCall(row);
  ++seq_.step;
  seq_.await = row.await;
  seq_.stepCall = call;
  seq_.wait = Wait::kAnswer;
  if (!SendCall(call, CallTag{CallOwner::kSequence, seq_.generation}, out)) {
    // No answer will come: end here rather than wait with the cursor on.
    EndSequence(out);
    cursor_.Request(WaitCursorRequest::kEnd);
  }
}

void SequenceEngine::WaitForNotification(StepAwait await) {
  seq_.wait = Wait::kNotification;
  seq_.await = await;
  // PowerOnTimer bounds a power-on acknowledged with the power off.
  if (await == StepAwait::kPowerOnNotification && powerOnTimerRunning_)
    seq_.notificationDeadline.reset();
  else
    seq_.notificationDeadline = path_.Now() + NotificationBound(await);
}

void SequenceEngine::GoOn(EngineActions& out) {
  seq_.wait = Wait::kNone;
  if (!SequenceActive())
    return;
  const int completeAt = CompleteAt();
  if (completeAt >= 0 && seq_.step >= completeAt)
    Complete(out);
  else
    PostNextStep(out);
}

void SequenceEngine::PostNextStep(EngineActions& out) {
  seq_.nextStepPosted = true;
  out.push_back(PostToMain(um::kNextStep, seq_.kind));
}

int SequenceEngine::CompleteAt() const {
  const StepTable table = CurrentTable();
  bool firstRead = true;
  if (seq_.kind == SequenceKind::kSystemPage)
    firstRead = firstReadSystem_;
  else if (seq_.kind == SequenceKind::kAutoExposure)
    firstRead = firstReadAutoExposure_;
  return firstRead ? table.completeAt : table.completeAtNotFirstRead;
}

void SequenceEngine::Complete(EngineActions& out) {
  std::intptr_t firstRead = 0;
  if (seq_.kind == SequenceKind::kSystemPage) {
    firstRead = firstReadSystem_ ? 1 : 0;
    firstReadSystem_ = false;
  } else if (seq_.kind == SequenceKind::kAutoExposure) {
    firstRead = firstReadAutoExposure_ ? 1 : 0;
    firstReadAutoExposure_ = false;
  }
  seq_.wait = Wait::kNone;
  seq_.nextStepPosted = false;
  seq_.completed = true;
  out.push_back(Post(CompletionTarget(seq_.kind), CompletionMessage(seq_.kind), firstRead,
                     static_cast<int>(seq_.kind)));
}

void SequenceEngine::ShowConnectedCamera(EngineActions& out) {
  // Night Mode shows the IR cut filter of a known camera only.
  out.push_back(act::ApplyModel{ModelLineStringId(camera_.unitName), IsQtR7(),
                                cameraListKnown_ && !camera_.irCutFilter, camera_.irLight});
  out.push_back(act::CameraControls{camera_.cameraPower});
  out.push_back(act::FocusRadios{!camera_.focusAuto, false});
  out.push_back(act::CommandModeRadios{camera_.localMode});
  // With the camera off its controls stay disabled; only what switches it
  // on again is usable.
  if (camera_.cameraPower)
    out.push_back(act::EnableControls{!camera_.localMode});
}

void SequenceEngine::EndSequence(EngineActions& out) {
  StopPowerOnTimer(out);
  // The generation stays: answers to this sequence's calls stay its own.
  const std::uint32_t generation = seq_.generation;
  seq_ = Sequence{};
  seq_.generation = generation;
}

void SequenceEngine::StopPowerOnTimer(EngineActions& out) {
  if (powerOnTimerRunning_) {
    powerOnTimerRunning_ = false;
    out.push_back(act::StopPowerOnTimer{});
  }
}

void SequenceEngine::Finish(EngineActions& out) {
  // A sensor query held back while a sequence ran goes now; posted last, so
  // that a sequence posted in the same batch starts first and it waits again.
  if (sensorQueryPending_ && !SequenceActive()) {
    sensorQueryPending_ = false;
    out.push_back(PostToMain(um::kSensorQuery, SequenceKind::kSensorInput));
  }
}

void SequenceEngine::ClearCamera() {
  camera_ = CameraState{};
  speedRead_ = {};
}

bool SequenceEngine::IsQtR7() const {
  return qtr90x::IsQtR7(camera_.unitName);
}

// --- preset names ------------------------------------------------------------------

bool SequenceEngine::PresetNamesLoadedFor(int port, int camera) const {
  return presetNamesOwned_ && presetNamesPort_ == port && presetNamesCamera_ == camera;
}

void SequenceEngine::NotePresetNamesSet() {
  presetNamesOwned_ = true;
  presetNamesPort_ = port_;
  presetNamesCamera_ = selectedCamera_;
}

}  // namespace qtr90x
