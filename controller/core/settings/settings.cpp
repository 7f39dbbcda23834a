#include "core/settings/settings.h"

#include <cstdio>
#include <cstring>

#include "core/settings/registry_key.h"

namespace qtr90x {

namespace {

constexpr const char* kBasePath = "Software\\Orveda\\QTR90xControler\\1.0\\";

// Opens the key, creating the path when it is missing.
bool OpenOrCreate(RegistryKey* key, const char* path) {
  if (key->Open(path))
    return true;
  return key->CreateKeyPath(path) && key->Open(path);
}

// Opens (creating it when missing) the key of one camera's preset names.
// Cameras are 1 to 9: there is no key for "no camera".
bool OpenPresetKey(RegistryKey* key, int port, int camera) {
  if (camera < 1 || camera > 9)
    return false;
  char path[128];
  std::snprintf(path, sizeof path, "%s%s%d\\%s%d", kBasePath, "COM", port, "Cam", camera);
  return OpenOrCreate(key, path);
}

void PresetValueName(int index, char (&name)[24]) {
  std::snprintf(name, sizeof name, "%s%d", "Preset", index + 1);
}

void DefaultName(int index, std::array<char, 16>* slot) {
  std::snprintf(slot->data(), slot->size(), "%d", index + 1);
}

}  // namespace

int LoadGeneralSettings(GeneralSettings* settings) {
  char path[128];
  std::snprintf(path, sizeof path, "%sGen", kBasePath);
  RegistryKey key;
  if (!OpenOrCreate(&key, path))
    return -1;
  std::uint32_t v = 0;
  settings->portIndex = key.QueryDword("PortTableID", &v) && v <= 3 ? static_cast<int>(v) : 0;
  // The two switches are one byte each, kept as stored so that an exit
  // writes them back unchanged: the low byte of the stored value.
  settings->dispCommandWindow =
      key.QueryDword("DispCommandWindow", &v) ? static_cast<std::uint8_t>(v) : 0;
  settings->dispSendCmd = key.QueryDword("DispSendCmd", &v) ? static_cast<std::uint8_t>(v) : 0;
  key.Close();
  return 0;
}

int SaveGeneralSettings(const GeneralSettings& settings) {
  char path[128];
  std::snprintf(path, sizeof path, "%sGen", kBasePath);
  RegistryKey key;
  if (!OpenOrCreate(&key, path))
    return -1;
  key.SetDword("PortTableID", static_cast<std::uint32_t>(settings.portIndex));
  key.SetDword("DispCommandWindow", settings.dispCommandWindow);
  key.SetDword("DispSendCmd", settings.dispSendCmd);
  key.Close();
  return 0;
}

std::optional<SettingsDamage> SettingsDamageReport() {
  DWORD count = 0;
  DWORD pathSize = 0;
  DWORD messageSize = 0;
  // The sizes first, then the texts in buffers of those sizes.
  if (QzRegistryGetDamageReport(&count, nullptr, &pathSize, nullptr, &messageSize) !=
          ERROR_SUCCESS ||
      count == 0)
    return std::nullopt;
  std::string path(pathSize, '\0');
  std::string message(messageSize, '\0');
  if (QzRegistryGetDamageReport(&count, path.data(), &pathSize, message.data(), &messageSize) !=
      ERROR_SUCCESS)
    return std::nullopt;
  path.resize(pathSize > 0 ? pathSize - 1 : 0);
  message.resize(messageSize > 0 ? messageSize - 1 : 0);
  return SettingsDamage{count, path, message};
}

std::optional<SettingsProblem> SettingsProblemReport() {
  DWORD count = 0;
  DWORD size = 0;
  if (QzRegistryGetStoreProblem(&count, nullptr, &size) != ERROR_SUCCESS || count == 0)
    return std::nullopt;
  std::string reason(size, '\0');
  if (QzRegistryGetStoreProblem(&count, reason.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  reason.resize(size > 0 ? size - 1 : 0);
  return SettingsProblem{count, reason};
}

int LoadPresetNames(int port, int camera, PresetNames* names) {
  RegistryKey key;
  if (!OpenPresetKey(&key, port, camera))
    return -1;
  for (int i = 0; i < 9; ++i) {
    char valueName[24];
    PresetValueName(i, valueName);
    std::array<char, 16>& slot = (*names)[static_cast<std::size_t>(i)];
    if (!key.QueryString(valueName, slot.data(), slot.size()) || slot[0] == '\0')
      DefaultName(i, &slot);
  }
  key.Close();
  return 0;
}

int SavePresetNames(int port, int camera, const PresetNames& names) {
  RegistryKey key;
  if (!OpenPresetKey(&key, port, camera))
    return -1;
  for (int i = 0; i < 9; ++i) {
    char valueName[24];
    PresetValueName(i, valueName);
    std::array<char, 16> slot = names[static_cast<std::size_t>(i)];
    slot.back() = '\0';
    if (slot[0] == '\0')
      DefaultName(i, &slot);
    key.SetString(valueName, slot.data());
  }
  key.Close();
  return 0;
}

}  // namespace qtr90x
