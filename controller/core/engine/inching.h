// Right-button inching of a direction button. On the press the slowest speed
// goes out first (pan, then tilt after its answer, for a diagonal); when the
// camera has answered, the button is told to start (UM_MOVEGO 1). On the
// release the speeds the camera had at the press go back, one per answer,
// and then the button is told to stop (UM_MOVEGO 0). A speed not yet known
// from this camera is read first, before the slowest speed goes out; one
// that cannot be read is not changed at all. So the camera is always left at
// the speed it had. Inching has its own calls and answers, apart from any
// refresh sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/engine/engine_actions.h"
#include "core/link/library_call.h"
#include "core/pages/direction_moves.h"

namespace qtr90x {

// Pan, tilt and zoom speed.
struct SpeedPositions {
  int pan = 0;
  int tilt = 0;
  int zoom = 0;
};

// Which of pan, tilt and zoom speed are known from the selected camera.
using KnownSpeeds = std::array<bool, 3>;

class Inching {
 public:
  // Sends one inching call through the command path; false when its frame
  // could not be written.
  using Sender = std::function<bool(const LibraryCall&)>;

  // UM_INCHSTART from `button` with the move kind (0 pan, 1 tilt, 2
  // diagonal, 3 zoom); `speeds` are the camera's, those `known` read from it
  // or accepted by it.
  void Start(MoveKind moveKind, const void* button, SpeedPositions speeds, KnownSpeeds known,
             int camera, const Sender& send, EngineActions& out);
  // UM_INCHSTOP from `button`.
  void Stop(MoveKind moveKind, const void* button, int camera, const Sender& send,
            EngineActions& out);
  // An inching call of `generation` was answered (`readValue`: the speed a
  // read found) or given up: the next speed command goes out, or the button
  // gets its go.
  void Answered(std::uint32_t generation, const LibraryCall& call, std::optional<int> readValue,
                const Sender& send, EngineActions& out);

  // The calls of the current press or release carry this generation; an
  // answer of an earlier one is not this step's.
  std::uint32_t Generation() const { return generation_; }
  bool Pending() const { return pending_; }
  // The session closed or the camera power came on: nothing is pending, no
  // button is remembered.
  void Reset();

 private:
  static constexpr std::size_t kMaxCalls = 4;  // a diagonal reads and sets pan and tilt

  // A press or a release begins: its calls carry a new generation.
  void NewStep(const void* button, bool pressed);
  void SendNext(const Sender& send, EngineActions& out);
  void Go(EngineActions& out);

  std::array<LibraryCall, kMaxCalls> calls_{};
  std::size_t callCount_ = 0;
  std::size_t nextCall_ = 0;
  std::uint32_t generation_ = 0;
  bool pending_ = false;
  bool awaiting_ = false;  // an inching call of this generation waits for its answer
  bool pressed_ = false;
  const void* button_ = nullptr;
  SpeedPositions speeds_;
  KnownSpeeds known_{};
  KnownSpeeds unreadable_{};  // read and not answered with a value: left alone
};

}  // namespace qtr90x
