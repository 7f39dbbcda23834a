#include "core/pages/control_rules.h"

#include "resources/control_ids.h"
#include "resources/string_ids.h"

namespace qtr90x {

int ModelLineStringId(std::string_view unitName) {
  if (unitName.find("QT-R7") != std::string_view::npos)
    return str::kModelQtR7;
  if (unitName.find("R90xN") != std::string_view::npos)
    return str::kModelQtR90xN;
  if (unitName.find("R90x") != std::string_view::npos)
    return str::kModelQtR90x;
  return str::kModelUnknown;
}

std::vector<ControlEnable> EnableControlsPlan(const EnableControlsInputs& in) {
  const bool on = in.operable;
  std::vector<ControlEnable> plan;
  for (int id : {ctl::kPadUpLeft,    ctl::kPadUp,       ctl::kPadUpRight,  ctl::kPadLeft,
                 ctl::kPadHome,      ctl::kPadRight,    ctl::kPadDownLeft, ctl::kPadDown,
                 ctl::kPadDownRight, ctl::kZoomTele,    ctl::kZoomWide,    ctl::kFocusAuto,
                 ctl::kFocusManual,  ctl::kPresetCombo, ctl::kDetail,      ctl::kGroupPanTilt,
                 ctl::kGroupPreset,  ctl::kGroupFocus,  ctl::kGroupZoom,   ctl::kPresetSet,
                 ctl::kOnePushAf}) {
    plan.push_back({id, on});
  }
  // Near and Far only make sense with manual focus.
  if (!on || in.manualFocusChecked) {
    for (int id : {ctl::kFocusNear, ctl::kFocusFar, ctl::kFocusNearLabel, ctl::kFocusFarLabel})
      plan.push_back({id, on});
  }
  if (!on || in.selectedPresetRegistered)
    plan.push_back({ctl::kPresetGo, on});
  if (in.unitName.find("R90x") != std::string_view::npos) {
    plan.push_back({ctl::kNightMode, on});
    plan.push_back({ctl::kTab, on});
    plan.push_back({ctl::kHiddenNightMode, on});
    if (!on || in.nightModeChecked) {
      plan.push_back({ctl::kIrLightCombo, on});
      plan.push_back({ctl::kIrLightLabel, on});
    }
  }
  return plan;
}

}  // namespace qtr90x
