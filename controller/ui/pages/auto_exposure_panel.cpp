#include "ui/pages/auto_exposure_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "core/pages/exposure_mapping.h"
#include "resources/control_ids.h"
#include "resources/string_table.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"

namespace qtr90x {

AutoExposurePanel::AutoExposurePanel(QWidget* parent) : TabPage(parent) {
  using namespace ctl::picture;
  flickerless_ = WithId(new QCheckBox(tr("Flickerless")), kFlickerless);
  backlight_ = WithId(new QComboBox, kBacklight);
  backlight_->setAccessibleName(tr("Backlight"));
  brightness_ = WithId(new QSlider(Qt::Horizontal), kBrightness);
  brightness_->setRange(kAeValueMin, kAeValueMax);
  brightness_->setSingleStep(3);
  brightness_->setPageStep(15);
  brightness_->setAccessibleName(tr("Brightness"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(flickerless_, 0, 0, 1, 4);
  auto* backlightLabel = new QLabel(tr("Backlight"));
  backlightLabel->setBuddy(backlight_);
  grid->addWidget(backlightLabel, 1, 0);
  grid->addWidget(backlight_, 1, 1, 1, 3);
  auto* brightnessLabel = new QLabel(tr("Brightness"));
  brightnessLabel->setBuddy(brightness_);
  grid->addWidget(brightnessLabel, 2, 0);
  grid->addWidget(new QLabel(tr("Dark")), 2, 1);
  grid->addWidget(brightness_, 2, 2);
  grid->addWidget(new QLabel(tr("Bright")), 2, 3);
  grid->setColumnStretch(2, 1);
  SetTemplateSize(128, 68);

  SetTabOrder({flickerless_, backlight_, brightness_});

  connect(flickerless_, &QCheckBox::clicked, this, [this](bool checked) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetShutterSpeed, host_->SelectedCamera(), checked ? 2 : 0));
    }
  });
  connect(backlight_, &QComboBox::activated, this, &AutoExposurePanel::BacklightChosen);
  // Every scroll notification counts, dragging included; a refresh that sets
  // the position is no operator action and sends nothing.
  connect(brightness_, &QSlider::actionTriggered, this, [this] { BrightnessMoved(); });
  connect(brightness_, &QSlider::sliderReleased, this, [this] { BrightnessMoved(); });
}

void AutoExposurePanel::BacklightChosen(int item) {
  if (host_ == nullptr) {
    return;
  }
  host_->SetWaitCursorState(WaitCursorRequest::kBegin);
  // The camera's notification ends the wait cursor (or its bound, when it
  // never comes). A choice the library cannot send (it knows off and on
  // only) ends it at once and shows again what the camera has.
  if (!host_->SendCommand(MakeCall(LibraryFunction::kQzSetBackLight, host_->SelectedCamera(), item),
                          AnswerFollowUp::kAwaitBacklight)) {
    host_->SetWaitCursorState(WaitCursorRequest::kEnd);
    backlight_->setCurrentIndex(host_->Camera().backlight);
  }
}

void AutoExposurePanel::BrightnessMoved() {
  if (!brightnessReady_ || host_ == nullptr) {
    return;
  }
  brightnessReady_ = false;
  // Its answer (or its give-up, or its failure to go out) re-arms the slider.
  host_->SendCommand(MakeCall(LibraryFunction::kQzSetAEVal, host_->SelectedCamera(),
                              brightness_->sliderPosition()),
                     AnswerFollowUp::kAutoExposureReady);
}

void AutoExposurePanel::OnMessage(const MessageEvent& message) {
  if (message.Message() != um::kAeValueReady) {
    return;
  }
  brightnessReady_ = true;
}

void AutoExposurePanel::Refresh(std::intptr_t /*firstRead*/) {
  if (host_ == nullptr) {
    return;
  }
  const CameraState& camera = host_->Camera();
  flickerless_->setChecked(camera.flickerless);
  brightness_->setValue(camera.aeValue);
  backlight_->clear();
  for (int id : BacklightItemStrings(camera.unitName)) {
    backlight_->addItem(QString::fromUtf8(LoadString(id)));
  }
  backlight_->setCurrentIndex(camera.backlight);
  host_->SetRefreshIdle();
  host_->SetWaitCursorState(WaitCursorRequest::kEnd);
}

void AutoExposurePanel::HandOff(bool forward) {
  PostMessageTo(parentWidget(), um::kFocusHandoff, 1, forward ? 0 : 1);
}

}  // namespace qtr90x
