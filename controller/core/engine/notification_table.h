// The camera's notifications as data: each row names the notification kind
// (the message's wParam), the bytes its frame holds and what it tells the
// main dialog. Every notification carries the address character of the
// camera that sent it in its third byte; the address rule below says whose
// notification may act at all.
#pragma once

#include <cstdint>
#include <span>

namespace qtr90x {

// What a notification tells; the sequence engine carries it out by what it
// is doing at the time.
enum class NoticeAction : std::uint8_t {
  kNone,           // only written to the debug window
  kSensorChanged,  // detect: a sensor input changed
  kPowerOn,        // "00 A0 31": the camera power is on
  kPowerOff,       // "00 A0 30": the camera power is off
  kPedestalEnd,    // "00 58 30": pedestal initialisation has ended
  kOnePushAfEnd,   // "00 B1 31": one-push autofocus has ended, focus manual
  kBacklightOff,   // "00 A5 30"
  kBacklightOn,    // "00 A5 31"
  kExposure,       // any other "00 A5": ends only a wait for the backlight
};

struct Notice {
  NoticeAction action = NoticeAction::kNone;
  int address = -1;  // 0..9 from the third byte; -1 when the frame carries none
};

// The row of the table that a notification of kind `wParam` (1 notify,
// 2 remote on, 3 remote off, 4 global notify, 5 detect) matches first, and
// the address it carries.
Notice ReadNotice(int wParam, std::span<const std::uint8_t> frame);

// The address rule, the one place it is stated: a notification acts only
// when it comes from the selected camera (1..9). Another camera's, one from
// address 0 (the simulator and the cameras notify with their own address,
// never the line's) and one without an address act on nothing; with no
// camera known (0) nothing acts.
bool ConcernsSelectedCamera(const Notice& notice, int selectedCamera);

}  // namespace qtr90x
