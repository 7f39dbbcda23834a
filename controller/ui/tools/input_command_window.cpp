#include "ui/tools/input_command_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "core/tools/command_text.h"
#include "resources/control_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/message_box.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/pages/tab_page.h"

namespace qtr90x {

namespace {

// Shows typed letters in upper case, as the hex text is written.
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

}  // namespace

InputCommandWindow::InputCommandWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Input Command"));
  text_ = WithId(new QComboBox, ctl::kCommandText);
  text_->setEditable(true);
  text_->setInsertPolicy(QComboBox::NoInsert);  // the history is kept by Send
  text_->setMaxCount(kCommandHistoryMax);
  text_->setValidator(new UpperCaseValidator(text_));
  text_->lineEdit()->setMaxLength(kCommandTextMaxLength);
  text_->setAccessibleName(tr("Command"));
  text_->setMinimumContentsLength(30);
  auto* send = WithId(new QPushButton(tr("Send")), ctl::kCommandSend);
  auto* close = WithId(new QPushButton(tr("Close")), ctl::kToolClose);
  send->setDefault(true);
  close->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(send);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);

  connect(send, &QPushButton::clicked, this, [this] { Send(); });
  connect(close, &QPushButton::clicked, this, &InputCommandWindow::reject);
}

bool InputCommandWindow::Send() {
  const std::string text = RemoveBlanks(text_->currentText().toStdString());
  const std::optional<std::vector<std::uint8_t>> bytes = ParseCommandBytes(text);
  const bool sent = bytes && !bytes->empty() && host_ != nullptr && host_->SendRawCommand(*bytes);
  if (!sent) {
    ShowMessageBox(this, QString::fromUtf8(LoadString(str::kFailToSendCommand)),
                   QMessageBox::Critical);
    raise();
    return false;
  }
  if (text_->count() >= kCommandHistoryMax) {
    text_->removeItem(kCommandHistoryMax - 1);
  }
  const QString entry = QString::fromStdString(text);
  text_->insertItem(0, entry);
  text_->setCurrentIndex(0);
  return true;
}

void InputCommandWindow::reject() {
  // The window lives on hidden with its text and history; the main dialog
  // notes that it is hidden, so the next opening places it again.
  hide();
  if (host_ != nullptr) {
    PostMessageTo(host_->MainWindow(), um::kCmdWndClose);
  }
}

}  // namespace qtr90x
