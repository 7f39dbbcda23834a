#include "core/engine/inching.h"

#include "core/engine/private_messages.h"

namespace qtr90x {

namespace {

constexpr int kSlowestMotorSpeed = 8;
constexpr int kSlowestZoomSpeed = 0;

using F = LibraryFunction;

// The speed a call reads or sets: 0 pan, 1 tilt, 2 zoom.
std::size_t AxisOf(const LibraryCall& call) {
  if (call.function == F::kQzSetZoomSpeed || call.function == F::kQzGetZoomSpeed)
    return 2;
  return call.args[0] == 0 ? 0 : 1;
}

bool Pans(MoveKind kind) {
  return kind == MoveKind::kPan || kind == MoveKind::kDiagonal;
}

bool Tilts(MoveKind kind) {
  return kind == MoveKind::kTilt || kind == MoveKind::kDiagonal;
}

bool IsRead(const LibraryCall& call) {
  return call.function == F::kQzGetMotorSpeed || call.function == F::kQzGetZoomSpeed;
}

}  // namespace

void Inching::Start(MoveKind moveKind, const void* button, SpeedPositions speeds, KnownSpeeds known,
                    int camera, const Sender& send, EngineActions& out) {
  NewStep(button, true);
  speeds_ = speeds;
  known_ = known;
  unreadable_ = {};
  // The speeds this move changes that were never read are read first.
  const bool pans = Pans(moveKind);
  const bool tilts = Tilts(moveKind);
  if (pans && !known_[0])
    calls_[callCount_++] = MakeCall(F::kQzGetMotorSpeed, camera, 0);
  if (tilts && !known_[1])
    calls_[callCount_++] = MakeCall(F::kQzGetMotorSpeed, camera, 1);
  if (moveKind == MoveKind::kZoom && !known_[2])
    calls_[callCount_++] = MakeCall(F::kQzGetZoomSpeed, camera);
  switch (moveKind) {
    case MoveKind::kPan:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, kSlowestMotorSpeed);
      break;
    case MoveKind::kTilt:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, kSlowestMotorSpeed);
      break;
    case MoveKind::kDiagonal:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, kSlowestMotorSpeed);
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, kSlowestMotorSpeed);
      break;
    case MoveKind::kZoom:
      calls_[callCount_++] = MakeCall(F::kQzSetZoomSpeed, camera, kSlowestZoomSpeed);
      break;
    default:
      pending_ = false;
      return;
  }
  pending_ = true;
  SendNext(send, out);
}

void Inching::Stop(MoveKind moveKind, const void* button, int camera, const Sender& send,
                   EngineActions& out) {
  NewStep(button, false);
  pending_ = true;
  if (Pans(moveKind) && known_[0])
    calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, speeds_.pan);
  if (Tilts(moveKind) && known_[1])
    calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, speeds_.tilt);
  if (moveKind == MoveKind::kZoom && known_[2])
    calls_[callCount_++] = MakeCall(F::kQzSetZoomSpeed, camera, speeds_.zoom);
  // With nothing known to put back the button still needs its go to stop.
  SendNext(send, out);
}

void Inching::Answered(std::uint32_t generation, const LibraryCall& call,
                       std::optional<int> readValue, const Sender& send, EngineActions& out) {
  if (generation != generation_ || !awaiting_)
    return;
  awaiting_ = false;
  if (IsRead(call)) {
    const std::size_t axis = AxisOf(call);
    if (readValue) {
      (axis == 0 ? speeds_.pan : axis == 1 ? speeds_.tilt : speeds_.zoom) = *readValue;
      known_[axis] = true;
    } else {
      unreadable_[axis] = true;
    }
  }
  SendNext(send, out);
}

void Inching::SendNext(const Sender& send, EngineActions& out) {
  while (nextCall_ < callCount_) {
    const LibraryCall& call = calls_[nextCall_++];
    // A speed that could not be read is not set slow: it could not be put back.
    if (!IsRead(call) && unreadable_[AxisOf(call)])
      continue;
    if (send(call)) {
      awaiting_ = true;  // its answer sends the next one
      return;
    }
    // No answer will come: let the button go on (or stop) at once.
    nextCall_ = callCount_;
  }
  Go(out);
}

void Inching::Go(EngineActions& out) {
  out.push_back(
      act::Post{MessageTarget::kInchingButton, um::kMoveGo, 0, pressed_ ? 1 : 0, button_});
  if (!pressed_)
    pending_ = false;
}

void Inching::Reset() {
  NewStep(nullptr, false);
  pending_ = false;
}

void Inching::NewStep(const void* button, bool pressed) {
  ++generation_;
  awaiting_ = false;
  button_ = button;
  pressed_ = pressed;
  callCount_ = 0;
  nextCall_ = 0;
}

}  // namespace qtr90x
