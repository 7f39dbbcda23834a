// The camera's own calendar clock, shown on screen and set by the host.
#pragma once

#include <cstdint>
#include <string>

#include "camsim/sim_types.h"

namespace camsim {

// Runs from the moment it was set; years are two digits (2000 to 2099).
class CameraClock {
 public:
  // Starts at 2000-01-01 00:00:00.
  explicit CameraClock(TimePoint now) : setAt_(now) {}

  // False (and no change) for a date or time that does not exist.
  bool SetDate(int year, int month, int day, TimePoint now);
  bool SetTime(int hour, int minute, int second, TimePoint now);

  std::string DateText(TimePoint now) const;  // "yymmdd"
  std::string TimeText(TimePoint now) const;  // "hhmmss"

 private:
  int64_t SecondsAt(TimePoint now) const;  // since 2000-01-01 00:00:00

  int64_t base_ = 0;
  TimePoint setAt_;
};

}  // namespace camsim
