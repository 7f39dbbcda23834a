// Rules for the names of the nine presets.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qtr90x {

inline constexpr int kPresetCount = 9;
inline constexpr int kPresetNameMaxLength = 15;

// A name is at most 15 printable ASCII characters (32 to 126); empty passes.
// The text is UTF-16 as an edit holds it, so a double-byte character fails.
bool IsValidPresetName(std::u16string_view name);

// Index of the first name that fails, in preset order; nullopt when all pass.
std::optional<int> FirstInvalidPresetName(const std::array<std::u16string, kPresetCount>& names);

// What a slot holds and shows: an empty name becomes the preset's number.
std::string PresetSlotText(std::string_view name, int presetIndex);

}  // namespace qtr90x
