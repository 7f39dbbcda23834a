// How long the line and the camera may take to answer a command, and how
// long the application waits for the notifications that complete a few
// commands. Every wait of the application is bounded by one of these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qtr90x {

// Monotonic time in microseconds.
using Micros = std::int64_t;

inline constexpr Micros kMicrosPerMilli = 1000;
inline constexpr Micros kMicrosPerSecond = 1'000'000;

// The application always opens the line at 9600 baud, 8N1: ten bit times a byte.
inline constexpr int kLineBaud = 9600;
inline constexpr Micros LineTime(std::size_t bytes, int baud) {
  return static_cast<Micros>(bytes) * 10 * kMicrosPerSecond / baud;
}

// The longest command frame is 15 bytes; the longest answer the application
// reads is 21 bytes (a frame whose hex text fills a 64-byte text buffer).
inline constexpr std::size_t kLongestCommandBytes = 15;
inline constexpr std::size_t kLongestAnswerBytes = 21;

// The camera's own time to answer a command once it has it. The line was
// designed with a read time-out of 1000 ms for the camera's answer; a busy
// camera answers at once with "10" rather than later, and commands that take
// long (power, pedestal initialisation, moves, one-push AF) are answered at
// once and completed by a notification. The simulated camera answers after
// 5 ms.
inline constexpr Micros kCameraAnswerTime = 1000 * kMicrosPerMilli;

// Notifications a refresh sequence waits for:
// - camera power switched ("00 A0 31" or "00 A0 30"): the power-on timer's
//   10 s is the designed time for the camera power to come on; the same
//   bound applies when the camera was already on (it notifies at once) and
//   to switching it off;
inline constexpr Micros kPowerNotificationBound = 10 * kMicrosPerSecond;
// - the end of pedestal initialisation ("00 58 30"): the pedestal sweeps
//   both axes to their limits at its own speed; 60 s leaves room for the
//   slowest full sweep (the simulated pedestal takes 3 s);
inline constexpr Micros kPedestalNotificationBound = 60 * kMicrosPerSecond;
// - the backlight switched ("00 A5 30"): notified at once, as an answer.
inline constexpr Micros kBacklightNotificationBound = kCameraAnswerTime;
// - one-push autofocus finished ("00 B1 31"): the lens runs through its
//   focus range once (the simulated one takes 1 s); the longest wait the
//   design has, PowerOnTimer's 10 s, bounds it.
inline constexpr Micros kOnePushAfNotificationBound = 10 * kMicrosPerSecond;

}  // namespace qtr90x
