// The main dialog's refresh sequence engine: the state machine that reads the
// camera one command per answer, decodes the answers into CameraState,
// handles notifications, the power-on handshake and inching, and keeps the
// wait cursor balanced. It has no Qt, no I/O and no threads: every input is
// a method call, library calls go through a LibraryCaller, and everything
// else it wants done comes back as a list of EngineAction values that the
// main dialog carries out in order.
//
// How the main dialog drives it:
// - at the start of every message it receives: AtMessageStart(), and begin,
//   end or restore the wait cursor as told;
// - 0x800A (wParam 1): OnAnswer(TrafficText of QzGetLastCmdstr, TrafficText
//   of QzGetMsg); 0x800B: OnNotification(wParam, TrafficText of the frame);
// - its own private messages: HandleMessage; UM_ONSCREENCHANGED,
//   UM_INCHSTART/UM_INCHSTOP and the operator actions through their methods;
// - PageHost::SetRefreshIdle -> OnPageRefreshed, SetWaitCursorState ->
//   RequestWaitCursor, ExpectExposureAnswer -> ExpectExposureAnswer;
// - the timer with id kPowerOnTimerId -> OnPowerOnTimer;
// - after QzOpen: OnConnectionAttempt; after QzClose: OnConnectionClosed.
// Every returned action list is carried out in order, posts included; the
// engine never posts or calls anything on its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/camera_state.h"
#include "core/library_call.h"
#include "core/sequence_kind.h"

namespace qtr90x {

// The failed power-on message box text (shown with a single OK button).
inline constexpr char kConnectionFailedText[] = "接続失敗";

// PowerOnTimer: timer id and interval.
inline constexpr int kPowerOnTimerId = 1;
inline constexpr int kPowerOnTimerMs = 10000;

// Where a posted message goes.
enum class MessageTarget : std::uint8_t {
  kMainDialog,
  kAdjustPage,
  kSystemPage,
  kPicturePage,
  kAutoExposurePanel,
  kManualExposurePanel,
  kInchingButton,  // EngineAction::window names the button
};

// One thing for the main dialog to do. Only the fields of its type matter.
struct EngineAction {
  enum class Type : std::uint8_t {
    // Post `message` (wParam, lParam) to `target`.
    kPostMessage,
    // Start PowerOnTimer (kPowerOnTimerId, kPowerOnTimerMs) / stop it.
    kStartPowerOnTimer,
    kStopPowerOnTimer,
    // Add a line to the debug window: `debugType` (0 send, 1 ack, 2..4 and
    // 10 error, 5 fatal error, 6 notify, 7 remote on, 8 remote off, 9 global
    // notify, 11 detect) and `text`.
    kDebugLine,
    // Show kConnectionFailedText with OK, then end the dialog with result 1.
    // Carry it out after the library's message handler has returned (post it
    // to yourself): the session must never be closed inside the library's
    // send.
    kConnectionFailed,
    // The camera combo: emptied; with `count` > 0 it and its label are
    // enabled and filled with "1".."count" and item `index` is selected;
    // with `count` 0 both are disabled and nothing is selected.
    kCameraList,
    // The camera reported its registered presets (`value`, bit i = preset
    // i+1): set the registered flags, load the preset names of port `port`
    // and camera `camera` (LoadPresetNames), refill the preset combo, select
    // the first entry, enable "Go" only if that preset is registered.
    kPresetList,
    // The model line shows string `value`. With `flag` (unit name exactly
    // "QT-R7") Night Mode, the IR Light combo and its label are disabled;
    // otherwise Night Mode and the IR label are enabled, Night Mode is
    // checked per `checked` and the IR Light combo shows item `index`.
    kApplyModel,
    // Enable (`flag`) or disable every camera control of the dialog, the
    // pages and the sub-panels, by the camera power.
    kCameraControlsEnabled,
    // The enable-controls operation with operable = `flag`
    // (EnableControlsPlan in control_rules.h computes it).
    kEnableControls,
    // Focus radios: Manual checked = `checked`, Auto the opposite. With
    // `flag` Near, Far and their labels are enabled too.
    kFocusRadios,
    // Host/Local radios (and the hidden 1057): Local checked = `checked`.
    kCommandModeRadios,
    // Night Mode box checked = `checked`; IR Light combo and label enabled
    // only while checked; with `index` >= 0 the IR Light combo selects it.
    kNightMode,
    // Make the window compact if it is full size (Local was chosen).
    kMakeCompact,
  };

  Type type = Type::kPostMessage;
  MessageTarget target = MessageTarget::kMainDialog;
  int message = 0;
  std::intptr_t wParam = 0;
  std::intptr_t lParam = 0;
  const void* window = nullptr;  // the inching button, for kInchingButton
  int debugType = 0;
  std::string text;
  int value = 0;
  int count = 0;
  int index = 0;
  int port = 0;
  int camera = 0;
  bool flag = false;
  bool checked = false;

  bool operator==(const EngineAction&) const = default;
};

using EngineActions = std::vector<EngineAction>;

// What the main dialog does with the cursor at the start of a message.
enum class WaitCursorStep : std::uint8_t { kNone, kBegin, kEnd, kRestore };

// Positions of the Adjust page's speed sliders (pan, tilt, zoom).
struct SpeedPositions {
  int pan = 0;
  int tilt = 0;
  int zoom = 0;
};

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
  explicit SequenceEngine(LibraryCaller& caller);

  // --- configuration -------------------------------------------------------

  // DispCommandWindow: answers are logged to the debug window only when set
  // (notifications always are).
  void SetDebugLogging(bool on) { debugLogging_ = on; }
  // The clock the connect sequence sets the camera from (default: the
  // system's local time).
  void SetClock(std::function<LocalDateTime()> clock) { clock_ = std::move(clock); }

  // --- connection and operator actions ---------------------------------------

  // After QzOpen on `port` (1..4). When connected, or on the start-up attempt,
  // the first-read flags are set and the connect sequence is posted; else the
  // camera combo is emptied and disabled and the wait cursor ends (the Qt side
  // shows "Failed to open COM%d").
  EngineActions OnConnectionAttempt(int port, bool connected, bool startupAttempt);
  // The session was closed (disconnect, port change, exit): stops
  // PowerOnTimer and ends any sequence and inching.
  EngineActions OnConnectionClosed();
  // The camera combo chose item `index` (camera index + 1). Save the previous
  // camera's preset names first (only if PresetNamesLoadedFor says so).
  EngineActions OnCameraSelected(int index);
  // "Night Mode" clicked, `checked` is the box's new state. Ignored while a
  // sequence runs: the box is put back as CameraState says.
  EngineActions OnNightModeClicked(bool checked);
  // IR Light combo chose item `index`.
  EngineActions OnIrLightChosen(int index);
  // Host/Local (or the hidden 1057) clicked, `local` = Local now checked.
  // Ignored while a sequence runs: the radios are put back.
  EngineActions OnCommandModeClicked(bool local);
  // UM_ONSCREENCHANGED: the System page's "On Screen" box is `checked`.
  EngineActions OnOnScreenChanged(bool checked);
  // UM_INCHSTART / UM_INCHSTOP from `button` (the message's sender), lParam
  // the move kind (0 pan, 1 tilt, 2 diagonal, 3 zoom). `sliders` are the
  // Adjust page's speed slider positions at the press.
  EngineActions OnInchStart(int moveKind, const void* button, SpeedPositions sliders);
  EngineActions OnInchStop(int moveKind, const void* button);

  // --- messages ----------------------------------------------------------------

  // The main dialog's own private messages: UM_NEXTSTEP, UM_STARTQUERY,
  // UM_REFRESHPAGE (kinds 0 and 7), UM_CMDMODE, UM_CMDMODEDONE,
  // UM_ONSCREENDONE, UM_AEVALUESENT, UM_POWERON, UM_POWERONDONE,
  // UM_POWEROFF, UM_POWEROFFDONE, UM_SENSORQUERY. Others return nothing.
  EngineActions HandleMessage(int message, std::intptr_t wParam, std::intptr_t lParam);
  static bool HandlesMessage(int message);

  // An answer (0x800A, wParam 1): the last frame sent and the answer frame,
  // both as TrafficText ("FE 30 30 30 30 EF").
  EngineActions OnAnswer(std::string_view sentCommand, std::string_view answer);
  // A notification (0x800B) of kind `wParam` (1 notify, 2 remote on, 3
  // remote off, 4 global notify, 5 detect) with its TrafficText.
  EngineActions OnNotification(int wParam, std::string_view text);
  // PowerOnTimer fired.
  EngineActions OnPowerOnTimer();
  // A page or sub-panel has shown its values (PageHost::SetRefreshIdle): ends
  // the sequence whose completion it received. A late one from an earlier
  // sequence leaves a newer, still running sequence alone.
  EngineActions OnPageRefreshed();
  // PageHost::ExpectExposureAnswer: the next answer belongs to an exposure
  // sub-panel (0 auto, 1 manual).
  void ExpectExposureAnswer(int target);

  // --- wait cursor ---------------------------------------------------------------

  // 1 requests the end of the wait cursor, 2 its begin.
  void RequestWaitCursor(int state);
  // Call at the start of every message the main dialog receives. Begin and
  // end stay balanced: never ends or restores a cursor that was not begun.
  WaitCursorStep AtMessageStart();
  int WaitCursorStateValue() const { return waitCursorState_; }
  bool WaitCursorShown() const { return waitCursorShown_; }

  // The visible tab page (0 Adjust, 1 System, 2 Picture): its read follows
  // the connect and camera change sequences.
  void SetVisiblePage(int tabIndex) { visiblePage_ = tabIndex; }

  // --- state ---------------------------------------------------------------------

  const CameraState& Camera() const { return camera_; }
  int SelectedCamera() const { return selectedCamera_; }
  bool SequenceActive() const { return kind_ != SequenceKind::kNone; }
  SequenceKind Kind() const { return kind_; }
  int Step() const { return step_; }
  bool FirstReadSystem() const { return firstReadSystem_; }
  bool FirstReadAutoExposure() const { return firstReadAutoExposure_; }
  bool PowerOnTimerRunning() const { return powerOnTimerRunning_; }
  bool InchingPending() const { return inching_.pending; }

  // True when the preset name slots hold the names loaded (or set by the
  // operator) for `camera` on `port`: only then may they be saved there.
  bool PresetNamesLoadedFor(int port, int camera) const;
  // The operator set the names in the Preset Name Settings dialog: they are
  // the selected camera's from now on.
  void NotePresetNamesSet();

 private:
  // What the running sequence waits for.
  enum class Wait : std::uint8_t {
    kNone,                   // between steps (a UM_NEXTSTEP is on its way) or done
    kAnswer,                 // the answer to the step just sent
    kPowerOnNotification,    // "00 A0 31" acknowledged, its notification due
    kPedestalNotification,   // "00 58 30" acknowledged, the end of initialisation due
    kTimerStatus,            // the answer to the status read after PowerOnTimer
    kBacklightNotification,  // kind 4: "00 A5 30" acknowledged
    kPowerNotification,      // kinds 10 and 11
  };

  // Inching has its own state, apart from the sequence's.
  struct Inching {
    bool pending = false;
    bool answered = false;
    bool pressed = false;
    int moveKind = 0;
    const void* button = nullptr;
    SpeedPositions speeds;
    bool speedKnown[3] = {false, false, false};  // pan, tilt, zoom read from this camera
    std::vector<LibraryCall> queued;             // speed commands still to send
    std::vector<std::uint64_t> inFlight;         // call numbers awaiting their answer
  };

  enum class Owner : std::uint8_t { kNone, kSequence, kInching };

  void StartSequence(SequenceKind kind, bool requestWaitCursor, EngineActions& out);
  void RunStep(EngineActions& out);
  void EndSequence(EngineActions& out);
  void StopPowerOnTimer(EngineActions& out);
  void ClearCamera();
  bool IsQtR7() const;
  int CompleteAt() const;
  void Complete(EngineActions& out);
  void PostNextStep(EngineActions& out);
  // Decodes a sequence answer; returns the wait that follows it (kNone: go on).
  Wait DecodeSequenceAnswer(std::string_view sent, std::string_view answer, bool error,
                            EngineActions& out);
  void EvaluateError(std::string_view sent, std::string_view answer, Owner owner,
                     EngineActions& out);
  void SendInchingCall(const LibraryCall& call, EngineActions& out);
  void InchingAnswered(EngineActions& out);
  bool Call(const LibraryCall& call, EngineActions& out);
  void Finish(EngineActions& out);
  LibraryCall BuildStepCall(int step) const;

  LibraryCaller& caller_;
  std::function<LocalDateTime()> clock_;
  bool debugLogging_ = false;

  CameraState camera_;
  bool speedRead_[3] = {false, false, false};  // pan, tilt, zoom speed read since the last clear
  int selectedCamera_ = 0;
  int port_ = 0;
  int visiblePage_ = 0;

  SequenceKind kind_ = SequenceKind::kNone;
  int step_ = 0;
  Wait wait_ = Wait::kNone;
  bool nextStepPosted_ = false;
  bool completed_ = false;          // its completion message is posted; the receiver ends it
  std::uint64_t calls_ = 0;         // numbers every call the engine makes
  std::uint64_t sequenceCall_ = 0;  // the number of the sequence's call in flight
  bool firstReadSystem_ = true;
  bool firstReadAutoExposure_ = true;
  bool powerOnAcknowledged_ = false;
  bool powerOnTimerRunning_ = false;
  bool sensorQueryPending_ = false;
  bool commandModeLocal_ = false;
  bool onScreenChecked_ = false;

  bool exposureRefreshPending_ = false;
  int exposureRefreshTarget_ = 0;

  int waitCursorState_ = 0;
  bool waitCursorShown_ = false;

  Inching inching_;
  bool presetNamesOwned_ = false;
  int presetNamesPort_ = 0;
  int presetNamesCamera_ = 0;
};

}  // namespace qtr90x
