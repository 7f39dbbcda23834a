#include "camsim/camera_clock.h"

#include <chrono>

#include "camsim/wire_format.h"

namespace camsim {

namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr int64_t kSecondsPerDay = 86400;
const sys_days kEpoch = std::chrono::year{2000} / 1 / 1;

}  // namespace

int64_t CameraClock::SecondsAt(TimePoint now) const {
  auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - setAt_).count();
  return base_ + (elapsed > 0 ? elapsed : 0);
}

bool CameraClock::SetDate(int year, int month, int day, TimePoint now) {
  if (year < 0 || year > 99 || month < 1 || month > 12 || day < 1 || day > 31) {
    return false;
  }
  year_month_day date{std::chrono::year{2000 + year}, std::chrono::month{unsigned(month)},
                      std::chrono::day{unsigned(day)}};
  if (!date.ok()) {
    return false;
  }
  int64_t timeOfDay = SecondsAt(now) % kSecondsPerDay;
  base_ = (sys_days{date} - kEpoch).count() * kSecondsPerDay + timeOfDay;
  setAt_ = now;
  return true;
}

bool CameraClock::SetTime(int hour, int minute, int second, TimePoint now) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  int64_t dayStart = SecondsAt(now) / kSecondsPerDay * kSecondsPerDay;
  base_ = dayStart + hour * 3600 + minute * 60 + second;
  setAt_ = now;
  return true;
}

std::string CameraClock::DateText(TimePoint now) const {
  year_month_day date{kEpoch + days{SecondsAt(now) / kSecondsPerDay}};
  return Dec(static_cast<unsigned>(static_cast<int>(date.year()) % 100), 2) +
         Dec(static_cast<unsigned>(date.month()), 2) + Dec(static_cast<unsigned>(date.day()), 2);
}

std::string CameraClock::TimeText(TimePoint now) const {
  int64_t seconds = SecondsAt(now) % kSecondsPerDay;
  return Dec(static_cast<unsigned>(seconds / 3600), 2) +
         Dec(static_cast<unsigned>(seconds / 60 % 60), 2) +
         Dec(static_cast<unsigned>(seconds % 60), 2);
}

}  // namespace camsim
