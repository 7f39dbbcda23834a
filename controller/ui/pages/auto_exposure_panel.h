// Auto-exposure sub-panel of the Picture page: flickerless mode, backlight
// compensation and the brightness target.
#pragma once

#include "ui/pages/tab_page.h"

class QCheckBox;
class QComboBox;
class QSlider;

namespace qtr90x {

class AutoExposurePanel : public TabPage {
 public:
  explicit AutoExposurePanel(QWidget* parent = nullptr);

  bool BrightnessReady() const { return brightnessReady_; }

 protected:
  void Refresh(std::intptr_t firstRead) override;
  void OnMessage(const MessageEvent& message) override;
  void HandOff(bool forward) override;

 private:
  void BrightnessMoved();
  void BacklightChosen(int item);

  QCheckBox* flickerless_;
  QComboBox* backlight_;
  QSlider* brightness_;
  // At most one brightness command is outstanding: positions that arrive
  // before its answer are dropped.
  bool brightnessReady_ = true;
};

}  // namespace qtr90x
