#include "axcontrol/win32/library_binding_win32.h"

#include <string>

#include "axcontrol/win32/com_support.h"

namespace qzaxctrl::win32 {

LibraryBinding::LibraryBinding(const char* fileName)
    : fileName_(fileName), slots_(new std::atomic<void*>[EntryCount()]) {
  for (size_t i = 0; i < EntryCount(); ++i) {
    slots_[i].store(nullptr, std::memory_order_relaxed);
  }
}

HRESULT LibraryBinding::Bind(size_t entry, void** address) {
  AcquireSRWLockExclusive(&lock_);
  if (handle_ == nullptr) {
    const std::string folder = ThisModuleFolder();
    if (!folder.empty()) {
      // The altered search also finds what the library itself imports in
      // that folder.
      handle_ =
          LoadLibraryExA((folder + fileName_).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (handle_ == nullptr) {
      handle_ = LoadLibraryA(fileName_);
    }
  }
  HMODULE handle = handle_;
  ReleaseSRWLockExclusive(&lock_);
  if (handle == nullptr) {
    return RaiseError(kErrFileNotFound, std::string("File not found: ") + fileName_);
  }
  void* bound = reinterpret_cast<void*>(GetProcAddress(handle, EntryName(entry)));
  if (bound == nullptr && EntryDecoratedName(entry) != nullptr) {
    bound = reinterpret_cast<void*>(GetProcAddress(handle, EntryDecoratedName(entry)));
  }
  if (bound == nullptr) {
    return RaiseError(kErrDllEntryPointNotFound, std::string("Can't find DLL entry point ") +
                                                     EntryName(entry) + " in " + fileName_);
  }
  slots_[entry].store(bound, std::memory_order_release);
  *address = bound;
  return S_OK;
}

LibraryBinding& QzlinkeBinding() {
  // Never destroyed: the library may deliver messages while the process's
  // static objects are destroyed.
  static LibraryBinding* binding = new LibraryBinding("QZLINKE.DLL");
  return *binding;
}

}  // namespace qzaxctrl::win32
