#include "core/sequence_engine.h"

#include <ctime>
#include <optional>

#include "core/answer_decoding.h"
#include "core/control_rules.h"
#include "core/error_evaluation.h"
#include "core/private_messages.h"
#include "core/step_tables.h"
#include "core/system_mapping.h"
#include "core/traffic_text.h"
#include "core/unit_name.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace qtr90x {

namespace {

constexpr std::string_view kCascadeQuery = "FF 30 30 00 8F 31 EF";
constexpr std::size_t kUnitNameMax = 19;

// Debug window line types.
constexpr int kLineSend = 0;
constexpr int kLineAck = 1;
constexpr int kLineError = 2;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

LocalDateTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

EngineAction Post(MessageTarget target, int message, std::intptr_t wParam, std::intptr_t lParam) {
  EngineAction a;
  a.type = EngineAction::Type::kPostMessage;
  a.target = target;
  a.message = message;
  a.wParam = wParam;
  a.lParam = lParam;
  return a;
}

EngineAction Simple(EngineAction::Type type) {
  EngineAction a;
  a.type = type;
  return a;
}

EngineAction Flag(EngineAction::Type type, bool flag) {
  EngineAction a;
  a.type = type;
  a.flag = flag;
  return a;
}

EngineAction Line(int type, std::string text) {
  EngineAction a;
  a.type = EngineAction::Type::kDebugLine;
  a.debugType = type;
  a.text = std::move(text);
  return a;
}

EngineAction NightModeBox(bool checked, int irLightIndex) {
  EngineAction a;
  a.type = EngineAction::Type::kNightMode;
  a.checked = checked;
  a.index = irLightIndex;
  return a;
}

EngineAction CommandModeRadios(bool local) {
  EngineAction a;
  a.type = EngineAction::Type::kCommandModeRadios;
  a.checked = local;
  return a;
}

EngineAction CameraList(int count, int index) {
  EngineAction a;
  a.type = EngineAction::Type::kCameraList;
  a.count = count;
  a.index = index;
  return a;
}

// "the camera is busy(code:%d)" with the code number in place of %d.
std::string ErrorText(int stringId, int codeNumber) {
  std::string text = LoadString(stringId);
  const std::size_t at = text.find("%d");
  if (at != std::string::npos)
    text.replace(at, 2, std::to_string(codeNumber));
  return text;
}

// The data of a status word: exactly `digits` hex digits, else nothing.
std::optional<std::uint32_t> StatusWord(std::string_view answer, std::size_t digits) {
  const std::optional<std::string> text = AnswerDataText(answer);
  if (!text || text->size() != digits)
    return std::nullopt;
  return AnswerValue(answer);
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

}  // namespace

SequenceEngine::SequenceEngine(LibraryCaller& caller) : caller_(caller), clock_(SystemLocalTime) {}

// --- connection and operator actions -------------------------------------------------

EngineActions SequenceEngine::OnConnectionAttempt(int port, bool connected, bool startupAttempt) {
  EngineActions out;
  port_ = port;
  presetNamesOwned_ = false;
  if (connected || startupAttempt) {
    firstReadSystem_ = true;
    firstReadAutoExposure_ = true;
    out.push_back(Post(MessageTarget::kMainDialog, um::kStartQuery, 0,
                       static_cast<int>(SequenceKind::kConnect)));
  } else {
    out.push_back(CameraList(0, -1));
    RequestWaitCursor(1);
  }
  return out;
}

EngineActions SequenceEngine::OnConnectionClosed() {
  EngineActions out;
  EndSequence(out);
  inching_ = Inching{};
  exposureRefreshPending_ = false;
  sensorQueryPending_ = false;
  presetNamesOwned_ = false;
  if (waitCursorShown_)
    RequestWaitCursor(1);
  return out;
}

EngineActions SequenceEngine::OnCameraSelected(int index) {
  EngineActions out;
  selectedCamera_ = index + 1;
  presetNamesOwned_ = false;
  firstReadSystem_ = true;
  firstReadAutoExposure_ = true;
  out.push_back(Post(MessageTarget::kMainDialog, um::kStartQuery, 0,
                     static_cast<int>(SequenceKind::kCameraChange)));
  return out;
}

EngineActions SequenceEngine::OnNightModeClicked(bool checked) {
  EngineActions out;
  // Night Mode checked means the IR cut filter is off.
  if (SequenceActive()) {
    out.push_back(NightModeBox(!camera_.irCutFilter, -1));
    return out;
  }
  if (!Call(MakeCall(LibraryFunction::kQzSetIrCutFilter, selectedCamera_, checked ? 0 : 1), out)) {
    out.push_back(NightModeBox(!camera_.irCutFilter, -1));
    return out;
  }
  camera_.irCutFilter = !checked;
  out.push_back(NightModeBox(checked, 0));
  return out;
}

EngineActions SequenceEngine::OnIrLightChosen(int index) {
  EngineActions out;
  if (Call(MakeCall(LibraryFunction::kQzSetIrLight, selectedCamera_, index), out))
    camera_.irLight = index;
  return out;
}

EngineActions SequenceEngine::OnCommandModeClicked(bool local) {
  EngineActions out;
  if (SequenceActive()) {
    out.push_back(CommandModeRadios(camera_.localMode));
    return out;
  }
  if (local)
    out.push_back(Simple(EngineAction::Type::kMakeCompact));
  out.push_back(Post(MessageTarget::kMainDialog, um::kCmdMode, local ? 1 : 0,
                     static_cast<int>(SequenceKind::kCommandMode)));
  return out;
}

EngineActions SequenceEngine::OnOnScreenChanged(bool checked) {
  EngineActions out;
  onScreenChecked_ = checked;
  StartSequence(SequenceKind::kOnScreen, false, out);
  Finish(out);
  return out;
}

EngineActions SequenceEngine::OnInchStart(int moveKind, const void* button,
                                          SpeedPositions sliders) {
  EngineActions out;
  inching_.queued.clear();
  inching_.moveKind = moveKind;
  inching_.button = button;
  inching_.speeds = sliders;
  // Only speeds read from this camera may be put back on release.
  for (int i = 0; i < 3; ++i)
    inching_.speedKnown[i] = speedRead_[i];
  inching_.pressed = true;
  inching_.pending = true;
  inching_.answered = false;
  const int cam = selectedCamera_;
  switch (moveKind) {
    case 0:
      SendInchingCall(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 0, 8), out);
      break;
    case 1:
      SendInchingCall(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 1, 8), out);
      break;
    case 2:
      inching_.queued.push_back(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 1, 8));
      SendInchingCall(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 0, 8), out);
      break;
    case 3:
      SendInchingCall(MakeCall(LibraryFunction::kQzSetZoomSpeed, cam, 0), out);
      break;
    default:
      inching_.pending = false;
      break;
  }
  return out;
}

EngineActions SequenceEngine::OnInchStop(int moveKind, const void* button) {
  EngineActions out;
  inching_.queued.clear();
  inching_.moveKind = moveKind;
  inching_.button = button;
  inching_.pressed = false;
  inching_.pending = true;
  inching_.answered = false;
  const int cam = selectedCamera_;
  const SpeedPositions& s = inching_.speeds;
  std::vector<LibraryCall> restore;
  if ((moveKind == 0 || moveKind == 2) && inching_.speedKnown[0])
    restore.push_back(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 0, s.pan));
  if ((moveKind == 1 || moveKind == 2) && inching_.speedKnown[1])
    restore.push_back(MakeCall(LibraryFunction::kQzSetMotorSpeed, cam, 1, s.tilt));
  if (moveKind == 3 && inching_.speedKnown[2])
    restore.push_back(MakeCall(LibraryFunction::kQzSetZoomSpeed, cam, s.zoom));
  if (restore.empty()) {
    // Nothing known to restore: the button still needs its go to stop.
    InchingAnswered(out);
    return out;
  }
  inching_.queued.assign(restore.begin() + 1, restore.end());
  SendInchingCall(restore.front(), out);
  return out;
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
    case um::kAeValueSent:
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

EngineActions SequenceEngine::HandleMessage(int message, std::intptr_t wParam,
                                            std::intptr_t lParam) {
  EngineActions out;
  const auto kind = static_cast<SequenceKind>(lParam);
  switch (message) {
    case um::kNextStep:
      // Only the step this sequence asked for: a step posted by a sequence
      // that was replaced meanwhile would put a second command in flight.
      if (nextStepPosted_ && kind == kind_) {
        nextStepPosted_ = false;
        RunStep(out);
      }
      break;
    case um::kStartQuery:
      if ((lParam >= 0 && lParam <= 5) || kind == SequenceKind::kCameraChange)
        StartSequence(kind, true, out);
      break;
    case um::kRefreshPage:
      if (IsConnectOrChange(kind) && kind == kind_) {
        out.push_back(EngineAction{});
        EngineAction& model = out.back();
        model.type = EngineAction::Type::kApplyModel;
        model.value = ModelLineStringId(camera_.unitName);
        model.flag = IsQtR7();
        model.checked = !camera_.irCutFilter;
        model.index = camera_.irLight;
        out.push_back(Flag(EngineAction::Type::kCameraControlsEnabled, camera_.cameraPower));
        EngineAction focus;
        focus.type = EngineAction::Type::kFocusRadios;
        focus.checked = !camera_.focusAuto;
        out.push_back(focus);
        out.push_back(CommandModeRadios(camera_.localMode));
        out.push_back(Flag(EngineAction::Type::kEnableControls, !camera_.localMode));
        // The visible page reads its values next; it replaces this sequence.
        static constexpr SequenceKind kPageKinds[] = {
            SequenceKind::kAdjustPage, SequenceKind::kSystemPage, SequenceKind::kPicturePage};
        const int page = visiblePage_ >= 0 && visiblePage_ < 3 ? visiblePage_ : 0;
        StartSequence(kPageKinds[page], false, out);
        RequestWaitCursor(1);
      }
      break;
    case um::kCmdMode:
      commandModeLocal_ = wParam != 0;
      StartSequence(SequenceKind::kCommandMode, false, out);
      break;
    case um::kCmdModeDone:
      if (kind_ == SequenceKind::kCommandMode) {
        RequestWaitCursor(1);
        // The mode the camera accepted: after a refused change the radios
        // go back rather than contradict the camera.
        out.push_back(CommandModeRadios(camera_.localMode));
        if (camera_.cameraPower)
          out.push_back(Flag(EngineAction::Type::kEnableControls, !camera_.localMode));
        EndSequence(out);
      }
      break;
    case um::kOnScreenDone:
      if (kind_ == SequenceKind::kOnScreen)
        EndSequence(out);
      break;
    case um::kAeValueSent:
      ExpectExposureAnswer(static_cast<int>(lParam));
      break;
    case um::kPowerOn:
      StartSequence(SequenceKind::kPowerOn, true, out);
      break;
    case um::kPowerOff:
      StartSequence(SequenceKind::kPowerOff, true, out);
      break;
    case um::kPowerOnDone:
      out.push_back(Flag(EngineAction::Type::kCameraControlsEnabled, true));
      ClearCamera();
      camera_.cameraPower = true;
      EndSequence(out);
      RequestWaitCursor(1);
      out.push_back(Post(MessageTarget::kMainDialog, um::kStartQuery, 0,
                         static_cast<int>(SequenceKind::kCameraChange)));
      break;
    case um::kPowerOffDone:
      out.push_back(Flag(EngineAction::Type::kCameraControlsEnabled, false));
      camera_.cameraPower = false;
      EndSequence(out);
      RequestWaitCursor(1);
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
  return out;
}

EngineActions SequenceEngine::OnAnswer(std::string_view sent, std::string_view answer) {
  EngineActions out;
  const std::string_view code = AnswerCode(answer);
  const bool error = code != "30 30";

  // Each command gets one answer, in the order sent: with both a sequence
  // step and an inching command in flight, the older one is answered.
  const bool sequenceWaiting =
      SequenceActive() && (wait_ == Wait::kAnswer || wait_ == Wait::kTimerStatus);
  const bool inchingWaiting = !inching_.inFlight.empty();
  Owner owner = Owner::kNone;
  if (sequenceWaiting && inchingWaiting)
    owner = sequenceCall_ < inching_.inFlight.front() ? Owner::kSequence : Owner::kInching;
  else if (sequenceWaiting)
    owner = Owner::kSequence;
  else if (inchingWaiting)
    owner = Owner::kInching;

  if (owner == Owner::kSequence) {
    const Wait next = DecodeSequenceAnswer(sent, answer, error, out);
    wait_ = next;
    if (next == Wait::kNone && SequenceActive()) {
      const int completeAt = CompleteAt();
      if (completeAt >= 0 && step_ >= completeAt)
        Complete(out);
      else
        PostNextStep(out);
    }
  }

  EvaluateError(sent, answer, owner, out);

  if (owner == Owner::kSequence && IsConnectOrChange(kind_) && Contains(sent, "00 A0 31")) {
    if (!camera_.cameraPower) {
      if (!powerOnAcknowledged_) {
        powerOnTimerRunning_ = true;
        out.push_back(Simple(EngineAction::Type::kStartPowerOnTimer));
      } else {
        // Acknowledged twice and still off: the camera cannot be used.
        EndSequence(out);
        out.push_back(Simple(EngineAction::Type::kConnectionFailed));
      }
    }
    powerOnAcknowledged_ = true;
  }

  if (exposureRefreshPending_) {
    exposureRefreshPending_ = false;
    out.push_back(Post(exposureRefreshTarget_ == 0 ? MessageTarget::kAutoExposurePanel
                                                   : MessageTarget::kManualExposurePanel,
                       um::kAeValueReady, 0, exposureRefreshTarget_));
  }

  if (owner == Owner::kInching) {
    inching_.inFlight.erase(inching_.inFlight.begin());
    if (inching_.pending && !inching_.answered) {
      if (!inching_.queued.empty()) {
        const LibraryCall next = inching_.queued.front();
        inching_.queued.erase(inching_.queued.begin());
        SendInchingCall(next, out);
      } else {
        InchingAnswered(out);
      }
    }
  }
  Finish(out);
  return out;
}

EngineActions SequenceEngine::OnNotification(int wParam, std::string_view text) {
  EngineActions out;
  static constexpr int kLineTypes[] = {6, 7, 8, 9, 11};
  if (wParam >= 1 && wParam <= 5)
    out.push_back(Line(kLineTypes[wParam - 1], std::string(text)));
  if (wParam == 5) {
    if (SequenceActive())
      sensorQueryPending_ = true;
    else
      out.push_back(Post(MessageTarget::kMainDialog, um::kSensorQuery, 0,
                         static_cast<int>(SequenceKind::kSensorInput)));
    return out;
  }
  if (wParam != 1)
    return out;

  switch (kind_) {
    case SequenceKind::kConnect:
    case SequenceKind::kCameraChange:
      if (wait_ == Wait::kPowerOnNotification && Contains(text, "00 A0 31")) {
        if (powerOnTimerRunning_) {
          // The power came on late: read the status again before going on.
          StopPowerOnTimer(out);
          step_ = kind_ == SequenceKind::kConnect ? 4 : 2;
        }
        wait_ = Wait::kNone;
        PostNextStep(out);
      } else if (wait_ == Wait::kPedestalNotification &&
                 (Contains(text, "00 58 30") || Contains(text, "00 A0 31"))) {
        // The camera reports the end of pedestal initialisation with the
        // command's own bytes; the power notification is taken as well.
        wait_ = Wait::kNone;
        PostNextStep(out);
      }
      break;
    case SequenceKind::kAutoExposure:
      if (Contains(text, "00 A5 30")) {
        camera_.backlight = 0;
        if (wait_ == Wait::kBacklightNotification) {
          wait_ = Wait::kNone;
          PostNextStep(out);
        }
      }
      break;
    case SequenceKind::kPowerOn:
    case SequenceKind::kPowerOff:
      if (wait_ == Wait::kPowerNotification && Contains(text, "00 A0")) {
        wait_ = Wait::kNone;
        const bool on = kind_ == SequenceKind::kPowerOn;
        out.push_back(Post(MessageTarget::kMainDialog, on ? um::kPowerOnDone : um::kPowerOffDone, 0,
                           static_cast<int>(kind_)));
        if (on)
          inching_.button = nullptr;
      }
      break;
    default:
      if (Contains(text, "00 B1 31")) {
        // One-push autofocus has finished and left the focus manual.
        camera_.focusAuto = false;
        EngineAction focus;
        focus.type = EngineAction::Type::kFocusRadios;
        focus.checked = true;
        focus.flag = true;
        out.push_back(focus);
        RequestWaitCursor(1);
      } else if (Contains(text, "00 A5 30")) {
        camera_.backlight = 0;
        RequestWaitCursor(1);
      } else if (Contains(text, "00 A5 31")) {
        camera_.backlight = 1;
        RequestWaitCursor(1);
      }
      break;
  }
  return out;
}

EngineActions SequenceEngine::OnPowerOnTimer() {
  EngineActions out;
  if (!powerOnTimerRunning_)
    return out;
  StopPowerOnTimer(out);
  if (!IsConnectOrChange(kind_) || wait_ != Wait::kPowerOnNotification)
    return out;
  // The power-on was never confirmed: read the status outside the step
  // table; its answer lets the sequence go on after the power-on step.
  if (Call(MakeCall(LibraryFunction::kQzGetExtendedOperateStatus, selectedCamera_), out)) {
    wait_ = Wait::kTimerStatus;
    sequenceCall_ = calls_;
  } else {
    EndSequence(out);
    RequestWaitCursor(1);
    Finish(out);
  }
  return out;
}

EngineActions SequenceEngine::OnPageRefreshed() {
  EngineActions out;
  if (completed_)
    EndSequence(out);
  Finish(out);
  return out;
}

void SequenceEngine::ExpectExposureAnswer(int target) {
  exposureRefreshPending_ = true;
  exposureRefreshTarget_ = target;
}

// --- wait cursor -------------------------------------------------------------------

void SequenceEngine::RequestWaitCursor(int state) {
  if (state == 1 || state == 2)
    waitCursorState_ = state;
}

WaitCursorStep SequenceEngine::AtMessageStart() {
  switch (waitCursorState_) {
    case 2:
      waitCursorState_ = 3;
      if (waitCursorShown_)
        return WaitCursorStep::kRestore;
      waitCursorShown_ = true;
      return WaitCursorStep::kBegin;
    case 1:
      waitCursorState_ = 0;
      if (!waitCursorShown_)
        return WaitCursorStep::kNone;
      waitCursorShown_ = false;
      return WaitCursorStep::kEnd;
    case 3:
      return waitCursorShown_ ? WaitCursorStep::kRestore : WaitCursorStep::kNone;
    default:
      return WaitCursorStep::kNone;
  }
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

// --- the sequence ------------------------------------------------------------------

void SequenceEngine::StartSequence(SequenceKind kind, bool requestWaitCursor, EngineActions& out) {
  // A timer of the replaced sequence must not fire into this one.
  StopPowerOnTimer(out);
  kind_ = kind;
  step_ = 0;
  wait_ = Wait::kNone;
  nextStepPosted_ = false;
  completed_ = false;
  if (requestWaitCursor)
    RequestWaitCursor(2);
  if (IsConnectOrChange(kind)) {
    powerOnAcknowledged_ = false;
    ClearCamera();
  }
  if (kind == SequenceKind::kAutoExposure && !firstReadAutoExposure_)
    step_ = StepTableOf(kind, ChooseModelColumn(IsQtR7(), false)).firstStepNotFirstRead;
  RunStep(out);
}

LibraryCall SequenceEngine::BuildStepCall(int step) const {
  const StepTable table =
      StepTableOf(kind_, ChooseModelColumn(IsQtR7(), camera_.pedestalInitialised));
  const StepSpec& row = table.steps[static_cast<std::size_t>(step)];
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
  const StepTable table =
      StepTableOf(kind_, ChooseModelColumn(IsQtR7(), camera_.pedestalInitialised));
  if (step_ < 0 || step_ >= static_cast<int>(table.steps.size())) {
    // Past the end of its table (the model changed under it): nothing to send.
    EndSequence(out);
    RequestWaitCursor(1);
    return;
  }
  const LibraryCall call = BuildStepCall(step_);
  ++step_;
  if (!Call(call, out)) {
    // No answer will come: end here rather than wait with the cursor on.
    EndSequence(out);
    RequestWaitCursor(1);
    return;
  }
  wait_ = Wait::kAnswer;
  sequenceCall_ = calls_;
}

void SequenceEngine::PostNextStep(EngineActions& out) {
  nextStepPosted_ = true;
  out.push_back(Post(MessageTarget::kMainDialog, um::kNextStep, 0, static_cast<int>(kind_)));
}

int SequenceEngine::CompleteAt() const {
  const StepTable table =
      StepTableOf(kind_, ChooseModelColumn(IsQtR7(), camera_.pedestalInitialised));
  bool firstRead = true;
  if (kind_ == SequenceKind::kSystemPage)
    firstRead = firstReadSystem_;
  else if (kind_ == SequenceKind::kAutoExposure)
    firstRead = firstReadAutoExposure_;
  return firstRead ? table.completeAt : table.completeAtNotFirstRead;
}

void SequenceEngine::Complete(EngineActions& out) {
  std::intptr_t firstRead = 0;
  if (kind_ == SequenceKind::kSystemPage) {
    firstRead = firstReadSystem_ ? 1 : 0;
    firstReadSystem_ = false;
  } else if (kind_ == SequenceKind::kAutoExposure) {
    firstRead = firstReadAutoExposure_ ? 1 : 0;
    firstReadAutoExposure_ = false;
  }
  wait_ = Wait::kNone;
  nextStepPosted_ = false;
  completed_ = true;
  out.push_back(
      Post(CompletionTarget(kind_), CompletionMessage(kind_), firstRead, static_cast<int>(kind_)));
}

void SequenceEngine::EndSequence(EngineActions& out) {
  StopPowerOnTimer(out);
  kind_ = SequenceKind::kNone;
  step_ = 0;
  wait_ = Wait::kNone;
  nextStepPosted_ = false;
  completed_ = false;
}

void SequenceEngine::StopPowerOnTimer(EngineActions& out) {
  if (powerOnTimerRunning_) {
    powerOnTimerRunning_ = false;
    out.push_back(Simple(EngineAction::Type::kStopPowerOnTimer));
  }
}

void SequenceEngine::Finish(EngineActions& out) {
  // A sensor query held back while a sequence ran goes now; posted last, so
  // that a sequence posted in the same batch starts first and it waits again.
  if (sensorQueryPending_ && !SequenceActive()) {
    sensorQueryPending_ = false;
    out.push_back(Post(MessageTarget::kMainDialog, um::kSensorQuery, 0,
                       static_cast<int>(SequenceKind::kSensorInput)));
  }
}

void SequenceEngine::ClearCamera() {
  camera_ = CameraState{};
  speedRead_[0] = speedRead_[1] = speedRead_[2] = false;
}

bool SequenceEngine::IsQtR7() const {
  return qtr90x::IsQtR7(camera_.unitName);
}

bool SequenceEngine::Call(const LibraryCall& call, EngineActions& out) {
  ++calls_;
  if (caller_.Call(call) != 0)
    return true;
  out.push_back(Line(kLineError,
                     std::string(LoadString(str::kFailToSendCommand)) + ": " + DescribeCall(call)));
  return false;
}

void SequenceEngine::SendInchingCall(const LibraryCall& call, EngineActions& out) {
  if (Call(call, out)) {
    inching_.inFlight.push_back(calls_);
    return;
  }
  // No answer will come; let the button go on (or stop) at once.
  inching_.queued.clear();
  InchingAnswered(out);
}

void SequenceEngine::InchingAnswered(EngineActions& out) {
  inching_.answered = true;
  EngineAction go = Post(MessageTarget::kInchingButton, um::kMoveGo, 0, inching_.pressed ? 1 : 0);
  go.window = inching_.button;
  out.push_back(go);
  if (!inching_.pressed)
    inching_.pending = false;
}

SequenceEngine::Wait SequenceEngine::DecodeSequenceAnswer(std::string_view sent,
                                                          std::string_view answer, bool error,
                                                          EngineActions& out) {
  const SequenceKind k = kind_;
  const bool connectOrChange = IsConnectOrChange(k);

  if (k == SequenceKind::kConnect && Contains(sent, kCascadeQuery)) {
    // The camera list: the answer's third byte carries the number of
    // cameras as a decimal digit.
    int count = 0;
    if (!error && answer.size() >= 8 && answer[6] == '3' && answer[7] >= '1' && answer[7] <= '9')
      count = answer[7] - '0';
    int index = selectedCamera_ - 1;
    if (index < 0 || index >= count) {
      selectedCamera_ = 1;
      index = count > 0 ? 0 : -1;
    }
    out.push_back(CameraList(count, index));
    return Wait::kNone;
  }

  // Commands that finish with a notification wait for it; after an error
  // answer none will come, so the sequence goes on (or ends) at once.
  if (connectOrChange && Contains(sent, "00 A0 31")) {
    if (!error || !camera_.cameraPower)
      return Wait::kPowerOnNotification;  // PowerOnTimer covers a camera that stays off
    return Wait::kNone;
  }
  if (connectOrChange && Contains(sent, "00 58 30"))
    return error ? Wait::kNone : Wait::kPedestalNotification;
  if (k == SequenceKind::kAutoExposure && Contains(sent, "00 A5 30"))
    return error ? Wait::kNone : Wait::kBacklightNotification;
  if (k == SequenceKind::kPowerOn || k == SequenceKind::kPowerOff) {
    if (!error)
      return Wait::kPowerNotification;
    EndSequence(out);
    RequestWaitCursor(1);
    return Wait::kNone;
  }

  // An error answer carries no data: the state stays as it is.
  if (error) {
    return Wait::kNone;
  }

  const std::optional<std::uint32_t> value = AnswerValue(answer);
  const auto setInt = [&value](int& field) {
    if (value)
      field = static_cast<int>(*value);
  };
  const auto setBool = [&value](bool& field) {
    if (value)
      field = *value != 0;
  };

  if ((connectOrChange || k == SequenceKind::kSystemPage || k == SequenceKind::kPicturePage ||
       k == SequenceKind::kAutoExposure) &&
      Contains(sent, "00 86 30")) {
    if (const auto word = StatusWord(answer, 5)) {
      const ExtendedStatus s = DecodeExtendedStatus(*word);
      camera_.focusAuto = s.focusAuto;
      camera_.localMode = s.localMode;
      camera_.pedestalInitialised = s.pedestalInitialised;
      camera_.cameraPower = s.cameraPower;
      camera_.wbLock = s.wbLock;
      camera_.exposureAuto = s.exposureAuto;
      camera_.flickerless = s.flickerless;
    }
    return Wait::kNone;
  }

  switch (k) {
    case SequenceKind::kConnect:
    case SequenceKind::kCameraChange:
      if (Contains(sent, "00 B6")) {
        setBool(camera_.irCutFilter);
      } else if (Contains(sent, "00 77")) {
        setInt(camera_.irLight);
      } else if (Contains(sent, "00 8B 30")) {
        if (value && *value <= 0x1FF) {
          presetNamesOwned_ = true;
          presetNamesPort_ = port_;
          presetNamesCamera_ = selectedCamera_;
          EngineAction presets;
          presets.type = EngineAction::Type::kPresetList;
          presets.value = static_cast<int>(*value);
          presets.port = port_;
          presets.camera = selectedCamera_;
          out.push_back(presets);
        }
      } else if (Contains(sent, "00 87")) {
        if (const auto text = AnswerDataText(answer))
          camera_.unitName = text->substr(0, kUnitNameMax);
      } else if (k == SequenceKind::kCameraChange && Contains(sent, "00 75")) {
        setInt(camera_.sensorInput);
      }
      break;
    case SequenceKind::kAdjustPage:
      if (Contains(sent, "00 52 30")) {
        setInt(camera_.panSpeed);
        speedRead_[0] = value.has_value();
      } else if (Contains(sent, "00 52 31")) {
        setInt(camera_.tiltSpeed);
        speedRead_[1] = value.has_value();
      } else if (Contains(sent, "00 B4 32")) {
        setInt(camera_.zoomSpeed);
        speedRead_[2] = value.has_value();
      } else if (Contains(sent, "00 79")) {
        setBool(camera_.externalLight);
      } else if (Contains(sent, "00 73")) {
        setBool(camera_.alarmOutput);
      } else if (Contains(sent, "00 B8")) {
        if (value)
          camera_.electronicZoom = DecodeElectronicZoom(*value);
      } else if (Contains(sent, "00 75")) {
        setInt(camera_.sensorInput);
      }
      break;
    case SequenceKind::kSystemPage:
      if (Contains(sent, "00 BA")) {
        setInt(camera_.noiseReduction);
      } else if (Contains(sent, "00 86 31")) {
        if (const auto word = StatusWord(answer, 4)) {
          const DisplayStatus d = DecodeDisplayStatus(*word);
          camera_.onScreen = d.onScreen;
          camera_.secondDisplay = d.secondDisplay;
          camera_.dateDisplay = d.dateDisplay;
          camera_.timeDisplay = d.timeDisplay;
        }
      } else if (Contains(sent, "00 86 32")) {
        if (const auto word = StatusWord(answer, 2))
          camera_.ledState = DecodeLedState(*word, camera_.ledState);
      } else if (Contains(sent, "00 8E 30")) {
        camera_.ledState = 0;
      } else if (Contains(sent, "00 91 30 30")) {
        camera_.onScreen = false;
      } else if (Contains(sent, "00 91 30 39")) {
        camera_.dateDisplay = 9;
      } else if (Contains(sent, "00 91 30 36")) {
        camera_.timeDisplay = 6;
      }
      break;
    case SequenceKind::kAutoExposure:
      if (Contains(sent, "00 A5 3C"))
        setInt(camera_.aeValue);
      else if (Contains(sent, "00 A5 3F"))
        setInt(camera_.backlight);
      break;
    case SequenceKind::kManualExposure:
      if (Contains(sent, "00 A5 3A"))
        setInt(camera_.iris);
      else if (Contains(sent, "00 A5 38"))
        setInt(camera_.agcGain);
      else if (Contains(sent, "00 A5 36"))
        setInt(camera_.shutterSpeed);
      break;
    case SequenceKind::kSensorInput:
      setInt(camera_.sensorInput);
      break;
    case SequenceKind::kCommandMode:
      camera_.localMode = commandModeLocal_;
      break;
    case SequenceKind::kOnScreen:
      camera_.onScreen = onScreenChecked_;
      break;
    default:
      break;
  }
  return Wait::kNone;
}

void SequenceEngine::EvaluateError(std::string_view sent, std::string_view answer, Owner owner,
                                   EngineActions& out) {
  const AnswerError e = EvaluateAnswerCode(AnswerCode(answer));
  if (e.isError && sent == kCascadeQuery &&
      !(owner == Owner::kSequence && kind_ == SequenceKind::kConnect)) {
    // The camera list was refused: a single camera 1 (the connect sequence
    // has done this while decoding).
    selectedCamera_ = 1;
    out.push_back(CameraList(0, -1));
  }
  if (!debugLogging_)
    return;
  out.push_back(Line(kLineSend, std::string(sent)));
  if (!e.isError) {
    out.push_back(Line(kLineAck, std::string(answer)));
    return;
  }
  out.push_back(Line(e.labelType, std::string(answer)));
  if (e.stringId != 0)
    out.push_back(Line(e.labelType, ErrorText(e.stringId, e.codeNumber)));
}

}  // namespace qtr90x
