#include "core/settings/registry_key.h"

#include <cstring>

namespace qtr90x {

RegistryKey::~RegistryKey() {
  if (key_ != nullptr)
    Close();
}

bool RegistryKey::Open(const char* subKey, bool readOnly) {
  if (key_ != nullptr)
    Close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(root_, subKey, 0, readOnly ? KEY_READ : KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    key_ = nullptr;
    return false;
  }
  key_ = key;
  return true;
}

bool RegistryKey::Open(const char* subKey) {
  return Open(subKey, false);
}

bool RegistryKey::Close() {
  if (RegCloseKey(key_) != ERROR_SUCCESS)
    return false;
  key_ = nullptr;
  return true;
}

bool RegistryKey::QueryDword(const char* name, std::uint32_t* value) {
  DWORD type = REG_DWORD;
  DWORD size = 4;
  DWORD data = 0;
  if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      size > 4)
    return false;
  *value = data;
  return true;
}

bool RegistryKey::QueryString(const char* name, char* buffer, std::size_t size) {
  if (size == 0)
    return false;
  DWORD type = REG_SZ;
  DWORD got = static_cast<DWORD>(size);
  if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got) !=
          ERROR_SUCCESS ||
      got > size)
    return false;
  buffer[got < size ? got : size - 1] = '\0';
  return true;
}

bool RegistryKey::SetDword(const char* name, std::uint32_t value) {
  const DWORD data = value;
  RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), 4);
  return true;
}

bool RegistryKey::SetString(const char* name, const char* text) {
  RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
  return true;
}

bool RegistryKey::CreateKeyPath(const char* path) {
  const std::size_t length = std::strlen(path);
  if (length >= 260)
    return false;
  char buffer[260];
  std::memcpy(buffer, path, length + 1);
  for (std::size_t i = 0; i <= length; ++i) {
    if (buffer[i] != '\\' && buffer[i] != '\0')
      continue;
    const char saved = buffer[i];
    buffer[i] = '\0';
    HKEY key = nullptr;
    DWORD disposition = 0;
    // A failing prefix does not stop the walk: later prefixes may still succeed.
    if (RegCreateKeyExA(root_, buffer, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) == ERROR_SUCCESS &&
        key != nullptr)
      RegCloseKey(key);
    buffer[i] = saved;
  }
  return true;
}

}  // namespace qtr90x
