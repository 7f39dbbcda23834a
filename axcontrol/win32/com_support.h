// Helpers of the Windows control module: the module's own handle and path,
// its embedded type library, and automation errors.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>

namespace qzaxctrl::win32 {

// The control module (QzlinkAXCtrlE.ocx), found from an address inside it.
HMODULE ThisModule();
// Its full path, and its folder with a trailing backslash; empty on failure.
std::string ThisModulePath();
std::string ThisModuleFolder();

// The module's embedded type library (resource TYPELIB 1), loaded once; and
// the type information of one of its types. Both are AddRef'ed for the caller.
HRESULT LoadOwnTypeLib(ITypeLib** lib);
HRESULT OwnTypeInfo(const GUID& guid, ITypeInfo** info);

// Sets the thread's error information (source, description, the interface
// _QzlinkCtrl) and returns scode, for a method of the dual interface.
HRESULT RaiseError(HRESULT scode, const std::string& description);

// Automation errors of the control facility (FACILITY_CONTROL, error n).
constexpr HRESULT ControlError(int n) {
  return static_cast<HRESULT>(0x800A0000u | static_cast<unsigned>(n));
}
constexpr HRESULT kErrFileNotFound = ControlError(53);
constexpr HRESULT kErrSetNotSupportedAtRuntime = ControlError(382);
constexpr HRESULT kErrSetNotPermitted = ControlError(387);
constexpr HRESULT kErrDllEntryPointNotFound = ControlError(453);

// A reference-counted pointer with no more than the control needs.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {
    if (p_)
      p_->AddRef();
  }
  Ref(const Ref& o) : Ref(o.p_) {}
  Ref& operator=(const Ref& o) {
    Ref copy(o);
    std::swap(p_, copy.p_);
    return *this;
  }
  ~Ref() { Reset(); }
  void Reset() {
    if (T* p = p_) {
      p_ = nullptr;
      p->Release();
    }
  }
  T** Out() {
    Reset();
    return &p_;
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace qzaxctrl::win32
