// The simulator's control input: one command per text line, e.g. from stdin.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "camsim/sim_types.h"
#include "camsim/wire_format.h"

namespace camsim {

struct ControlCommand {
  enum class Kind {
    kSensor,    // sensor CAM VALUE
    kPower,     // power CAM on|off
    kInject,    // inject CODE [next | cmd HH]
    kNoAnswer,  // noanswer [next | cmd HH]
    kLate,      // late MS [next | cmd HH]
    kUnplug,    // unplug
    kReplug,    // replug
    kStray,     // stray HH [HH ...]
    kSplit,     // split
    kRemote,    // remote CAM on|off
    kGlobal,    // global CAM
    kState,     // state [CAM]
    kClear,     // clear
    kHelp,      // help
  };
  Kind kind = Kind::kHelp;
  int camera = 0;  // 1..9; 0 for "every camera" (state)
  int value = 0;   // sensor inputs, bits 0-3
  bool on = false;
  Code code{};                     // inject
  std::optional<uint8_t> command;  // inject/noanswer/late: only for this command byte
  int lateMs = 0;                  // late: the answer's delay
  Bytes bytes;                     // stray
};

inline constexpr size_t kMaxStrayBytes = 32;
inline constexpr int kMaxLateMs = 600000;

// A parsed line: a command, or an error text; neither for a blank line or a
// comment (starting with '#').
struct ParsedControl {
  std::optional<ControlCommand> command;
  std::string error;
};

ParsedControl ParseControlLine(std::string_view line);

// The control commands, one per line, for "help" and --help.
std::string_view ControlHelp();

}  // namespace camsim
