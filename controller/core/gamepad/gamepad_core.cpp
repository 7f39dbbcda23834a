#include "core/gamepad/gamepad_core.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qtr90x {

namespace {

using F = LibraryFunction;

int Sign(double v) {
  return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// QzSetPanTilt2's code for a pan and a tilt direction: 0 stop, 1 up, 2 down,
// 3 right, 4 left, 5 up-right, 6 down-right, 7 up-left, 8 down-left.
int PanTiltCode(int panDir, int tiltDir) {
  static constexpr int kCodes[3][3] = {
      // tilt: down, none, up
      {8, 4, 7},  // pan left
      {2, 0, 1},  // pan none
      {6, 3, 5},  // pan right
  };
  return kCodes[panDir + 1][tiltDir + 1];
}

// Whether a new speed is worth a command: always when the camera's is not
// known or the range's end is asked for; otherwise only a change of at least
// a fiftieth of the range, so that a hand's tremor does not fill the line.
bool SpeedNeedsChange(int desired, int sent, int min, int max) {
  if (desired == sent)
    return false;
  if (sent < min || desired == min || desired == max)
    return true;
  const int step = std::max(1, (max - min) / 50);
  return std::abs(desired - sent) >= step;
}

}  // namespace

double ShapeAxis(int raw, int deadZonePercent, SpeedCurve curve) {
  double x = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
  x = std::clamp(x, -1.0, 1.0);
  const double dead = std::clamp(deadZonePercent, 0, GamepadSettings::kMaxDeadZonePercent) / 100.0;
  const double m = std::fabs(x);
  if (m <= dead)
    return 0;
  // From 0 at the dead zone's edge to 1 at the end of the travel: no jump.
  double r = std::min(1.0, (m - dead) / (1.0 - dead));
  if (curve == SpeedCurve::kSquared)
    r *= r;
  return x < 0 ? -r : r;
}

int SpeedForDeflection(double magnitude, int min, int max) {
  const double m = std::clamp(magnitude, 0.0, 1.0);
  return min + static_cast<int>(std::lround(m * (max - min)));
}

void GamepadOutputs::Push(const GamepadOutput& output) {
  // One event gives at most a stop per channel, one paced command and one
  // action: the capacity is never reached.
  if (size_ < kCapacity)
    items_[size_++] = output;
}

// --- inputs --------------------------------------------------------------------------

void GamepadCore::SetSettings(const GamepadSettings& settings, const GamepadContext& ctx,
                              GamepadOutputs& out) {
  settings_ = Sanitized(settings);
  if (!settings_.enabled)
    modifierHeld_ = false;
  Update(ctx, out);
}

void GamepadCore::OnAttached(const std::array<int, kGamepadAxes>& axes, const GamepadContext& ctx,
                             GamepadOutputs& out) {
  attached_ = true;
  for (std::size_t i = 0; i < axes_.size(); ++i)
    axes_[i] = std::clamp(axes[i], -32768, 32767);
  buttons_ = {};
  modifierHeld_ = false;
  focusButton_ = {-1, -1};
  // A control already held when the controller came is not obeyed until it
  // has been let go.
  LatchAll();
  Update(ctx, out);
}

void GamepadCore::OnDetached(const GamepadContext& ctx, GamepadOutputs& out) {
  StopAll(StopReason::kDetached, ctx, out);
}

void GamepadCore::OnAxis(GamepadAxis axis, int value, const GamepadContext& ctx,
                         GamepadOutputs& out) {
  const auto index = static_cast<std::size_t>(axis);
  if (index >= axes_.size())
    return;
  axes_[index] = std::clamp(value, -32768, 32767);
  Update(ctx, out);
}

bool GamepadCore::ButtonDown(int button) const {
  return button >= 0 && button < kGamepadButtons && buttons_[static_cast<std::size_t>(button)];
}

void GamepadCore::OnButton(int button, bool down, const GamepadContext& ctx, GamepadOutputs& out) {
  if (button < 0 || button >= kGamepadButtons || buttons_[static_cast<std::size_t>(button)] == down)
    return;
  buttons_[static_cast<std::size_t>(button)] = down;
  if (button == settings_.modifier) {
    modifierHeld_ = down;
    Update(ctx, out);
    return;
  }
  if (!down) {
    for (int& held : focusButton_) {
      if (held == button)
        held = -1;
    }
    Update(ctx, out);
    return;
  }
  if (!settings_.enabled || !attached_) {
    return;
  }
  const ButtonBinding pressed{button, modifierHeld_};
  for (int i = 0; i < kGamepadActions; ++i) {
    if (settings_.bindings[static_cast<std::size_t>(i)] != pressed)
      continue;
    const auto action = static_cast<GamepadAction>(i);
    if (action == GamepadAction::kFocusNear || action == GamepadAction::kFocusFar) {
      const int which = action == GamepadAction::kFocusNear ? 0 : 1;
      focusButton_[static_cast<std::size_t>(which)] = button;
      lastFocus_ = which == 0 ? 2 : 3;
    } else if (ctx.camera > 0) {
      out.Push(GamepadOutput{GamepadOutput::Kind::kAction, LibraryCall{}, action});
    }
    break;  // the first action bound to the button
  }
  Update(ctx, out);
}

void GamepadCore::OnAnswered(const GamepadContext& ctx, GamepadOutputs& out) {
  if (inFlight_ > 0)
    --inFlight_;
  Update(ctx, out);
}

void GamepadCore::OnContextChanged(const GamepadContext& ctx, GamepadOutputs& out) {
  Update(ctx, out);
}

void GamepadCore::StopAll(StopReason reason, const GamepadContext& ctx, GamepadOutputs& out) {
  if (reason == StopReason::kDetached) {
    attached_ = false;
    axes_ = {};
    buttons_ = {};
    modifierHeld_ = false;
    focusButton_ = {-1, -1};
  }
  // Whatever is still held stays without effect until it is let go.
  LatchAll();
  SendStops(ctx, out);
  if (reason == StopReason::kSessionEnding) {
    // Nothing more goes to this session, so nothing is put back either; the
    // next session's speeds are read afresh.
    ForgetSpeeds();
    return;
  }
  Update(ctx, out);
}

bool GamepadCore::Moving() const {
  return panTilt_.move.panDir != 0 || panTilt_.move.tiltDir != 0 || zoom_.dir != 0 ||
         focus_.drive != 0;
}

// --- what the inputs ask for ---------------------------------------------------------

bool GamepadCore::PanTiltInputNeutral() const {
  const int dz = settings_.deadZonePercent;
  return ShapeAxis(axes_[0], dz, settings_.curve) == 0 &&
         ShapeAxis(axes_[1], dz, settings_.curve) == 0;
}

bool GamepadCore::ZoomInputNeutral() const {
  const int dz = settings_.deadZonePercent;
  if (settings_.zoomSource == ZoomSource::kRightStick)
    return ShapeAxis(axes_[3], dz, settings_.curve) == 0;
  return ShapeAxis(axes_[4], dz, settings_.curve) == 0 &&
         ShapeAxis(axes_[5], dz, settings_.curve) == 0;
}

bool GamepadCore::FocusInputNeutral() const {
  return focusButton_[0] < 0 && focusButton_[1] < 0;
}

GamepadCore::PanTilt GamepadCore::DesiredPanTilt(const GamepadContext& ctx) const {
  PanTilt p;
  if (!settings_.enabled || !attached_ || !ctx.panTiltEnabled || ctx.camera <= 0 ||
      latched_[kPanTiltChannel])
    return p;
  double x = ShapeAxis(axes_[0], settings_.deadZonePercent, settings_.curve);
  // The stick's Y grows downwards; the camera tilts up for a stick pushed up.
  double y = -ShapeAxis(axes_[1], settings_.deadZonePercent, settings_.curve);
  if (settings_.invertPan)
    x = -x;
  if (settings_.invertTilt)
    y = -y;
  p.panDir = Sign(x);
  p.tiltDir = Sign(y);
  if (p.panDir != 0)
    p.panSpeed = SpeedForDeflection(std::fabs(x), kPanSpeedMin, kPanSpeedMax);
  if (p.tiltDir != 0)
    p.tiltSpeed = SpeedForDeflection(std::fabs(y), kTiltSpeedMin, kTiltSpeedMax);
  return p;
}

GamepadCore::Zoom GamepadCore::DesiredZoom(const GamepadContext& ctx) const {
  Zoom z;
  if (!settings_.enabled || !attached_ || !ctx.zoomEnabled || ctx.camera <= 0 ||
      latched_[kZoomChannel])
    return z;
  const int dz = settings_.deadZonePercent;
  double v = 0;
  if (settings_.zoomSource == ZoomSource::kRightStick) {
    v = -ShapeAxis(axes_[3], dz, settings_.curve);  // pushed up: tele
  } else {
    v = ShapeAxis(axes_[5], dz, settings_.curve) - ShapeAxis(axes_[4], dz, settings_.curve);
  }
  if (settings_.invertZoom)
    v = -v;
  z.dir = Sign(v);
  if (z.dir != 0)
    z.speed = SpeedForDeflection(std::fabs(v), kZoomSpeedMin, kZoomSpeedMax);
  return z;
}

int GamepadCore::DesiredFocus(const GamepadContext& ctx) const {
  if (!settings_.enabled || !attached_ || !ctx.focusEnabled || ctx.camera <= 0 ||
      latched_[kFocusChannel])
    return 0;
  const bool nearHeld = focusButton_[0] >= 0;
  const bool farHeld = focusButton_[1] >= 0;
  if (nearHeld && farHeld)
    return lastFocus_;
  return nearHeld ? 2 : (farHeld ? 3 : 0);
}

// --- the commands ------------------------------------------------------------------------

void GamepadCore::Send(const LibraryCall& call, GamepadOutputs& out) {
  out.Push(GamepadOutput{GamepadOutput::Kind::kSend, call, GamepadAction::kOnePushAf});
  ++inFlight_;
}

void GamepadCore::LatchAll() {
  latched_[kPanTiltChannel] = !PanTiltInputNeutral();
  latched_[kZoomChannel] = !ZoomInputNeutral();
  latched_[kFocusChannel] = !FocusInputNeutral();
}

void GamepadCore::ForgetSpeeds() {
  panTilt_ = PanTiltSent{};
  zoom_ = ZoomSent{};
  focus_ = FocusSent{};
}

void GamepadCore::UpdateLatches(const GamepadContext& ctx) {
  const bool neutral[kChannels] = {PanTiltInputNeutral(), ZoomInputNeutral(), FocusInputNeutral()};
  const bool usable = settings_.enabled && attached_ && ctx.camera > 0;
  const bool enabled[kChannels] = {usable && ctx.panTiltEnabled, usable && ctx.zoomEnabled,
                                   usable && ctx.focusEnabled};
  for (int c = 0; c < kChannels; ++c) {
    if (neutral[c])
      latched_[static_cast<std::size_t>(c)] = false;
    else if (!enabled[c])
      latched_[static_cast<std::size_t>(c)] = true;
  }
  // A control held while the camera changes does not move the new one.
  if (ctx.camera != lastCamera_) {
    lastCamera_ = ctx.camera;
    for (int c = 0; c < kChannels; ++c) {
      if (!neutral[c])
        latched_[static_cast<std::size_t>(c)] = true;
    }
  }
}

void GamepadCore::SendStops(const GamepadContext& ctx, GamepadOutputs& out) {
  // A stop goes to the camera that moves, even when the selection has
  // changed, and never waits for an answer.
  PanTiltSent& pt = panTilt_;
  if (pt.move.panDir != 0 || pt.move.tiltDir != 0) {
    const PanTilt d = DesiredPanTilt(ctx);
    if ((d.panDir == 0 && d.tiltDir == 0) || ctx.camera != pt.moveCamera) {
      Send(MakeCall(F::kQzSetPanTilt2, pt.moveCamera, 0), out);
      pt.move.panDir = 0;
      pt.move.tiltDir = 0;
      pt.panPrimed = pt.tiltPrimed = false;
    }
  }
  if (zoom_.dir != 0) {
    if (DesiredZoom(ctx).dir == 0 || ctx.camera != zoom_.moveCamera) {
      Send(MakeCall(F::kQzSetZooming, zoom_.moveCamera, 0), out);
      zoom_.dir = 0;
      zoom_.primed = false;
    }
  }
  if (focus_.drive != 0) {
    if (DesiredFocus(ctx) == 0 || ctx.camera != focus_.camera) {
      Send(MakeCall(F::kQzSetFocusMode, focus_.camera, 1), out);
      focus_.drive = 0;
    }
  }
}

void GamepadCore::Update(const GamepadContext& ctx, GamepadOutputs& out) {
  UpdateLatches(ctx);
  SendStops(ctx, out);
  if (inFlight_ > 0)
    return;  // the next command is chosen when this one is answered
  for (int i = 0; i < kChannels; ++i) {
    const int channel = (nextChannel_ + i) % kChannels;
    bool sent = false;
    switch (channel) {
      case kPanTiltChannel:
        sent = NextPanTilt(ctx, out);
        break;
      case kZoomChannel:
        sent = NextZoom(ctx, out);
        break;
      default:
        sent = NextFocus(ctx, out);
        break;
    }
    if (sent) {
      nextChannel_ = (channel + 1) % kChannels;
      return;
    }
  }
}

bool GamepadCore::NextPanTilt(const GamepadContext& ctx, GamepadOutputs& out) {
  PanTiltSent& s = panTilt_;
  const PanTilt d = DesiredPanTilt(ctx);
  const bool moving = s.move.panDir != 0 || s.move.tiltDir != 0;
  const bool wantMove = d.panDir != 0 || d.tiltDir != 0;

  // One axis stops while the other goes on: before any speed change.
  if (moving &&
      ((s.move.panDir != 0 && d.panDir == 0) || (s.move.tiltDir != 0 && d.tiltDir == 0))) {
    Send(MakeCall(F::kQzSetPanTilt2, s.moveCamera, PanTiltCode(d.panDir, d.tiltDir)), out);
    s.move.panDir = d.panDir;
    s.move.tiltDir = d.tiltDir;
    s.panPrimed = s.tiltPrimed = false;
    return true;
  }

  // The speeds go back to what the camera had once the stick leaves it.
  if (!moving && s.speedCamera != 0 && (!wantMove || ctx.camera != s.speedCamera) &&
      (ctx.camera != s.speedCamera || ctx.panTiltEnabled)) {
    if (s.panChanged) {
      s.panChanged = false;
      if (s.restPan >= kPanSpeedMin && s.restPan != s.move.panSpeed) {
        Send(MakeCall(F::kQzSetMotorSpeed, s.speedCamera, 0, s.restPan), out);
        s.move.panSpeed = s.restPan;
        return true;
      }
    }
    if (s.tiltChanged) {
      s.tiltChanged = false;
      if (s.restTilt >= kTiltSpeedMin && s.restTilt != s.move.tiltSpeed) {
        Send(MakeCall(F::kQzSetMotorSpeed, s.speedCamera, 1, s.restTilt), out);
        s.move.tiltSpeed = s.restTilt;
        return true;
      }
    }
  }
  if (!wantMove) {
    s.panPrimed = s.tiltPrimed = false;
    return false;
  }

  if (ctx.camera != s.speedCamera) {
    // Nothing is known of this camera's speeds as the stick left them.
    s.speedCamera = ctx.camera;
    s.move.panSpeed = 0;
    s.move.tiltSpeed = 0;
  }
  const bool panNeeds =
      d.panDir != 0 && SpeedNeedsChange(d.panSpeed, s.move.panSpeed, kPanSpeedMin, kPanSpeedMax);
  const bool tiltNeeds = d.tiltDir != 0 && SpeedNeedsChange(d.tiltSpeed, s.move.tiltSpeed,
                                                            kTiltSpeedMin, kTiltSpeedMax);

  // A start, or a turn: an axis that starts or reverses gets the stick's
  // speed of this moment first (once), then the move goes, however far the
  // stick has gone meanwhile; the speed catches up under the running move.
  const bool panTurns = d.panDir != 0 && d.panDir != s.move.panDir;
  const bool tiltTurns = d.tiltDir != 0 && d.tiltDir != s.move.tiltDir;
  if (d.panDir != s.move.panDir || d.tiltDir != s.move.tiltDir) {
    if (panTurns && !s.panPrimed && panNeeds) {
      s.panPrimed = true;
      SendPanSpeed(ctx, d.panSpeed, out);
      return true;
    }
    if (tiltTurns && !s.tiltPrimed && tiltNeeds) {
      s.tiltPrimed = true;
      SendTiltSpeed(ctx, d.tiltSpeed, out);
      return true;
    }
    Send(MakeCall(F::kQzSetPanTilt2, ctx.camera, PanTiltCode(d.panDir, d.tiltDir)), out);
    s.move.panDir = d.panDir;
    s.move.tiltDir = d.tiltDir;
    s.moveCamera = ctx.camera;
    s.panPrimed = s.tiltPrimed = false;
    return true;
  }

  // The move runs as the stick asks: only its speeds follow, taking turns
  // when both axes change.
  const bool tiltNow = tiltNeeds && (!panNeeds || s.tiltFirst);
  if (tiltNow) {
    SendTiltSpeed(ctx, d.tiltSpeed, out);
    s.tiltFirst = false;
    return true;
  }
  if (panNeeds) {
    SendPanSpeed(ctx, d.panSpeed, out);
    s.tiltFirst = true;
    return true;
  }
  return false;
}

void GamepadCore::SendPanSpeed(const GamepadContext& ctx, int speed, GamepadOutputs& out) {
  PanTiltSent& s = panTilt_;
  if (!s.panChanged) {
    s.panChanged = true;
    s.restPan = ctx.panSpeed;
  }
  Send(MakeCall(F::kQzSetMotorSpeed, ctx.camera, 0, speed), out);
  s.move.panSpeed = speed;
}

void GamepadCore::SendTiltSpeed(const GamepadContext& ctx, int speed, GamepadOutputs& out) {
  PanTiltSent& s = panTilt_;
  if (!s.tiltChanged) {
    s.tiltChanged = true;
    s.restTilt = ctx.tiltSpeed;
  }
  Send(MakeCall(F::kQzSetMotorSpeed, ctx.camera, 1, speed), out);
  s.move.tiltSpeed = speed;
}

bool GamepadCore::NextZoom(const GamepadContext& ctx, GamepadOutputs& out) {
  ZoomSent& s = zoom_;
  const Zoom d = DesiredZoom(ctx);
  const bool moving = s.dir != 0;
  if (!moving && s.speedCamera != 0 && (d.dir == 0 || ctx.camera != s.speedCamera) &&
      (ctx.camera != s.speedCamera || ctx.zoomEnabled) && s.changed) {
    s.changed = false;
    if (s.rest >= kZoomSpeedMin && s.rest != s.speed) {
      Send(MakeCall(F::kQzSetZoomSpeed, s.speedCamera, s.rest), out);
      s.speed = s.rest;
      return true;
    }
  }
  if (d.dir == 0) {
    s.primed = false;
    return false;
  }
  if (ctx.camera != s.speedCamera) {
    s.speedCamera = ctx.camera;
    s.speed = -1;
  }
  const bool needs = SpeedNeedsChange(d.speed, s.speed, kZoomSpeedMin, kZoomSpeedMax);
  // As for pan and tilt: one speed command before a start or a turn at most.
  if (needs && (d.dir == s.dir || !s.primed)) {
    if (!s.changed) {
      s.changed = true;
      s.rest = ctx.zoomSpeed;
    }
    Send(MakeCall(F::kQzSetZoomSpeed, ctx.camera, d.speed), out);
    s.speed = d.speed;
    s.primed = d.dir != s.dir;
    return true;
  }
  if (d.dir != s.dir) {
    // QzSetZooming: 1 wide, 2 tele, at the zoom speed.
    Send(MakeCall(F::kQzSetZooming, ctx.camera, d.dir > 0 ? 2 : 1), out);
    s.dir = d.dir;
    s.moveCamera = ctx.camera;
    s.primed = false;
    return true;
  }
  return false;
}

bool GamepadCore::NextFocus(const GamepadContext& ctx, GamepadOutputs& out) {
  const int d = DesiredFocus(ctx);
  if (d == 0 || d == focus_.drive)
    return false;
  Send(MakeCall(F::kQzSetFocusMode, ctx.camera, d), out);
  focus_.drive = d;
  focus_.camera = ctx.camera;
  return true;
}

}  // namespace qtr90x
