// The application's settings in the registry: general switches and the
// preset names of each camera on each port.
#pragma once

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
int LoadPresetNames(int port, int camera, PresetNames* names);
int SavePresetNames(int port, int camera, const PresetNames& names);

}  // namespace qtr90x
