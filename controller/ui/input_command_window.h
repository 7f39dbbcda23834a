// Input Command window: sends a typed command frame.
#pragma once

#include <QDialog>

namespace qtr90x {

class InputCommandWindow : public QDialog {
 public:
  explicit InputCommandWindow(QWidget* parent = nullptr) : QDialog(parent) {}
};

}  // namespace qtr90x
