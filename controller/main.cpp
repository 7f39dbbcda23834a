// QTR90xControler: operator application for the camera cascade.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/controller_app.h"
#include "ui/ports/port_probe.h"

int main(int argc, char** argv) {
  // For internal use: the Ports dialog's port test runs the application again
  // as "--probe-port TARGET", which needs no display (ui/ports/port_probe.h).
  if (argc == 3 && std::strcmp(argv[1], qtr90x::kProbePortOption) == 0) {
    return qtr90x::RunPortProbe(argv[2], stdout);
  }
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
