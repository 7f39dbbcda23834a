// qzregsvr: registers or unregisters an in-process server module by calling
// its DllRegisterServer or DllUnregisterServer; also prints a module's type
// library as IDL or its version metadata.
//
// usage: qzregsvr [-u] [-s] MODULE      register (-u: unregister; -s: silent)
//        qzregsvr --idl MODULE          print the type library as IDL
//        qzregsvr --info MODULE         print the version metadata
// Exit status: 0 done, 2 usage, 3 the module cannot be loaded, 4 it lacks
// the entry point, 5 the entry point failed.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/automation/automation.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qzregsvr [-u] [-s] MODULE\n"
               "       qzregsvr --idl MODULE\n"
               "       qzregsvr --info MODULE\n");
  return 2;
}

void PrintInfo(const qzauto::ModuleMetadata& m) {
  std::printf("FileVersion: %s\nProductVersion: %s\nFixedVersion: %u.%u.%u.%u\n",
              m.fileVersion.c_str(), m.productVersion.c_str(), m.fixedVersion[0], m.fixedVersion[1],
              m.fixedVersion[2], m.fixedVersion[3]);
  std::printf("Comments: %s\nProductName: %s\nInternalName: %s\nOriginalFilename: %s\n",
              m.comments.c_str(), m.productName.c_str(), m.internalName.c_str(),
              m.originalFilename.c_str());
  std::printf("CompanyName: %s\nTranslation: %s\nOLESelfRegister: %s\nMiscStatus: 0x%X\n",
              m.companyName.c_str(), m.translation.c_str(), m.oleSelfRegister ? "yes" : "no",
              m.miscStatus);
  std::printf("ToolboxBitmap: id %d, %zu bytes\n", m.toolboxBitmapId, m.toolboxBitmap.size());
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false;
  bool silent = false;
  std::string mode = "register";
  const char* module = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-u") == 0) {
      unregister = true;
    } else if (std::strcmp(argv[i], "-s") == 0) {
      silent = true;
    } else if (std::strcmp(argv[i], "--idl") == 0 || std::strcmp(argv[i], "--info") == 0) {
      mode = argv[i] + 2;
    } else if (argv[i][0] == '-' || module != nullptr) {
      return Usage();
    } else {
      module = argv[i];
    }
  }
  if (module == nullptr) {
    return Usage();
  }
  // Registration records the module's absolute path.
  char resolved[PATH_MAX];
  const char* path = realpath(module, resolved) != nullptr ? resolved : module;
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "qzregsvr: cannot load %s: %s\n", module, dlerror());
    return 3;
  }
  const char* entry = mode == "idl"    ? "DllGetTypeLibrary"
                      : mode == "info" ? "DllGetModuleMetadata"
                      : unregister     ? "DllUnregisterServer"
                                       : "DllRegisterServer";
  void* fn = dlsym(handle, entry);
  if (fn == nullptr) {
    std::fprintf(stderr, "qzregsvr: %s has no entry point %s\n", module, entry);
    return 4;
  }
  if (mode == "idl") {
    std::fputs(qzauto::PrintIdl(*reinterpret_cast<qzauto::DllGetTypeLibraryFn>(fn)()).c_str(),
               stdout);
    return 0;
  }
  if (mode == "info") {
    PrintInfo(*reinterpret_cast<qzauto::DllGetModuleMetadataFn>(fn)());
    return 0;
  }
  const qzauto::HRESULT hr = reinterpret_cast<qzauto::DllRegisterServerFn>(fn)();
  if (qzauto::Failed(hr)) {
    std::fprintf(stderr, "qzregsvr: %s in %s failed with error 0x%08X\n", entry, module,
                 static_cast<unsigned>(hr));
    return 5;
  }
  if (!silent) {
    std::printf("%s in %s succeeded.\n", entry, module);
  }
  return 0;
}
