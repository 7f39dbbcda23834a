// Serial ports by name: which device or network address "COM<n>" opens.
//
// COM<n> (n = 1 to 9) resolves at every open, in this order:
//   1. the environment variable QZLINK_COM<n>, when it is set and not empty;
//   2. the text value "COM<n>" under HKEY_CURRENT_USER\Software\Orveda\QZLINK\Ports
//      in the per-user settings store (platform/registry.h), when present and
//      not empty;
//   3. /dev/ttyS<n-1> (on Windows: the Windows port COM<n> itself).
// A target is a device path (a device node, or a symbolic link to one such as
// /dev/serial/by-id/...) or an rfc2217:// address (rfc2217_address.h). The
// target found first is used as it stands: a mapping to a device that is
// missing makes the open fail (ENOENT) and never falls through to the next
// source. Nothing is cached, so a by-id link is followed afresh at each open
// and survives the adapter moving to another USB socket.
//
// The store is read through the same functions that qzcli and the
// application's Ports dialog use to change it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qzlink {

inline constexpr int32_t kFirstComPort = 1;
inline constexpr int32_t kLastComPort = 9;

// The key of the port mapping, beside the application's keys
// (Software\Orveda\QTR90xControler\...); one REG_SZ value per port, named
// "COM1" to "COM9".
inline constexpr char kPortMappingKey[] = "Software\\Orveda\\QZLINK\\Ports";

// Longest target that the store takes, without its terminating zero: a device
// path opens only up to 255 bytes, an rfc2217:// address may be longer.
inline constexpr size_t kMaxDevicePathLength = 255;
inline constexpr size_t kMaxPortTargetLength = 511;

enum class PortTargetSource { kEnvironment, kSettings, kDefault };

// "environment", "settings" or "default".
const char* PortTargetSourceName(PortTargetSource source);

struct PortTargetChoice {
  PortTargetSource source = PortTargetSource::kDefault;
  // False when the target did not fit in the caller's buffer (which then
  // holds an empty string): the open fails rather than use another target.
  bool fits = true;
};

// Picks COM<portNumber>'s target from the value of its environment variable
// and its stored value (either null or empty when absent) and writes it into
// out. No I/O.
PortTargetChoice ChoosePortTarget(int32_t portNumber, const char* environmentValue,
                                  const char* storedValue, char* out, size_t outSize);

// Reads the environment and the store and picks the target, as every open
// does. A store that cannot be read counts as holding no mapping; a stored
// target too long for out gives fits false.
PortTargetChoice ResolvePortTarget(int32_t portNumber, char* out, size_t outSize);

// The same for callers that list or show targets.
struct PortTarget {
  std::string target;
  PortTargetSource source = PortTargetSource::kDefault;
};
PortTarget CurrentPortTarget(int32_t portNumber);

// "/dev/ttyS<n-1>" ("COM<n>" on Windows).
std::string DefaultPortTarget(int32_t portNumber);

// "QZLINK_COM<n>".
std::string PortEnvironmentVariable(int32_t portNumber);

// COM<portNumber>'s stored target; nullopt when there is none (or the store
// cannot be read). Values that are not text are not mappings.
std::optional<std::string> StoredPortTarget(int32_t portNumber);

// Why text cannot be stored as a target, in a few words; empty when it can.
// A device path must be absolute and at most 255 bytes; an rfc2217:// address
// must parse; no target holds a control character. Whether the device exists
// now is not checked: an adapter may be plugged in later.
std::string PortTargetProblem(std::string_view target);

// Why portNumber is not a port that can be mapped; empty for 1 to 9.
std::string PortNumberProblem(int32_t portNumber);

// Stores target as COM<portNumber>'s mapping. Returns an empty string, or why
// nothing was stored (a bad port number or target, a store that cannot be
// written).
std::string StorePortTarget(int32_t portNumber, std::string_view target);

// Removes COM<portNumber>'s mapping (none is fine). Returns an empty string
// or why it could not be removed.
std::string ClearStoredPortTarget(int32_t portNumber);

}  // namespace qzlink
