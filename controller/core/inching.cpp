#include "core/inching.h"

#include "core/private_messages.h"

namespace qtr90x {

namespace {

constexpr int kSlowestMotorSpeed = 8;
constexpr int kSlowestZoomSpeed = 0;

using F = LibraryFunction;

}  // namespace

void Inching::Start(int moveKind, const void* button, SpeedPositions sliders, KnownSpeeds known,
                    int camera, const Sender& send, EngineActions& out) {
  NewStep(button, true);
  speeds_ = sliders;
  known_ = known;
  // The speeds this move changes that were never read are read first.
  const bool pans = moveKind == 0 || moveKind == 2;
  const bool tilts = moveKind == 1 || moveKind == 2;
  if (pans && !known_[0])
    calls_[callCount_++] = MakeCall(F::kQzGetMotorSpeed, camera, 0);
  if (tilts && !known_[1])
    calls_[callCount_++] = MakeCall(F::kQzGetMotorSpeed, camera, 1);
  if (moveKind == 3 && !known_[2])
    calls_[callCount_++] = MakeCall(F::kQzGetZoomSpeed, camera);
  switch (moveKind) {
    case 0:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, kSlowestMotorSpeed);
      break;
    case 1:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, kSlowestMotorSpeed);
      break;
    case 2:
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, kSlowestMotorSpeed);
      calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, kSlowestMotorSpeed);
      break;
    case 3:
      calls_[callCount_++] = MakeCall(F::kQzSetZoomSpeed, camera, kSlowestZoomSpeed);
      break;
    default:
      pending_ = false;
      return;
  }
  pending_ = true;
  SendNext(send, out);
}

void Inching::Stop(int moveKind, const void* button, int camera, const Sender& send,
                   EngineActions& out) {
  NewStep(button, false);
  pending_ = true;
  if ((moveKind == 0 || moveKind == 2) && known_[0])
    calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 0, speeds_.pan);
  if ((moveKind == 1 || moveKind == 2) && known_[1])
    calls_[callCount_++] = MakeCall(F::kQzSetMotorSpeed, camera, 1, speeds_.tilt);
  if (moveKind == 3 && known_[2])
    calls_[callCount_++] = MakeCall(F::kQzSetZoomSpeed, camera, speeds_.zoom);
  // With nothing known to put back the button still needs its go to stop.
  SendNext(send, out);
}

void Inching::Answered(std::uint32_t generation, const LibraryCall& call,
                       std::optional<int> readValue, const Sender& send, EngineActions& out) {
  if (generation != generation_ || !awaiting_)
    return;
  awaiting_ = false;
  if (readValue) {
    if (call.function == F::kQzGetZoomSpeed) {
      speeds_.zoom = *readValue;
      known_[2] = true;
    } else if (call.function == F::kQzGetMotorSpeed) {
      (call.args[0] == 0 ? speeds_.pan : speeds_.tilt) = *readValue;
      known_[call.args[0] == 0 ? 0 : 1] = true;
    }
  }
  SendNext(send, out);
}

void Inching::SendNext(const Sender& send, EngineActions& out) {
  while (nextCall_ < callCount_) {
    if (send(calls_[nextCall_++])) {
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
