// Classifies received frames by their first byte.
#pragma once

#include <cstdint>

namespace qzlink {

inline constexpr uint32_t kAckRxMessage = 0x800A;     // answers
inline constexpr uint32_t kNotifyRxMessage = 0x800B;  // notifications

struct FrameKind {
  const char* label;  // "ack", "notify", "remote on", ...
  uint32_t message;   // kAckRxMessage or kNotifyRxMessage
  uint32_t wParam;    // 1 for an answer; 1 to 5 for the notification kinds
};

// The kind of a frame that starts with firstByte, or nullptr for a frame that
// is filed but not announced.
const FrameKind* ClassifyFrame(uint8_t firstByte);

}  // namespace qzlink
