// The application's settings in the registry: general switches and the
// preset names of each camera on each port.
#pragma once

#include <optional>
#include <string>

#include <array>
#include <cstdint>

namespace qtr90x {

struct GeneralSettings {
  int portIndex = 0;  // 0 = COM1 ... 3 = COM4
  std::uint8_t dispCommandWindow = 0;
  std::uint8_t dispSendCmd = 0;
};

using PresetNames = std::array<std::array<char, 16>, 9>;

// Each returns 0, or -1 when the key could neither be opened nor created.
int LoadGeneralSettings(GeneralSettings* settings);
int SaveGeneralSettings(const GeneralSettings& settings);
// What the settings store found wrong with its file in this process: where
// the damaged file was moved ("" when it was left in place, read-only) and
// the store's own line about it. Nullopt when the file was sound.
struct SettingsDamage {
  unsigned count = 0;  // damaged files found in this process so far
  std::string copyPath;
  std::string message;
};
std::optional<SettingsDamage> SettingsDamageReport();

// Why the settings cannot be saved, as the store found it in this process
// (it also looks at the file now): how many different reasons so far and the
// last one, naming the file ("... is read-only (mode 0444)", "... is a
// directory, not a regular file: ..."). Nullopt when nothing keeps them.
struct SettingsProblem {
  unsigned count = 0;
  std::string reason;
};
std::optional<SettingsProblem> SettingsProblemReport();

// `camera` 1..9; any other (0: no camera known) gives -1 and touches nothing.
int LoadPresetNames(int port, int camera, PresetNames* names);
int SavePresetNames(int port, int camera, const PresetNames& names);

}  // namespace qtr90x
