#include "core/link/calls_in_flight.h"

#include <algorithm>

namespace qtr90x {

namespace {

bool AnswersTo(const CallInFlight& call, int address) {
  return call.address == -1 || call.address == address;
}

std::size_t DataLength(const AnswerFrame& answer) {
  const auto bytes = answer.Bytes();
  std::size_t length = 0;
  for (std::size_t i = 5; i < bytes.size(); ++i)
    length += bytes[i] != 0xEF ? 1 : 0;
  return length;
}

// How well an answer fits a call: 0 not at all, 1 by its shape (data or
// none), 2 also by the length the call's row expects. An error answer, and
// anything to raw bytes, fits every call as well as can be.
int Fit(const CallInFlight& call, const AnswerFrame& answer) {
  if (call.anyShape || !answer.Executed())
    return 2;
  if (answer.HasData() != call.carriesData)
    return 0;
  if (call.dataLength == 0 || DataLength(answer) == static_cast<std::size_t>(call.dataLength))
    return 2;
  return 1;
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

CallsInFlight::Match CallsInFlight::TakeAnswered(const AnswerFrame& answer) {
  const int address = answer.Address();
  // The best fit and, at that fit, the oldest call: among those waiting
  // (kept in the order sent) and among those given up.
  struct Best {
    int fit = 0;
    std::size_t index = 0;
  };
  Best waiting;
  for (std::size_t i = 0; i < count_; ++i) {
    const int fit = AnswersTo(calls_[i], address) ? Fit(calls_[i], answer) : 0;
    if (fit > waiting.fit)
      waiting = {fit, i};
  }
  Best givenUp;
  for (std::size_t i = 0; i < givenUpCount_; ++i) {
    const int fit = AnswersTo(givenUp_[i], address) ? Fit(givenUp_[i], answer) : 0;
    if (fit > givenUp.fit ||
        (fit > 0 && fit == givenUp.fit && givenUp_[i].id < givenUp_[givenUp.index].id))
      givenUp = {fit, i};
  }

  Match match;
  if (waiting.fit > 0 && waiting.fit >= givenUp.fit) {
    match.kind = Match::Kind::kCall;
    match.call = calls_[waiting.index];
    RemoveAt(waiting.index);
  } else if (givenUp.fit > 0) {
    match.kind = Match::Kind::kLate;
    match.call = givenUp_[givenUp.index];
    RemoveGivenUpAt(givenUp.index);
  } else {
    return match;
  }
  PassBefore(address, match.call.id, match);
  return match;
}

void CallsInFlight::PassBefore(int address, std::uint64_t id, Match& match) {
  for (std::size_t i = 0; i < count_;) {
    if (AnswersTo(calls_[i], address) && calls_[i].id < id) {
      match.lost[match.lostCount++] = calls_[i];
      RemoveAt(i);
    } else {
      ++i;
    }
  }
  for (std::size_t i = 0; i < givenUpCount_;) {
    if (AnswersTo(givenUp_[i], address) && givenUp_[i].id < id)
      RemoveGivenUpAt(i);
    else
      ++i;
  }
}

std::optional<CallInFlight> CallsInFlight::TakeExpired(Micros now) {
  for (std::size_t i = 0; i < count_; ++i) {
    if (calls_[i].deadline <= now) {
      CallInFlight expired = calls_[i];
      RemoveAt(i);
      RememberGivenUp(expired);
      return expired;
    }
  }
  return std::nullopt;
}

std::optional<CallInFlight> CallsInFlight::TakeOldest() {
  if (count_ == 0)
    return std::nullopt;
  CallInFlight oldest = calls_[0];
  RemoveAt(0);
  RememberGivenUp(oldest);
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

void CallsInFlight::RemoveGivenUpAt(std::size_t index) {
  std::move(givenUp_.begin() + static_cast<std::ptrdiff_t>(index) + 1,
            givenUp_.begin() + static_cast<std::ptrdiff_t>(givenUpCount_),
            givenUp_.begin() + static_cast<std::ptrdiff_t>(index));
  --givenUpCount_;
}

void CallsInFlight::RememberGivenUp(const CallInFlight& call) {
  if (givenUpCount_ == kGivenUpCapacity)
    RemoveGivenUpAt(0);
  givenUp_[givenUpCount_++] = call;
}

}  // namespace qtr90x
