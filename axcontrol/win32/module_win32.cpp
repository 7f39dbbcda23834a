// The control module QzlinkAXCtrlE.ocx: the in-process server entry points,
// the class factory and the registration.
#include <olectl.h>
#include <windows.h>

#include <string>

#include "QzlinkAXCtrlE_h.h"
#include "axcontrol/win32/com_support.h"
#include "axcontrol/win32/library_binding_win32.h"
#include "axcontrol/win32/qzlink_ctrl_win32.h"

namespace qzaxctrl::win32 {
namespace {

constexpr char kProgId[] = "QzlinkAXCtrlE.QzlinkCtrl";
constexpr char kProgIdVersioned[] = "QzlinkAXCtrlE.QzlinkCtrl.1";
constexpr char kDescription[] = "QzlinkCtrl Control";
constexpr WORD kTypeLibMajor = 1;
constexpr WORD kTypeLibMinor = 0;
constexpr LCID kTypeLibLocale = 0x409;

LONG serverLocks = 0;

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object of the module.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    return QzlinkCtrl::Create(QzlinkeBinding(), iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&serverLocks);
    } else {
      InterlockedDecrement(&serverLocks);
    }
    return S_OK;
  }
};

ClassFactory factory;

std::string GuidText(const GUID& guid) {
  wchar_t wide[40] = {};
  StringFromGUID2(guid, wide, 40);
  char text[40] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

std::string ClsidKey() {
  return "CLSID\\" + GuidText(CLSID_QzlinkCtrl);
}

// Sets the value (name null: the default value) of HKCR\key, creating it.
bool SetKey(const std::string& key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG r =
      RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  return r == ERROR_SUCCESS;
}

bool CreateKey(const std::string& key) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

void DeleteTree(const std::string& key) {
  RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
}

// Whether the class is registered for the other bitness too (32-bit and
// 64-bit servers registered side by side share the ProgID keys).
bool OtherViewRegistered() {
#if defined(_WIN64)
  const REGSAM other = KEY_WOW64_32KEY;
#else
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
    return false;
  }
  const REGSAM other = KEY_WOW64_64KEY;
#endif
  HKEY handle = nullptr;
  const std::string key = "Software\\Classes\\" + ClsidKey() + "\\InprocServer32";
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | other, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

#if defined(_WIN64)
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

}  // namespace
}  // namespace qzaxctrl::win32

using namespace qzaxctrl::win32;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_QzlinkCtrl)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory.QueryInterface(iid, object);
}

// The notification window of every thread that made a control keeps this
// module's window procedure, and the thread state a reference to the active
// control: once used, the module stays loaded.
STDAPI DllCanUnloadNow() {
  return S_FALSE;
}

STDAPI DllRegisterServer() {
  const std::string path = ThisModulePath();
  if (path.empty()) {
    return SELFREG_E_CLASS;
  }
  const std::string clsid = ClsidKey();
  const std::string clsidText = GuidText(CLSID_QzlinkCtrl);
  const bool ok =
      SetKey(clsid, nullptr, kDescription) && SetKey(clsid + "\\InprocServer32", nullptr, path) &&
      SetKey(clsid + "\\InprocServer32", "ThreadingModel", "Apartment") &&
      SetKey(clsid + "\\ProgID", nullptr, kProgIdVersioned) &&
      SetKey(clsid + "\\VersionIndependentProgID", nullptr, kProgId) &&
      CreateKey(clsid + "\\Control") && CreateKey(clsid + "\\Programmable") &&
      SetKey(clsid + "\\ToolboxBitmap32", nullptr, path + ", 30000") &&
      SetKey(clsid + "\\MiscStatus", nullptr, "0") &&
      SetKey(clsid + "\\MiscStatus\\1", nullptr, std::to_string(kQzlinkCtrlMiscStatus)) &&
      SetKey(clsid + "\\TypeLib", nullptr, GuidText(LIBID_QzlinkAXCtrlE)) &&
      SetKey(clsid + "\\Version", nullptr, "1.0") && SetKey(kProgId, nullptr, kDescription) &&
      SetKey(std::string(kProgId) + "\\CLSID", nullptr, clsidText) &&
      SetKey(std::string(kProgId) + "\\CurVer", nullptr, kProgIdVersioned) &&
      SetKey(kProgIdVersioned, nullptr, kDescription) &&
      SetKey(std::string(kProgIdVersioned) + "\\CLSID", nullptr, clsidText);
  if (!ok) {
    return SELFREG_E_CLASS;
  }
  std::wstring wide(path.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  ITypeLib* lib = nullptr;
  if (FAILED(LoadTypeLibEx(wide.c_str(), REGKIND_REGISTER, &lib))) {
    return SELFREG_E_TYPELIB;
  }
  lib->Release();
  return S_OK;
}

STDAPI DllUnregisterServer() {
  DeleteTree(ClsidKey());
  if (!OtherViewRegistered()) {
    DeleteTree(kProgId);
    DeleteTree(kProgIdVersioned);
  }
  // Removes this bitness's entry; the library's key goes with the last one.
  const HRESULT hr = UnRegisterTypeLib(LIBID_QzlinkAXCtrlE, kTypeLibMajor, kTypeLibMinor,
                                       kTypeLibLocale, kSysKind);
  if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_CANTLOADLIBRARY) {
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}
