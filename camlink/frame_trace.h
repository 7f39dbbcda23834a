// Diagnostics: every frame sent and received, as hex text with a timestamp
// and its direction, written to the file that QZLINK_TRACE names ("-" for
// standard error). Off when the variable is unset; then each call costs one
// branch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "camlink/hex_text.h"

namespace qzlink {

enum class TraceDirection { kSent, kReceived, kNote };

class FrameTrace {
 public:
  // Opens the trace file named by QZLINK_TRACE, if any.
  FrameTrace();
  ~FrameTrace();
  FrameTrace(const FrameTrace&) = delete;
  FrameTrace& operator=(const FrameTrace&) = delete;

  bool Enabled() const { return file_ != nullptr; }

  // One line: time, direction, hex text (and a remark, if not null).
  void Frame(TraceDirection direction, const uint8_t* frame, size_t length,
             const char* remark = nullptr) {
    if (file_ != nullptr) {
      Write(direction, frame, length, remark);
    }
  }

 private:
  void Write(TraceDirection direction, const uint8_t* frame, size_t length, const char* remark);

  FILE* file_ = nullptr;
  bool ownsFile_ = false;
};

}  // namespace qzlink
