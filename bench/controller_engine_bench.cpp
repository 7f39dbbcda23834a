// The operator application's command path without I/O: an answer from its
// bytes to its value in CameraState, through the calls in flight and the
// call's own decoder. Heap allocations per answer are counted apart from the
// timed loop.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "core/engine/sequence_engine.h"
#include "testsupport/alloc_counter.h"

namespace {

using qtr90x::EngineActions;
using qtr90x::LibraryCall;

// Takes every call as written, as a line that never refuses.
class NullPort : public qtr90x::LibraryPort {
 public:
  bool Send(const LibraryCall& /*call*/, qtr90x::SentFrame& sent) override {
    static constexpr std::array<std::uint8_t, 7> kFrame = {0xFF, 0x30, 0x31, 0x00,
                                                           0x52, 0x30, 0xEF};
    sent.Assign(kFrame);
    return true;
  }
  bool SendRaw(std::span<const std::uint8_t> /*bytes*/) override { return true; }
};

// The pan speed query of camera 1 and its answer, 0x12C.
const LibraryCall kQuery = qtr90x::MakeCall(qtr90x::LibraryFunction::kQzGetMotorSpeed, 1, 0);
constexpr std::array<std::uint8_t, 9> kAnswer = {0xFE, 0x30, 0x31, 0x30, 0x30, '1', '2', 'C', 0xEF};

struct Engine {
  NullPort port;
  qtr90x::SequenceEngine engine{port};
  EngineActions out;

  Engine() {
    out.reserve(16);
    // Camera 1 selected, as after a connect.
    engine.OnCameraSelected(0, out);
  }
  // One query sent and its answer decoded.
  int Round() {
    out.clear();
    engine.SendOperatorCall(kQuery, qtr90x::AnswerFollowUp::kNone, out);
    engine.OnAnswer(kAnswer, out);
    return engine.Camera().panSpeed;
  }
};

void BM_AnswerToCameraState(benchmark::State& state) {
  Engine e;
  for (auto _ : state) {
    benchmark::DoNotOptimize(e.Round());
  }
  constexpr int kRounds = 100000;
  qztest::AllocationScope scope;
  for (int i = 0; i < kRounds; ++i) {
    benchmark::DoNotOptimize(e.Round());
  }
  state.counters["allocations_per_answer"] = static_cast<double>(scope.Count()) / kRounds;
}
BENCHMARK(BM_AnswerToCameraState);

}  // namespace

BENCHMARK_MAIN();
