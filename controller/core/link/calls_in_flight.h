// The calls sent to the camera that still wait for their answer, oldest
// first, each with a deadline, and the calls given up at their deadline
// whose answer may still come (the camera stalled). Every answer belongs to
// one call by the ownership rule below; never to "the last frame sent".
//
// Ownership of an answer. The camera answers the frames it gets in order;
// an answer carries its address and its shape but not its command. An
// answer fits a call to its address by shape: no data for a setting, data
// for a query, an answer of the length the query's row expects fitting
// better than one of another length; an error answer, and anything to raw
// bytes, fits every call as well as can be. Then:
//   1. A call still waiting within its own answer time owns the answer when
//      it fits it as well as any call does: the oldest such call.
//   2. Only when no waiting call fits it as well does a given-up call own it,
//      the oldest that does: a late answer, decoded for nobody.
//   3. Everything to that address sent before the owner is past: waiting
//      calls are lost (their answers will not come), given-up calls are
//      forgotten.
// The cases it gets right:
//   - a late answer: a query given up, its answer comes while nothing of its
//     shape waits: the given-up query's, decoded for nobody;
//   - a lost answer followed by a call of the same shape: the answer that
//     comes is the new call's, and the lost one is forgotten;
//   - two lost answers, then a call of the same shape: the same, both are
//     forgotten; with nothing of their shape waiting, late answers go to the
//     given-up calls oldest first;
//   - an operator command between: a setting sent after a lost query owns
//     its own answer (the shapes differ), and a query sent after it its
//     own; a late answer to the query while only the setting waits is the
//     given-up query's.
// One case no rule can tell apart: a camera silent past a call's answer time
// (longer than the line's designed read time-out) that then answers it
// while a newer call of the same shape waits. Rule 1 gives that answer to
// the newer call: a lost answer is the likelier event, and a given-up call
// never takes the answer a waiting call needs.
//
// Pure: no I/O, no clock of its own (times are passed in), fixed storage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/link/answer_decoding.h"
#include "core/link/library_call.h"
#include "core/link/line_timing.h"

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
  // The shape of an executed answer: data or none, and how many data
  // characters (0: any); `anyShape` for raw bytes.
  bool carriesData = false;
  int dataLength = 0;
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
    // Calls in flight older than `call` to the same address: the camera has
    // answered past them, their answers are lost. Oldest first.
    std::array<CallInFlight, kCapacity> lost{};
    std::size_t lostCount = 0;
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

  // The call an answer belongs to (the rule above), taken out of the list.
  Match TakeAnswered(const AnswerFrame& answer);
  // The oldest call whose deadline has passed, given up.
  std::optional<CallInFlight> TakeExpired(Micros now);
  // Gives up the oldest call at once (the list is full).
  std::optional<CallInFlight> TakeOldest();
  std::size_t GivenUp() const { return givenUpCount_; }
  std::optional<Micros> NextDeadline() const;

  // The session ended: nothing is in flight any more, nothing is late.
  void Clear();

 private:
  void RemoveAt(std::size_t index);
  void RemoveGivenUpAt(std::size_t index);
  void RememberGivenUp(const CallInFlight& call);
  // Drops every call to `address` sent before `id`; the lost ones that were
  // in flight go into `match`.
  void PassBefore(int address, std::uint64_t id, Match& match);

  std::array<CallInFlight, kCapacity> calls_{};
  std::size_t count_ = 0;
  std::array<CallInFlight, kGivenUpCapacity> givenUp_{};
  std::size_t givenUpCount_ = 0;
};

}  // namespace qtr90x
