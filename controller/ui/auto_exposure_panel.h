// Auto-exposure sub-panel of the Picture page: flickerless mode, backlight
// compensation and the brightness target.
#pragma once

#include "ui/tab_page.h"

class QCheckBox;
class QComboBox;
class QSlider;

namespace qtr90x {

class AutoExposurePanel : public TabPage {
 public:
  explicit AutoExposurePanel(QWidget* parent = nullptr);

  // The next UM_AEVALUEREADY (the answer to the exposure-mode command) also
  // starts the read of this panel's values.
  void ReadAfterAnswer() { readAfterAnswer_ = true; }

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
  bool readAfterAnswer_ = false;
};

}  // namespace qtr90x
