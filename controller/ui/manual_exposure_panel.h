// Manual-exposure sub-panel of the Picture page.
#pragma once

#include <QWidget>

namespace qtr90x {

class ManualExposurePanel : public QWidget {
 public:
  explicit ManualExposurePanel(QWidget* parent = nullptr) : QWidget(parent) {}
};

}  // namespace qtr90x
