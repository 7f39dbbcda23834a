// Picture tab page: automatic or manual exposure, with the matching
// sub-panel shown inside the "Exposure" group, and the white balance lock.
#pragma once

#include "ui/pages/tab_page.h"

class QCheckBox;
class QGroupBox;
class QRadioButton;

namespace qtr90x {

class AutoExposurePanel;
class ManualExposurePanel;

class PicturePage : public TabPage {
 public:
  explicit PicturePage(QWidget* parent = nullptr);

  void SetHost(PageHost* host) override;
  AutoExposurePanel* AutoPanel() const { return autoPanel_; }
  ManualExposurePanel* ManualPanel() const { return manualPanel_; }
  bool ManualExposure() const { return manualExposure_; }

 protected:
  void Refresh(std::intptr_t firstRead) override;
  bool CanTakeFocus(const QWidget* w) const override;
  void TakeFocus(std::intptr_t wParam, std::intptr_t lParam) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void ChooseExposure(bool manual);
  void LayOutPanels();
  QSize PanelSize() const;

  QGroupBox* exposure_;
  QRadioButton* auto_;
  QRadioButton* manual_;
  QCheckBox* lockWb_;
  QWidget* panelSpace_;
  AutoExposurePanel* autoPanel_;
  ManualExposurePanel* manualPanel_;
  bool manualExposure_ = false;
};

}  // namespace qtr90x
