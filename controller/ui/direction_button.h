// Owner-drawn press-and-hold button of the pan/tilt pad, zoom and focus.
#pragma once

#include <QPushButton>

namespace qtr90x {

class DirectionButton : public QPushButton {
 public:
  explicit DirectionButton(QWidget* parent = nullptr) : QPushButton(parent) {}
};

}  // namespace qtr90x
