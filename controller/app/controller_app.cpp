#include "app/controller_app.h"

#include <QApplication>
#include <QString>

#include "app/desktop_identity.h"
#include "app/single_instance.h"
#include "ui/common/message_box.h"
#include "ui/main/main_dialog.h"

namespace qtr90x {

int ControllerApp::Run() {
  ApplyDesktopIdentity();
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
  // The dialog sets its bitmap as its icon; the application's icon has the
  // theme's sizes.
  dialog.setWindowIcon(QApplication::windowIcon());
  mainDialog_ = &dialog;
  dialog.exec();
  mainDialog_ = nullptr;
  return 0;
}

}  // namespace qtr90x
