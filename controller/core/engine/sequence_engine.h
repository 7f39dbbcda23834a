// The main dialog's refresh sequence engine: the state machine that reads the
// camera one command per answer, decodes every answer by the call that asked
// for it into CameraState, handles notifications and the power-on handshake,
// and bounds every wait. It has no Qt, no I/O and no threads: every input is
// a method call, every command goes out through one CommandPath (on a
// LibraryPort), and everything else it wants done is appended to an
// EngineActions list that the main dialog carries out in order.
//
// How the main dialog drives it:
// - at the start of every message it receives: AtMessageStart(), and begin,
//   end or restore the wait cursor as told;
// - 0x800A (wParam 1): OnAnswer(the answer's bytes); 0x800B:
//   OnNotification(wParam, the frame's bytes);
// - its own private messages: HandleMessage; UM_ONSCREENCHANGED,
//   UM_INCHSTART/UM_INCHSTOP and the operator's actions through their methods;
//   every other operator command through SendOperatorCall or SendRawCommand;
// - PageHost::SetRefreshIdle -> OnPageRefreshed, SetWaitCursorState ->
//   Cursor().Request;
// - the timer with id kPowerOnTimerId -> OnPowerOnTimer;
// - a timer for NextDeadline() -> OnDeadline (re-armed after every call);
// - after QzOpen: OnConnectionAttempt; after QzClose: OnConnectionClosed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "core/engine/engine_actions.h"
#include "core/engine/inching.h"
#include "core/engine/sequence_kind.h"
#include "core/engine/step_tables.h"
#include "core/engine/wait_cursor.h"
#include "core/link/answer_decoders.h"
#include "core/link/camera_state.h"
#include "core/link/command_path.h"
#include "core/link/library_call.h"

namespace qtr90x {

// The failed power-on message box text (shown with a single OK button).
inline constexpr char kConnectionFailedText[] = "接続失敗";

// PowerOnTimer: timer id and interval.
inline constexpr int kPowerOnTimerId = 1;
inline constexpr int kPowerOnTimerMs = 10000;

// Local date and time as the camera's clock takes them.
struct LocalDateTime {
  int year = 2000;  // calendar year, e.g. 2026
  int month = 1;    // 1..12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class SequenceEngine {
 public:
  explicit SequenceEngine(LibraryPort& port);

  // --- configuration -------------------------------------------------------

  // DispCommandWindow: answers are logged to the debug window only when set
  // (notifications, give-ups and late answers always are).
  void SetDebugLogging(bool on) { debugLogging_ = on; }
  // The calendar the connect sequence sets the camera's clock from (default:
  // the system's local time).
  void SetClock(std::function<LocalDateTime()> clock) { clock_ = std::move(clock); }
  // The monotonic time the deadlines are kept in (default: the steady clock).
  void SetMonotonicClock(std::function<Micros()> clock) { path_.SetClock(std::move(clock)); }

  // --- connection and operator actions ---------------------------------------

  // After QzOpen on `port` (1..9). When connected, or on the start-up attempt,
  // the first-read flags are set and the connect sequence is posted; else the
  // camera combo is emptied and disabled and the wait cursor ends (the Qt side
  // shows "Failed to open COM%d").
  void OnConnectionAttempt(int port, bool connected, bool startupAttempt, EngineActions& out);
  // The session was closed (disconnect, port change, exit): stops
  // PowerOnTimer, ends any sequence and inching, forgets the calls in flight.
  void OnConnectionClosed(EngineActions& out);
  // The camera combo chose item `index` (camera index + 1).
  void OnCameraSelected(int index, EngineActions& out);
  // "Night Mode" clicked, `checked` is the box's new state. Ignored while a
  // sequence runs: the box is put back as CameraState says.
  void OnNightModeClicked(bool checked, EngineActions& out);
  // IR Light combo chose item `index`.
  void OnIrLightChosen(int index, EngineActions& out);
  // Host/Local (or the hidden 1057) clicked, `local` = Local now checked.
  // Ignored while a sequence runs: the radios are put back.
  void OnCommandModeClicked(bool local, EngineActions& out);
  // UM_ONSCREENCHANGED: the System page's "On Screen" box is `checked`.
  void OnOnScreenChanged(bool checked, EngineActions& out);
  // UM_INCHSTART / UM_INCHSTOP from `button` (the message's sender), lParam
  // the move kind (0 pan, 1 tilt, 2 diagonal, 3 zoom). The speeds put back
  // on the release are the camera's at the press, as read or accepted (the
  // Adjust page's sliders show them once the page has read them).
  void OnInchStart(MoveKind moveKind, const void* button, EngineActions& out);
  void OnInchStop(MoveKind moveKind, const void* button, EngineActions& out);
  // Any other operator command (a direction button, Home, a preset, a page's
  // control): it waits for its own answer, which its own row decodes;
  // `followUp` is carried out when it is answered or given up. True when its
  // frame went out.
  bool SendOperatorCall(const LibraryCall& call, AnswerFollowUp followUp, EngineActions& out);
  // Raw bytes from the Input Command window. True when written.
  bool SendRawCommand(std::span<const std::uint8_t> bytes, EngineActions& out);

  // --- messages ----------------------------------------------------------------

  // The main dialog's own private messages: UM_NEXTSTEP, UM_STARTQUERY,
  // UM_REFRESHPAGE (kinds 0 and 7), UM_CMDMODE, UM_CMDMODEDONE,
  // UM_ONSCREENDONE, UM_POWERON, UM_POWERONDONE, UM_POWEROFF,
  // UM_POWEROFFDONE, UM_SENSORQUERY. Others add nothing.
  void HandleMessage(int message, std::intptr_t wParam, std::intptr_t lParam, EngineActions& out);
  static bool HandlesMessage(int message);

  // An answer (0x800A, wParam 1): the frame's bytes.
  void OnAnswer(std::span<const std::uint8_t> frame, EngineActions& out);
  // A notification (0x800B) of kind `wParam` (1 notify, 2 remote on, 3
  // remote off, 4 global notify, 5 detect) with its bytes.
  void OnNotification(int wParam, std::span<const std::uint8_t> frame, EngineActions& out);
  // PowerOnTimer fired.
  void OnPowerOnTimer(EngineActions& out);
  // A page or sub-panel has shown its values (PageHost::SetRefreshIdle): ends
  // the sequence whose completion it received. A late one from an earlier
  // sequence leaves a newer, still running sequence alone.
  void OnPageRefreshed(EngineActions& out);

  // --- bounded waits -----------------------------------------------------------

  // The earliest time something waited for is due: an answer of a call in
  // flight, or a notification a sequence waits for. Nullopt when nothing is.
  std::optional<Micros> NextDeadline() const;
  // Gives up everything due by now: each call not answered in time, and a
  // notification that did not come. Each is named in a red debug line.
  void OnDeadline(EngineActions& out);

  // --- wait cursor ---------------------------------------------------------------

  WaitCursor& Cursor() { return cursor_; }
  const WaitCursor& Cursor() const { return cursor_; }

  // The visible tab page (0 Adjust, 1 System, 2 Picture): its read follows
  // the connect and camera change sequences.
  void SetVisiblePage(int tabIndex) { visiblePage_ = tabIndex; }

  // --- state ---------------------------------------------------------------------

  const CameraState& Camera() const { return camera_; }
  int SelectedCamera() const { return selectedCamera_; }
  bool SequenceActive() const { return seq_.kind != SequenceKind::kNone; }
  SequenceKind Kind() const { return seq_.kind; }
  int Step() const { return seq_.step; }
  bool FirstReadSystem() const { return firstReadSystem_; }
  bool FirstReadAutoExposure() const { return firstReadAutoExposure_; }
  bool PowerOnTimerRunning() const { return powerOnTimerRunning_; }
  const Inching& Inch() const { return inching_; }
  std::size_t CallsInFlight() const { return path_.Calls().Size(); }
  // Which of pan, tilt and zoom speed were read from the selected camera.
  const KnownSpeeds& SpeedsRead() const { return speedRead_; }

  // True when the preset name slots hold the names loaded (or set by the
  // operator) for `camera` on `port`: only then may they be saved there.
  bool PresetNamesLoadedFor(int port, int camera) const;
  // The operator set the names in the Preset Name Settings dialog: they are
  // the selected camera's from now on.
  void NotePresetNamesSet();

 private:
  // What the running sequence waits for.
  enum class Wait : std::uint8_t {
    kNone,          // between steps (a UM_NEXTSTEP is on its way) or done
    kAnswer,        // the answer to the step just sent
    kTimerStatus,   // the answer to the status read after PowerOnTimer
    kNotification,  // the notification of `await` (a deadline, or PowerOnTimer)
  };

  struct Sequence {
    SequenceKind kind = SequenceKind::kNone;
    int step = 0;
    Wait wait = Wait::kNone;
    StepAwait await = StepAwait::kAnswer;  // of the step just sent
    LibraryCall stepCall;                  // the step just sent, for the debug lines
    std::uint32_t generation = 0;          // numbers the sequences; their calls carry it
    std::optional<Micros> notificationDeadline;
    bool nextStepPosted = false;
    bool completed = false;  // its completion message is posted; the receiver ends it
    bool presetsRead = false;
    // The power switch the camera notified last since the status was read
    // (connect and camera change).
    std::optional<bool> powerNotified;
  };

  // Sending.
  bool SendCall(const LibraryCall& call, CallTag tag, EngineActions& out);
  Inching::Sender InchingSender(EngineActions& out);

  // Answers.
  void HandleAnswer(const CallInFlight& call, const AnswerFrame& answer, EngineActions& out);
  void ApplyNews(const LibraryCall& call, const AnswerNews& news, EngineActions& out);
  void LogAnswer(const CallInFlight& call, const AnswerFrame& answer, EngineActions& out);
  void StepAnswered(const AnswerFrame& answer, EngineActions& out);
  void PowerOnAcknowledged(EngineActions& out);
  // `answered`: the answer being handled is the call's own (the gamepad's
  // report carries it in lParam, so that the link can hand the frame on).
  void FollowUp(AnswerFollowUp followUp, bool executed, EngineActions& out, bool answered = false);

  // Giving up.
  void GiveUpCall(const CallInFlight& call, EngineActions& out);
  void GiveUpNotification(EngineActions& out);
  void AbandonSequence(EngineActions& out);
  void ReadStatusAfterPowerOn(EngineActions& out);
  // The camera power, as a power-on or power-off completed or the camera's
  // own switch reported it.
  void PowerCameOn(EngineActions& out);
  void PowerWentOff(EngineActions& out);
  // The selected camera notified its power switch.
  void PowerNotified(bool on, EngineActions& out);
  // At the end of a connect or camera change: a switch the camera notified
  // after the status read wins. A power-off is taken into CameraState; true
  // when the power came on (the camera is to be read again).
  bool TakeNotifiedPower(EngineActions& out);

  // The sequence.
  void StartSequence(SequenceKind kind, bool requestWaitCursor, EngineActions& out);
  StepTable CurrentTable() const;
  LibraryCall BuildStepCall(const StepSpec& row) const;
  void RunStep(EngineActions& out);
  void WaitForNotification(StepAwait await);
  void GoOn(EngineActions& out);
  int CompleteAt() const;
  void Complete(EngineActions& out);
  void ShowConnectedCamera(EngineActions& out);
  void PostNextStep(EngineActions& out);
  void EndSequence(EngineActions& out);
  void StopPowerOnTimer(EngineActions& out);
  void Finish(EngineActions& out);
  void ClearCamera();
  bool IsQtR7() const;

  CommandPath path_;
  std::function<LocalDateTime()> clock_;
  bool debugLogging_ = false;

  CameraState camera_;
  KnownSpeeds speedRead_{};  // pan, tilt, zoom speed read or accepted since the last clear
  int selectedCamera_ = 0;
  // The connect sequence of this connection has learned the camera list
  // (or was refused it: camera 1 alone). Until then no camera is known.
  bool cameraListKnown_ = false;
  int port_ = 0;
  int visiblePage_ = 0;

  Sequence seq_;
  bool firstReadSystem_ = true;
  bool firstReadAutoExposure_ = true;
  bool powerOnAcknowledged_ = false;
  bool powerOnTimerRunning_ = false;
  bool sensorQueryPending_ = false;
  bool commandModeLocal_ = false;
  bool onScreenChecked_ = false;

  // An operator command whose end the camera notifies (backlight, one-push
  // AF): the wait cursor runs until then, or until the deadline.
  struct OperatorAwait {
    AnswerFollowUp what = AnswerFollowUp::kNone;
    LibraryCall call;
    Micros deadline = 0;
  };
  std::optional<OperatorAwait> operatorAwait_;

  WaitCursor cursor_;
  Inching inching_;
  bool presetNamesOwned_ = false;
  int presetNamesPort_ = 0;
  int presetNamesCamera_ = 0;
};

}  // namespace qtr90x
