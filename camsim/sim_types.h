// Basic types shared by the simulated camera: time and byte strings.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace camsim {

// The model never reads a clock: callers pass the current time in, so tests can
// step time exactly and the front end passes steady_clock::now().
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;
using Milliseconds = std::chrono::milliseconds;

using Bytes = std::vector<uint8_t>;

}  // namespace camsim
