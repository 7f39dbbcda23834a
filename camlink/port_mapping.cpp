#include "camlink/port_mapping.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camlink/rfc2217_address.h"
#include "platform/registry.h"

namespace qzlink {

namespace {

enum class Stored { kNone, kText, kTooLong };

// "COM<n>", the value name of a port's mapping.
void ValueName(int32_t portNumber, char (&name)[16]) {
  std::snprintf(name, sizeof name, "COM%d", static_cast<int>(portNumber));
}

bool Copy(const char* text, char* out, size_t outSize) {
  const size_t length = std::strlen(text);
  if (length >= outSize) {
    if (outSize > 0) {
      out[0] = '\0';
    }
    return false;
  }
  std::memcpy(out, text, length + 1);
  return true;
}

// Reads the stored text into out (the store keeps the terminating zero).
Stored ReadStored(int32_t portNumber, char* out, size_t outSize) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPortMappingKey, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return Stored::kNone;
  }
  char name[16];
  ValueName(portNumber, name);
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(outSize);
  const LONG result =
      RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size);
  RegCloseKey(key);
  if (result == ERROR_MORE_DATA && type == REG_SZ) {
    return Stored::kTooLong;
  }
  if (result != ERROR_SUCCESS || type != REG_SZ || size == 0) {
    return Stored::kNone;
  }
  out[std::min<size_t>(size, outSize) - 1] = '\0';
  return out[0] != '\0' ? Stored::kText : Stored::kNone;
}

std::string StoreError(LONG code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      return "the settings store may not be written";
    case ERROR_CANTWRITE:
      return "the settings store cannot be written";
    case ERROR_BADDB:
      return "the settings store cannot be read, or no location for it is known "
             "(set HOME or QZLINK_REGISTRY)";
    default:
      return "the settings store failed (error " + std::to_string(code) + ")";
  }
}

}  // namespace

const char* PortTargetSourceName(PortTargetSource source) {
  switch (source) {
    case PortTargetSource::kEnvironment:
      return "environment";
    case PortTargetSource::kSettings:
      return "settings";
    case PortTargetSource::kDefault:
      break;
  }
  return "default";
}

PortTargetChoice ChoosePortTarget(int32_t portNumber, const char* environmentValue,
                                  const char* storedValue, char* out, size_t outSize) {
  if (environmentValue != nullptr && environmentValue[0] != '\0') {
    return {PortTargetSource::kEnvironment, Copy(environmentValue, out, outSize)};
  }
  if (storedValue != nullptr && storedValue[0] != '\0') {
    return {PortTargetSource::kSettings, Copy(storedValue, out, outSize)};
  }
  char fallback[32];
#ifdef _WIN32
  std::snprintf(fallback, sizeof fallback, "COM%d", static_cast<int>(portNumber));
#else
  std::snprintf(fallback, sizeof fallback, "/dev/ttyS%d", static_cast<int>(portNumber) - 1);
#endif
  return {PortTargetSource::kDefault, Copy(fallback, out, outSize)};
}

PortTargetChoice ResolvePortTarget(int32_t portNumber, char* out, size_t outSize) {
  char variable[32];
  std::snprintf(variable, sizeof variable, "QZLINK_COM%d", static_cast<int>(portNumber));
  const char* environmentValue = std::getenv(variable);
  if (environmentValue != nullptr && environmentValue[0] != '\0') {
    return ChoosePortTarget(portNumber, environmentValue, nullptr, out, outSize);
  }
  // The store is only read when the environment leaves the choice to it.
  char stored[kMaxPortTargetLength + 1];
  switch (ReadStored(portNumber, stored, sizeof stored)) {
    case Stored::kText:
      return ChoosePortTarget(portNumber, nullptr, stored, out, outSize);
    case Stored::kTooLong:
      if (outSize > 0) {
        out[0] = '\0';
      }
      return {PortTargetSource::kSettings, false};
    case Stored::kNone:
      break;
  }
  return ChoosePortTarget(portNumber, nullptr, nullptr, out, outSize);
}

PortTarget CurrentPortTarget(int32_t portNumber) {
  char target[kMaxPortTargetLength + 1];
  const PortTargetChoice choice = ResolvePortTarget(portNumber, target, sizeof target);
  return {target, choice.source};
}

std::string DefaultPortTarget(int32_t portNumber) {
#ifdef _WIN32
  return "COM" + std::to_string(portNumber);
#else
  return "/dev/ttyS" + std::to_string(portNumber - 1);
#endif
}

std::string PortEnvironmentVariable(int32_t portNumber) {
  return "QZLINK_COM" + std::to_string(portNumber);
}

std::optional<std::string> StoredPortTarget(int32_t portNumber) {
  char stored[kMaxPortTargetLength + 1];
  if (ReadStored(portNumber, stored, sizeof stored) != Stored::kText) {
    return std::nullopt;
  }
  return std::string(stored);
}

std::string PortNumberProblem(int32_t portNumber) {
  if (portNumber < kFirstComPort || portNumber > kLastComPort) {
    return "the port number must be 1 to 9";
  }
  return {};
}

std::string PortTargetProblem(std::string_view target) {
  if (target.empty()) {
    return "the target is empty";
  }
  for (char c : target) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return "the target holds a control character";
    }
  }
  if (target.rfind(kRfc2217Scheme, 0) == 0) {
    Rfc2217Address address;
    const std::string text(target);
    if (target.size() > kMaxPortTargetLength) {
      return "the address is longer than 511 bytes";
    }
    if (!ParseRfc2217Address(text.c_str(), address)) {
      return "not an address of the form rfc2217://HOST:PORT[?modem=none&timeout=MS]";
    }
    return {};
  }
#ifdef _WIN32
  // A Windows device name: COMn, or a full name such as \\.\COM12.
  if (target.rfind("COM", 0) != 0 && target.rfind("\\\\", 0) != 0) {
    return "a device name must be COMn or \\\\.\\NAME, or an address rfc2217://HOST:PORT";
  }
#else
  if (target.front() != '/') {
    return "a device path must be absolute (/dev/...), or an address rfc2217://HOST:PORT";
  }
#endif
  if (target.size() > kMaxDevicePathLength) {
    return "the device path is longer than 255 bytes";
  }
  return {};
}

std::string StorePortTarget(int32_t portNumber, std::string_view target) {
  if (std::string problem = PortNumberProblem(portNumber); !problem.empty()) {
    return problem;
  }
  if (std::string problem = PortTargetProblem(target); !problem.empty()) {
    return problem;
  }
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, kPortMappingKey, 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) {
    return StoreError(result);
  }
  char name[16];
  ValueName(portNumber, name);
  const std::string text(target);
  result = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? std::string() : StoreError(result);
}

std::string ClearStoredPortTarget(int32_t portNumber) {
  if (std::string problem = PortNumberProblem(portNumber); !problem.empty()) {
    return problem;
  }
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, kPortMappingKey, 0, KEY_SET_VALUE, &key);
  if (result == ERROR_FILE_NOT_FOUND) {
    return {};  // no mapping at all
  }
  if (result != ERROR_SUCCESS) {
    return StoreError(result);
  }
  char name[16];
  ValueName(portNumber, name);
  result = RegDeleteValueA(key, name);
  RegCloseKey(key);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? std::string()
                                                                   : StoreError(result);
}

}  // namespace qzlink
