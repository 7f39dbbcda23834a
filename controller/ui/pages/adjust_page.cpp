#include "ui/pages/adjust_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "core/link/unit_name.h"
#include "core/pages/adjust_mapping.h"
#include "resources/bitmap_ids.h"
#include "resources/control_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/bitmaps.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"
#include "ui/pages/action_slider.h"

namespace qtr90x {

namespace {

ActionSlider* SpeedSlider(int controlId, int minimum, int maximum, const QString& name) {
  auto* slider = WithId(new ActionSlider, controlId);
  slider->setRange(minimum, maximum);
  slider->setPageStep(std::max(1, (maximum - minimum) / 5));  // the trackbar's default page
  slider->setAccessibleName(name);
  return slider;
}

}  // namespace

AdjustPage::AdjustPage(QWidget* parent) : TabPage(parent) {
  using namespace ctl::adjust;
  pan_ = SpeedSlider(kPanSpeed, kPanSpeedMin, kPanSpeedMax, tr("Pan speed"));
  tilt_ = SpeedSlider(kTiltSpeed, kTiltSpeedMin, kTiltSpeedMax, tr("Tilt speed"));
  zoom_ = SpeedSlider(kZoomSpeed, kZoomSpeedMin, kZoomSpeedMax, tr("Zoom speed"));

  auto* speed = WithId(new QGroupBox(tr("Speed")), kSpeedGroup);
  auto* speedGrid = new QGridLayout(speed);
  speedGrid->addWidget(new QLabel(tr("Slow")), 0, 1, Qt::AlignLeft);
  speedGrid->addWidget(new QLabel(tr("Fast")), 0, 1, Qt::AlignRight);
  const QString rows[] = {tr("Pan"), tr("Tilt"), tr("Zoom")};
  ActionSlider* sliders[] = {pan_, tilt_, zoom_};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(rows[i]);
    label->setBuddy(sliders[i]);
    speedGrid->addWidget(label, i + 1, 0);
    speedGrid->addWidget(sliders[i], i + 1, 1);
  }
  speedGrid->setColumnStretch(1, 1);
  speedGrid->setRowStretch(4, 1);

  electronicZoom_ = WithId(new QComboBox, kElectronicZoom);
  for (int id :
       {str::kOff, str::kZoomX2, str::kZoomX4, str::kZoomX8, str::kZoomX12, str::kZoomX16}) {
    electronicZoom_->addItem(QString::fromUtf8(LoadString(id)));
  }
  electronicZoomLabel_ = WithId(new QLabel(tr("Electronic Zoom")), kElectronicZoomLabel);
  electronicZoomLabel_->setBuddy(electronicZoom_);
  electronicZoom_->setAccessibleName(tr("Electronic Zoom"));

  externalLight_ = WithId(new QCheckBox(tr("External Light On")), kExternalLight);
  alarmOutput_ = WithId(new QCheckBox(tr("Alarm Output On")), kAlarmOutput);
  notifyDetection_ = WithId(new QCheckBox(tr("Notify Detection")), kNotifyDetection);

  indicator_ = WithId(new QLabel, kSensorIndicator);
  indicator_->setFixedSize(32, 32);
  indicator_->setAccessibleName(tr("Sensor indicator"));
  sensorGroup_ = WithId(new QGroupBox(tr("Sensor Detection")), kSensorGroup);
  auto* sensorRow = new QHBoxLayout(sensorGroup_);
  sensorRow->addWidget(indicator_);
  sensorRow->addWidget(notifyDetection_, 1);

  auto* right = new QVBoxLayout;
  auto* zoomRow = new QHBoxLayout;
  zoomRow->addWidget(electronicZoomLabel_);
  zoomRow->addWidget(electronicZoom_, 1);
  right->addLayout(zoomRow);
  right->addWidget(externalLight_);
  right->addWidget(alarmOutput_);
  right->addWidget(sensorGroup_);
  right->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(speed, 3);
  layout->addLayout(right, 2);
  SetTemplateSize(212, 115);

  SetTabOrder(
      {pan_, tilt_, zoom_, externalLight_, alarmOutput_, notifyDetection_, electronicZoom_});

  connect(pan_, &ActionSlider::Released, this, [this](int position) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetMotorSpeed, host_->SelectedCamera(), 0, position));
    }
  });
  connect(tilt_, &ActionSlider::Released, this, [this](int position) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetMotorSpeed, host_->SelectedCamera(), 1, position));
    }
  });
  connect(zoom_, &ActionSlider::Released, this, [this](int position) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetZoomSpeed, host_->SelectedCamera(), position));
    }
  });
  connect(electronicZoom_, &QComboBox::activated, this, [this](int item) {
    if (host_ != nullptr) {
      host_->SendCommand(MakeCall(LibraryFunction::kQzSetElectronicZoom, host_->SelectedCamera(),
                                  ElectronicZoomForItem(item)));
    }
  });
  connect(externalLight_, &QCheckBox::clicked, this, [this](bool checked) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetExternalLight, host_->SelectedCamera(), checked ? 1 : 0));
    }
  });
  connect(alarmOutput_, &QCheckBox::clicked, this, [this](bool checked) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetAlarmOutput, host_->SelectedCamera(), checked ? 1 : 0));
    }
  });
  connect(notifyDetection_, &QCheckBox::clicked, this,
          [this] { DrawIndicator(IndicatorDraw::kChange); });

  DrawIndicator(IndicatorDraw::kChange);
}

void AdjustPage::ShowIndicatorImage(int bitmapId) {
  const QImage image = ReplaceKeyColour(LoadBitmapImage(bitmapId), qRgb(0, 128, 128),
                                        palette().color(QPalette::Window).rgb());
  indicator_->setPixmap(QPixmap::fromImage(image));
  indicator_->setProperty("bitmapId", bitmapId);
}

void AdjustPage::DrawIndicator(IndicatorDraw why) {
  const CameraState* camera = host_ != nullptr ? &host_->Camera() : nullptr;
  const bool power = camera != nullptr && camera->cameraPower;
  const int sensorInput = camera != nullptr ? camera->sensorInput : 0;
  switch (ChooseSensorImage(notifyDetection_->isChecked(), power, sensorInput, why)) {
    case SensorImage::kDetected:
      ShowIndicatorImage(bmp::kSensorDetected);
      break;
    case SensorImage::kNotDetected:
      ShowIndicatorImage(bmp::kSensorNotDetected);
      break;
    case SensorImage::kNotifyOff:
      DrawIndicatorOff();
      break;
  }
}

void AdjustPage::DrawIndicatorOff() {
  ShowIndicatorImage(bmp::kSensorNotifyOff);
}

void AdjustPage::RepaintIndicator() {
  if (host_ != nullptr && isVisible() && !IsQtR7(host_->Camera().unitName)) {
    DrawIndicator(IndicatorDraw::kRepaint);
  }
}

void AdjustPage::showEvent(QShowEvent* e) {
  TabPage::showEvent(e);
  RepaintIndicator();
}

void AdjustPage::changeEvent(QEvent* e) {
  TabPage::changeEvent(e);
  if (e->type() == QEvent::EnabledChange) {
    RepaintIndicator();
  }
}

void AdjustPage::Refresh(std::intptr_t /*firstRead*/) {
  if (host_ == nullptr) {
    return;
  }
  const CameraState& camera = host_->Camera();
  pan_->setValue(camera.panSpeed);
  tilt_->setValue(camera.tiltSpeed);
  zoom_->setValue(camera.zoomSpeed);
  const bool r7 = IsQtR7(camera.unitName);
  externalLight_->setEnabled(!r7);
  alarmOutput_->setEnabled(!r7);
  electronicZoom_->setEnabled(!r7);
  notifyDetection_->setEnabled(!r7);
  sensorGroup_->setEnabled(!r7);
  electronicZoomLabel_->setEnabled(!r7);
  if (r7) {
    electronicZoom_->setCurrentIndex(0);
    notifyDetection_->setChecked(false);
    DrawIndicatorOff();
  } else {
    DrawIndicator(IndicatorDraw::kChange);
    externalLight_->setChecked(camera.externalLight);
    alarmOutput_->setChecked(camera.alarmOutput);
    if (const std::optional<int> item = ElectronicZoomItem(camera.electronicZoom)) {
      electronicZoom_->setCurrentIndex(*item);
    }
  }
  host_->SetRefreshIdle();
  host_->SetWaitCursorState(WaitCursorRequest::kEnd);
}

void AdjustPage::OnMessage(const MessageEvent& message) {
  if (message.Message() == um::kSensorChanged) {
    DrawIndicator(IndicatorDraw::kChange);
    if (host_ != nullptr) {
      host_->SetRefreshIdle();
    }
  }
}

}  // namespace qtr90x
