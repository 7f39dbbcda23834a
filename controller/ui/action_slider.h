// Slider that reports operator moves only.
#pragma once

#include <QSlider>

namespace qtr90x {

class ActionSlider : public QSlider {
 public:
  explicit ActionSlider(QWidget* parent = nullptr) : QSlider(parent) {}
};

}  // namespace qtr90x
