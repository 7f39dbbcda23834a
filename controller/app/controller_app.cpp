#include "app/controller_app.h"

#include <QString>

#include "app/single_instance.h"
#include "ui/main_dialog.h"
#include "ui/message_box.h"

namespace qtr90x {

int ControllerApp::Run() {
  SingleInstance instance(QStringLiteral("QTR90x"));
  switch (instance.Acquire()) {
    case InstanceCheck::kFirst:
      break;
    case InstanceCheck::kAlreadyRunning:
      // The running copy is left as it is.
      ShowMessageBox(nullptr, QString::fromLatin1(kAlreadyRunningText), QMessageBox::NoIcon);
      return 0;
    case InstanceCheck::kFailed:
      return 0;
  }
  MainDialog dialog;
  mainDialog_ = &dialog;
  dialog.exec();
  mainDialog_ = nullptr;
  return 0;
}

}  // namespace qtr90x
