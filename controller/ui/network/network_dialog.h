// Tools > Network Control...: switches the network control service on and
// off, chooses where it listens, and shows the token (with Copy) that every
// client needs.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace qtr90x::net {

class NetworkControl;

class NetworkDialog : public QDialog {
  Q_OBJECT
 public:
  NetworkDialog(NetworkControl& control, QWidget* parent = nullptr);

  void accept() override;

 private:
  void ShowState();

  NetworkControl& control_;
  QCheckBox* enabled_ = nullptr;
  QLineEdit* address_ = nullptr;
  QSpinBox* port_ = nullptr;
  QLineEdit* token_ = nullptr;
  QLabel* state_ = nullptr;
};

void ExecNetworkDialog(QWidget* parent, NetworkControl& control);

}  // namespace qtr90x::net
