// Preset Name Settings dialog.
#pragma once

#include <QDialog>

namespace qtr90x {

class PresetNameDialog : public QDialog {
 public:
  explicit PresetNameDialog(QWidget* parent = nullptr) : QDialog(parent) {}
};

}  // namespace qtr90x
