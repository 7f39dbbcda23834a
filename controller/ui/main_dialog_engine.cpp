// The main dialog's side of the camera traffic: the library's messages, the
// private messages, the power-on timer and the wait cursor go to the
// sequence engine, and what it returns is carried out here.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimerEvent>
#include <algorithm>

#include "camlink/qzlink.h"
#include "core/control_rules.h"
#include "core/private_messages.h"
#include "core/traffic_text.h"
#include "core/unit_name.h"
#include "resources/control_ids.h"
#include "resources/string_table.h"
#include "ui/action_slider.h"
#include "ui/adjust_page.h"
#include "ui/auto_exposure_panel.h"
#include "ui/debug_window.h"
#include "ui/direction_button.h"
#include "ui/input_command_window.h"
#include "ui/main_dialog.h"
#include "ui/manual_exposure_panel.h"
#include "ui/message_box.h"
#include "ui/message_event.h"
#include "ui/picture_page.h"
#include "ui/preset_combo.h"
#include "ui/system_page.h"

namespace qtr90x {

namespace {

// The dialog's own events, apart from the private messages: one that only
// gives the wait cursor its turn, one that shows the failed power-on box
// after the library's handler has returned, and one after the first paint.
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kConnectionFailedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kFirstPaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Frames fetched from the library: a received frame is at most 40 bytes, a
// last command at most 50.
constexpr int kFrameBuffer = 64;

}  // namespace

// --- PageHost ----------------------------------------------------------------------------

void MainDialog::SetRefreshIdle() {
  Execute(engine_.OnPageRefreshed());
}

void MainDialog::SetWaitCursorState(int state) {
  engine_.RequestWaitCursor(state);
  Execute(EngineActions{});
}

void MainDialog::ExpectExposureAnswer(int target) {
  engine_.ExpectExposureAnswer(target);
}

// --- messages ----------------------------------------------------------------------------

bool MainDialog::event(QEvent* e) {
  ApplyWaitCursor();
  const int type = static_cast<int>(e->type());
  if (type >= um::kFocusHandoff && type <= um::kSensorChanged) {
    OnPrivateMessage(static_cast<const MessageEvent&>(*e));
    return true;
  }
  if (e->type() == kWakeEvent) {
    wakePosted_ = false;
    return true;
  }
  if (e->type() == kConnectionFailedEvent) {
    ShowMessageBox(this, QString::fromUtf8(kConnectionFailedText), QMessageBox::NoIcon);
    done(1);
    return true;
  }
  if (e->type() == kFirstPaintEvent) {
    // A failed start-up attempt is reported once the dialog is on the screen.
    if (startupAttempt_) {
      startupAttempt_ = false;
      if (!connected_) {
        ApplyCameraList(0, -1);
        ShowOpenFailure();
      }
    }
    return true;
  }
  if (e->type() == QEvent::Paint && startupAttempt_ && !firstPaintPosted_) {
    firstPaintPosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kFirstPaintEvent));
  }
  return QDialog::event(e);
}

void MainDialog::ApplyWaitCursor() {
  switch (engine_.AtMessageStart()) {
    case WaitCursorStep::kBegin:
      QApplication::setOverrideCursor(Qt::WaitCursor);
      break;
    case WaitCursorStep::kEnd:
      QApplication::restoreOverrideCursor();
      break;
    case WaitCursorStep::kRestore:  // the override cursor stays until it is ended
    case WaitCursorStep::kNone:
      break;
  }
}

LRESULT MainDialog::OnLibraryMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool* handled) {
  if (shuttingDown_) {
    *handled = msg == AckRxMessage;
    return 0;
  }
  ApplyWaitCursor();
  if (msg == AckRxMessage && wParam == 1) {
    OnAnswer(lParam);
    *handled = true;
    return 0;
  }
  if (msg == NotifyRxMessage) {
    OnNotification(wParam, lParam);
  }
  *handled = false;
  return 0;
}

void MainDialog::OnAnswer(LPARAM sequence) {
  std::uint8_t bytes[kFrameBuffer] = {};
  const int sentLength = std::clamp(static_cast<int>(QzGetLastCmdstr(bytes)), 0, kFrameBuffer);
  sentText_ = TrafficText(bytes, static_cast<std::size_t>(sentLength));
  std::fill(std::begin(bytes), std::end(bytes), 0);
  const int length = std::clamp(static_cast<int>(QzGetMsg(static_cast<int32_t>(sequence), bytes)),
                                0, kFrameBuffer);
  answerText_ = TrafficText(bytes, static_cast<std::size_t>(length));
  Execute(engine_.OnAnswer(sentText_, answerText_));
}

void MainDialog::OnNotification(WPARAM kind, LPARAM sequence) {
  if (kind < 1 || kind > 5) {
    return;
  }
  std::uint8_t bytes[kFrameBuffer] = {};
  const int length = std::clamp(static_cast<int>(QzGetMsg(static_cast<int32_t>(sequence), bytes)),
                                0, kFrameBuffer);
  std::string& text = notificationTexts_[kind - 1];
  text = TrafficText(bytes, static_cast<std::size_t>(length));
  Execute(engine_.OnNotification(static_cast<int>(kind), text));
  if (kind == 1) {
    text.clear();
  }
}

void MainDialog::OnPrivateMessage(const MessageEvent& m) {
  switch (m.Message()) {
    case um::kFocusHandoff:
      FocusHandoff(m.LParam());
      return;
    case um::kPageEscape:
      Exit();
      return;
    case um::kOnScreenChanged:
      Execute(engine_.OnOnScreenChanged(system_->OnScreenChecked()));
      return;
    case um::kInchStart:
    case um::kInchStop: {
      // The button is the message's sender; a button of another window, or
      // one that is gone, is not answered.
      auto* button = dynamic_cast<DirectionButton*>(m.Sender());
      if (!connected_ || button == nullptr || !directionButtons_.contains(button)) {
        return;
      }
      const int kind = static_cast<int>(m.LParam());
      if (m.Message() == um::kInchStart) {
        const SpeedPositions sliders{adjust_->PanSpeed()->value(), adjust_->TiltSpeed()->value(),
                                     adjust_->ZoomSpeed()->value()};
        Execute(engine_.OnInchStart(kind, button, sliders));
      } else {
        Execute(engine_.OnInchStop(kind, button));
      }
      return;
    }
    case um::kDebugClose:
      // The window has hidden itself; the Debug button shows it again.
      debugWindowShown_ = false;
      return;
    case um::kPresetNames:
      ShowPresetNameDialog();
      return;
    case um::kCmdWndClose:
      commandWindow_->hide();
      commandWindowShownOnce_ = false;
      return;
    default:
      if (SequenceEngine::HandlesMessage(m.Message())) {
        Execute(engine_.HandleMessage(m.Message(), m.WParam(), m.LParam()));
      }
      return;
  }
}

void MainDialog::timerEvent(QTimerEvent* e) {
  if (e->timerId() != powerOnTimerQtId_ || powerOnTimerQtId_ == 0) {
    QDialog::timerEvent(e);
    return;
  }
  killTimer(powerOnTimerQtId_);
  powerOnTimerQtId_ = 0;
  Execute(engine_.OnPowerOnTimer());
}

// --- the engine's actions ----------------------------------------------------------------

void MainDialog::Execute(const EngineActions& actions) {
  for (const EngineAction& action : actions) {
    Execute(action);
  }
  // A requested begin or end of the wait cursor takes effect at the next
  // message; make sure one comes.
  const int state = engine_.WaitCursorStateValue();
  if ((state == 1 || state == 2) && !wakePosted_) {
    wakePosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
  }
}

QObject* MainDialog::Target(const EngineAction& action) const {
  switch (action.target) {
    case MessageTarget::kMainDialog:
      return const_cast<MainDialog*>(this);
    case MessageTarget::kAdjustPage:
      return adjust_;
    case MessageTarget::kSystemPage:
      return system_;
    case MessageTarget::kPicturePage:
      return picture_;
    case MessageTarget::kAutoExposurePanel:
      return picture_ != nullptr ? static_cast<QObject*>(picture_->AutoPanel()) : nullptr;
    case MessageTarget::kManualExposurePanel:
      return picture_ != nullptr ? static_cast<QObject*>(picture_->ManualPanel()) : nullptr;
    case MessageTarget::kInchingButton:
      for (DirectionButton* button : directionButtons_) {
        if (button == action.window) {
          return button;
        }
      }
      return nullptr;
  }
  return nullptr;
}

void MainDialog::Execute(const EngineAction& action) {
  using Type = EngineAction::Type;
  switch (action.type) {
    case Type::kPostMessage:
      PostMessageTo(Target(action), action.message, action.wParam, action.lParam);
      break;
    case Type::kStartPowerOnTimer:
      if (powerOnTimerQtId_ == 0) {
        powerOnTimerQtId_ = startTimer(kPowerOnTimerMs);
      }
      break;
    case Type::kStopPowerOnTimer:
      if (powerOnTimerQtId_ != 0) {
        killTimer(powerOnTimerQtId_);
        powerOnTimerQtId_ = 0;
      }
      break;
    case Type::kDebugLine:
      debugWindow_->AddLine(QString::fromStdString(action.text), action.debugType);
      break;
    case Type::kConnectionFailed:
      QCoreApplication::postEvent(this, new QEvent(kConnectionFailedEvent));
      break;
    case Type::kCameraList:
      ApplyCameraList(action.count, action.index);
      break;
    case Type::kPresetList:
      ApplyPresetList(action.value, action.port, action.camera);
      break;
    case Type::kApplyModel:
      ApplyModel(action);
      break;
    case Type::kCameraControlsEnabled:
      SetCameraControlsEnabled(action.flag);
      break;
    case Type::kEnableControls:
      EnableControls(action.flag);
      break;
    case Type::kFocusRadios:
      SetFocusRadios(action.checked, action.flag);
      break;
    case Type::kCommandModeRadios:
      local_->setChecked(action.checked);
      host_->setChecked(!action.checked);
      hiddenRemoteOk_->setChecked(!action.checked);
      break;
    case Type::kNightMode:
      ApplyNightMode(action.checked, action.index);
      break;
    case Type::kMakeCompact:
      if (fullSize_) {
        ToggleDetail();
      }
      break;
  }
}

void MainDialog::ApplyCameraList(int count, int index) {
  camera_->clear();
  const bool any = count > 0;
  camera_->setEnabled(any);
  cameraLabel_->setEnabled(any);
  for (int i = 1; i <= count; ++i) {
    camera_->addItem(QString::number(i));
  }
  if (any) {
    camera_->setCurrentIndex(std::clamp(index, 0, count - 1));
  }
}

void MainDialog::ApplyPresetList(int registered, int port, int camera) {
  for (int i = 0; i < 9; ++i) {
    presetRegistered_[static_cast<std::size_t>(i)] = (registered >> i) & 1;
  }
  LoadPresetNames(port, camera, &presetNames_);
  FillPresetCombo(0);
}

void MainDialog::FillPresetCombo(int select) {
  presets_->clear();
  for (int i = 0; i < 9; ++i) {
    std::array<char, 16>& slot = presetNames_[static_cast<std::size_t>(i)];
    slot.back() = '\0';
    if (slot[0] == '\0') {
      // An empty name is shown and kept as the preset's number.
      slot = {};
      slot[0] = static_cast<char>('1' + i);
    }
    presets_->addItem(QString::fromUtf8(slot.data()));
  }
  presets_->setCurrentIndex(std::clamp(select, 0, 8));
  UpdateGoButton();
}

void MainDialog::UpdateGoButton() {
  const int index = presets_->currentIndex();
  go_->setEnabled(index >= 0 && index < 9 && presetRegistered_[static_cast<std::size_t>(index)]);
}

void MainDialog::ApplyModel(const EngineAction& action) {
  modelLine_->setText(QString::fromUtf8(LoadString(action.value)));
  QWidget* irLabel = controls_.value(ctl::kIrLightLabel);
  if (action.flag) {
    // The QT-R7 has no IR cut filter and no IR light.
    nightMode_->setEnabled(false);
    irLight_->setEnabled(false);
    irLabel->setEnabled(false);
    return;
  }
  nightMode_->setEnabled(true);
  irLabel->setEnabled(true);
  nightMode_->setChecked(action.checked);
  irLight_->setEnabled(action.checked);
  irLight_->setCurrentIndex(std::clamp(action.index, 0, irLight_->count() - 1));
}

void MainDialog::ApplyNightMode(bool checked, int irLightIndex) {
  nightMode_->setChecked(checked);
  irLight_->setEnabled(checked && nightMode_->isEnabled());
  controls_.value(ctl::kIrLightLabel)->setEnabled(nightMode_->isEnabled());
  if (irLightIndex >= 0 && irLightIndex < irLight_->count()) {
    irLight_->setCurrentIndex(irLightIndex);
  }
}

void MainDialog::SetCameraControlsEnabled(bool enabled) {
  // The camera combo, Detail, Debug, Exit, the tab control and the System
  // page's power box stay usable: they are how the camera is powered on again.
  for (int id : {ctl::kGroupPanTilt, ctl::kGroupZoom, ctl::kGroupFocus, ctl::kGroupPreset,
                 ctl::kHost, ctl::kLocal}) {
    controls_.value(id)->setEnabled(enabled);
  }
  // The QT-R7 has no night mode at all.
  const bool night = enabled && !IsQtR7(Camera().unitName);
  nightMode_->setEnabled(night);
  controls_.value(ctl::kIrLightLabel)->setEnabled(night);
  irLight_->setEnabled(night && nightMode_->isChecked());
  adjust_->setEnabled(enabled);
  picture_->setEnabled(enabled);
  system_->SetCameraControlsEnabled(enabled);
}

void MainDialog::EnableControls(bool operable) {
  EnableControlsInputs in;
  in.operable = operable;
  in.manualFocusChecked = focusManual_->isChecked();
  const int preset = presets_->currentIndex();
  in.selectedPresetRegistered =
      preset >= 0 && preset < 9 && presetRegistered_[static_cast<std::size_t>(preset)];
  in.nightModeChecked = nightMode_->isChecked();
  in.unitName = Camera().unitName;
  for (const ControlEnable& c : EnableControlsPlan(in)) {
    if (QWidget* w = controls_.value(c.controlId)) {
      w->setEnabled(c.enabled);
    }
  }
}

void MainDialog::SetFocusRadios(bool manual, bool enableNearFar) {
  focusManual_->setChecked(manual);
  focusAuto_->setChecked(!manual);
  hiddenManual_->setChecked(manual);
  if (enableNearFar || !manual) {
    SetNearFarEnabled(manual);
  }
}

}  // namespace qtr90x
