// Gamepad control without SDL, Qt or I/O: a controller's axes and buttons in,
// the camera commands and operator actions out.
//
// - The left stick pans and tilts at a speed proportional to its deflection
//   (pan 8..800, tilt 8..622), zoom comes from the triggers or the right
//   stick (speed 0..7), and the shoulder buttons drive the focus while held.
//   A dead zone ramps up from zero at its edge, and the speed curve is
//   linear or squared.
// - The line carries one command at a time and the camera answers each, so
//   the controller keeps at most one of its commands in flight. What it
//   would send next is worked out from the newest input when that command
//   has been answered: speed changes are coalesced, the newest value wins,
//   nothing queues. A stop never waits: it goes out at once, before any
//   later speed change.
// - A move starts as soon as the stick leaves the dead zone: at most one
//   speed command per axis that starts (the stick's speed at that moment),
//   then the move. While it runs, the speed commands follow the stick and
//   the move itself is sent again only when its direction changes.
// - Coming back inside the dead zone sends exactly one stop. A move stopped
//   by anything else (the control disabled, the camera changed, the session
//   ending, the controller detached) stays stopped until the stick or
//   button has been let go, so nothing moves by surprise.
// - The speeds the stick set are put back afterwards to what the camera had
//   (when the application had read them), so that the direction buttons
//   move at the speed the Adjust page shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/gamepad/gamepad_settings.h"
#include "core/link/library_call.h"
#include "core/link/speed_limits.h"

namespace qtr90x {

// A raw axis value with the dead zone and the curve applied: -1..1, 0
// inside the dead zone, growing from 0 at its edge.
double ShapeAxis(int raw, int deadZonePercent, SpeedCurve curve);
// A deflection 0..1 onto the speed range min..max (0 gives min).
int SpeedForDeflection(double magnitude, int min, int max);

// What the controller needs to know of the application, read afresh for
// every event: the camera address and which of the operator's buttons are
// enabled (an action works exactly when its button does).
struct GamepadContext {
  int camera = 0;  // the selected camera, 1..9; 0 none
  bool panTiltEnabled = false;
  bool zoomEnabled = false;
  bool focusEnabled = false;  // Near and Far (manual focus)
  // The selected camera's speeds as the application read them, -1 unknown.
  int panSpeed = -1;
  int tiltSpeed = -1;
  int zoomSpeed = -1;
};

// One thing to do: a command through the application's command path, or an
// operator action carried out by its button (one-push AF, a preset, the
// previous or next camera).
struct GamepadOutput {
  enum class Kind : std::uint8_t { kSend, kAction };
  Kind kind = Kind::kSend;
  LibraryCall call;
  GamepadAction action = GamepadAction::kOnePushAf;
  bool operator==(const GamepadOutput&) const = default;
};

// The outputs of one event; fixed storage, no allocation.
class GamepadOutputs {
 public:
  static constexpr std::size_t kCapacity = 8;
  void Push(const GamepadOutput& output);
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const GamepadOutput& operator[](std::size_t i) const { return items_[i]; }
  const GamepadOutput* begin() const { return items_.data(); }
  const GamepadOutput* end() const { return items_.data() + size_; }
  void clear() { size_ = 0; }

 private:
  std::array<GamepadOutput, kCapacity> items_{};
  std::size_t size_ = 0;
};

class GamepadCore {
 public:
  // Why every move stops at once.
  enum class StopReason : std::uint8_t {
    kControlOff,     // the operator switched gamepad control off
    kDetached,       // the controller in use went away
    kSessionEnding,  // the window closes, the session closes, the port changes
  };

  void SetSettings(const GamepadSettings& settings, const GamepadContext& ctx, GamepadOutputs& out);
  const GamepadSettings& Settings() const { return settings_; }

  // A controller is in use from now on, its axes as they read at the start;
  // a control held at the start is ignored until it has been let go.
  void OnAttached(const std::array<int, kGamepadAxes>& axes, const GamepadContext& ctx,
                  GamepadOutputs& out);
  void OnDetached(const GamepadContext& ctx, GamepadOutputs& out);
  void OnAxis(GamepadAxis axis, int value, const GamepadContext& ctx, GamepadOutputs& out);
  void OnButton(int button, bool down, const GamepadContext& ctx, GamepadOutputs& out);
  // One of the controller's commands was answered (or given up).
  void OnAnswered(const GamepadContext& ctx, GamepadOutputs& out);
  // The enabled buttons or the selected camera changed.
  void OnContextChanged(const GamepadContext& ctx, GamepadOutputs& out);
  void StopAll(StopReason reason, const GamepadContext& ctx, GamepadOutputs& out);

  bool Attached() const { return attached_; }
  int CommandsInFlight() const { return inFlight_; }
  bool Moving() const;
  int AxisValue(GamepadAxis axis) const { return axes_[static_cast<std::size_t>(axis)]; }
  bool ButtonDown(int button) const;

 private:
  enum Channel : std::uint8_t { kPanTiltChannel, kZoomChannel, kFocusChannel, kChannels };

  struct PanTilt {
    int panDir = 0;   // +1 right, -1 left
    int tiltDir = 0;  // +1 up, -1 down
    int panSpeed = 0;
    int tiltSpeed = 0;
  };
  struct Zoom {
    int dir = 0;  // +1 tele, -1 wide
    int speed = 0;
  };

  // What the camera was last told, per channel.
  struct PanTiltSent {
    PanTilt move;  // directions of the last start; speeds last set (0 unknown)
    int moveCamera = 0;
    // A start (or a turn) waits for at most one speed command per axis.
    bool panPrimed = false;
    bool tiltPrimed = false;
    bool tiltFirst = false;  // whose speed change goes first when both are due
    int speedCamera = 0;     // the camera whose speeds the stick changed
    bool panChanged = false;
    bool tiltChanged = false;
    int restPan = -1;
    int restTilt = -1;
  };
  struct ZoomSent {
    int dir = 0;
    int speed = -1;  // -1 unknown
    int moveCamera = 0;
    bool primed = false;
    int speedCamera = 0;
    bool changed = false;
    int rest = -1;
  };
  struct FocusSent {
    int drive = 0;  // 0 none, 2 near, 3 far (QzSetFocusMode's codes)
    int camera = 0;
  };

  PanTilt DesiredPanTilt(const GamepadContext& ctx) const;
  Zoom DesiredZoom(const GamepadContext& ctx) const;
  int DesiredFocus(const GamepadContext& ctx) const;
  bool PanTiltInputNeutral() const;
  bool ZoomInputNeutral() const;
  bool FocusInputNeutral() const;

  void Update(const GamepadContext& ctx, GamepadOutputs& out);
  void UpdateLatches(const GamepadContext& ctx);
  void SendStops(const GamepadContext& ctx, GamepadOutputs& out);
  bool NextPanTilt(const GamepadContext& ctx, GamepadOutputs& out);
  bool NextZoom(const GamepadContext& ctx, GamepadOutputs& out);
  bool NextFocus(const GamepadContext& ctx, GamepadOutputs& out);
  void SendPanSpeed(const GamepadContext& ctx, int speed, GamepadOutputs& out);
  void SendTiltSpeed(const GamepadContext& ctx, int speed, GamepadOutputs& out);
  void Send(const LibraryCall& call, GamepadOutputs& out);
  void LatchAll();
  void ForgetSpeeds();

  GamepadSettings settings_;
  bool attached_ = false;
  std::array<int, kGamepadAxes> axes_{};
  std::array<bool, kGamepadButtons> buttons_{};
  bool modifierHeld_ = false;
  // The button that started each focus drive (near, far), -1 none.
  std::array<int, 2> focusButton_{-1, -1};
  int lastFocus_ = 0;  // the focus action pressed last: 2 near, 3 far

  std::array<bool, kChannels> latched_{};
  PanTiltSent panTilt_;
  ZoomSent zoom_;
  FocusSent focus_;
  int lastCamera_ = 0;
  int inFlight_ = 0;
  int nextChannel_ = 0;  // round robin among the channels
};

}  // namespace qtr90x
