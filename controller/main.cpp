// QTR90xControler: operator application for the camera cascade.
#include <QApplication>
#include <QDialog>

#include "resources/string_ids.h"
#include "resources/string_table.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QString::fromUtf8(qtr90x::LoadString(qtr90x::str::kAppTitle)));
  dialog.show();
  return app.exec();
}
