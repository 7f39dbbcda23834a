// Who moves which camera, and what goes on the line for it.
//
// - Per camera at most one move or stop of the network clients is on the
//   line at a time; what arrives meanwhile waits in one slot, the newest
//   replacing the older, so a client renewing its move 100 times a second
//   costs the 9600-baud line one command per answer, not 100.
// - A move repeated with the same speeds only renews its deadline.
// - Every move has a deadline (the dead man): past it the camera is stopped.
//   A client that goes away has its moves stopped.
// - A stop is always accepted and always reaches the line.
// - The local operator's press drops a network move (without a stop, which
//   would cancel the press) and refuses network moves while it lasts.
// - A lock gives one client the camera: the others' commands are refused.
//
// Pure logic: the caller gives the time, sends what it is told to send, and
// reports when the line has finished each command.
#pragma once

#include "netcontrol/camera_hub.h"

#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <optional>

namespace qznet {

// What goes on the line: a stop or a move with its speeds.
struct LineIntent {
  bool stop = true;
  MoveVelocity velocity;
  bool operator==(const LineIntent&) const = default;
};

class MoveArbiter {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;

  enum class Outcome { Sent, Coalesced, Renewed };
  struct Step {
    Outcome outcome = Outcome::Sent;
    std::optional<LineIntent> send;  // put this on the line now
    bool started = false;            // the camera was not moving for us before
    bool stopped = false;            // a move of ours ended
    QString owner;                   // the move's owner (for a stop: the one it had)
  };

  enum class Refusal { None, Locked, LocalOperator };
  struct Admission {
    Refusal refusal = Refusal::None;
    QString holder;  // the lock's holder
  };

  struct Expiry {
    CameraId camera;
    QString owner;      // the move's owner, or the lock's holder
    bool lock = false;  // a lock ran out (no step)
    Step step;
  };

  // Whether client may command the camera now (moves, presets, power, ...).
  // Stops and reads are never refused.
  Admission Admit(CameraId camera, const QString& client, bool isMove, TimePoint now) const;

  Step Move(CameraId camera, const QString& client, const MoveVelocity& velocity,
            std::chrono::milliseconds timeout, TimePoint now);
  Step Stop(CameraId camera);
  // Another command (home, preset recall) takes the camera: its move is over
  // without a stop, and a waiting move is dropped. True when a move ended.
  bool Supersede(CameraId camera);
  // The line has finished the command sent for the camera; what to send next.
  // A move that failed leaves the camera still as far as we know, so that a
  // renewal with the same speeds goes to the line again; failedMove says it
  // did (then the move is over).
  std::optional<LineIntent> LineDone(CameraId camera, bool failed, bool* failedMove = nullptr);

  // Moves past their deadline are stopped, locks past theirs released.
  QList<Expiry> Expire(TimePoint now);
  // The client has gone: its moves are stopped, its locks released.
  QList<Expiry> ClientGone(const QString& client);
  // The local operator pressed (active) or released a control of the camera.
  // Returns the network move's owner when one was dropped.
  std::optional<QString> LocalOperator(CameraId camera, bool active);

  // nullopt when taken; otherwise the holder that has it.
  std::optional<QString> Lock(CameraId camera, const QString& client, const QString& reason,
                              std::chrono::seconds ttl, TimePoint now);
  // False when another client holds the lock (and force is not given).
  bool Unlock(CameraId camera, const QString& client, bool force);
  std::optional<QString> LockHolder(CameraId camera, TimePoint now) const;

  bool Moving(CameraId camera) const;
  QString Owner(CameraId camera) const;
  std::optional<TimePoint> NextDeadline() const;

 private:
  struct CameraMoves {
    QString owner;
    LineIntent wanted;  // the last intent asked for (stop when idle)
    TimePoint deadline;
    bool inFlight = false;
    std::optional<LineIntent> pending;
    QString lockHolder;
    QString lockReason;
    TimePoint lockExpires;
    bool localActive = false;
  };
  std::optional<LineIntent> Enqueue(CameraMoves& state, const LineIntent& intent);

  QMap<CameraId, CameraMoves> cameras_;
};

}  // namespace qznet
