#include "ui/pages/picture_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "resources/control_ids.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/pages/auto_exposure_panel.h"
#include "ui/pages/manual_exposure_panel.h"

namespace qtr90x {

PicturePage::PicturePage(QWidget* parent) : TabPage(parent) {
  using namespace ctl::picture;
  exposure_ = WithId(new QGroupBox(tr("Exposure")), kExposureGroup);
  auto_ = WithId(new QRadioButton(tr("Auto")), kExposureAuto);
  manual_ = WithId(new QRadioButton(tr("Manual")), kExposureManual);
  lockWb_ = WithId(new QCheckBox(tr("Lock WB")), ctl::picture::kLockWb);

  // The sub-panels are the page's own children, placed over this space
  // inside the group below the radio buttons.
  autoPanel_ = new AutoExposurePanel(this);
  manualPanel_ = new ManualExposurePanel(this);
  panelSpace_ = new QWidget;
  panelSpace_->setFixedSize(PanelSize());

  auto* radios = new QHBoxLayout;
  radios->addWidget(auto_);
  radios->addWidget(manual_);
  radios->addStretch(1);
  auto* inGroup = new QVBoxLayout(exposure_);
  inGroup->addLayout(radios);
  inGroup->addSpacing(10 - inGroup->spacing());
  inGroup->addWidget(panelSpace_);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(exposure_);
  auto* side = new QVBoxLayout;
  side->addWidget(lockWb_);
  side->addStretch(1);
  layout->addLayout(side);
  layout->addStretch(1);
  SetTemplateSize(211, 115);

  SetTabOrder({auto_, manual_, autoPanel_, manualPanel_, lockWb_});
  auto_->setChecked(true);
  LayOutPanels();

  connect(auto_, &QRadioButton::clicked, this, [this] { ChooseExposure(false); });
  connect(manual_, &QRadioButton::clicked, this, [this] { ChooseExposure(true); });
  connect(lockWb_, &QCheckBox::clicked, this, [this](bool checked) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetWhiteBalance, host_->SelectedCamera(), checked ? 1 : 0));
    }
  });
}

void PicturePage::SetHost(PageHost* host) {
  TabPage::SetHost(host);
  autoPanel_->SetHost(host);
  manualPanel_->SetHost(host);
}

void PicturePage::ChooseExposure(bool manual) {
  manualExposure_ = manual;
  LayOutPanels();
  if (host_ == nullptr) {
    return;
  }
  // The sub-panel's read follows at once: each answer is decoded by the
  // command it answers, so the mode's answer cannot be taken for a value.
  host_->SendCommand(
      MakeCall(LibraryFunction::kQzSetExposed, host_->SelectedCamera(), manual ? 1 : 0));
  PostMessageTo(host_->MainWindow(), um::kStartQuery, 0, manual ? 5 : 4);
}

QSize PicturePage::PanelSize() const {
  return autoPanel_->sizeHint().expandedTo(manualPanel_->sizeHint());
}

void PicturePage::LayOutPanels() {
  if (panelSpace_->size() != PanelSize()) {
    panelSpace_->setFixedSize(PanelSize());
  }
  TabPage* shown = manualExposure_ ? static_cast<TabPage*>(manualPanel_) : autoPanel_;
  TabPage* hidden = manualExposure_ ? static_cast<TabPage*>(autoPanel_) : manualPanel_;
  hidden->hide();
  const int x = exposure_->geometry().left() + panelSpace_->x();
  const int y = auto_->mapTo(this, QPoint(0, auto_->height())).y() + 10;
  shown->setGeometry(x, y, PanelSize().width(), PanelSize().height());
  shown->show();
  shown->raise();
}

void PicturePage::resizeEvent(QResizeEvent* e) {
  TabPage::resizeEvent(e);
  LayOutPanels();
}

void PicturePage::showEvent(QShowEvent* e) {
  TabPage::showEvent(e);
  LayOutPanels();
}

void PicturePage::Refresh(std::intptr_t /*firstRead*/) {
  if (host_ == nullptr) {
    return;
  }
  const CameraState& camera = host_->Camera();
  lockWb_->setChecked(camera.wbLock);
  auto_->setChecked(camera.exposureAuto);
  manual_->setChecked(!camera.exposureAuto);
  manualExposure_ = !camera.exposureAuto;
  LayOutPanels();
  host_->SetRefreshIdle();
  PostMessageTo(host_->MainWindow(), um::kStartQuery, 0, manualExposure_ ? 5 : 4);
  host_->SetWaitCursorState(WaitCursorRequest::kEnd);
}

bool PicturePage::CanTakeFocus(const QWidget* w) const {
  if (auto* radio = qobject_cast<const QRadioButton*>(w); radio && !radio->isChecked()) {
    return false;
  }
  return TabPage::CanTakeFocus(w);
}

void PicturePage::TakeFocus(std::intptr_t wParam, std::intptr_t lParam) {
  // From the main dialog going forward, or from a sub-panel going back: the
  // exposure radio; otherwise "Lock WB".
  if ((wParam == 0) == (lParam == 0)) {
    (auto_->isChecked() ? auto_ : manual_)->setFocus(Qt::TabFocusReason);
  } else {
    lockWb_->setFocus(Qt::BacktabFocusReason);
  }
}

}  // namespace qtr90x
