// Feeds arbitrary server bytes to the RFC 2217 client core, cut into pieces
// by the input itself, and checks that data never outgrows its input, that
// the output queue stays within bounds, and that the negotiation answers stay
// bounded however long the input (each side of each option is answered at
// most twice per connection). A leading byte picks how the input is split
// and whether frames are queued and discarded meanwhile.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "camlink/rfc2217_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size == 0) {
    return 0;
  }
  qzlink::Rfc2217Protocol protocol;
  const size_t step = 1 + input[0] % 16;
  const bool withWrites = (input[0] & 0x80) != 0;
  // Two answers of three bytes for each side of each of the 256 options.
  constexpr size_t kMaxAnswerBytes = 2 * 2 * 256 * 3;
  size_t answerBytes = 0;
  uint8_t data[16];
  for (size_t at = 1; at < size; at += step) {
    const size_t n = size - at < step ? size - at : step;
    const size_t queuedBefore = protocol.OutputSize();
    const size_t decoded = protocol.Decode(input + at, n, data);
    if (decoded > n) {
      std::abort();
    }
    answerBytes += protocol.OutputSize() - queuedBefore;
    if (answerBytes > kMaxAnswerBytes) {
      std::abort();
    }
    if (withWrites) {
      protocol.QueueData(input + at, n);
      protocol.Consume(input[at] % 8);
      protocol.DiscardUnsentData();
    }
    if (protocol.OutputSize() > qzlink::Rfc2217Protocol::kOutputCapacity) {
      std::abort();
    }
    if (protocol.OutputSize() > qzlink::Rfc2217Protocol::kOutputCapacity / 2) {
      protocol.Consume(protocol.OutputSize());
    }
  }
  return 0;
}
