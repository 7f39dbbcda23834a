// The application's command line: --help and --version, answered before any
// window (or display) exists, and Qt's own options, which are left in argv
// for QApplication to take.
#pragma once

#include <string>

namespace qtr90x {

struct CommandLineAction {
  enum Kind { kRun, kHelp, kVersion, kError };
  Kind kind = kRun;
  std::string error;  // kError: one line, without the program's name
};

// argv as main gets it. Qt's options (-platform NAME, -style=NAME, -reverse,
// their "--" spellings...) are skipped with their values; QApplication takes
// them out of argv later. Anything else but --help and --version is an error.
CommandLineAction ParseCommandLine(int argc, const char* const* argv);

// The --help text (the manual page is made from it) and the --version line.
const char* HelpText();
std::string VersionLine();

}  // namespace qtr90x
