// The calls sent to the camera that still wait for their answer, oldest
// first, each with a deadline. The line answers in order and every answer
// carries the camera's address, so an answer belongs to the oldest call in
// flight to that address; never to "the last frame sent".
//
// A call whose deadline passes is given up. Its answer may still come (the
// camera was only slow): for a grace time such a call stays known, so that
// a late answer is recognised and decoded for nobody rather than taken for
// the answer of a later call. Where an answer could be either (the late one
// or the next call's), it is taken as the late one unless its shape (data or
// none) only fits the next call: a value is never decoded against the wrong
// command.
//
// Pure: no I/O, no clock of its own (times are passed in), fixed storage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/answer_decoding.h"
#include "core/library_call.h"
#include "core/line_timing.h"

namespace qtr90x {

// Who sent a call, and so who handles its answer.
enum class CallOwner : std::uint8_t {
  kSequence,       // a step of the refresh sequence of `generation`
  kPowerOnStatus,  // the status read after PowerOnTimer, sequence `generation`
  kInching,        // an inching speed command, press `generation`
  kOperator,       // any other operator command
};

// What the main dialog does when an operator's call has been answered (or
// given up).
enum class AnswerFollowUp : std::uint8_t {
  kNone,
  kAutoExposureReady,  // UM_AEVALUEREADY to the auto-exposure sub-panel
  // The wait cursor runs until the camera notifies the end ("00 A5 3x",
  // "00 B1 31"); an error answer or no answer ends it at once.
  kAwaitBacklight,
  kAwaitOnePushAf,
  // um::kGamepadAnswered to the gamepad control: it paces its commands by
  // their answers.
  kGamepadAnswered,
};

struct CallTag {
  CallOwner owner = CallOwner::kOperator;
  std::uint32_t generation = 0;
  AnswerFollowUp followUp = AnswerFollowUp::kNone;
};

struct CallInFlight {
  std::uint64_t id = 0;
  LibraryCall call;
  bool raw = false;  // bytes of the Input Command window; `call` means nothing
  int address = 0;   // the address its answer carries; -1: any (the camera count)
  // The shape of an executed answer: data or none; `anyShape` for raw bytes.
  bool carriesData = false;
  bool anyShape = false;
  CallTag tag;
  SentFrame frame;
  Micros sent = 0;
  Micros deadline = 0;
};

class CallsInFlight {
 public:
  static constexpr std::size_t kCapacity = 32;
  static constexpr std::size_t kGivenUpCapacity = 8;

  struct Match {
    enum class Kind : std::uint8_t {
      kCall,    // the answer to `call`
      kLate,    // a late answer to `call`, which was given up
      kNobody,  // no call waits for it
    };
    Kind kind = Kind::kNobody;
    CallInFlight call;
  };

  std::size_t Size() const { return count_; }
  bool Full() const { return count_ == kCapacity; }
  // Appends a call (the caller gives up the oldest first when full).
  void Add(const CallInFlight& call);
  // Takes back a call whose frame could not be written.
  void Remove(std::uint64_t id);
  CallInFlight* Find(std::uint64_t id);

  // The time all calls in flight take on the line, frames and answers.
  Micros LineTimeAhead(int baud) const;

  // The call an answer belongs to, taken out of the list.
  Match TakeAnswered(const AnswerFrame& answer, Micros now);
  // The oldest call whose deadline has passed, given up: its late answer is
  // recognised until `now` + `grace`.
  std::optional<CallInFlight> TakeExpired(Micros now, Micros grace);
  // Gives up the oldest call at once (the list is full).
  std::optional<CallInFlight> TakeOldest(Micros now, Micros grace);
  std::optional<Micros> NextDeadline() const;

  // The session ended: nothing is in flight any more, nothing is late.
  void Clear();

 private:
  struct GivenUp {
    CallInFlight call;
    Micros until = 0;
  };

  void RemoveAt(std::size_t index);
  void RememberGivenUp(const CallInFlight& call, Micros until);
  void DropExpiredGivenUp(Micros now);

  std::array<CallInFlight, kCapacity> calls_{};
  std::size_t count_ = 0;
  std::array<GivenUp, kGivenUpCapacity> givenUp_{};
  std::size_t givenUpCount_ = 0;
};

}  // namespace qtr90x
