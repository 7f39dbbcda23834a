// Tools -> Gamepad...: the controller in use, its axes and buttons live, and
// the operator's settings: gamepad control on or off, dead zone, speed curve,
// zoom source, inverted axes and the button of each action. OK takes the
// settings into use and keeps them; Cancel leaves everything as it was.
#pragma once

#include <QDialog>
#include <array>

#include "core/gamepad/gamepad_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QSpinBox;

namespace qtr90x {

class GamepadControl;

class GamepadDialog : public QDialog {
 public:
  GamepadDialog(GamepadControl& control, QWidget* parent = nullptr);

  // The settings as the dialog shows them.
  GamepadSettings Edited() const;
  void Show(const GamepadSettings& settings);

 private:
  void ShowController();
  void ShowInput();

  GamepadControl& control_;
  QLabel* controller_ = nullptr;
  QCheckBox* enabled_ = nullptr;
  std::array<QProgressBar*, kGamepadAxes> axes_{};
  QLabel* panTilt_ = nullptr;
  QLabel* zoom_ = nullptr;
  QLabel* held_ = nullptr;
  QSpinBox* deadZone_ = nullptr;
  QComboBox* curve_ = nullptr;
  QComboBox* zoomSource_ = nullptr;
  QCheckBox* invertPan_ = nullptr;
  QCheckBox* invertTilt_ = nullptr;
  QCheckBox* invertZoom_ = nullptr;
  QComboBox* modifier_ = nullptr;
  std::array<QComboBox*, kGamepadActions> buttons_{};
  std::array<QCheckBox*, kGamepadActions> withModifier_{};
};

// Runs the dialog; on OK the settings go to `control` and the store.
void ExecGamepadDialog(QWidget* parent, GamepadControl& control);

}  // namespace qtr90x
