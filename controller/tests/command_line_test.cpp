// The application's command line: ours answered, Qt's left for QApplication,
// anything else refused.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qtr90x {
namespace {

TEST(CommandLine, TakesQtOptionsAndRefusesTheRest) {
  using K = CommandLineAction::Kind;
  struct Case {
    std::vector<const char*> args;
    K kind;
    const char* errorPart;  // kError: a part of the one line
  };
  const Case cases[] = {
      {{}, K::kRun, ""},
      {{"-platform", "offscreen"}, K::kRun, ""},
      {{"--platform", "vnc:size=800x600"}, K::kRun, ""},
      {{"-display", ":1", "-geometry", "640x480+0+0", "-reverse"}, K::kRun, ""},
      {{"-style=Fusion", "-stylesheet", "a.qss", "-title", "Cam"}, K::kRun, ""},
      {{"-qwindowgeometry", "1x1", "-qmljsdebugger=port:1234"}, K::kRun, ""},
      // A Qt option's value is taken whole, even when it looks like ours.
      {{"-title", "--help"}, K::kRun, ""},
      {{"-platform", "offscreen", "--help"}, K::kHelp, ""},
      {{"-style", "Fusion", "--version"}, K::kVersion, ""},
      {{"-platform"}, K::kError, "'-platform' needs a value"},
      {{"-platform=offscreen"}, K::kError, "unknown option '-platform=offscreen'"},
      {{"-reverse=1"}, K::kError, "unknown option"},
      {{"--no-such-option"}, K::kError, "unknown option '--no-such-option'"},
      {{"--version=3"}, K::kError, "unknown option"},
      {{"-platform", "offscreen", "camera"}, K::kError, "no arguments, got 'camera'"},
      {{"--", "-platform"}, K::kError, "no arguments, got '-platform'"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"QTR90xControler"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string trace;
    for (const char* arg : c.args)
      trace += std::string(arg) + " ";
    const CommandLineAction action = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(action.kind, c.kind) << trace;
    EXPECT_NE(action.error.find(c.errorPart), std::string::npos) << trace << ": " << action.error;
  }
}

TEST(CommandLine, HelpTellsWhereThePortsLead) {
  const std::string help = HelpText();
  for (const char* part :
       {"QZLINK_COMn", "Software\\Orveda\\QZLINK\\Ports", "qzcli --set-port", "-platform NAME"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace qtr90x
