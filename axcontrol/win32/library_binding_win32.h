// Late binding to the camera link library QZLINKE.DLL: the file is loaded on
// the first call that needs it and each function is bound by its exact,
// case-sensitive export name on its own first call (QzGetLastError and
// QzGetStatus under their decorated names where the plain ones are missing);
// the address is kept for the life of the process.
//
// Where the file is looked for: first the control's own folder (the module
// handle's path), where an installation puts it; then the ordinary search of
// LoadLibraryA (the host program's folder, the system folders, the current
// folder, PATH). The ordinary search alone would not look beside an
// in-process server.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "axcontrol/control_members.h"

namespace qzaxctrl::win32 {

class LibraryBinding {
 public:
  explicit LibraryBinding(const char* fileName);
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  // The address of entry (control_members.h), or a control error with the
  // thread's error information set: 53 "File not found: QZLINKE.DLL" or 453
  // "Can't find DLL entry point <name> in QZLINKE.DLL".
  HRESULT Resolve(size_t entry, void** address) {
    void* bound = slots_[entry].load(std::memory_order_acquire);
    if (bound != nullptr) {
      *address = bound;
      return S_OK;
    }
    return Bind(entry, address);
  }
  template <class Fn>
  HRESULT Resolve(size_t entry, Fn* fn) {
    void* address = nullptr;
    const HRESULT hr = Resolve(entry, &address);
    *fn = reinterpret_cast<Fn>(address);
    return hr;
  }

 private:
  HRESULT Bind(size_t entry, void** address);

  const char* fileName_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  HMODULE handle_ = nullptr;
  std::unique_ptr<std::atomic<void*>[]> slots_;
};

// The binding of the control module.
LibraryBinding& QzlinkeBinding();

}  // namespace qzaxctrl::win32
