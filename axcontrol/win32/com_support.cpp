#include "axcontrol/win32/com_support.h"

#include <vector>

#include "QzlinkAXCtrlE_h.h"

namespace qzaxctrl::win32 {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

std::string ThisModulePath() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) {
      return {};
    }
    if (n < path.size()) {
      return std::string(path.data(), n);
    }
    if (path.size() >= 32768) {
      return {};
    }
    path.resize(path.size() * 2);
  }
}

std::string ThisModuleFolder() {
  const std::string path = ThisModulePath();
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

HRESULT LoadOwnTypeLib(ITypeLib** lib) {
  // Loaded once and kept for the life of the process; a failure is retried.
  static ITypeLib* cached = nullptr;
  static SRWLOCK lock = SRWLOCK_INIT;
  AcquireSRWLockExclusive(&lock);
  HRESULT hr = S_OK;
  if (cached == nullptr) {
    const std::string path = ThisModulePath();
    std::wstring wide(path.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(),
                                      static_cast<int>(wide.size()));
    hr = n > 0 ? LoadTypeLibEx(wide.c_str(), REGKIND_NONE, &cached) : TYPE_E_CANTLOADLIBRARY;
  }
  if (SUCCEEDED(hr)) {
    cached->AddRef();
    *lib = cached;
  }
  ReleaseSRWLockExclusive(&lock);
  return hr;
}

HRESULT OwnTypeInfo(const GUID& guid, ITypeInfo** info) {
  Ref<ITypeLib> lib;
  HRESULT hr = LoadOwnTypeLib(lib.Out());
  if (FAILED(hr)) {
    return hr;
  }
  return lib->GetTypeInfoOfGuid(guid, info);
}

HRESULT RaiseError(HRESULT scode, const std::string& description) {
  Ref<ICreateErrorInfo> create;
  if (SUCCEEDED(CreateErrorInfo(create.Out()))) {
    std::wstring text(description.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, description.c_str(), -1, text.data(),
                        static_cast<int>(text.size()));
    create->SetGUID(IID__QzlinkCtrl);
    create->SetSource(const_cast<LPOLESTR>(L"QzlinkAXCtrlE.QzlinkCtrl"));
    create->SetDescription(text.data());
    Ref<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(info.Out())))) {
      SetErrorInfo(0, info.Get());
    }
  }
  return scode;
}

}  // namespace qzaxctrl::win32
