#include "core/engine/notification_table.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace qtr90x {

namespace {

struct NoticeRow {
  int wParam;
  std::array<std::uint8_t, 3> bytes;  // held anywhere in the frame
  std::size_t length;                 // of `bytes`; 0 matches every frame of the kind
  NoticeAction action;
};

// The first row that matches decides. The camera notifies the end of a
// command with the command's own bytes from its command byte on.
constexpr NoticeRow kNoticeTable[] = {
    {5, {}, 0, NoticeAction::kSensorChanged},
    {1, {0x00, 0xA0, 0x31}, 3, NoticeAction::kPowerOn},
    {1, {0x00, 0xA0, 0x30}, 3, NoticeAction::kPowerOff},
    {1, {0x00, 0x58, 0x30}, 3, NoticeAction::kPedestalEnd},
    {1, {0x00, 0xB1, 0x31}, 3, NoticeAction::kOnePushAfEnd},
    {1, {0x00, 0xA5, 0x30}, 3, NoticeAction::kBacklightOff},
    {1, {0x00, 0xA5, 0x31}, 3, NoticeAction::kBacklightOn},
    {1, {0x00, 0xA5}, 2, NoticeAction::kExposure},
};

bool Holds(std::span<const std::uint8_t> frame, const NoticeRow& row) {
  const auto part = std::span<const std::uint8_t>(row.bytes.data(), row.length);
  return std::search(frame.begin(), frame.end(), part.begin(), part.end()) != frame.end();
}

}  // namespace

Notice ReadNotice(int wParam, std::span<const std::uint8_t> frame) {
  Notice notice;
  if (frame.size() >= 3 && frame[2] >= '0' && frame[2] <= '9')
    notice.address = frame[2] - '0';
  for (const NoticeRow& row : kNoticeTable) {
    if (row.wParam == wParam && Holds(frame, row)) {
      notice.action = row.action;
      break;
    }
  }
  return notice;
}

bool ConcernsSelectedCamera(const Notice& notice, int selectedCamera) {
  return selectedCamera >= 1 && notice.address == selectedCamera;
}

}  // namespace qtr90x
