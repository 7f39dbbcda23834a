#include "ui/gamepad_control.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "core/private_messages.h"
#include "ui/camera_link.h"

namespace qtr90x {

QEvent::Type GamepadInputEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

std::unique_ptr<GamepadControl> GamepadControl::Create(CameraLink& link, const GamepadView& view) {
  if (!SdlGamepadSupport())
    return nullptr;
  std::unique_ptr<GamepadControl> control(new GamepadControl(link, view));
  if (control->Settings().enabled && !control->StartSource())
    return nullptr;
  return control;
}

bool GamepadControl::StartSource() {
  QString why;
  source_ = StartSdlGamepadSource(this, &why);
  if (source_ == nullptr)
    std::fprintf(stderr, "QTR90xControler: no gamepad control: %s\n", qPrintable(why));
  return source_ != nullptr;
}

void GamepadControl::StopSource() {
  // Joined here: no event of the edge arrives after this.
  source_.reset();
  if (core_.Attached()) {
    name_.clear();
    GamepadOutputs out;
    core_.OnDetached(Context(), out);
    Carry(out);
    emit ControllerChanged();
  }
}

GamepadControl::GamepadControl(CameraLink& link, const GamepadView& view)
    : link_(link), view_(view) {
  GamepadSettings settings;
  LoadGamepadSettings(&settings);
  GamepadOutputs ignored;
  core_.SetSettings(settings, Context(), ignored);
  // The buttons whose enabled state the gamepad follows.
  for (QWidget* w : view_.drives) {
    if (w != nullptr)
      w->installEventFilter(this);
  }
  // The camera list and Host/Local: after the dialog's own handling, so that
  // a stop reaches the camera that was moving before Local mode is asked for.
  if (view_.camera != nullptr)
    connect(view_.camera, &QComboBox::activated, this, [this] { ContextChanged(); });
  if (view_.local != nullptr)
    connect(view_.local, &QRadioButton::toggled, this, [this] { ContextChanged(); });
}

GamepadControl::~GamepadControl() {
  // The edge's thread is joined before the receiver of its events goes.
  source_.reset();
}

GamepadContext GamepadControl::Context() const {
  GamepadContext ctx;
  if (!link_.Connected())
    return ctx;
  ctx.camera = link_.SelectedCamera();
  const auto enabled = [this](std::size_t drive) {
    const QWidget* w = view_.drives[drive];
    return w != nullptr && w->isEnabled();
  };
  const bool host = view_.local == nullptr || !view_.local->isChecked();
  ctx.panTiltEnabled = host && enabled(0);
  ctx.zoomEnabled = host && enabled(1);
  ctx.focusEnabled = host && enabled(2);
  const CameraState& camera = link_.Camera();
  const KnownSpeeds& known = link_.Engine().SpeedsRead();
  ctx.panSpeed = known[0] ? camera.panSpeed : -1;
  ctx.tiltSpeed = known[1] ? camera.tiltSpeed : -1;
  ctx.zoomSpeed = known[2] ? camera.zoomSpeed : -1;
  return ctx;
}

void GamepadControl::StopMoves() {
  GamepadOutputs out;
  core_.StopAll(GamepadCore::StopReason::kSessionEnding, Context(), out);
  Carry(out);
}

void GamepadControl::ApplySettings(const GamepadSettings& settings) {
  SaveGamepadSettings(settings);
  GamepadOutputs out;
  core_.SetSettings(settings, Context(), out);
  Carry(out);
  // Switched off, SDL is not kept running: with a controller attached it
  // reads it once a millisecond.
  if (!core_.Settings().enabled && source_ != nullptr)
    StopSource();
  else if (core_.Settings().enabled && source_ == nullptr)
    StartSource();
}

bool GamepadControl::event(QEvent* e) {
  if (e->type() == GamepadInputEvent::Type()) {
    OnInput(static_cast<const GamepadInputEvent*>(e)->Input());
    return true;
  }
  if (static_cast<int>(e->type()) == um::kGamepadAnswered) {
    GamepadOutputs out;
    core_.OnAnswered(Context(), out);
    Carry(out);
    return true;
  }
  return QObject::event(e);
}

bool GamepadControl::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::EnabledChange)
    ContextChanged();
  return QObject::eventFilter(watched, e);
}

void GamepadControl::ContextChanged() {
  GamepadOutputs out;
  core_.OnContextChanged(Context(), out);
  Carry(out);
}

void GamepadControl::OnInput(const GamepadInput& input) {
  lastInputNs_ = input.receivedNs;
  GamepadOutputs out;
  const GamepadContext ctx = Context();
  switch (input.kind) {
    case GamepadInput::Kind::kAttached:
      name_ = input.name;
      core_.OnAttached(input.axes, ctx, out);
      break;
    case GamepadInput::Kind::kDetached:
      name_.clear();
      core_.OnDetached(ctx, out);
      break;
    case GamepadInput::Kind::kAxis:
      if (input.index < 0 || input.index >= kGamepadAxes)
        return;
      core_.OnAxis(static_cast<GamepadAxis>(input.index), input.value, ctx, out);
      break;
    case GamepadInput::Kind::kButton:
      core_.OnButton(input.index, input.value != 0, ctx, out);
      break;
  }
  Carry(out);
  if (input.kind == GamepadInput::Kind::kAttached || input.kind == GamepadInput::Kind::kDetached)
    emit ControllerChanged();
  emit InputChanged();
}

void GamepadControl::Carry(const GamepadOutputs& outputs) {
  for (const GamepadOutput& output : outputs) {
    if (output.kind == GamepadOutput::Kind::kSend) {
      // Answered or not, the engine reports back exactly once.
      ++commandsSent_;
      link_.SendCommand(output.call, AnswerFollowUp::kGamepadAnswered);
    } else {
      RunAction(output.action);
    }
  }
}

void GamepadControl::RunAction(GamepadAction action) {
  if (action == GamepadAction::kOnePushAf) {
    if (QPushButton* button = view_.onePushAf; button != nullptr && button->isEnabled())
      button->click();
    return;
  }
  if (action == GamepadAction::kCameraPrevious || action == GamepadAction::kCameraNext) {
    QComboBox* camera = view_.camera;
    if (camera == nullptr || !camera->isEnabled() || camera->count() < 2)
      return;
    const int step = action == GamepadAction::kCameraNext ? 1 : camera->count() - 1;
    const int index = (camera->currentIndex() + step) % camera->count();
    camera->setCurrentIndex(index);
    emit camera->activated(index);  // as the operator's choice: the dialog, then us
    return;
  }
  // A preset: chosen in the list, and recalled with Go when Go is enabled
  // for it (the camera has it stored).
  const int preset = static_cast<int>(action) - static_cast<int>(GamepadAction::kPreset1);
  QComboBox* presets = view_.presets;
  QPushButton* go = view_.presetGo;
  if (presets == nullptr || go == nullptr || !presets->isEnabled() || preset < 0 ||
      preset >= presets->count())
    return;
  presets->setCurrentIndex(preset);
  emit presets->activated(preset);
  if (go->isEnabled())
    go->click();
}

}  // namespace qtr90x
