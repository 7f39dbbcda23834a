// The flood guard over simulated time: what a well-behaved server sends never
// counts as a flood; a flood is paced at once and dropped after its bound
// unless data still comes; a flood that stopped is forgotten.
#include "camlink/negotiation_flood_guard.h"

#include <gtest/gtest.h>

#include <vector>

namespace qzlink {
namespace {

using Verdict = NegotiationFloodGuard::Verdict;

// receives every stepMs for durationMs, each with the given bytes.
struct Phase {
  int durationMs;
  int stepMs;
  size_t dataBytes;
  size_t negotiationBytes;
  Verdict last;     // the verdict of the phase's last receive
  int firstDropMs;  // ms into the phase of the first kDrop, or -1 for none
};

struct GuardCase {
  const char* name;
  std::vector<Phase> phases;
};

TEST(NegotiationFloodGuard, PacesFloodsAndDropsOnlyThoseWithoutData) {
  constexpr auto kNormal = Verdict::kNormal;
  constexpr auto kPace = Verdict::kPace;
  const GuardCase cases[] = {
      {"a modem state notification every 10 ms for a minute", {{60000, 10, 0, 7, kNormal, -1}}},
      {"a NOP every second for an hour", {{3600000, 1000, 0, 2, kNormal, -1}}},
      {"an 8000-byte burst, then answers",
       {{1, 1, 0, 8000, kNormal, -1}, {1000, 10, 6, 0, kNormal, -1}}},
      {"a full-speed flood: paced, dropped 1 s later", {{2000, 20, 0, 4096, Verdict::kDrop, 1040}}},
      {"a flood with data every 0.5 s: paced, never dropped", {{3000, 500, 1, 100000, kPace, -1}}},
      {"a flood that stopped is forgotten",
       {{300, 20, 0, 4096, kPace, -1},
        {4000, 20, 0, 0, kNormal, -1},
        {1, 1, 0, 8000, kNormal, -1}}},
  };
  for (const GuardCase& c : cases) {
    SCOPED_TRACE(c.name);
    NegotiationFloodGuard guard;
    int64_t now = 1000;
    guard.Reset(now);
    for (size_t p = 0; p < c.phases.size(); ++p) {
      SCOPED_TRACE(p);
      const Phase& phase = c.phases[p];
      Verdict verdict = kNormal;
      int firstDropMs = -1;
      for (int t = 0; t < phase.durationMs; t += phase.stepMs) {
        verdict = guard.Received(now + t, phase.dataBytes, phase.negotiationBytes);
        if (verdict == Verdict::kDrop && firstDropMs < 0) {
          firstDropMs = t;
        }
      }
      now += phase.durationMs;
      EXPECT_EQ(verdict, phase.last);
      EXPECT_EQ(firstDropMs, phase.firstDropMs);
      EXPECT_EQ(guard.Flooding(), verdict != kNormal);
    }
  }
}

}  // namespace
}  // namespace qzlink
