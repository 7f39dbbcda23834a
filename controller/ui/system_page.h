// System tab page: display, date/time, camera power, noise reduction, LED.
#pragma once

#include <QWidget>

namespace qtr90x {

class SystemPage : public QWidget {
 public:
  explicit SystemPage(QWidget* parent = nullptr) : QWidget(parent) {}
};

}  // namespace qtr90x
