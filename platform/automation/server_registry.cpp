// Registration of in-process servers in the platform registry store, and
// creation of objects by ProgID.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <mutex>
#include <unordered_map>

#include "platform/automation/automation.h"
#include "platform/registry.h"

namespace qzauto {
namespace {

const std::string kClasses = "Software\\Classes\\";

// Sets the value (name "" is the key's default value), creating the key.
bool SetText(const std::string& key, const char* name, const std::string& text) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool GetText(const std::string& key, const char* name, std::string* text) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return false;
  }
  char buffer[PATH_MAX + 64] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  const LONG status =
      RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || type != REG_SZ) {
    return false;
  }
  *text = buffer;
  return true;
}

void DeleteTree(const std::string& key) {
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

// Loaded server modules stay loaded for the life of the process, as their
// objects may outlive any one creation.
struct ModuleCache {
  std::mutex mutex;
  std::unordered_map<std::string, void*> handles;
};
ModuleCache& Modules() {
  static ModuleCache cache;
  return cache;
}

}  // namespace

HRESULT RegisterServer(const ServerInfo& info, const std::string& modulePath) {
  const std::string clsid = GuidToString(info.clsid);
  const std::string libid = GuidToString(info.libid);
  const std::string classKey = kClasses + "CLSID\\" + clsid;
  const bool ok =
      SetText(kClasses + info.progId, "", info.description) &&
      SetText(kClasses + info.progId + "\\CLSID", "", clsid) &&
      SetText(kClasses + info.progId + "\\CurVer", "", info.versionedProgId) &&
      SetText(kClasses + info.versionedProgId, "", info.description) &&
      SetText(kClasses + info.versionedProgId + "\\CLSID", "", clsid) &&
      SetText(classKey, "", info.description) &&
      SetText(classKey + "\\InprocServer32", "", modulePath) &&
      SetText(classKey + "\\InprocServer32", "ThreadingModel", info.threadingModel) &&
      SetText(classKey + "\\ProgID", "", info.versionedProgId) &&
      SetText(classKey + "\\VersionIndependentProgID", "", info.progId) &&
      SetText(classKey + "\\Control", "", "") && SetText(classKey + "\\MiscStatus", "", "0") &&
      SetText(classKey + "\\MiscStatus\\1", "", std::to_string(info.miscStatus)) &&
      SetText(classKey + "\\ToolboxBitmap32", "",
              modulePath + ", " + std::to_string(info.toolboxBitmapId)) &&
      SetText(classKey + "\\TypeLib", "", libid) &&
      SetText(classKey + "\\Version", "", info.libVersion) &&
      SetText(kClasses + "TypeLib\\" + libid + "\\" + info.libVersion, "", info.description) &&
      SetText(kClasses + "TypeLib\\" + libid + "\\" + info.libVersion + "\\0\\linux", "",
              modulePath);
  return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterServer(const ServerInfo& info) {
  DeleteTree(kClasses + info.progId);
  DeleteTree(kClasses + info.versionedProgId);
  DeleteTree(kClasses + "CLSID\\" + GuidToString(info.clsid));
  DeleteTree(kClasses + "TypeLib\\" + GuidToString(info.libid));
  return S_OK;
}

HRESULT ClsidFromProgId(const std::string& progId, CLSID* clsid) {
  std::string text;
  if (progId.empty() || progId.find('\\') != std::string::npos ||
      !GetText(kClasses + progId + "\\CLSID", "", &text) || !GuidFromString(text, clsid)) {
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

HRESULT ModulePathOfClass(const CLSID& clsid, std::string* path) {
  if (!GetText(kClasses + "CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "", path) ||
      path->empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  return S_OK;
}

HRESULT CreateObject(const std::string& progId, const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  CLSID clsid;
  HRESULT hr = ClsidFromProgId(progId, &clsid);
  if (Failed(hr)) {
    return hr;
  }
  std::string path;
  hr = ModulePathOfClass(clsid, &path);
  if (Failed(hr)) {
    return hr;
  }
  void* handle = nullptr;
  {
    ModuleCache& cache = Modules();
    std::lock_guard lock(cache.mutex);
    auto it = cache.handles.find(path);
    if (it != cache.handles.end()) {
      handle = it->second;
    } else {
      handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        return CO_E_DLLNOTFOUND;
      }
      cache.handles.emplace(path, handle);
    }
  }
  auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  if (getClassObject == nullptr) {
    return CO_E_ERRORINDLL;
  }
  ComPtr<IClassFactory> factory;
  hr = getClassObject(clsid, IID_IClassFactory, factory.OutVoid());
  if (Failed(hr)) {
    return hr;
  }
  return factory->CreateInstance(nullptr, iid, object);
}

std::string ModulePathOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) {
    return info.dli_fname;
  }
  return resolved;
}

std::vector<uint8_t> MakeToolboxBitmap(int width, int height) {
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t pixelBytes = static_cast<uint32_t>(rowBytes * height);
  const uint32_t fileBytes = 54 + pixelBytes;
  std::vector<uint8_t> bmp(fileBytes, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    bmp[at] = static_cast<uint8_t>(v);
    bmp[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, fileBytes);
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, pixelBytes);
  // A grey background with a dark camera body and a lens in the middle.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t shade = 0xC0;
      if (y >= 4 && y <= height - 4 && x >= 2 && x <= width - 5)
        shade = 0x40;
      if (y >= 6 && y <= height - 6 && x >= 6 && x <= 9)
        shade = 0xF0;
      const size_t at = 54 + static_cast<size_t>(y * rowBytes + x * 3);
      bmp[at] = bmp[at + 1] = bmp[at + 2] = shade;
    }
  }
  return bmp;
}

}  // namespace qzauto
