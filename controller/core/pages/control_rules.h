// Main dialog rules that depend on the camera's reports: the model line and
// the enable-controls operation.
#pragma once

#include <string_view>
#include <vector>

namespace qtr90x {

// String id of the model line, searching the unit name in this order:
// "QT-R7", "R90xN", "R90x", else "Model : Unknown".
int ModelLineStringId(std::string_view unitName);

struct EnableControlsInputs {
  bool operable = false;
  bool manualFocusChecked = false;
  bool selectedPresetRegistered = false;
  bool nightModeChecked = false;
  std::string_view unitName;
};

struct ControlEnable {
  int controlId;
  bool enabled;
  bool operator==(const ControlEnable&) const = default;
};

// The main dialog controls the enable-controls operation changes, in order.
// Controls whose rule leaves them alone (Near/Far when enabling with Auto
// focus, "Go" for an unregistered preset, ...) are not in the list.
std::vector<ControlEnable> EnableControlsPlan(const EnableControlsInputs& in);

}  // namespace qtr90x
