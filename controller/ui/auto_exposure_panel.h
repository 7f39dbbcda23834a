// Auto-exposure sub-panel of the Picture page.
#pragma once

#include <QWidget>

namespace qtr90x {

class AutoExposurePanel : public QWidget {
 public:
  explicit AutoExposurePanel(QWidget* parent = nullptr) : QWidget(parent) {}
};

}  // namespace qtr90x
