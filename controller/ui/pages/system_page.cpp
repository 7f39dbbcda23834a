#include "ui/pages/system_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/engine/private_messages.h"
#include "core/link/library_call.h"
#include "core/link/unit_name.h"
#include "core/pages/system_mapping.h"
#include "resources/control_ids.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "ui/common/page_host.h"
#include "ui/link/message_event.h"

namespace qtr90x {

namespace {

QComboBox* List(int controlId, std::initializer_list<int> strings, const QString& name) {
  auto* list = WithId(new QComboBox, controlId);
  for (int id : strings) {
    list->addItem(QString::fromUtf8(LoadString(id)));
  }
  list->setAccessibleName(name);
  return list;
}

}  // namespace

SystemPage::SystemPage(QWidget* parent) : TabPage(parent) {
  using namespace ctl::sys;
  onScreen_ = WithId(new QCheckBox(tr("On Screen")), kOnScreen);
  setDate_ = WithId(new QPushButton(tr("Date")), kSetDate);
  setTime_ = WithId(new QPushButton(tr("Time")), kSetTime);
  for (QPushButton* button : {setDate_, setTime_}) {
    button->setAutoDefault(false);  // Enter in a page does nothing
  }
  setDate_->setToolTip(tr("Set the camera's date from this computer"));
  setTime_->setToolTip(tr("Set the camera's time from this computer"));
  dateFormat_ = List(kDateFormat, {str::kOff, str::kDateYyMmDd, str::kDateDdMmYy}, tr("Date"));
  timeFormat_ = List(kTimeFormat, {str::kOff, str::kTime24, str::kTime12}, tr("Time"));
  cameraPower_ = WithId(new QCheckBox(tr("Camera Power On")), kCameraPower);
  noiseReduction_ =
      List(kNoiseReduction, {str::kOff, str::kLow, str::kHigh}, tr("Noise Reduction"));
  noiseReductionLabel_ = WithId(new QLabel(tr("Noise Reduction")), kNoiseReductionLabel);
  noiseReductionLabel_->setBuddy(noiseReduction_);
  led_ = List(kLed, {str::kLedNormal, str::kLedGreen, str::kLedRed, str::kLedOrange, str::kOff},
              tr("LED"));

  auto* setting = WithId(new QGroupBox(tr("Setting")), kSettingGroup);
  auto* settingRow = new QHBoxLayout(setting);
  settingRow->addWidget(setDate_);
  settingRow->addWidget(setTime_);
  auto* formats = WithId(new QGroupBox(tr("Display Format")), kDisplayFormatGroup);
  auto* formatForm = new QFormLayout(formats);
  auto* dateLabel = WithId(new QLabel(tr("Date")), kDateFormatLabel);
  auto* timeLabel = WithId(new QLabel(tr("Time")), kTimeFormatLabel);
  dateLabel->setBuddy(dateFormat_);
  timeLabel->setBuddy(timeFormat_);
  formatForm->addRow(dateLabel, dateFormat_);
  formatForm->addRow(timeLabel, timeFormat_);
  auto* onScreenGroup = WithId(new QGroupBox(tr("On Screen")), kOnScreenGroup);
  auto* onScreenBox = new QVBoxLayout(onScreenGroup);
  onScreenBox->addWidget(onScreen_);
  onScreenBox->addWidget(setting);
  onScreenBox->addWidget(formats);

  auto* side = new QFormLayout;
  side->addRow(cameraPower_);
  side->addRow(noiseReductionLabel_, noiseReduction_);
  auto* ledLabel = WithId(new QLabel(tr("LED")), kLedLabel);
  ledLabel->setBuddy(led_);
  side->addRow(ledLabel, led_);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(onScreenGroup, 3);
  layout->addLayout(side, 2);
  SetTemplateSize(212, 115);

  SetTabOrder({onScreen_, setDate_, setTime_, dateFormat_, timeFormat_, cameraPower_,
               noiseReduction_, led_});

  connect(onScreen_, &QCheckBox::clicked, this, [this] {
    if (host_ != nullptr) {
      PostMessageTo(host_->MainWindow(), um::kOnScreenChanged);
    }
  });
  connect(setDate_, &QPushButton::clicked, this, [this] {
    if (host_ != nullptr) {
      const QDate today = clock_().date();
      host_->SendCommand(MakeCall(LibraryFunction::kQzSetDate, host_->SelectedCamera(),
                                  CameraYear(today.year()), today.month(), today.day()));
    }
  });
  connect(setTime_, &QPushButton::clicked, this, [this] {
    if (host_ != nullptr) {
      const QTime now = clock_().time();
      host_->SendCommand(MakeCall(LibraryFunction::kQzSetTime, host_->SelectedCamera(), now.hour(),
                                  now.minute(), now.second()));
    }
  });
  connect(dateFormat_, &QComboBox::activated, this, [this](int item) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetOnScreen, host_->SelectedCamera(), DateFormatCode(item)));
    }
  });
  connect(timeFormat_, &QComboBox::activated, this, [this](int item) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetOnScreen, host_->SelectedCamera(), TimeFormatCode(item)));
    }
  });
  connect(cameraPower_, &QCheckBox::clicked, this, [this](bool checked) {
    if (host_ != nullptr) {
      PostMessageTo(host_->MainWindow(), checked ? um::kPowerOn : um::kPowerOff);
    }
  });
  connect(noiseReduction_, &QComboBox::activated, this, [this](int item) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetNoiseReduction, host_->SelectedCamera(), item));
    }
  });
  connect(led_, &QComboBox::activated, this, [this](int item) {
    if (host_ != nullptr) {
      host_->SendCommand(
          MakeCall(LibraryFunction::kQzSetLed, host_->SelectedCamera(), LedCodeForItem(item)));
    }
  });
}

void SystemPage::ShowCameraPower(bool on) {
  cameraPower_->setChecked(on);
}

bool SystemPage::OnScreenChecked() const {
  return onScreen_->isChecked();
}

void SystemPage::SetCameraControlsEnabled(bool enabled) {
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w != cameraPower_) {
      w->setEnabled(enabled);
    }
  }
}

void SystemPage::Refresh(std::intptr_t firstRead) {
  if (host_ == nullptr) {
    return;
  }
  const CameraState& camera = host_->Camera();
  cameraPower_->setChecked(camera.cameraPower);
  if (IsQtR7(camera.unitName)) {
    // This model has no noise reduction and reports no display status: its
    // LED and display settings are set to defaults by the first read only.
    noiseReduction_->setCurrentIndex(0);
    noiseReduction_->setEnabled(false);
    noiseReductionLabel_->setEnabled(false);
    if (firstRead != 0) {
      led_->setCurrentIndex(camera.ledState);
      onScreen_->setChecked(camera.onScreen);
      dateFormat_->setCurrentIndex(DateFormatItem(camera.dateDisplay));
      timeFormat_->setCurrentIndex(TimeFormatItem(camera.timeDisplay));
    }
  } else {
    onScreen_->setChecked(camera.onScreen);
    dateFormat_->setCurrentIndex(DateFormatItem(camera.dateDisplay));
    timeFormat_->setCurrentIndex(TimeFormatItem(camera.timeDisplay));
    noiseReduction_->setCurrentIndex(camera.noiseReduction);
    noiseReduction_->setEnabled(true);
    noiseReductionLabel_->setEnabled(true);
    if (const std::optional<int> item = LedItemForState(camera.ledState)) {
      led_->setCurrentIndex(*item);
    }
  }
  host_->SetRefreshIdle();
  host_->SetWaitCursorState(WaitCursorRequest::kEnd);
}

}  // namespace qtr90x
