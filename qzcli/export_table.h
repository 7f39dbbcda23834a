// The library's exports that qzcli can call by name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qzcli {

enum class ExportKind {
  kCommand,    // sends a frame; result 1 or 0
  kQuery,      // reads library state; result printed as a number
  kOpen,       // QzOpen: qzcli supplies its own window
  kBytes,      // QzSetManualCommand: the arguments are the bytes to send
  kFrameOut,   // QzGetCmdstr / QzGetLastCmdstr / QzGetMsg: prints a frame
  kLastError,  // QzGetLastError: prints the error and system code
};

struct ExportEntry {
  std::string_view name;
  int arity;  // integer arguments on the command line; -1: one or more
  ExportKind kind;
  std::string arguments;  // argument names, for messages
  // Calls the export with the integer arguments (only for kCommand, kQuery).
  int32_t (*invoke)(const int32_t* args);
};

// Every export, in the order of the library's export list.
std::span<const ExportEntry> Exports();

// The entry for a name (exact, case-sensitive), or nullptr.
const ExportEntry* FindExport(std::string_view name);

}  // namespace qzcli
