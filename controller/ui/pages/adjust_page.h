// Adjust tab page: speeds, external light, alarm output, electronic zoom and
// the sensor detection indicator.
#pragma once

#include "ui/pages/tab_page.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace qtr90x {

class ActionSlider;
enum class IndicatorDraw;

class AdjustPage : public TabPage {
 public:
  explicit AdjustPage(QWidget* parent = nullptr);

  // The speed sliders; the main dialog records their positions before
  // inching and restores the camera's speeds from them afterwards.
  ActionSlider* PanSpeed() const { return pan_; }
  ActionSlider* TiltSpeed() const { return tilt_; }
  ActionSlider* ZoomSpeed() const { return zoom_; }

 protected:
  void Refresh(std::intptr_t firstRead) override;
  void OnMessage(const MessageEvent& message) override;
  void showEvent(QShowEvent* e) override;
  // Enabled or disabled (the camera power changed): the page repaints.
  void changeEvent(QEvent* e) override;

 private:
  void DrawIndicator(IndicatorDraw why);
  // A repaint of a page that is shown, for a model with sensor detection.
  void RepaintIndicator();
  void DrawIndicatorOff();
  void ShowIndicatorImage(int bitmapId);

  ActionSlider* pan_;
  ActionSlider* tilt_;
  ActionSlider* zoom_;
  QComboBox* electronicZoom_;
  QLabel* electronicZoomLabel_;
  QCheckBox* externalLight_;
  QCheckBox* alarmOutput_;
  QCheckBox* notifyDetection_;
  QLabel* indicator_;
  QGroupBox* sensorGroup_;
};

}  // namespace qtr90x
