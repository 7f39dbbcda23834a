// The registry store's file: where it lives, how it is read, and how it is
// changed so that a crash never leaves half a file and processes changing it
// at the same time never lose each other's changes.
#ifndef QZ_PLATFORM_REGISTRY_STORAGE_H
#define QZ_PLATFORM_REGISTRY_STORAGE_H

#include <functional>
#include <string>

#include "platform/registry_file.h"

namespace qzplatform {

// $QZLINK_REGISTRY when set and not empty, else
// ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg; "" when there is no
// HOME either. Looked up at every call, so a changed environment takes effect.
std::string RegistryFilePath();

// When that path is a symbolic link (or a chain of them), the store is the
// file it finally points to, which need not exist yet: it is read, locked
// ("<target>.lock"), replaced and moved aside there, and the link stays.

// Reads the current store. A missing file is an empty store. A file that
// cannot be parsed is moved aside to "<file>.corrupt-<YYYYmmdd-HHMMSS>[-n]"
// (under the lock, with one line on standard error) and the store is empty;
// a read-only one stays in place and reads as empty.
LONG LoadRegistry(RegistryModel& model);

// Read-modify-write of the store under an exclusive flock on "<file>.lock":
// reads the file, runs change on its content and, when change returns
// ERROR_SUCCESS and altered the content, writes a temporary file in the same
// folder (mode 0600), flushes it and renames it over the file. A read-only
// file (no write permission for its owner, or none for this process) is never
// replaced: the change is refused with ERROR_ACCESS_DENIED. Returns change's
// result or the I/O failure as a Win32 error code.
LONG UpdateRegistry(const std::function<LONG(RegistryModel&)>& change);

// The damaged store files this process found: how many, and for the last one
// where it was moved ("" when it was read-only and left in place) and the
// line written on standard error about it.
struct RegistryDamageReport {
  unsigned long count = 0;
  std::string copyPath;
  std::string message;
};
RegistryDamageReport RegistryDamage();

}  // namespace qzplatform

#endif  // QZ_PLATFORM_REGISTRY_STORAGE_H
