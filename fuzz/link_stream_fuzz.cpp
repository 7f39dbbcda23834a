// Feeds arbitrary line bytes, cut into reads by the input itself, through the
// reader's path: the stream splitter, the frame kind of each frame and the
// ring of received frames. Checks that every frame stays within its buffers,
// that a frame ends with its terminator unless it was cut, and that the ring
// gives back what was filed under each sequence number.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "camlink/frame_kind.h"
#include "camlink/received_frame_ring.h"
#include "camlink/stream_splitter.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) {
    return 0;
  }
  // The first byte picks the read size, the second where the sequence
  // numbers start (near the wrap-around or not).
  const size_t step = 1 + input[0] % 32;
  const int32_t start = (input[1] & 1) != 0 ? qzlink::kSequenceModulus - 1 - input[1] % 8 : 0;
  qzlink::StreamSplitter splitter;
  qzlink::ReceivedFrameRing ring(start);
  int32_t expected = start;
  for (size_t at = 2; at < size; at += step) {
    const size_t n = size - at < step ? size - at : step;
    splitter.Feed(input + at, n, [&](const uint8_t* frame, size_t length, bool cut) {
      Check(length > 0 && length <= qzlink::kPartialFrameSize);
      Check(cut ? length == qzlink::kPartialFrameSize
                : frame[length - 1] == qzlink::kFrameTerminator);
      const qzlink::FrameKind* kind = qzlink::ClassifyFrame(frame[0]);
      if (kind != nullptr) {
        Check(kind->label != nullptr);
        Check(kind->message == qzlink::kAckRxMessage || kind->message == qzlink::kNotifyRxMessage);
        Check(kind->wParam >= 1 && kind->wParam <= 5);
      }
      expected = (expected + 1) % qzlink::kSequenceModulus;
      const int32_t sequence = ring.File(frame, length);
      Check(sequence == expected && ring.LastSequenceNumber() == sequence);
      uint8_t copy[qzlink::kRingSlotBytes + 8];
      std::memset(copy, 0xAA, sizeof copy);
      const int32_t fetched = ring.Fetch(sequence, copy, qzlink::kRingSlotBytes);
      const size_t kept = length < qzlink::kRingSlotBytes ? length : qzlink::kRingSlotBytes;
      Check(fetched == static_cast<int32_t>(kept));
      Check(std::memcmp(copy, frame, kept) == 0);
      Check(copy[qzlink::kRingSlotBytes] == 0xAA);  // nothing past the buffer
      Check(ring.WriteIndex() >= 0 && ring.WriteIndex() < qzlink::kRingSlots);
    });
    Check(splitter.PendingBytes() <= qzlink::kPartialFrameSize);
  }
  return 0;
}
