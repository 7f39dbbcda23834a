#include "camlink/negotiation_flood_guard.h"

#include <algorithm>

namespace qzlink {

namespace {
constexpr int64_t kUnit = 1000;  // bucket units per byte
}  // namespace

void NegotiationFloodGuard::Reset(int64_t nowMs) {
  level_ = 0;
  lastMs_ = nowMs;
  floodSinceMs_ = -1;
}

NegotiationFloodGuard::Verdict NegotiationFloodGuard::Received(int64_t nowMs, size_t dataBytes,
                                                               size_t negotiationBytes) {
  const int64_t elapsedMs = std::max<int64_t>(0, nowMs - lastMs_);
  lastMs_ = nowMs;
  // kRateBytesPerSecond bytes a second are kRateBytesPerSecond units a
  // millisecond. The bucket holds at most twice the allowance, so that a
  // flood that stopped is forgotten within a few seconds.
  const int64_t added = static_cast<int64_t>(std::min<size_t>(negotiationBytes, 1 << 20)) * kUnit;
  level_ = std::max<int64_t>(0, level_ - elapsedMs * kRateBytesPerSecond);
  level_ = std::min(level_ + added, 2 * kAllowanceBytes * kUnit);
  if (level_ <= kAllowanceBytes * kUnit) {
    floodSinceMs_ = -1;
    return Verdict::kNormal;
  }
  // Data in the stream shows a line that still works, and a receive that
  // found nothing shows the flood paused: either way the bound starts anew,
  // while the reading stays paced until the bucket has drained.
  if (floodSinceMs_ < 0 || dataBytes > 0 || negotiationBytes == 0) {
    floodSinceMs_ = nowMs;
  }
  return nowMs - floodSinceMs_ >= kDropAfterMs ? Verdict::kDrop : Verdict::kPace;
}

}  // namespace qzlink
