// One motor-driven position of a camera (pan, tilt, zoom or focus).
#pragma once

#include "camsim/sim_types.h"

namespace camsim {

// The axis moves linearly from where a move started towards its target and
// stops there; its position at any time follows from the move's start, so no
// ticking is needed.
class Axis {
 public:
  Axis(int min, int max, int position);

  int Position(TimePoint now) const;
  int Target() const { return target_; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  bool Moving(TimePoint now) const { return Position(now) != target_; }

  // Starts moving towards target (clamped to the range) at unitsPerSecond; a
  // rate of zero or less jumps there at once.
  void MoveTo(int target, double unitsPerSecond, TimePoint now);
  // Moves so that the axis arrives at target after duration (zero: at once).
  void MoveOver(int target, Duration duration, TimePoint now);
  // Holds the position reached at now.
  void Stop(TimePoint now);
  void Set(int position);

 private:
  int Clamp(int value) const;

  int min_;
  int max_;
  int origin_;
  int target_;
  double rate_ = 0;  // units per second
  TimePoint start_{};
};

}  // namespace camsim
