#include "ui/common/message_box.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace qtr90x {

namespace {
MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}
}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
  Hook() = std::move(hook);
}

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                    const QString& details) {
  if (Hook()) {
    Hook()(parent, text, icon, details);
    return;
  }
  QMessageBox box(icon, QString::fromUtf8(LoadString(str::kAppTitle)), text, QMessageBox::Ok,
                  parent);
  box.setInformativeText(details);
  box.exec();
}

}  // namespace qtr90x
