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

struct Options {
  std::optional<int32_t> port;  // open this COM port first
  int32_t baud = 9600;
  double seconds = 1.0;     // keep listening this long after the last call
  int answerWaitMs = 2000;  // wait at most this long for each command's answer
  bool help = false;
  bool list = false;
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

extern const char kUsage[];

}  // namespace qzcli
