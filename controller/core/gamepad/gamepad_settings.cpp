#include "core/gamepad/gamepad_settings.h"

#include <algorithm>

#include "core/settings/registry_key.h"

namespace qtr90x {

namespace {

constexpr const char* kGamepadKey = "Software\\Orveda\\QTR90xControler\\1.0\\Gamepad";

// A binding as one DWORD: the button number plus one (0 none), and 0x100
// when the modifier is held with it.
constexpr std::uint32_t kWithModifierBit = 0x100;

constexpr std::string_view kButtonNames[kGamepadButtons] = {"A",
                                                            "B",
                                                            "X",
                                                            "Y",
                                                            "Back",
                                                            "Guide",
                                                            "Start",
                                                            "Left stick",
                                                            "Right stick",
                                                            "Left shoulder",
                                                            "Right shoulder",
                                                            "D-pad up",
                                                            "D-pad down",
                                                            "D-pad left",
                                                            "D-pad right",
                                                            "Misc",
                                                            "Paddle 1",
                                                            "Paddle 2",
                                                            "Paddle 3",
                                                            "Paddle 4",
                                                            "Touchpad"};

constexpr std::string_view kAxisNames[kGamepadAxes] = {"Left X",  "Left Y",       "Right X",
                                                       "Right Y", "Left trigger", "Right trigger"};

struct ActionInfo {
  std::string_view name;  // shown in the dialog
  const char* valueName;  // in the registry store
};
constexpr ActionInfo kActions[kGamepadActions] = {{"Focus near", "FocusNear"},
                                                  {"Focus far", "FocusFar"},
                                                  {"One-push AF", "OnePushAF"},
                                                  {"Preset 1", "Preset1"},
                                                  {"Preset 2", "Preset2"},
                                                  {"Preset 3", "Preset3"},
                                                  {"Preset 4", "Preset4"},
                                                  {"Preset 5", "Preset5"},
                                                  {"Preset 6", "Preset6"},
                                                  {"Preset 7", "Preset7"},
                                                  {"Preset 8", "Preset8"},
                                                  {"Preset 9", "Preset9"},
                                                  {"Previous camera", "CameraPrevious"},
                                                  {"Next camera", "CameraNext"}};

bool ValidButton(int button) {
  return button >= 0 && button < kGamepadButtons;
}

bool OpenOrCreate(RegistryKey* key) {
  if (key->Open(kGamepadKey))
    return true;
  return key->CreateKeyPath(kGamepadKey) && key->Open(kGamepadKey);
}

}  // namespace

std::string_view GamepadButtonName(int button) {
  return ValidButton(button) ? kButtonNames[button] : std::string_view("None");
}

std::string_view GamepadAxisName(GamepadAxis axis) {
  return kAxisNames[static_cast<int>(axis)];
}

std::string_view GamepadActionName(GamepadAction action) {
  return kActions[static_cast<int>(action)].name;
}

std::array<ButtonBinding, kGamepadActions> GamepadSettings::DefaultBindings() {
  namespace b = gamepad_button;
  // Focus on the shoulders, one-push AF on Y; presets with Back held: the
  // face buttons 1 to 4, the d-pad 5 to 8 (clockwise from up), Start 9; the
  // d-pad alone steps through the cameras.
  return {{{b::kLeftShoulder, false},
           {b::kRightShoulder, false},
           {b::kY, false},
           {b::kA, true},
           {b::kB, true},
           {b::kX, true},
           {b::kY, true},
           {b::kDpadUp, true},
           {b::kDpadRight, true},
           {b::kDpadDown, true},
           {b::kDpadLeft, true},
           {b::kStart, true},
           {b::kDpadLeft, false},
           {b::kDpadRight, false}}};
}

GamepadSettings Sanitized(GamepadSettings s) {
  const GamepadSettings defaults;
  s.deadZonePercent = std::clamp(s.deadZonePercent, 0, GamepadSettings::kMaxDeadZonePercent);
  if (s.curve != SpeedCurve::kLinear && s.curve != SpeedCurve::kSquared)
    s.curve = defaults.curve;
  if (s.zoomSource != ZoomSource::kTriggers && s.zoomSource != ZoomSource::kRightStick)
    s.zoomSource = defaults.zoomSource;
  if (!ValidButton(s.modifier))
    s.modifier = gamepad_button::kNone;
  for (ButtonBinding& binding : s.bindings) {
    if (!ValidButton(binding.button))
      binding = ButtonBinding{};
  }
  return s;
}

int LoadGamepadSettings(GamepadSettings* settings) {
  *settings = GamepadSettings{};
  RegistryKey key;
  if (!OpenOrCreate(&key))
    return -1;
  GamepadSettings& s = *settings;
  std::uint32_t v = 0;
  if (key.QueryDword("Enabled", &v))
    s.enabled = v != 0;
  if (key.QueryDword("DeadZone", &v) && v <= GamepadSettings::kMaxDeadZonePercent)
    s.deadZonePercent = static_cast<int>(v);
  if (key.QueryDword("Curve", &v) && v <= 1)
    s.curve = static_cast<SpeedCurve>(v);
  if (key.QueryDword("InvertPan", &v))
    s.invertPan = v != 0;
  if (key.QueryDword("InvertTilt", &v))
    s.invertTilt = v != 0;
  if (key.QueryDword("InvertZoom", &v))
    s.invertZoom = v != 0;
  if (key.QueryDword("ZoomSource", &v) && v <= 1)
    s.zoomSource = static_cast<ZoomSource>(v);
  if (key.QueryDword("Modifier", &v) && v <= kGamepadButtons)
    s.modifier = static_cast<int>(v) - 1;
  for (int i = 0; i < kGamepadActions; ++i) {
    if (!key.QueryDword(kActions[i].valueName, &v))
      continue;
    const std::uint32_t number = v & ~kWithModifierBit;
    if (number > kGamepadButtons)
      continue;  // out of range: the default stays
    s.bindings[static_cast<std::size_t>(i)] =
        ButtonBinding{static_cast<int>(number) - 1, (v & kWithModifierBit) != 0};
  }
  key.Close();
  *settings = Sanitized(s);
  return 0;
}

int SaveGamepadSettings(const GamepadSettings& settings) {
  const GamepadSettings s = Sanitized(settings);
  RegistryKey key;
  if (!OpenOrCreate(&key))
    return -1;
  key.SetDword("Enabled", s.enabled ? 1 : 0);
  key.SetDword("DeadZone", static_cast<std::uint32_t>(s.deadZonePercent));
  key.SetDword("Curve", static_cast<std::uint32_t>(s.curve));
  key.SetDword("InvertPan", s.invertPan ? 1 : 0);
  key.SetDword("InvertTilt", s.invertTilt ? 1 : 0);
  key.SetDword("InvertZoom", s.invertZoom ? 1 : 0);
  key.SetDword("ZoomSource", static_cast<std::uint32_t>(s.zoomSource));
  key.SetDword("Modifier", static_cast<std::uint32_t>(s.modifier + 1));
  for (int i = 0; i < kGamepadActions; ++i) {
    const ButtonBinding& b = s.bindings[static_cast<std::size_t>(i)];
    key.SetDword(kActions[i].valueName, static_cast<std::uint32_t>(b.button + 1) |
                                            (b.withModifier ? kWithModifierBit : 0));
  }
  key.Close();
  return 0;
}

}  // namespace qtr90x
