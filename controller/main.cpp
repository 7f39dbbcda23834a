// QTR90xControler: operator application for the camera cascade.
#include <QApplication>

#include "app/controller_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  qtr90x::ControllerApp app;
  return app.Run();
}
