// Adjust tab page: speeds, external light, alarm output, electronic zoom, sensor.
#pragma once

#include <QWidget>

namespace qtr90x {

class AdjustPage : public QWidget {
 public:
  explicit AdjustPage(QWidget* parent = nullptr) : QWidget(parent) {}
};

}  // namespace qtr90x
