// The ring of the last 30 received frames, each filed under a sequence number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

inline constexpr int kRingSlots = 30;
inline constexpr size_t kRingSlotBytes = 40;
inline constexpr int32_t kSequenceModulus = 100000000;

struct ReceivedFrameSlot {
  int32_t sequenceNumber = 0;
  int32_t length = 0;
  uint8_t data[kRingSlotBytes] = {};
};

class ReceivedFrameRing {
 public:
  ReceivedFrameRing() = default;
  // Starts counting after lastSequenceNumber instead of 0 (for tests of the
  // wrap-around).
  explicit ReceivedFrameRing(int32_t lastSequenceNumber) : counter_(lastSequenceNumber) {}

  // Files a frame in the next slot, overwriting the oldest, and returns its
  // sequence number: 1 for the first frame, counting modulo 100000000 (after
  // 99999999 comes 0). A frame longer than a slot is cut to its first 40
  // bytes; the slot's length is then 40.
  int32_t File(const uint8_t* frame, size_t length);

  // Finds the first slot (in slot order) filed under sequenceNumber and copies
  // its bytes to out, at most outSize of them (a buffer of kRingSlotBytes
  // always takes the whole frame). Returns the number of bytes copied, or 0
  // when no slot holds that number. Slots never filed hold number 0 and
  // length 0.
  int32_t Fetch(int32_t sequenceNumber, uint8_t* out, size_t outSize) const;

  int32_t LastSequenceNumber() const { return counter_; }
  int WriteIndex() const { return writeIndex_; }

 private:
  ReceivedFrameSlot slots_[kRingSlots];
  int writeIndex_ = 0;
  int32_t counter_ = 0;
};

}  // namespace qzlink
