// Late binding to the camera link library: the library file is loaded on the
// first call that needs it, and each function is bound by its exact name on
// its own first call; the address is kept for the life of the module.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/automation/automation.h"

namespace qzaxctrl {

class LibraryBinding {
 public:
  // fileName: what the platform's library search looks for (then the
  // control module's own folder). displayName: the name errors give.
  LibraryBinding(std::string fileName, std::string displayName);
  ~LibraryBinding() = default;
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  // The address of entry (see type_library.h). Binding failures are
  // automation errors: DISP_E_EXCEPTION with CTL_E_FILENOTFOUND ("File not
  // found: <display>") or CTL_E_DLLENTRYPOINTNOTFOUND ("Can't find DLL entry
  // point <name> in <display>").
  qzauto::HRESULT Resolve(size_t entry, void** address, qzauto::EXCEPINFO* excepInfo) {
    void* bound = slots_[entry].load(std::memory_order_acquire);
    if (bound != nullptr) {
      *address = bound;
      return qzauto::S_OK;
    }
    return Bind(entry, address, excepInfo);
  }

  template <class Fn>
  qzauto::HRESULT Resolve(size_t entry, Fn* fn, qzauto::EXCEPINFO* excepInfo) {
    void* address = nullptr;
    const qzauto::HRESULT hr = Resolve(entry, &address, excepInfo);
    *fn = reinterpret_cast<Fn>(address);
    return hr;
  }

 private:
  qzauto::HRESULT Bind(size_t entry, void** address, qzauto::EXCEPINFO* excepInfo);

  std::string fileName_;
  std::string displayName_;
  std::mutex mutex_;
  void* handle_ = nullptr;
  std::unique_ptr<std::atomic<void*>[]> slots_;
};

// The binding the control module uses: libqzlinke.so, shown as QZLINKE.DLL.
LibraryBinding& QzlinkeBinding();

}  // namespace qzaxctrl
