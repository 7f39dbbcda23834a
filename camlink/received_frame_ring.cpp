#include "camlink/received_frame_ring.h"

#include <algorithm>
#include <cstring>

namespace qzlink {

int32_t ReceivedFrameRing::File(const uint8_t* frame, size_t length) {
  ReceivedFrameSlot& slot = slots_[writeIndex_];
  writeIndex_ = (writeIndex_ + 1) % kRingSlots;
  counter_ = (counter_ + 1) % kSequenceModulus;

  const size_t kept = std::min(length, kRingSlotBytes);
  slot.sequenceNumber = counter_;
  slot.length = static_cast<int32_t>(kept);
  std::memcpy(slot.data, frame, kept);
  return counter_;
}

int32_t ReceivedFrameRing::Fetch(int32_t sequenceNumber, uint8_t* out, size_t outSize) const {
  for (const ReceivedFrameSlot& slot : slots_) {
    if (slot.sequenceNumber == sequenceNumber) {
      const size_t copied = std::min(static_cast<size_t>(slot.length), outSize);
      if (out != nullptr && copied > 0) {
        std::memcpy(out, slot.data, copied);
      }
      return static_cast<int32_t>(copied);
    }
  }
  return 0;
}

}  // namespace qzlink
