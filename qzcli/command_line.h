// qzcli's command line: options, then one or more export calls separated by
// "--" or ";".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qzcli/export_table.h"

namespace qzcli {

struct Call {
  const ExportEntry* entry = nullptr;
  std::vector<int32_t> args;
};

// What qzcli does: the calls (the usual case) or one of the actions that
// stand alone.
enum class Action {
  kCalls,
  kHelp,
  kVersion,
  kListExports,
  kListPorts,
  kSetPort,    // store mappedTarget as COM<mappedPort>'s target
  kClearPort,  // remove COM<mappedPort>'s stored target
};

struct Options {
  Action action = Action::kCalls;
  std::optional<int32_t> port;  // open this COM port first
  int32_t baud = 9600;
  double seconds = 1.0;     // keep listening this long after the last call
  int answerWaitMs = 2000;  // wait at most this long for each command's answer
  int32_t mappedPort = 0;   // --set-port, --clear-port
  std::string mappedTarget;
  std::vector<Call> calls;
};

struct ParseResult {
  std::optional<Options> options;
  std::string error;  // set when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

// Parses a decimal or 0x-prefixed hex integer that fits in 32 bits signed.
std::optional<int32_t> ParseInteger(const std::string& text);

// Parses one byte: two hex digits, optionally 0x-prefixed ("FF", "0x3a").
std::optional<int32_t> ParseByte(const std::string& text);

// The --help text: what qzcli does, every option, the exit statuses, the
// environment and examples.
extern const char kUsage[];

}  // namespace qzcli
