// Input Command window: sends a command frame typed as hex text and keeps
// the texts sent, newest first.
#pragma once

#include <QDialog>

class QComboBox;

namespace qtr90x {

class PageHost;

class InputCommandWindow : public QDialog {
 public:
  explicit InputCommandWindow(QWidget* parent = nullptr);

  void SetHost(PageHost* host) { host_ = host; }
  QComboBox* CommandText() const { return text_; }

  // Sends the typed text; false (after the failure box) when nothing went out.
  bool Send();

 protected:
  void reject() override;  // Escape, Close and the close box

 private:
  PageHost* host_ = nullptr;
  QComboBox* text_;
};

}  // namespace qtr90x
