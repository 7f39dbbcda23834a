// About box.
#pragma once

#include <QDialog>

namespace qtr90x {

class AboutBox : public QDialog {
 public:
  explicit AboutBox(QWidget* parent = nullptr) : QDialog(parent) {}
};

}  // namespace qtr90x
