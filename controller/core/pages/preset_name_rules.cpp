#include "core/pages/preset_name_rules.h"

namespace qtr90x {

bool IsValidPresetName(std::u16string_view name) {
  if (name.size() > static_cast<size_t>(kPresetNameMaxLength)) {
    return false;
  }
  for (char16_t c : name) {
    if (c < 32 || c > 126) {
      return false;
    }
  }
  return true;
}

std::optional<int> FirstInvalidPresetName(const std::array<std::u16string, kPresetCount>& names) {
  for (int i = 0; i < kPresetCount; ++i) {
    if (!IsValidPresetName(names[i])) {
      return i;
    }
  }
  return std::nullopt;
}

std::string PresetSlotText(std::string_view name, int presetIndex) {
  if (name.empty()) {
    return std::to_string(presetIndex + 1);
  }
  return std::string(name.substr(0, kPresetNameMaxLength));
}

}  // namespace qtr90x
