// The registry functions on top of the per-user store file.
//
// A handle names its key by path and keeps the access it was opened with; the
// key's content is looked up in the file at every call, so changes made by
// other processes are seen at once. A handle whose key has been deleted gets
// ERROR_KEY_DELETED; if a key of the same path is created again, the handle
// refers to that one.
#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>

#include "platform/registry_file.h"
#include "platform/registry_storage.h"

struct QzRegKey {
  std::string path;
  DWORD access = 0;
};

namespace qzplatform {
namespace {

// Every handle given out and not yet closed, so that a stale or made-up handle
// is refused instead of being dereferenced. Handles may be used from several
// threads at once, one thread per handle.
std::mutex openHandlesMutex;
std::unordered_set<HKEY> openHandles;

struct KeyRef {
  std::string path;
  DWORD access = 0;
};

// Looks the handle up and checks that it was opened with `right` (0: none
// needed).
LONG Resolve(HKEY key, DWORD right, KeyRef& ref) {
  if (key == HKEY_CURRENT_USER) {
    ref = {"", KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  {
    std::lock_guard lock(openHandlesMutex);
    if (!openHandles.contains(key))
      return ERROR_INVALID_HANDLE;
    ref = {key->path, key->access};
  }
  return right == 0 || (ref.access & right) != 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

HKEY NewHandle(std::string path, DWORD access) {
  auto* key = new QzRegKey{std::move(path), access};
  std::lock_guard lock(openHandlesMutex);
  openHandles.insert(key);
  return key;
}

LONG CheckAccess(const KeyRef& ref, DWORD right) {
  return (ref.access & right) != 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG CheckNotDeleted(const RegistryModel& model, const KeyRef& ref) {
  return model.HasKey(ref.path) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// The path of subKey below the handle's key; false for a malformed sub-key
// (empty component, ']', line break, over-long name).
bool JoinPath(const KeyRef& ref, const char* subKey, std::string& path) {
  path = ref.path;
  if (subKey != nullptr && *subKey != '\0') {
    if (!path.empty())
      path += '\\';
    path += subKey;
  }
  return IsValidKeyPath(path);
}

// Loads the store and checks that the handle's key still exists.
// Resolves the handle and reads the store; fails when the key is gone.
LONG ResolveAndLoad(HKEY key, DWORD right, KeyRef& ref, RegistryModel& model) {
  if (LONG r = Resolve(key, right, ref); r != ERROR_SUCCESS)
    return r;
  if (LONG r = LoadRegistry(model); r != ERROR_SUCCESS)
    return r;
  return CheckNotDeleted(model, ref);
}

// Hands a value to the caller's type/data/size triple. With a buffer that is
// too small nothing is copied and *cbData receives the size needed.
LONG CopyValue(const RegistryValue& value, DWORD* type, BYTE* data, DWORD* cbData) {
  auto size = static_cast<DWORD>(value.data.size());
  if (type != nullptr)
    *type = value.type;
  if (data != nullptr && *cbData < size) {
    *cbData = size;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr && size > 0)
    std::memcpy(data, value.data.data(), size);
  if (cbData != nullptr)
    *cbData = size;
  return ERROR_SUCCESS;
}

// Copies a name with its terminator if it fits in *cch characters; *cch then
// receives its length without the terminator. Too small: nothing is written.
LONG CopyName(const std::string& name, char* out, DWORD* cch) {
  if (name.size() >= *cch)
    return ERROR_MORE_DATA;
  std::memcpy(out, name.c_str(), name.size() + 1);
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Builds the value to store. A REG_SZ ends at its first zero within cbData and
// is stored with one terminating zero; it may not hold a line break, which the
// file cannot represent. Other types are stored as the bytes given.
LONG MakeValue(const char* valueName, DWORD type, const BYTE* data, DWORD cbData,
               RegistryValue& value) {
  if (data == nullptr && cbData > 0)
    return ERROR_INVALID_PARAMETER;
  value.name = valueName != nullptr ? valueName : "";
  value.type = type;
  if (!IsWritableText(value.name))
    return ERROR_INVALID_PARAMETER;
  if (type == REG_SZ) {
    const auto* text = reinterpret_cast<const char*>(data);
    std::string_view str(text, cbData > 0 ? strnlen(text, cbData) : 0);
    if (!IsWritableText(str))
      return ERROR_INVALID_PARAMETER;
    value.data.assign(str.begin(), str.end());
    value.data.push_back(0);
    return ERROR_SUCCESS;
  }
  if (type == REG_DWORD && cbData != 4)
    return ERROR_INVALID_PARAMETER;
  if (cbData > 0)
    value.data.assign(data, data + cbData);
  return ERROR_SUCCESS;
}

// The C interface must not let an exception escape; only allocation can throw.
template <typename Body>
LONG Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

}  // namespace
}  // namespace qzplatform

using namespace qzplatform;

extern "C" {

LONG RegOpenKeyExA(HKEY hKey, const char* subKey, DWORD /*options*/, DWORD samDesired,
                   HKEY* result) {
  return Guarded([&]() -> LONG {
    if (result == nullptr)
      return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyRef ref;
    std::string path;
    RegistryModel model;
    if (LONG r = ResolveAndLoad(hKey, 0, ref, model); r != ERROR_SUCCESS)
      return r;
    if (!JoinPath(ref, subKey, path))
      return ERROR_INVALID_PARAMETER;
    if (!model.HasKey(path))
      return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(std::move(path), samDesired);
    return ERROR_SUCCESS;
  });
}

LONG RegCreateKeyExA(HKEY hKey, const char* subKey, DWORD /*reserved*/, char* /*className*/,
                     DWORD /*options*/, DWORD samDesired, void* /*securityAttributes*/,
                     HKEY* result, DWORD* disposition) {
  return Guarded([&]() -> LONG {
    if (result == nullptr || subKey == nullptr)
      return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyRef ref;
    std::string path;
    if (LONG r = Resolve(hKey, 0, ref); r != ERROR_SUCCESS)
      return r;
    if (!JoinPath(ref, subKey, path))
      return ERROR_INVALID_PARAMETER;
    bool created = false;
    LONG r = UpdateRegistry([&](RegistryModel& model) -> LONG {
      if (LONG check = CheckNotDeleted(model, ref); check != ERROR_SUCCESS)
        return check;
      if (model.HasKey(path))
        return ERROR_SUCCESS;
      if (CheckAccess(ref, KEY_CREATE_SUB_KEY) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
      created = model.CreateKey(path);
      return ERROR_SUCCESS;
    });
    if (r != ERROR_SUCCESS)
      return r;
    *result = NewHandle(std::move(path), samDesired);
    if (disposition != nullptr)
      *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  });
}

LONG RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CURRENT_USER)
    return ERROR_SUCCESS;
  {
    std::lock_guard lock(openHandlesMutex);
    if (openHandles.erase(hKey) == 0)
      return ERROR_INVALID_HANDLE;
  }
  delete hKey;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData) {
  return Guarded([&]() -> LONG {
    if (reserved != nullptr || (data != nullptr && cbData == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    KeyRef ref;
    RegistryModel model;
    if (LONG r = ResolveAndLoad(hKey, KEY_QUERY_VALUE, ref, model); r != ERROR_SUCCESS)
      return r;
    const RegistryValue* value = model.FindValue(ref.path, valueName != nullptr ? valueName : "");
    if (value == nullptr)
      return ERROR_FILE_NOT_FOUND;
    return CopyValue(*value, type, data, cbData);
  });
}

LONG RegSetValueExA(HKEY hKey, const char* valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD cbData) {
  return Guarded([&]() -> LONG {
    KeyRef ref;
    RegistryValue value;
    if (LONG r = Resolve(hKey, KEY_SET_VALUE, ref); r != ERROR_SUCCESS)
      return r;
    if (LONG r = MakeValue(valueName, type, data, cbData, value); r != ERROR_SUCCESS)
      return r;
    return UpdateRegistry([&](RegistryModel& model) -> LONG {
      if (LONG r = CheckNotDeleted(model, ref); r != ERROR_SUCCESS)
        return r;
      model.SetValue(ref.path, std::move(value));
      return ERROR_SUCCESS;
    });
  });
}

LONG RegDeleteValueA(HKEY hKey, const char* valueName) {
  return Guarded([&]() -> LONG {
    KeyRef ref;
    if (LONG r = Resolve(hKey, KEY_SET_VALUE, ref); r != ERROR_SUCCESS)
      return r;
    return UpdateRegistry([&](RegistryModel& model) -> LONG {
      if (LONG r = CheckNotDeleted(model, ref); r != ERROR_SUCCESS)
        return r;
      bool found = model.DeleteValue(ref.path, valueName != nullptr ? valueName : "");
      return found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
  });
}

LONG RegDeleteTreeA(HKEY hKey, const char* subKey) {
  return Guarded([&]() -> LONG {
    KeyRef ref;
    std::string path;
    // Deleting changes the key's content, so it needs the right to change values.
    if (LONG r = Resolve(hKey, KEY_SET_VALUE, ref); r != ERROR_SUCCESS)
      return r;
    if (!JoinPath(ref, subKey, path))
      return ERROR_INVALID_PARAMETER;
    bool keepKey = subKey == nullptr || *subKey == '\0';
    return UpdateRegistry([&](RegistryModel& model) -> LONG {
      if (LONG r = CheckNotDeleted(model, ref); r != ERROR_SUCCESS)
        return r;
      return model.DeleteTree(path, keepKey) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
  });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD index, char* name, DWORD* cchName, DWORD* /*reserved*/,
                   char* /*className*/, DWORD* /*cchClassName*/, void* /*lastWriteTime*/) {
  return Guarded([&]() -> LONG {
    if (name == nullptr || cchName == nullptr)
      return ERROR_INVALID_PARAMETER;
    KeyRef ref;
    RegistryModel model;
    if (LONG r = ResolveAndLoad(hKey, KEY_ENUMERATE_SUB_KEYS, ref, model); r != ERROR_SUCCESS)
      return r;
    std::vector<std::string> names = model.SubKeyNames(ref.path);
    if (index >= names.size())
      return ERROR_NO_MORE_ITEMS;
    return CopyName(names[index], name, cchName);
  });
}

LONG RegEnumValueA(HKEY hKey, DWORD index, char* valueName, DWORD* cchValueName,
                   DWORD* /*reserved*/, DWORD* type, BYTE* data, DWORD* cbData) {
  return Guarded([&]() -> LONG {
    if (valueName == nullptr || cchValueName == nullptr || (data != nullptr && cbData == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    KeyRef ref;
    RegistryModel model;
    if (LONG r = ResolveAndLoad(hKey, KEY_QUERY_VALUE, ref, model); r != ERROR_SUCCESS)
      return r;
    const std::vector<RegistryValue>& values = *model.Values(ref.path);
    if (index >= values.size())
      return ERROR_NO_MORE_ITEMS;
    const RegistryValue& value = values[index];
    // Both parts are checked before anything is written.
    if (value.name.size() >= *cchValueName)
      return ERROR_MORE_DATA;
    if (LONG r = CopyValue(value, type, data, cbData); r != ERROR_SUCCESS)
      return r;
    return CopyName(value.name, valueName, cchValueName);
  });
}

LONG QzRegistryGetDamageReport(DWORD* count, char* copyPath, DWORD* cchCopyPath, char* message,
                               DWORD* cchMessage) {
  return Guarded([&]() -> LONG {
    if ((copyPath != nullptr && cchCopyPath == nullptr) ||
        (message != nullptr && cchMessage == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    const RegistryDamageReport report = RegistryDamage();
    if (count != nullptr)
      *count = static_cast<DWORD>(report.count);
    if (report.count == 0) {
      for (DWORD* size : {cchCopyPath, cchMessage}) {
        if (size != nullptr)
          *size = 0;
      }
      return ERROR_FILE_NOT_FOUND;
    }
    // Both buffers are checked before either is written.
    const auto pathSize = static_cast<DWORD>(report.copyPath.size() + 1);
    const auto messageSize = static_cast<DWORD>(report.message.size() + 1);
    const bool pathFits = copyPath == nullptr || *cchCopyPath >= pathSize;
    const bool messageFits = message == nullptr || *cchMessage >= messageSize;
    if (pathFits && messageFits) {
      if (copyPath != nullptr)
        std::memcpy(copyPath, report.copyPath.c_str(), pathSize);
      if (message != nullptr)
        std::memcpy(message, report.message.c_str(), messageSize);
    }
    if (cchCopyPath != nullptr)
      *cchCopyPath = pathSize;
    if (cchMessage != nullptr)
      *cchMessage = messageSize;
    return pathFits && messageFits ? ERROR_SUCCESS : ERROR_MORE_DATA;
  });
}

LONG QzRegistryGetStoreProblem(DWORD* count, char* reason, DWORD* cchReason) {
  return Guarded([&]() -> LONG {
    if (reason != nullptr && cchReason == nullptr)
      return ERROR_INVALID_PARAMETER;
    const RegistryProblemReport report = RegistryStoreProblem();
    if (count != nullptr)
      *count = static_cast<DWORD>(report.count);
    if (report.count == 0) {
      if (cchReason != nullptr)
        *cchReason = 0;
      return ERROR_FILE_NOT_FOUND;
    }
    const auto size = static_cast<DWORD>(report.reason.size() + 1);
    const bool fits = reason == nullptr || *cchReason >= size;
    if (reason != nullptr && fits)
      std::memcpy(reason, report.reason.c_str(), size);
    if (cchReason != nullptr)
      *cchReason = size;
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
  });
}

LONG QzRegistryCheckValueRead(HKEY hKey, const char* subKey, const char* valueName, char* why,
                              DWORD cchWhy) {
  return Guarded([&]() -> LONG {
    std::string text;
    const LONG result = [&]() -> LONG {
      KeyRef ref;
      std::string path;
      if (LONG r = Resolve(hKey, 0, ref); r != ERROR_SUCCESS)
        return r;
      if (!JoinPath(ref, subKey, path))
        return ERROR_INVALID_PARAMETER;
      const std::string file = RegistryFilePath();
      if (file.empty())
        return ERROR_SUCCESS;
      RegistryModel model;
      if (LoadRegistry(model) != ERROR_SUCCESS) {
        const RegistryProblemReport problem = RegistryStoreProblem();
        text = problem.count > 0 ? problem.reason : file + " cannot be read";
        return ERROR_BADDB;
      }
      if (model.MayHoldUnreadValue(path, valueName != nullptr ? valueName : "")) {
        text = file + " holds lines that could not be read (\"; unreadable\" comments)";
        return ERROR_INVALID_DATA;
      }
      return ERROR_SUCCESS;
    }();
    if (why != nullptr && cchWhy > 0) {
      const std::size_t n = std::min<std::size_t>(text.size(), cchWhy - 1);
      std::memcpy(why, text.data(), n);
      why[n] = '\0';
    }
    return result;
  });
}

}  // extern "C"
