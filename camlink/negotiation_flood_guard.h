// Tells a device server that floods the connection with telnet negotiation
// (an endless subnegotiation, a stream of NOPs, a WILL/WONT storm) from one
// that negotiates now and then. Pure: the caller passes the clock.
//
// Negotiation bytes fill a bucket that drains at kRateBytesPerSecond. While
// the bucket holds more than kAllowanceBytes the connection is flooding: the
// reader then takes at most one receive every kPaceMs, which keeps its
// processor time low and holds the server back through TCP flow control. A
// flood that goes on for kDropAfterMs, every receive bringing negotiation and
// none bringing data, ends the connection, as a server that vanished. A server that negotiates at a
// few kilobytes a second or less (notifications, keep-alive NOPs) never counts as flooding, however
// long the line stays quiet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

class NegotiationFloodGuard {
 public:
  static constexpr int64_t kAllowanceBytes = 8192;
  static constexpr int64_t kRateBytesPerSecond = 4096;
  static constexpr int64_t kDropAfterMs = 1000;
  static constexpr int kPaceMs = 20;

  enum class Verdict : uint8_t { kNormal, kPace, kDrop };

  // A new connection at nowMs: an empty bucket.
  void Reset(int64_t nowMs);

  // One receive at nowMs brought dataBytes of data and negotiationBytes of
  // everything else.
  Verdict Received(int64_t nowMs, size_t dataBytes, size_t negotiationBytes);

  bool Flooding() const { return floodSinceMs_ >= 0; }

 private:
  // The bucket in thousandths of a byte, so that it drains by whole units
  // every millisecond.
  int64_t level_ = 0;
  int64_t lastMs_ = 0;
  int64_t floodSinceMs_ = -1;  // when the current flood began (or data last came)
};

}  // namespace qzlink
