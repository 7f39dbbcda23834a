// Gamepad control: the controller's axes and buttons, the actions they are
// mapped to, and the operator's settings (dead zone, speed curve, inverted
// axes, zoom source, mapping, on/off), kept in the registry store in the
// application's Gamepad key beside Gen.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qtr90x {

// The axes of a game controller, in the edge's numbering. Sticks give
// -32768..32767 (down and right positive), triggers 0..32767.
enum class GamepadAxis : std::uint8_t {
  kLeftX,
  kLeftY,
  kRightX,
  kRightY,
  kTriggerLeft,
  kTriggerRight,
};
inline constexpr int kGamepadAxes = 6;

// The buttons of a game controller, in the edge's numbering; -1 is none.
namespace gamepad_button {
inline constexpr int kNone = -1;
inline constexpr int kA = 0;
inline constexpr int kB = 1;
inline constexpr int kX = 2;
inline constexpr int kY = 3;
inline constexpr int kBack = 4;
inline constexpr int kGuide = 5;
inline constexpr int kStart = 6;
inline constexpr int kLeftStick = 7;
inline constexpr int kRightStick = 8;
inline constexpr int kLeftShoulder = 9;
inline constexpr int kRightShoulder = 10;
inline constexpr int kDpadUp = 11;
inline constexpr int kDpadDown = 12;
inline constexpr int kDpadLeft = 13;
inline constexpr int kDpadRight = 14;
}  // namespace gamepad_button
inline constexpr int kGamepadButtons = 21;  // up to the paddles and the touchpad

// "A", "Left shoulder", ...; "None" for -1 and for numbers out of range.
std::string_view GamepadButtonName(int button);
std::string_view GamepadAxisName(GamepadAxis axis);

// What a button does.
enum class GamepadAction : std::uint8_t {
  kFocusNear,  // held: drive the focus near; released: stop
  kFocusFar,
  kOnePushAf,
  kPreset1,  // recall preset 1 .. 9 (kPreset1 + n - 1)
  kPreset2,
  kPreset3,
  kPreset4,
  kPreset5,
  kPreset6,
  kPreset7,
  kPreset8,
  kPreset9,
  kCameraPrevious,
  kCameraNext,
};
inline constexpr int kGamepadActions = 14;

std::string_view GamepadActionName(GamepadAction action);

// A button, alone or with the modifier button held.
struct ButtonBinding {
  int button = gamepad_button::kNone;
  bool withModifier = false;
  bool operator==(const ButtonBinding&) const = default;
};

enum class SpeedCurve : std::uint8_t { kLinear, kSquared };
enum class ZoomSource : std::uint8_t { kTriggers, kRightStick };

struct GamepadSettings {
  static constexpr int kMaxDeadZonePercent = 50;

  bool enabled = true;
  int deadZonePercent = 12;  // of the stick's travel, 0..kMaxDeadZonePercent
  SpeedCurve curve = SpeedCurve::kLinear;
  bool invertPan = false;
  bool invertTilt = false;
  bool invertZoom = false;
  ZoomSource zoomSource = ZoomSource::kTriggers;
  int modifier = gamepad_button::kBack;
  std::array<ButtonBinding, kGamepadActions> bindings = DefaultBindings();

  const ButtonBinding& Binding(GamepadAction action) const {
    return bindings[static_cast<std::size_t>(action)];
  }
  ButtonBinding& Binding(GamepadAction action) {
    return bindings[static_cast<std::size_t>(action)];
  }
  static std::array<ButtonBinding, kGamepadActions> DefaultBindings();
  bool operator==(const GamepadSettings&) const = default;
};

// Puts every value into its range: what a hand-edited store holds cannot
// reach the controller's rules unchecked.
GamepadSettings Sanitized(GamepadSettings settings);

// Software\Orveda\QTR90xControler\1.0\Gamepad. Each returns 0, or -1 when
// the key could neither be opened nor created (defaults are then used).
// A missing or out-of-range value takes its default.
int LoadGamepadSettings(GamepadSettings* settings);
int SaveGamepadSettings(const GamepadSettings& settings);

}  // namespace qtr90x
