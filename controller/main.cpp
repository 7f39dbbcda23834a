// QTR90xControler: operator application for the camera cascade.
#include <QApplication>
#include <cstdio>

#include "app/command_line.h"
#include "app/controller_app.h"

int main(int argc, char** argv) {
  // --help and --version are answered before Qt looks for a display.
  const qtr90x::CommandLineAction action = qtr90x::ParseCommandLine(argc, argv);
  switch (action.kind) {
    case qtr90x::CommandLineAction::kHelp:
      std::fputs(qtr90x::HelpText(), stdout);
      return 0;
    case qtr90x::CommandLineAction::kVersion:
      std::fputs(qtr90x::VersionLine().c_str(), stdout);
      return 0;
    case qtr90x::CommandLineAction::kError:
      std::fprintf(stderr, "QTR90xControler: %s (see 'QTR90xControler --help')\n",
                   action.error.c_str());
      return 2;
    case qtr90x::CommandLineAction::kRun:
      break;
  }
  QApplication application(argc, argv);
  qtr90x::ControllerApp app;
  return app.Run();
}
