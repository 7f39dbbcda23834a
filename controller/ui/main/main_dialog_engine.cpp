// The main dialog as the view of its camera link: the private messages the
// pages post to it, where the engine's messages for the pages and buttons go,
// and what the engine's actions change in the dialog's controls.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <algorithm>

#include "core/engine/private_messages.h"
#include "core/link/unit_name.h"
#include "core/pages/control_rules.h"
#include "resources/control_ids.h"
#include "resources/string_table.h"
#include "ui/common/message_box.h"
#include "ui/gamepad/gamepad_control.h"
#include "ui/link/message_event.h"
#include "ui/main/direction_button.h"
#include "ui/main/main_dialog.h"
#include "ui/main/preset_combo.h"
#include "ui/pages/action_slider.h"
#include "ui/pages/adjust_page.h"
#include "ui/pages/auto_exposure_panel.h"
#include "ui/pages/manual_exposure_panel.h"
#include "ui/pages/picture_page.h"
#include "ui/pages/system_page.h"
#include "ui/tools/debug_window.h"
#include "ui/tools/input_command_window.h"

namespace qtr90x {

namespace {

// The dialog's own events, apart from the private messages: one that shows
// the failed power-on box after the library's handler has returned, and one
// after the first paint.
const QEvent::Type kConnectionFailedEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kFirstPaintEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// --- messages ----------------------------------------------------------------------------

bool MainDialog::event(QEvent* e) {
  link_.AtMessageStart();
  const int type = static_cast<int>(e->type());
  if (type >= um::kFocusHandoff && type <= um::kSensorChanged) {
    OnPrivateMessage(static_cast<const MessageEvent&>(*e));
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
      if (!link_.Connected()) {
        ApplyCameraList(0, -1);
        SetCameraControlsEnabled(false);
        ShowOpenFailure();
      }
      ShowSettingsDamage();
    }
    return true;
  }
  if (e->type() == QEvent::Paint && startupAttempt_ && !firstPaintPosted_) {
    firstPaintPosted_ = true;
    QCoreApplication::postEvent(this, new QEvent(kFirstPaintEvent));
  }
  return QDialog::event(e);
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
      link_.Run([&](SequenceEngine& engine, EngineActions& out) {
        engine.OnOnScreenChanged(system_->OnScreenChecked(), out);
      });
      return;
    case um::kInchStart:
    case um::kInchStop: {
      // The button is the message's sender; a button of another window, or
      // one that is gone, is not answered.
      auto* button = dynamic_cast<DirectionButton*>(m.Sender());
      if (!link_.Connected() || button == nullptr || !directionButtons_.contains(button)) {
        return;
      }
      const auto kind = static_cast<MoveKind>(m.LParam());
      if (m.Message() == um::kInchStart) {
        link_.Run([&](SequenceEngine& engine, EngineActions& out) {
          engine.OnInchStart(kind, button, out);
        });
      } else {
        link_.Run([&](SequenceEngine& engine, EngineActions& out) {
          engine.OnInchStop(kind, button, out);
        });
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
      // The engine's own messages, posted here by the pages.
      link_.HandleMessage(m.Message(), m.WParam(), m.LParam());
      return;
  }
}

// --- the link's view ----------------------------------------------------------------------

QObject* MainDialog::PostTarget(const act::Post& post) {
  switch (post.target) {
    case MessageTarget::kMainDialog:
      return this;
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
        if (button == post.window) {
          return button;
        }
      }
      return nullptr;
    case MessageTarget::kGamepad:
      return gamepad_.get();
  }
  return nullptr;
}

void MainDialog::Show(const EngineAction& action) {
  std::visit([this](const auto& a) { Apply(a); }, action);
}

void MainDialog::ShowWaitCursor(WaitCursorStep step) {
  if (step == WaitCursorStep::kBegin) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (step == WaitCursorStep::kEnd) {
    QApplication::restoreOverrideCursor();
  }
}

void MainDialog::StopMoves() {
  for (DirectionButton* button : directionButtons_) {
    button->StopIfMoving();
  }
  if (gamepad_ != nullptr) {
    gamepad_->StopMoves();
  }
}

void MainDialog::LinkChanged() {
  UpdateTitle();
  UpdateMenuChecks();
}

void MainDialog::Apply(const act::DebugLine& line) {
  debugWindow_->AddLine(QString::fromStdString(line.text), line.type);
}

void MainDialog::Apply(const act::ConnectionFailed&) {
  QCoreApplication::postEvent(this, new QEvent(kConnectionFailedEvent));
}

void MainDialog::Apply(const act::CameraList& list) {
  ApplyCameraList(list.count, list.index);
}

void MainDialog::Apply(const act::PresetList& list) {
  for (int i = 0; i < 9; ++i) {
    presetRegistered_[static_cast<std::size_t>(i)] = (list.registered >> i) & 1;
  }
  LoadPresetNames(list.port, list.camera, &presetNames_);
  FillPresetCombo(0);
}

void MainDialog::Apply(const act::ApplyModel& model) {
  modelLine_->setText(QString::fromUtf8(LoadString(model.stringId)));
  QWidget* irLabel = controls_.value(ctl::kIrLightLabel);
  if (model.qtR7) {
    // The QT-R7 has no IR cut filter and no IR light.
    nightMode_->setEnabled(false);
    irLight_->setEnabled(false);
    irLabel->setEnabled(false);
    return;
  }
  nightMode_->setEnabled(true);
  irLabel->setEnabled(true);
  nightMode_->setChecked(model.nightMode);
  irLight_->setEnabled(model.nightMode);
  irLight_->setCurrentIndex(std::clamp(model.irLight, 0, irLight_->count() - 1));
}

void MainDialog::Apply(const act::CameraControls& controls) {
  SetCameraControlsEnabled(controls.enabled);
}

void MainDialog::Apply(const act::EnableControls& enable) {
  EnableControls(enable.operable);
}

void MainDialog::Apply(const act::FocusRadios& radios) {
  focusManual_->setChecked(radios.manual);
  focusAuto_->setChecked(!radios.manual);
  hiddenManual_->setChecked(radios.manual);
  if (radios.enableNearFar || !radios.manual) {
    SetNearFarEnabled(radios.manual);
  }
}

void MainDialog::Apply(const act::CommandModeRadios& radios) {
  local_->setChecked(radios.local);
  host_->setChecked(!radios.local);
  hiddenRemoteOk_->setChecked(!radios.local);
}

void MainDialog::Apply(const act::NightMode& night) {
  nightMode_->setChecked(night.checked);
  irLight_->setEnabled(night.checked && nightMode_->isEnabled());
  controls_.value(ctl::kIrLightLabel)->setEnabled(nightMode_->isEnabled());
  if (night.irLightIndex >= 0 && night.irLightIndex < irLight_->count()) {
    irLight_->setCurrentIndex(night.irLightIndex);
  }
}

void MainDialog::Apply(const act::MakeCompact&) {
  if (fullSize_) {
    ToggleDetail();
  }
}

void MainDialog::Apply(const act::PowerBox& box) {
  system_->ShowCameraPower(box.on);
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
  // The pages come after the first connection attempt.
  if (adjust_ != nullptr) {
    adjust_->setEnabled(enabled);
    picture_->setEnabled(enabled);
    system_->SetCameraControlsEnabled(enabled);
  }
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

}  // namespace qtr90x
