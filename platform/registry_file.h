// The registry store's content in memory, and its text form: the registry
// editor's export format ("Windows Registry Editor Version 5.00").
//
// Pure code: no files, no locks. registry_storage.cpp reads and writes the
// text; registry.cpp maps the Win32 calls onto RegistryModel.
//
// Key paths are relative to HKEY_CURRENT_USER, components joined by '\',
// "" being HKEY_CURRENT_USER itself. Key and value names compare without
// regard to ASCII letter case and keep the case they were created with.
#ifndef QZ_PLATFORM_REGISTRY_FILE_H
#define QZ_PLATFORM_REGISTRY_FILE_H

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace qzplatform {

inline constexpr std::string_view kRegistryHeader = "Windows Registry Editor Version 5.00";
inline constexpr std::string_view kRegistryRootName = "HKEY_CURRENT_USER";
// The comments that keep a line the store could not read: in its key's
// section, or (its key unknown) at the end of the file. A registry import
// skips them; the store reads them back as lines it could not read.
inline constexpr std::string_view kKeptLinePrefix = "; unreadable, kept: ";
inline constexpr std::string_view kKeptLineOfNoKeyPrefix = "; unreadable, key unknown, kept: ";

struct RegistryValue {
  std::string name;  // "" is the key's default value, written as @
  DWORD type = REG_NONE;
  std::vector<BYTE> data;  // REG_SZ: the text and its terminating zero
};

// Orders key paths case-insensitively, component by component, so that every
// key comes right before its sub-keys ("a", "a\b", "a b").
struct KeyPathLess {
  bool operator()(std::string_view a, std::string_view b) const;
  using is_transparent = void;
};

bool NamesEqual(std::string_view a, std::string_view b);

// True for "" (the root) and for paths of non-empty components that hold
// neither ']' nor a line break, each at most 255 bytes.
bool IsValidKeyPath(std::string_view path);

// True when a REG_SZ text or a value name can be written to a line of the
// file: it holds no line break.
bool IsWritableText(std::string_view text);

class RegistryModel {
 public:
  RegistryModel();

  bool HasKey(std::string_view path) const;
  // Creates the key and every missing key above it; true when the key is new.
  bool CreateKey(std::string_view path);
  // Removes the key and its sub-keys; with keepKey, only its sub-keys and
  // values. The root itself is never removed. False when the key is missing.
  bool DeleteTree(std::string_view path, bool keepKey);
  // Names of the direct sub-keys, in file order.
  std::vector<std::string> SubKeyNames(std::string_view path) const;

  // Values of a key in the order they were first set; null for a missing key.
  const std::vector<RegistryValue>* Values(std::string_view path) const;
  const RegistryValue* FindValue(std::string_view path, std::string_view name) const;
  // Replaces or adds the value; the key must exist (false otherwise).
  bool SetValue(std::string_view path, RegistryValue value);
  bool DeleteValue(std::string_view path, std::string_view name);

  // Every key with its values, the root first, then in KeyPathLess order.
  const std::map<std::string, std::vector<RegistryValue>, KeyPathLess>& Keys() const {
    return keys_;
  }

  // Lines of the file that could not be read, kept as they stood so that
  // writing the store back loses none of them: those of a key (which must
  // exist), and those whose key is unknown (a section line that could not be
  // read and the lines under it, a whole file that could not be read).
  void KeepLine(std::string_view path, std::string line);
  void KeepLineOfNoKey(std::string line);
  const std::vector<std::string>* KeptLines(std::string_view path) const;
  const std::vector<std::string>& KeptLinesOfNoKey() const { return keptOfNoKey_; }
  bool HasKeptLines() const { return !kept_.empty() || !keptOfNoKey_.empty(); }
  // True when a kept line may have held this value: a kept line of the key
  // that names it or whose name cannot be read, or any line of no key.
  // Setting or deleting the value drops the kept lines that name it.
  bool MayHoldUnreadValue(std::string_view path, std::string_view name) const;

 private:
  void DropKeptLinesNaming(std::string_view path, std::string_view name);

  std::map<std::string, std::vector<RegistryValue>, KeyPathLess> keys_;
  std::map<std::string, std::vector<std::string>, KeyPathLess> kept_;
  std::vector<std::string> keptOfNoKey_;
};

struct RegistryParseError {
  std::size_t line = 0;  // 1-based
  std::string reason;
};

// Reads the file text (UTF-8, LF or CRLF, optional byte-order mark) line by
// line, as a registry import does: every line that can be read is applied,
// every other one is kept in the model (RegistryModel::KeepLine) and its
// fault returned, in line order. An empty text is an empty store.
// Import-style deletions are applied in order: "[-key]" removes the key and
// its sub-keys read so far, "name"=- removes a value. The lines under a
// section line that cannot be read belong to no known key and are kept as
// lines of no key. A non-empty text must end with a line break: its last line
// was cut short otherwise, and is kept however whole it looks. A text whose
// first line is not the header is not read at all (one fault, line 1, and an
// empty model: the caller decides what to keep of it).
std::vector<RegistryParseError> ReadRegistryText(std::string_view text, RegistryModel& model);

// The same, for a text that must be read in full: false with the first fault
// in error when any line could not be read.
bool ParseRegistryText(std::string_view text, RegistryModel& model, RegistryParseError& error);

// The file text: header line, then one section per key (the root only when it
// has values), each after a blank line, LF line ends. REG_SZ as "text",
// REG_DWORD as dword:0000000a, REG_BINARY as hex:01,02, other types as
// hex(n):... A REG_SZ that is not zero-terminated or holds a zero is written as
// hex(1):... so that no byte is lost. Kept lines follow their key's values as
// kKeptLinePrefix comments; lines of no key end the text as
// kKeptLineOfNoKeyPrefix comments.
std::string SerializeRegistry(const RegistryModel& model);

}  // namespace qzplatform

#endif  // QZ_PLATFORM_REGISTRY_FILE_H
