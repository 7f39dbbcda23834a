#include "netcontrol/move_arbiter.h"

namespace qznet {

MoveArbiter::Admission MoveArbiter::Admit(CameraId camera, const QString& client, bool isMove,
                                          TimePoint now) const {
  const auto it = cameras_.find(camera);
  if (it == cameras_.end()) {
    return {};
  }
  if (!it->lockHolder.isEmpty() && it->lockExpires > now && it->lockHolder != client) {
    return {Refusal::Locked, it->lockHolder};
  }
  if (isMove && it->localActive) {
    return {Refusal::LocalOperator, {}};
  }
  return {};
}

std::optional<LineIntent> MoveArbiter::Enqueue(CameraMoves& state, const LineIntent& intent) {
  state.wanted = intent;
  if (state.inFlight) {
    state.pending = intent;
    return std::nullopt;
  }
  state.inFlight = true;
  state.pending.reset();
  return intent;
}

MoveArbiter::Step MoveArbiter::Move(CameraId camera, const QString& client,
                                    const MoveVelocity& velocity, std::chrono::milliseconds timeout,
                                    TimePoint now) {
  CameraMoves& state = cameras_[camera];
  Step step;
  step.started = state.wanted.stop;
  state.owner = client;
  step.owner = client;
  state.deadline = now + timeout;
  const LineIntent intent{false, velocity};
  if (state.wanted == intent) {
    step.outcome = Outcome::Renewed;
    return step;
  }
  step.send = Enqueue(state, intent);
  step.outcome = step.send ? Outcome::Sent : Outcome::Coalesced;
  return step;
}

MoveArbiter::Step MoveArbiter::Stop(CameraId camera) {
  CameraMoves& state = cameras_[camera];
  Step step;
  step.stopped = !state.wanted.stop;
  step.owner = state.owner;
  state.owner.clear();
  step.send = Enqueue(state, LineIntent{});
  step.outcome = step.send ? Outcome::Sent : Outcome::Coalesced;
  return step;
}

bool MoveArbiter::Supersede(CameraId camera) {
  auto it = cameras_.find(camera);
  if (it == cameras_.end()) {
    return false;
  }
  const bool wasMoving = !it->wanted.stop;
  it->wanted = LineIntent{};
  it->owner.clear();
  if (it->pending && !it->pending->stop) {
    it->pending.reset();
  }
  return wasMoving;
}

std::optional<LineIntent> MoveArbiter::LineDone(CameraId camera, bool failed, bool* failedMove) {
  if (failedMove) {
    *failedMove = false;
  }
  auto it = cameras_.find(camera);
  if (it == cameras_.end()) {
    return std::nullopt;
  }
  if (!it->pending) {
    it->inFlight = false;
    if (failed && !it->wanted.stop) {
      it->wanted = LineIntent{};
      it->owner.clear();
      if (failedMove) {
        *failedMove = true;
      }
    }
    return std::nullopt;
  }
  std::optional<LineIntent> next = it->pending;
  it->pending.reset();
  return next;  // stays in flight
}

QList<MoveArbiter::Expiry> MoveArbiter::Expire(TimePoint now) {
  QList<Expiry> expired;
  for (auto it = cameras_.begin(); it != cameras_.end(); ++it) {
    if (!it->wanted.stop && it->deadline <= now) {
      const QString owner = it->owner;
      expired.append(Expiry{it.key(), owner, false, Stop(it.key())});
    }
    if (!it->lockHolder.isEmpty() && it->lockExpires <= now) {
      expired.append(Expiry{it.key(), it->lockHolder, true, {}});
      it->lockHolder.clear();
      it->lockReason.clear();
    }
  }
  return expired;
}

QList<MoveArbiter::Expiry> MoveArbiter::ClientGone(const QString& client) {
  QList<Expiry> gone;
  for (auto it = cameras_.begin(); it != cameras_.end(); ++it) {
    if (!it->wanted.stop && it->owner == client) {
      gone.append(Expiry{it.key(), client, false, Stop(it.key())});
    }
    if (it->lockHolder == client) {
      gone.append(Expiry{it.key(), client, true, {}});
      it->lockHolder.clear();
      it->lockReason.clear();
    }
  }
  return gone;
}

std::optional<QString> MoveArbiter::LocalOperator(CameraId camera, bool active) {
  CameraMoves& state = cameras_[camera];
  state.localActive = active;
  if (!active || state.wanted.stop) {
    return std::nullopt;
  }
  const QString owner = state.owner;
  Supersede(camera);
  return owner;
}

std::optional<QString> MoveArbiter::Lock(CameraId camera, const QString& client,
                                         const QString& reason, std::chrono::seconds ttl,
                                         TimePoint now) {
  CameraMoves& state = cameras_[camera];
  if (!state.lockHolder.isEmpty() && state.lockExpires > now && state.lockHolder != client) {
    return state.lockHolder;
  }
  state.lockHolder = client;
  state.lockReason = reason;
  state.lockExpires = now + ttl;
  return std::nullopt;
}

bool MoveArbiter::Unlock(CameraId camera, const QString& client, bool force) {
  auto it = cameras_.find(camera);
  if (it == cameras_.end() || it->lockHolder.isEmpty()) {
    return true;
  }
  if (it->lockHolder != client && !force) {
    return false;
  }
  it->lockHolder.clear();
  it->lockReason.clear();
  return true;
}

std::optional<QString> MoveArbiter::LockHolder(CameraId camera, TimePoint now) const {
  const auto it = cameras_.find(camera);
  if (it == cameras_.end() || it->lockHolder.isEmpty() || it->lockExpires <= now) {
    return std::nullopt;
  }
  return it->lockHolder;
}

bool MoveArbiter::Moving(CameraId camera) const {
  const auto it = cameras_.find(camera);
  return it != cameras_.end() && !it->wanted.stop;
}

QString MoveArbiter::Owner(CameraId camera) const {
  const auto it = cameras_.find(camera);
  return it == cameras_.end() ? QString() : it->owner;
}

std::optional<MoveArbiter::TimePoint> MoveArbiter::NextDeadline() const {
  std::optional<TimePoint> next;
  for (const CameraMoves& state : cameras_) {
    if (!state.wanted.stop && (!next || state.deadline < *next)) {
      next = state.deadline;
    }
    if (!state.lockHolder.isEmpty() && (!next || state.lockExpires < *next)) {
      next = state.lockExpires;
    }
  }
  return next;
}

}  // namespace qznet
