// Manual-exposure sub-panel of the Picture page: iris, gain and shutter.
#pragma once

#include "ui/pages/tab_page.h"

class QLabel;

namespace qtr90x {

class ActionSlider;

class ManualExposurePanel : public TabPage {
 public:
  explicit ManualExposurePanel(QWidget* parent = nullptr);

  ActionSlider* Shutter() const { return shutter_; }

 protected:
  void Refresh(std::intptr_t firstRead) override;
  void HandOff(bool forward) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void ShutterReleased(int position);
  void PlaceSlowShutterMark();

  ActionSlider* iris_;
  ActionSlider* agc_;
  ActionSlider* shutter_;
  QLabel* slowMark_;
};

}  // namespace qtr90x
