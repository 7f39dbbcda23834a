// Cuts the incoming byte stream into frames at each 0xEF terminator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

inline constexpr uint8_t kFrameTerminator = 0xEF;
inline constexpr size_t kPartialFrameSize = 100;

// Collects bytes until a terminator. There is no start byte: a stray byte
// between two frames becomes the first byte of the next one.
//
// A frame longer than the 100-byte partial-frame buffer is cut: its first 100
// bytes are kept, the rest up to and including its terminator is dropped, and
// the kept bytes are delivered as the frame when the terminator arrives. A
// stream without terminators therefore never grows the buffer.
class StreamSplitter {
 public:
  // Feeds bytes; calls onFrame(const uint8_t* frame, size_t length, bool cut)
  // for each complete frame, in order, as soon as its terminator is seen.
  template <typename OnFrame>
  void Feed(const uint8_t* data, size_t count, OnFrame&& onFrame) {
    for (size_t i = 0; i < count; ++i) {
      const uint8_t byte = data[i];
      if (fill_ < kPartialFrameSize) {
        buffer_[fill_++] = byte;
      } else {
        ++droppedBytes_;
      }
      if (byte == kFrameTerminator) {
        const bool cut = droppedBytes_ != 0;
        onFrame(static_cast<const uint8_t*>(buffer_), fill_, cut);
        fill_ = 0;
        droppedBytes_ = 0;
      }
    }
  }

  void Reset() {
    fill_ = 0;
    droppedBytes_ = 0;
  }

  size_t PendingBytes() const { return fill_; }
  // Bytes of the current frame dropped so far because it is over-long.
  size_t DroppedBytes() const { return droppedBytes_; }

 private:
  uint8_t buffer_[kPartialFrameSize] = {};
  size_t fill_ = 0;
  size_t droppedBytes_ = 0;
};

}  // namespace qzlink
