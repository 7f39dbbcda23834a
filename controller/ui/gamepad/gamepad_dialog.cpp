#include "ui/gamepad/gamepad_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "core/gamepad/gamepad_core.h"
#include "ui/gamepad/gamepad_control.h"

namespace qtr90x {

namespace {

QString Name(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A list of the buttons, "None" first; the item's data is the button number.
QComboBox* ButtonList(const QString& accessibleName) {
  auto* list = new QComboBox;
  list->addItem(QStringLiteral("None"), gamepad_button::kNone);
  for (int b = 0; b < kGamepadButtons; ++b) {
    list->addItem(Name(GamepadButtonName(b)), b);
  }
  list->setAccessibleName(accessibleName);
  return list;
}

void SelectButton(QComboBox* list, int button) {
  const int index = list->findData(button);
  list->setCurrentIndex(index >= 0 ? index : 0);
}

}  // namespace

GamepadDialog::GamepadDialog(GamepadControl& control, QWidget* parent)
    : QDialog(parent), control_(control) {
  setWindowTitle(tr("Gamepad"));

  // The controller in use and the switch.
  auto* device = new QGroupBox(tr("Controller"));
  controller_ = new QLabel;
  controller_->setObjectName(QStringLiteral("controllerName"));
  enabled_ = new QCheckBox(tr("Gamepad control &on"));
  auto* deviceLayout = new QVBoxLayout(device);
  deviceLayout->addWidget(controller_);
  deviceLayout->addWidget(enabled_);

  // The axes and buttons as they are now, and what the stick asks for.
  auto* live = new QGroupBox(tr("Live"));
  auto* liveGrid = new QGridLayout(live);
  for (int a = 0; a < kGamepadAxes; ++a) {
    const QString name = Name(GamepadAxisName(static_cast<GamepadAxis>(a)));
    auto* bar = new QProgressBar;
    // Sticks rest in the middle, triggers at the bottom.
    const bool trigger = a >= static_cast<int>(GamepadAxis::kTriggerLeft);
    bar->setRange(trigger ? 0 : -32768, 32767);
    bar->setTextVisible(false);
    bar->setAccessibleName(name);
    bar->setMaximumHeight(14);
    axes_[static_cast<std::size_t>(a)] = bar;
    liveGrid->addWidget(new QLabel(name), a, 0);
    liveGrid->addWidget(bar, a, 1);
  }
  panTilt_ = new QLabel;
  zoom_ = new QLabel;
  held_ = new QLabel;
  held_->setWordWrap(true);
  liveGrid->addWidget(panTilt_, kGamepadAxes, 0, 1, 2);
  liveGrid->addWidget(zoom_, kGamepadAxes + 1, 0, 1, 2);
  liveGrid->addWidget(held_, kGamepadAxes + 2, 0, 1, 2);

  // How the sticks respond.
  auto* response = new QGroupBox(tr("Response"));
  auto* responseGrid = new QGridLayout(response);
  deadZone_ = new QSpinBox;
  deadZone_->setRange(0, GamepadSettings::kMaxDeadZonePercent);
  deadZone_->setSuffix(QStringLiteral(" %"));
  curve_ = new QComboBox;
  curve_->addItems({tr("Linear"), tr("Squared")});
  zoomSource_ = new QComboBox;
  zoomSource_->addItems({tr("Triggers"), tr("Right stick")});
  invertPan_ = new QCheckBox(tr("Invert &pan"));
  invertTilt_ = new QCheckBox(tr("Invert &tilt"));
  invertZoom_ = new QCheckBox(tr("Invert &zoom"));
  const std::pair<QString, QWidget*> responseRows[] = {
      {tr("&Dead zone"), deadZone_}, {tr("Speed &curve"), curve_}, {tr("Zoo&m with"), zoomSource_}};
  int row = 0;
  for (const auto& [label, widget] : responseRows) {
    auto* text = new QLabel(label);
    text->setBuddy(widget);
    widget->setAccessibleName(QString(label).remove('&'));
    responseGrid->addWidget(text, row, 0);
    responseGrid->addWidget(widget, row, 1);
    ++row;
  }
  responseGrid->addWidget(invertPan_, row++, 0, 1, 2);
  responseGrid->addWidget(invertTilt_, row++, 0, 1, 2);
  responseGrid->addWidget(invertZoom_, row++, 0, 1, 2);
  responseGrid->setRowStretch(row, 1);

  // The button of each action, in two columns.
  auto* mapping = new QGroupBox(tr("Buttons"));
  auto* mappingGrid = new QGridLayout(mapping);
  modifier_ = ButtonList(tr("Modifier"));
  auto* modifierLabel = new QLabel(tr("Modi&fier"));
  modifierLabel->setBuddy(modifier_);
  mappingGrid->addWidget(modifierLabel, 0, 0);
  mappingGrid->addWidget(modifier_, 0, 1);
  constexpr int kRowsPerColumn = (kGamepadActions + 1) / 2;
  for (int i = 0; i < kGamepadActions; ++i) {
    const QString name = Name(GamepadActionName(static_cast<GamepadAction>(i)));
    auto* list = ButtonList(name);
    auto* modified = new QCheckBox(tr("+ modifier"));
    modified->setAccessibleName(name + tr(" with the modifier"));
    buttons_[static_cast<std::size_t>(i)] = list;
    withModifier_[static_cast<std::size_t>(i)] = modified;
    const int r = 1 + i % kRowsPerColumn;
    const int c = (i / kRowsPerColumn) * 3;
    mappingGrid->addWidget(new QLabel(name), r, c);
    mappingGrid->addWidget(list, r, c + 1);
    mappingGrid->addWidget(modified, r, c + 2);
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                       QDialogButtonBox::RestoreDefaults);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
          [this] { Show(GamepadSettings{}); });

  auto* top = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(device);
  left->addWidget(live);
  left->addStretch(1);
  top->addLayout(left, 1);
  top->addWidget(response);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(mapping);
  layout->addWidget(buttons);

  Show(control_.Settings());
  ShowController();
  ShowInput();
  connect(&control_, &GamepadControl::ControllerChanged, this, [this] { ShowController(); });
  connect(&control_, &GamepadControl::InputChanged, this, [this] { ShowInput(); });
  // The live figures follow the dead zone, curve and inversion being edited.
  for (QCheckBox* box : {invertPan_, invertTilt_, invertZoom_}) {
    connect(box, &QCheckBox::toggled, this, [this] { ShowInput(); });
  }
  connect(deadZone_, &QSpinBox::valueChanged, this, [this] { ShowInput(); });
  connect(curve_, &QComboBox::currentIndexChanged, this, [this] { ShowInput(); });
  connect(zoomSource_, &QComboBox::currentIndexChanged, this, [this] { ShowInput(); });
}

GamepadSettings GamepadDialog::Edited() const {
  GamepadSettings s;
  s.enabled = enabled_->isChecked();
  s.deadZonePercent = deadZone_->value();
  s.curve = static_cast<SpeedCurve>(curve_->currentIndex());
  s.zoomSource = static_cast<ZoomSource>(zoomSource_->currentIndex());
  s.invertPan = invertPan_->isChecked();
  s.invertTilt = invertTilt_->isChecked();
  s.invertZoom = invertZoom_->isChecked();
  s.modifier = modifier_->currentData().toInt();
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    s.bindings[i] =
        ButtonBinding{buttons_[i]->currentData().toInt(), withModifier_[i]->isChecked()};
  }
  return Sanitized(s);
}

void GamepadDialog::Show(const GamepadSettings& settings) {
  const GamepadSettings s = Sanitized(settings);
  enabled_->setChecked(s.enabled);
  deadZone_->setValue(s.deadZonePercent);
  curve_->setCurrentIndex(static_cast<int>(s.curve));
  zoomSource_->setCurrentIndex(static_cast<int>(s.zoomSource));
  invertPan_->setChecked(s.invertPan);
  invertTilt_->setChecked(s.invertTilt);
  invertZoom_->setChecked(s.invertZoom);
  SelectButton(modifier_, s.modifier);
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    SelectButton(buttons_[i], s.bindings[i].button);
    withModifier_[i]->setChecked(s.bindings[i].withModifier);
  }
}

void GamepadDialog::ShowController() {
  if (!control_.Settings().enabled)
    controller_->setText(tr("Gamepad control is off"));
  else
    controller_->setText(control_.Attached() ? control_.ControllerName()
                                             : tr("No controller attached"));
}

void GamepadDialog::ShowInput() {
  const GamepadCore& core = control_.Core();
  for (int a = 0; a < kGamepadAxes; ++a) {
    axes_[static_cast<std::size_t>(a)]->setValue(core.AxisValue(static_cast<GamepadAxis>(a)));
  }
  // What the stick asks for with the settings as edited.
  const GamepadSettings s = Edited();
  const auto shaped = [&](GamepadAxis axis) {
    return ShapeAxis(core.AxisValue(axis), s.deadZonePercent, s.curve);
  };
  double pan = shaped(GamepadAxis::kLeftX) * (s.invertPan ? -1 : 1);
  double tilt = -shaped(GamepadAxis::kLeftY) * (s.invertTilt ? -1 : 1);
  double zoom = s.zoomSource == ZoomSource::kRightStick
                    ? -shaped(GamepadAxis::kRightY)
                    : shaped(GamepadAxis::kTriggerRight) - shaped(GamepadAxis::kTriggerLeft);
  zoom *= s.invertZoom ? -1 : 1;
  const auto part = [](double v, const QString& plus, const QString& minus, int min, int max) {
    if (v == 0)
      return tr("stop");
    return QStringLiteral("%1 %2")
        .arg(v > 0 ? plus : minus)
        .arg(SpeedForDeflection(std::fabs(v), min, max));
  };
  panTilt_->setText(tr("Pan: %1, tilt: %2")
                        .arg(part(pan, tr("right"), tr("left"), kPanSpeedMin, kPanSpeedMax),
                             part(tilt, tr("up"), tr("down"), kTiltSpeedMin, kTiltSpeedMax)));
  zoom_->setText(
      tr("Zoom: %1").arg(part(zoom, tr("tele"), tr("wide"), kZoomSpeedMin, kZoomSpeedMax)));
  QStringList held;
  for (int b = 0; b < kGamepadButtons; ++b) {
    if (core.ButtonDown(b))
      held << Name(GamepadButtonName(b));
  }
  held_->setText(tr("Buttons held: %1").arg(held.isEmpty() ? tr("none") : held.join(", ")));
}

void ExecGamepadDialog(QWidget* parent, GamepadControl& control) {
  GamepadDialog dialog(control, parent);
  if (dialog.exec() == QDialog::Accepted)
    control.ApplySettings(dialog.Edited());
}

}  // namespace qtr90x
