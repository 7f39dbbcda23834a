// What the sequence engine asks the main dialog to do, one small struct per
// kind of action. The dialog carries them out in order, posts included; the
// engine never posts or calls anything on its own.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace qtr90x {

// Where a posted message goes.
enum class MessageTarget : std::uint8_t {
  kMainDialog,
  kAdjustPage,
  kSystemPage,
  kPicturePage,
  kAutoExposurePanel,
  kManualExposurePanel,
  kInchingButton,  // act::Post::window names the button
  kGamepad,        // the gamepad control
};

namespace act {

// Post `message` (wParam, lParam) to `target`.
struct Post {
  MessageTarget target = MessageTarget::kMainDialog;
  int message = 0;
  std::intptr_t wParam = 0;
  std::intptr_t lParam = 0;
  const void* window = nullptr;  // the inching button, for kInchingButton
  bool operator==(const Post&) const = default;
};

// Start PowerOnTimer (kPowerOnTimerId, kPowerOnTimerMs) / stop it.
struct StartPowerOnTimer {
  bool operator==(const StartPowerOnTimer&) const = default;
};
struct StopPowerOnTimer {
  bool operator==(const StopPowerOnTimer&) const = default;
};

// A line for the debug window: its DebugLineType (debug_line_type.h) and
// its text.
struct DebugLine {
  int type = 0;
  std::string text;
  bool operator==(const DebugLine&) const = default;
};

// Show kConnectionFailedText with OK, then end the dialog with result 1.
// Carry it out after the library's message handler has returned (post it to
// yourself): the session must never be closed inside the library's send.
struct ConnectionFailed {
  bool operator==(const ConnectionFailed&) const = default;
};

// The camera combo: emptied; with `count` > 0 it and its label are enabled
// and filled with "1".."count" and item `index` is selected; with `count` 0
// both are disabled and nothing is selected.
struct CameraList {
  int count = 0;
  int index = -1;
  bool operator==(const CameraList&) const = default;
};

// The camera reported its registered presets (bit i = preset i+1): set the
// registered flags, load the preset names of `port` and `camera`, refill the
// preset combo, select the first entry, enable "Go" only if that preset is
// registered.
struct PresetList {
  int registered = 0;
  int port = 0;
  int camera = 0;
  bool operator==(const PresetList&) const = default;
};

// The model line shows string `stringId`. For a QT-R7 Night Mode, the IR
// Light combo and its label are disabled; otherwise Night Mode and the IR
// label are enabled, Night Mode is checked per `nightMode` and the IR Light
// combo shows item `irLight`.
struct ApplyModel {
  int stringId = 0;
  bool qtR7 = false;
  bool nightMode = false;
  int irLight = 0;
  bool operator==(const ApplyModel&) const = default;
};

// Enable or disable every camera control of the dialog, the pages and the
// sub-panels, by the camera power.
struct CameraControls {
  bool enabled = false;
  bool operator==(const CameraControls&) const = default;
};

// The enable-controls operation (EnableControlsPlan in control_rules.h).
struct EnableControls {
  bool operable = false;
  bool operator==(const EnableControls&) const = default;
};

// Focus radios: Manual checked = `manual`, Auto the opposite. With
// `enableNearFar` Near, Far and their labels follow Manual too.
struct FocusRadios {
  bool manual = false;
  bool enableNearFar = false;
  bool operator==(const FocusRadios&) const = default;
};

// Host/Local radios (and the hidden 1057).
struct CommandModeRadios {
  bool local = false;
  bool operator==(const CommandModeRadios&) const = default;
};

// Night Mode box checked = `checked`; IR Light combo and label enabled only
// while checked; with `irLightIndex` >= 0 the IR Light combo selects it.
struct NightMode {
  bool checked = false;
  int irLightIndex = -1;
  bool operator==(const NightMode&) const = default;
};

// Make the window compact if it is full size (Local was chosen).
struct MakeCompact {
  bool operator==(const MakeCompact&) const = default;
};

// The System page's "Camera Power On" box shows the camera's power.
struct PowerBox {
  bool on = false;
  bool operator==(const PowerBox&) const = default;
};

}  // namespace act

using EngineAction =
    std::variant<act::Post, act::StartPowerOnTimer, act::StopPowerOnTimer, act::DebugLine,
                 act::ConnectionFailed, act::CameraList, act::PresetList, act::ApplyModel,
                 act::CameraControls, act::EnableControls, act::FocusRadios, act::CommandModeRadios,
                 act::NightMode, act::MakeCompact, act::PowerBox>;

using EngineActions = std::vector<EngineAction>;

}  // namespace qtr90x
