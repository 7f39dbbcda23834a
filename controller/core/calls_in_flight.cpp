#include "core/calls_in_flight.h"

#include <algorithm>

namespace qtr90x {

namespace {

bool AnswersTo(const CallInFlight& call, int address) {
  return call.address == -1 || call.address == address;
}

// An executed answer has data exactly when its call reads a value; an error
// answer fits any call.
bool ShapeFits(const CallInFlight& call, const AnswerFrame& answer) {
  return call.anyShape || !answer.Executed() || answer.HasData() == call.carriesData;
}

}  // namespace

void CallsInFlight::Add(const CallInFlight& call) {
  if (count_ == kCapacity)
    return;  // the caller gives up the oldest first
  calls_[count_++] = call;
}

void CallsInFlight::Remove(std::uint64_t id) {
  for (std::size_t i = 0; i < count_; ++i) {
    if (calls_[i].id == id) {
      RemoveAt(i);
      return;
    }
  }
}

CallInFlight* CallsInFlight::Find(std::uint64_t id) {
  for (std::size_t i = 0; i < count_; ++i) {
    if (calls_[i].id == id)
      return &calls_[i];
  }
  return nullptr;
}

Micros CallsInFlight::LineTimeAhead(int baud) const {
  Micros total = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    const std::size_t frame =
        calls_[i].frame.size > 0 ? calls_[i].frame.size : kLongestCommandBytes;
    total += LineTime(frame + kLongestAnswerBytes, baud);
  }
  return total;
}

CallsInFlight::Match CallsInFlight::TakeAnswered(const AnswerFrame& answer, Micros now) {
  DropExpiredGivenUp(now);
  const int address = answer.Address();
  std::size_t call = count_;
  for (std::size_t i = 0; i < count_; ++i) {
    if (AnswersTo(calls_[i], address)) {
      call = i;
      break;
    }
  }
  std::size_t late = givenUpCount_;
  for (std::size_t i = 0; i < givenUpCount_; ++i) {
    if (AnswersTo(givenUp_[i].call, address)) {
      late = i;
      break;
    }
  }

  Match match;
  const bool haveCall = call < count_;
  const bool haveLate = late < givenUpCount_;
  // A given-up call answers before any call sent after it; only an answer
  // that cannot be its answer goes to the next call.
  const bool takeCall =
      haveCall &&
      (!haveLate || (ShapeFits(calls_[call], answer) && !ShapeFits(givenUp_[late].call, answer)));
  if (takeCall) {
    match.kind = Match::Kind::kCall;
    match.call = calls_[call];
    RemoveAt(call);
  } else if (haveLate) {
    match.kind = Match::Kind::kLate;
    match.call = givenUp_[late].call;
    std::move(givenUp_.begin() + static_cast<std::ptrdiff_t>(late) + 1,
              givenUp_.begin() + static_cast<std::ptrdiff_t>(givenUpCount_),
              givenUp_.begin() + static_cast<std::ptrdiff_t>(late));
    --givenUpCount_;
  }
  return match;
}

std::optional<CallInFlight> CallsInFlight::TakeExpired(Micros now, Micros grace) {
  for (std::size_t i = 0; i < count_; ++i) {
    if (calls_[i].deadline <= now) {
      CallInFlight expired = calls_[i];
      RemoveAt(i);
      RememberGivenUp(expired, now + grace);
      return expired;
    }
  }
  return std::nullopt;
}

std::optional<CallInFlight> CallsInFlight::TakeOldest(Micros now, Micros grace) {
  if (count_ == 0)
    return std::nullopt;
  CallInFlight oldest = calls_[0];
  RemoveAt(0);
  RememberGivenUp(oldest, now + grace);
  return oldest;
}

std::optional<Micros> CallsInFlight::NextDeadline() const {
  std::optional<Micros> next;
  for (std::size_t i = 0; i < count_; ++i) {
    if (!next || calls_[i].deadline < *next)
      next = calls_[i].deadline;
  }
  return next;
}

void CallsInFlight::Clear() {
  count_ = 0;
  givenUpCount_ = 0;
}

void CallsInFlight::RemoveAt(std::size_t index) {
  std::move(calls_.begin() + static_cast<std::ptrdiff_t>(index) + 1,
            calls_.begin() + static_cast<std::ptrdiff_t>(count_),
            calls_.begin() + static_cast<std::ptrdiff_t>(index));
  --count_;
}

void CallsInFlight::RememberGivenUp(const CallInFlight& call, Micros until) {
  if (givenUpCount_ == kGivenUpCapacity) {
    std::move(givenUp_.begin() + 1, givenUp_.end(), givenUp_.begin());
    --givenUpCount_;
  }
  givenUp_[givenUpCount_++] = GivenUp{call, until};
}

void CallsInFlight::DropExpiredGivenUp(Micros now) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < givenUpCount_; ++i) {
    if (givenUp_[i].until > now)
      givenUp_[kept++] = givenUp_[i];
  }
  givenUpCount_ = kept;
}

}  // namespace qtr90x
