// The calls sent to the camera that still wait for their answer, oldest
// first, each with a deadline. The camera answers the frames it gets in
// order and every answer carries its address, so an answer belongs to the
// oldest call to that address that it can be the answer of; never to "the
// last frame sent".
//
// A call whose deadline passes is given up, but its answer may still come
// (the camera was stalled): it stays known as given up, and the next answer
// that could be its answer is taken as its late answer and decoded for
// nobody. Calls older than the one an answer is matched to are lost: the
// camera has answered something sent after them. An answer fits a call when
// its shape does: no data for a setting, data for a query; an answer of the
// length the query's row expects fits better than one of another length. A
// call whose answer an older given-up call took is not remembered once it is
// given up in turn, so one lost answer costs one call, not every call after.
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
  // The shape of an executed answer: data or none, and how many data
  // characters (0: any); `anyShape` for raw bytes.
  bool carriesData = false;
  int dataLength = 0;
  bool anyShape = false;
  // A given-up call older than this one took an answer after this one was
  // sent: that answer was likely this one's.
  bool answerTaken = false;
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

  // The call an answer belongs to, taken out of the list.
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

  std::array<CallInFlight, kCapacity> calls_{};
  std::size_t count_ = 0;
  std::array<CallInFlight, kGivenUpCapacity> givenUp_{};
  std::size_t givenUpCount_ = 0;
};

}  // namespace qtr90x
