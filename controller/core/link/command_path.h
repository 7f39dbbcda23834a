// The one path every command of the application takes to the camera: the
// library port, and the calls in flight that wait for their answers. A call
// is recorded before its frame is written (its answer may be handled before
// the library's call returns) and taken back when the write fails.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "core/link/calls_in_flight.h"
#include "core/link/library_call.h"
#include "core/link/line_timing.h"

namespace qtr90x {

// The steady clock in microseconds.
Micros SteadyMicros();

class CommandPath {
 public:
  CommandPath(LibraryPort& port, std::function<Micros()> clock);

  void SetClock(std::function<Micros()> clock) { clock_ = std::move(clock); }
  Micros Now() const { return clock_(); }

  // Sends `call` for `tag`. The call's id when its frame was written, else
  // nullopt. The caller gives up the oldest call first when Full().
  std::optional<std::uint64_t> Send(const LibraryCall& call, CallTag tag);
  // Writes raw bytes. When they form a command frame (FF 30 <address> 00
  // ... EF) the camera answers, and the call waits for it like any other.
  bool SendRaw(std::span<const std::uint8_t> bytes, CallTag tag);

  // The calls waiting for their answers (the answers are matched there).
  CallsInFlight& Calls() { return calls_; }
  const CallsInFlight& Calls() const { return calls_; }
  // The calls whose answer time has passed by the path's clock, oldest first.
  std::optional<CallInFlight> TakeExpired() { return calls_.TakeExpired(Now()); }

 private:
  CallInFlight Record(CallTag tag);

  LibraryPort& port_;
  std::function<Micros()> clock_;
  CallsInFlight calls_;
  std::uint64_t nextId_ = 1;
};

}  // namespace qtr90x
