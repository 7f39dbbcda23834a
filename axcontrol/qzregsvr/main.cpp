// qzregsvr: registers or unregisters an in-process server module by calling
// its DllRegisterServer or DllUnregisterServer; also prints a module's type
// library as IDL or its version metadata. The options, exit statuses and
// environment are in kHelp below (the manual page is made from it).
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/automation/automation.h"
#include "qz_version.h"

namespace {

constexpr char kHelp[] =
    R"(qzregsvr - register an automation server module, or show its type library

Usage: qzregsvr [-u] [-s] MODULE
  or:  qzregsvr --idl MODULE
  or:  qzregsvr --info MODULE

Registers the in-process automation server MODULE (such as the camera
control QzlinkAXCtrlE.so) for the current user: calls the module's
DllRegisterServer, which records its ProgIDs, its class with the module's
absolute path, and its type library in the registry store. Scripts then
create its objects by ProgID (WScript.CreateObject in qzscript). With -u it
calls DllUnregisterServer, which removes those entries again.

Options:
  -u, --unregister  unregister the module instead of registering it
  -s, --silent      print nothing when the (un)registration succeeds
      --idl         print the module's type library as IDL
      --info        print the module's version information
  -h, --help        print this help and exit
      --version     print the version and exit

Exit status:
  0  done
  2  bad command line
  3  the module cannot be loaded
  4  the module lacks the entry point
  5  the entry point reported a failure

Environment:
  QZLINK_REGISTRY  the registry store file that registration changes
                   (default: $XDG_CONFIG_HOME/qzlink/registry.reg, and
                   without XDG_CONFIG_HOME ~/.config/qzlink/registry.reg)

Examples:
  qzregsvr build/axcontrol/QzlinkAXCtrlE.so
      register the camera control
  qzregsvr -u -s build/axcontrol/QzlinkAXCtrlE.so
      unregister it, silently
  qzregsvr --idl build/axcontrol/QzlinkAXCtrlE.so
      show its methods, properties and events
)";

// A bad command line: one line on standard error, status 2.
int Usage(const std::string& problem) {
  std::fprintf(stderr, "qzregsvr: %s (see 'qzregsvr --help')\n", problem.c_str());
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
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") {
        optionsEnded = true;
      } else if (arg == "-h" || arg == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
      } else if (arg == "--version") {
        std::fputs(QZ_VERSION_LINE("qzregsvr"), stdout);
        return 0;
      } else if (arg == "-u" || arg == "--unregister") {
        unregister = true;
      } else if (arg == "-s" || arg == "--silent") {
        silent = true;
      } else if (arg == "--idl" || arg == "--info") {
        if (mode != "register" && mode != arg.substr(2)) {
          return Usage("--idl and --info exclude each other");
        }
        mode = arg.substr(2);
      } else {
        return Usage("unknown option '" + std::string(arg) + "'");
      }
    } else if (module != nullptr) {
      return Usage("one MODULE only, got '" + std::string(module) + "' and '" + std::string(arg) +
                   "'");
    } else {
      module = argv[i];
    }
  }
  if (module == nullptr) {
    return Usage("no MODULE given");
  }
  if (unregister && mode != "register") {
    return Usage("-u cannot be combined with --" + mode);
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
