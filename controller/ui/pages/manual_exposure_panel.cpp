#include "ui/pages/manual_exposure_panel.h"

#include <QGridLayout>
#include <QLabel>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "core/pages/exposure_mapping.h"
#include "resources/control_ids.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/pages/action_slider.h"

namespace qtr90x {

namespace {

ActionSlider* Slider(int controlId, int minimum, int maximum, int page, const QString& name) {
  auto* slider = WithId(new ActionSlider, controlId);
  slider->setRange(minimum, maximum);
  slider->setSingleStep(1);
  slider->setPageStep(page);
  slider->setAccessibleName(name);
  return slider;
}

}  // namespace

ManualExposurePanel::ManualExposurePanel(QWidget* parent) : TabPage(parent) {
  using namespace ctl::picture;
  iris_ = Slider(kIris, kIrisMin, kIrisMax, 3, tr("Iris"));
  agc_ = Slider(kAgc, kAgcMin, kAgcMax, 15, tr("AGC"));
  shutter_ = Slider(kShutter, kShutterMinPosition, kShutterMaxPosition, 3, tr("Shutter"));
  shutter_->setTickInterval(1);  // a tick at every position, not drawn
  shutter_->setTickPosition(QSlider::NoTicks);

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(2);
  struct Row {
    QString name;
    QString low;
    QString high;
    ActionSlider* slider;
  };
  const Row rows[] = {{tr("Iris"), tr("Close"), tr("Open"), iris_},
                      {tr("AGC"), tr("Dark"), tr("Bright"), agc_},
                      {tr("Shutter"), tr("1/8"), tr("1/10000"), shutter_}};
  int line = 0;
  for (const Row& row : rows) {
    auto* label = new QLabel(row.name);
    label->setBuddy(row.slider);
    grid->addWidget(label, line, 0);
    grid->addWidget(new QLabel(row.low), line, 1);
    grid->addWidget(row.slider, line, 2);
    grid->addWidget(new QLabel(row.high), line, 3);
    ++line;
  }
  grid->setColumnStretch(2, 1);
  // The slow-shutter mark sits just above the shutter slider, over the
  // first position of the normal range.
  slowMark_ = WithId(new QLabel(QStringLiteral("|"), this), kSlowShutterMark);
  slowMark_->adjustSize();
  SetTemplateSize(128, 68);

  SetTabOrder({iris_, agc_, shutter_});

  connect(iris_, &ActionSlider::Released, this, [this](int position) {
    if (host_ != nullptr) {
      host_->SendCommand(MakeCall(LibraryFunction::kQzSetIris, host_->SelectedCamera(), position));
    }
  });
  connect(agc_, &ActionSlider::Released, this, [this](int position) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetAGCGain, host_->SelectedCamera(), position));
    }
  });
  connect(shutter_, &ActionSlider::Released, this, &ManualExposurePanel::ShutterReleased);
}

void ManualExposurePanel::ShutterReleased(int position) {
  const ShutterRelease release = ReleaseShutter(shutter_->LastValue(), position);
  if (!release.send) {
    shutter_->setValue(release.thumbPosition);
    return;
  }
  shutter_->SetLastValue(release.value);
  if (host_ != nullptr) {
    host_->SendCommand(
        MakeCall(LibraryFunction::kQzSetShutterSpeedx, host_->SelectedCamera(), release.value));
  }
}

void ManualExposurePanel::PlaceSlowShutterMark() {
  const int centre = shutter_->ThumbCentreX(kShutterNormalStart);
  const QPoint origin = shutter_->mapTo(this, QPoint(centre, 0));
  slowMark_->move(origin.x() - slowMark_->width() / 2,
                  std::max(0, origin.y() - slowMark_->height() + 4));
}

void ManualExposurePanel::resizeEvent(QResizeEvent* e) {
  TabPage::resizeEvent(e);
  PlaceSlowShutterMark();
}

void ManualExposurePanel::showEvent(QShowEvent* e) {
  TabPage::showEvent(e);
  PlaceSlowShutterMark();
}

void ManualExposurePanel::Refresh(std::intptr_t /*firstRead*/) {
  if (host_ == nullptr) {
    return;
  }
  const CameraState& camera = host_->Camera();
  shutter_->setValue(ShutterPositionForValue(camera.shutterSpeed));
  shutter_->SetLastValue(camera.shutterSpeed);
  iris_->setValue(camera.iris);
  agc_->setValue(camera.agcGain);
  host_->SetRefreshIdle();
  host_->SetWaitCursorState(WaitCursorRequest::kEnd);
}

void ManualExposurePanel::HandOff(bool forward) {
  PostMessageTo(parentWidget(), um::kFocusHandoff, 1, forward ? 0 : 1);
}

}  // namespace qtr90x
