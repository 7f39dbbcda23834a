// Preset selector listing the nine preset names.
#pragma once

#include <QComboBox>

namespace qtr90x {

class PresetCombo : public QComboBox {
 public:
  explicit PresetCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
};

}  // namespace qtr90x
