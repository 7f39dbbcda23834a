// qzscript's command line: options before the script's file name, the
// script's own arguments after it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qzscript {

struct CommandLine {
  enum Kind { kRun, kHelp, kVersion, kError };
  Kind kind = kRun;
  std::string error;  // kError: one line, without the program's name

  std::string scriptPath;
  std::vector<std::string> arguments;
  // --timeout: how long the script may run; unset: no limit.
  std::optional<std::chrono::milliseconds> timeout;
};

// Arguments without the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text (the manual page is made from it) and the --version line.
const char* HelpText();
std::string VersionLine();

}  // namespace qzscript
