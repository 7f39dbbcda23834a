#include "axcontrol/library_binding.h"

#include <dlfcn.h>

#include "axcontrol/type_library.h"

namespace qzaxctrl {

LibraryBinding::LibraryBinding(std::string fileName, std::string displayName)
    : fileName_(std::move(fileName)),
      displayName_(std::move(displayName)),
      slots_(new std::atomic<void*>[EntryCount()]) {
  for (size_t i = 0; i < EntryCount(); ++i) {
    slots_[i].store(nullptr, std::memory_order_relaxed);
  }
}

qzauto::HRESULT LibraryBinding::Bind(size_t entry, void** address, qzauto::EXCEPINFO* excepInfo) {
  std::lock_guard lock(mutex_);
  if (handle_ == nullptr) {
    // The platform's ordinary search first (LD_LIBRARY_PATH, the run path,
    // the system folders), then the folder this module was loaded from, where
    // an installation puts the library beside the control.
    handle_ = dlopen(fileName_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr && fileName_.find('/') == std::string::npos) {
      const std::string self = qzauto::ModulePathOf(reinterpret_cast<const void*>(&QzlinkeBinding));
      const size_t slash = self.rfind('/');
      if (slash != std::string::npos) {
        handle_ = dlopen((self.substr(0, slash + 1) + fileName_).c_str(), RTLD_NOW | RTLD_LOCAL);
      }
    }
    if (handle_ == nullptr) {
      return qzauto::RaiseError(excepInfo, qzauto::CTL_E_FILENOTFOUND,
                                "File not found: " + displayName_);
    }
  }
  void* bound = dlsym(handle_, EntryName(entry));
  if (bound == nullptr) {
    return qzauto::RaiseError(
        excepInfo, qzauto::CTL_E_DLLENTRYPOINTNOTFOUND,
        std::string("Can't find DLL entry point ") + EntryName(entry) + " in " + displayName_);
  }
  slots_[entry].store(bound, std::memory_order_release);
  *address = bound;
  return qzauto::S_OK;
}

LibraryBinding& QzlinkeBinding() {
  // Never destroyed: the library may still deliver messages while the
  // process's static objects are being destroyed.
  static LibraryBinding* binding = new LibraryBinding("libqzlinke.so", "QZLINKE.DLL");
  return *binding;
}

}  // namespace qzaxctrl
