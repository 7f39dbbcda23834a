// System tab page: on-screen display and its formats, the camera clock,
// camera power, noise reduction and the LED.
#pragma once

#include <QDateTime>
#include <functional>

#include "ui/pages/tab_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace qtr90x {

class SystemPage : public TabPage {
 public:
  explicit SystemPage(QWidget* parent = nullptr);

  // "On Screen" as the operator left it; the main dialog's two-step
  // sequence sends it.
  bool OnScreenChecked() const;

  // Enables or disables the controls that need camera power. "Camera Power
  // On" stays usable: it is how the operator switches the camera on.
  void SetCameraControlsEnabled(bool enabled);
  // "Camera Power On" shows the camera's power (switched at the camera).
  void ShowCameraPower(bool on);

  // The PC clock the Date and Time buttons read (tests set a fixed one).
  void SetClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

 protected:
  void Refresh(std::intptr_t firstRead) override;

 private:
  QCheckBox* onScreen_;
  QPushButton* setDate_;
  QPushButton* setTime_;
  QComboBox* dateFormat_;
  QComboBox* timeFormat_;
  QCheckBox* cameraPower_;
  QComboBox* noiseReduction_;
  QLabel* noiseReductionLabel_;
  QComboBox* led_;
  std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };
};

}  // namespace qtr90x
