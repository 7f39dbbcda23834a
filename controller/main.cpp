// QTR90xControler: operator application for the camera cascade.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/controller_app.h"
#include "ui/port_probe.h"

int main(int argc, char** argv) {
  // For internal use: the Ports dialog's port test runs the application again
  // as "--probe-port TARGET", which needs no display (ui/port_probe.h).
  if (argc == 3 && std::strcmp(argv[1], qtr90x::kProbePortOption) == 0) {
    return qtr90x::RunPortProbe(argv[2], stdout);
  }
  QApplication application(argc, argv);
  qtr90x::ControllerApp app;
  return app.Run();
}
