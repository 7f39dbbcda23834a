// The application's command line: only --help and --version, answered before
// any window (or display) exists.
#pragma once

#include <string>

namespace qtr90x {

struct CommandLineAction {
  enum Kind { kRun, kHelp, kVersion, kError };
  Kind kind = kRun;
  std::string error;  // kError: one line, without the program's name
};

// argv as main gets it.
CommandLineAction ParseCommandLine(int argc, const char* const* argv);

// The --help text (the manual page is made from it) and the --version line.
const char* HelpText();
std::string VersionLine();

}  // namespace qtr90x
