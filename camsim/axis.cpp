#include "camsim/axis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace camsim {

Axis::Axis(int min, int max, int position)
    : min_(min), max_(max), origin_(Clamp(position)), target_(origin_) {}

int Axis::Clamp(int value) const {
  return std::clamp(value, min_, max_);
}

int Axis::Position(TimePoint now) const {
  if (origin_ == target_ || rate_ <= 0) {
    return target_;
  }
  double elapsed = std::chrono::duration<double>(now - start_).count();
  double travelled = rate_ * std::max(0.0, elapsed);
  double distance = std::abs(target_ - origin_);
  if (travelled >= distance) {
    return target_;
  }
  int step = static_cast<int>(std::floor(travelled));
  return target_ > origin_ ? origin_ + step : origin_ - step;
}

void Axis::MoveTo(int target, double unitsPerSecond, TimePoint now) {
  origin_ = Position(now);
  target_ = Clamp(target);
  rate_ = unitsPerSecond;
  start_ = now;
  if (rate_ <= 0) {
    origin_ = target_;
  }
}

void Axis::MoveOver(int target, Duration duration, TimePoint now) {
  int from = Position(now);
  double seconds = std::chrono::duration<double>(duration).count();
  double distance = std::abs(Clamp(target) - from);
  MoveTo(target, seconds > 0 ? distance / seconds : 0.0, now);
}

void Axis::Stop(TimePoint now) {
  Set(Position(now));
}

void Axis::Set(int position) {
  origin_ = target_ = Clamp(position);
  rate_ = 0;
}

}  // namespace camsim
