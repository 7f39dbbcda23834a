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

// Reads the current store. A missing file is an empty store. A path that is
// not a regular file (a folder, a named pipe, a device) is never opened:
// ERROR_BADDB, reported once (RegistryStoreProblem). A file with lines that
// cannot be read is read line by line, as a registry import reads it; under
// the lock its bytes are copied to "<file>.corrupt-<YYYYmmdd-HHMMSS>[-n]"
// and it is replaced by what could be read, with the unreadable lines kept in
// it as comments (RegistryModel::KeepLine), so that they are never lost and
// every program learns that the store was not read in full. One line on
// standard error and RegistryDamage() tell it. A damaged read-only file
// stays as it is and reads as what could be read.
LONG LoadRegistry(RegistryModel& model);

// Read-modify-write of the store under an exclusive flock on "<file>.lock":
// reads the file, runs change on its content and, when change returns
// ERROR_SUCCESS and altered the content, writes a temporary file in the same
// folder (mode 0600), flushes it and renames it over the file. A read-only
// file (no write permission for its owner, or none for this process) is never
// replaced: the change is refused with ERROR_ACCESS_DENIED. Returns change's
// result or the I/O failure as a Win32 error code; a store that cannot keep
// the change is reported once per reason (RegistryStoreProblem).
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

// Why the store cannot keep changes, as this process found it: how many
// different reasons so far, and the last one ("<file> is read-only (mode
// 0444)", "<file> is a directory, not a regular file: ..."). Looks at the
// store's file first, so that a read-only file or one that is not a regular
// file is found before anything was refused.
struct RegistryProblemReport {
  unsigned long count = 0;
  std::string reason;
};
RegistryProblemReport RegistryStoreProblem();

}  // namespace qzplatform

#endif  // QZ_PLATFORM_REGISTRY_STORAGE_H
