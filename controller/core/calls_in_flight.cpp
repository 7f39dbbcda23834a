#include "core/calls_in_flight.h"

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
  // The candidates to this address in the order they were sent (ids rise):
  // the given-up ones, then those in flight. The answer belongs to the
  // oldest that it fits best.
  struct Candidate {
    bool givenUp;
    std::size_t index;
    std::uint64_t id;
  };
  std::array<Candidate, kCapacity + kGivenUpCapacity> candidates{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < givenUpCount_; ++i) {
    if (AnswersTo(givenUp_[i], address))
      candidates[n++] = {true, i, givenUp_[i].id};
  }
  for (std::size_t i = 0; i < count_; ++i) {
    if (AnswersTo(calls_[i], address))
      candidates[n++] = {false, i, calls_[i].id};
  }
  std::sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(n),
            [](const Candidate& a, const Candidate& b) { return a.id < b.id; });
  const auto fitOf = [&](const Candidate& c) {
    return Fit(c.givenUp ? givenUp_[c.index] : calls_[c.index], answer);
  };
  std::size_t pick = n;
  for (int wanted = 2; wanted >= 1 && pick == n; --wanted) {
    for (std::size_t i = 0; i < n; ++i) {
      if (fitOf(candidates[i]) >= wanted) {
        pick = i;
        break;
      }
    }
  }

  Match match;
  if (pick == n)
    return match;
  const Candidate chosen = candidates[pick];
  match.call = chosen.givenUp ? givenUp_[chosen.index] : calls_[chosen.index];
  match.kind = chosen.givenUp ? Match::Kind::kLate : Match::Kind::kCall;
  // Everything to this address sent before the answered call is past: the
  // camera answers in order. Removed from the back, so the indices hold.
  for (std::size_t i = pick; i-- > 0;) {
    const Candidate& older = candidates[i];
    if (!older.givenUp)
      match.lost[match.lostCount++] = calls_[older.index];
  }
  std::reverse(match.lost.begin(),
               match.lost.begin() + static_cast<std::ptrdiff_t>(match.lostCount));
  std::array<std::uint64_t, kCapacity + kGivenUpCapacity> done{};
  std::size_t doneCount = 0;
  for (std::size_t i = 0; i <= pick; ++i)
    done[doneCount++] = candidates[i].id;
  for (std::size_t i = givenUpCount_; i-- > 0;) {
    if (std::find(done.begin(), done.begin() + static_cast<std::ptrdiff_t>(doneCount),
                  givenUp_[i].id) != done.begin() + static_cast<std::ptrdiff_t>(doneCount))
      RemoveGivenUpAt(i);
  }
  for (std::size_t i = count_; i-- > 0;) {
    if (std::find(done.begin(), done.begin() + static_cast<std::ptrdiff_t>(doneCount),
                  calls_[i].id) != done.begin() + static_cast<std::ptrdiff_t>(doneCount))
      RemoveAt(i);
  }
  // A late answer taken by a given-up call may have been the answer of a
  // call sent after it: those are not remembered when they are given up.
  if (match.kind == Match::Kind::kLate) {
    for (std::size_t i = 0; i < count_; ++i) {
      if (AnswersTo(calls_[i], address) && calls_[i].id > match.call.id)
        calls_[i].answerTaken = true;
    }
  }
  return match;
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
  // Its answer was most likely taken already by an older given-up call.
  if (call.answerTaken)
    return;
  if (givenUpCount_ == kGivenUpCapacity)
    RemoveGivenUpAt(0);
  givenUp_[givenUpCount_++] = call;
}

}  // namespace qtr90x
