// Commands built and written per second to a pseudo-terminal that a second
// thread keeps drained, and the heap allocations each command costs.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "camlink/qzlink.h"
#include "testsupport/alloc_counter.h"
#include "testsupport/link_test_support.h"

namespace {

using qzlink::testing::PtyPair;

// Reads everything the library writes until stopped.
class Drain {
 public:
  explicit Drain(int fd)
      : thread_([this, fd] {
          uint8_t buffer[4096];
          while (!stop_.load(std::memory_order_relaxed)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0 && read(fd, buffer, sizeof buffer) < 0 && errno != EAGAIN) {
              break;
            }
          }
        }) {}
  ~Drain() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// One command of each shape: a selector, a value, two values with a selector.
int32_t SendOne(int64_t i) {
  switch (i & 3) {
    case 0:
      return QzSetZoomPosition(1, static_cast<int32_t>(i & 0xFF));
    case 1:
      return QzSetZooming(1, static_cast<int32_t>(i % 5));
    case 2:
      return QzSetPTAngle1(1, 0, static_cast<int32_t>(i), -static_cast<int32_t>(i));
    default:
      return QzGetZoomPosition(1);
  }
}

// Heap allocations per command over a counted pass of 100,000 commands
// (outside the timed loop, whose own bookkeeping may allocate).
template <typename Command>
double AllocationsPerCommand(Command command) {
  constexpr int64_t kCommands = 100000;
  qztest::AllocationScope scope;
  for (int64_t i = 0; i < kCommands; ++i) {
    benchmark::DoNotOptimize(command(i));
  }
  return static_cast<double>(scope.Count()) / kCommands;
}

void BM_CommandsWrittenToDrainedPty(benchmark::State& state) {
  PtyPair pty;
  pty.BecomeComPort(1);
  // 38400 baud: no write time-out, so only the drain paces the writes.
  if (QzOpen(nullptr, 1, 38400, 8, 0, 0) != 1) {
    state.SkipWithError("QzOpen failed");
    return;
  }
  int64_t failed = 0;
  double allocationsPerCommand = 0;
  {
    Drain drain(pty.MasterFd());
    allocationsPerCommand = AllocationsPerCommand([](int64_t i) { return SendOne(i); });
    int64_t i = 0;
    for (auto _ : state) {
      failed += SendOne(i++) != 1;
    }
  }
  QzClose();
  state.SetItemsProcessed(state.iterations());
  state.counters["commands_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["allocs_per_command"] = allocationsPerCommand;
  state.counters["failed"] = static_cast<double>(failed);
}
BENCHMARK(BM_CommandsWrittenToDrainedPty)->UseRealTime();

// For comparison: building the frame alone.
void BM_CommandsBuiltOnly(benchmark::State& state) {
  QzSetZoomPosition(1, 60);
  int32_t length = 0;
  const double allocationsPerCommand =
      AllocationsPerCommand([&length](int64_t) { return QzGetCmdstr(16, 1, &length) != nullptr; });
  for (auto _ : state) {
    benchmark::DoNotOptimize(QzGetCmdstr(16, 1, &length));
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs_per_command"] = allocationsPerCommand;
}
BENCHMARK(BM_CommandsBuiltOnly);

}  // namespace

BENCHMARK_MAIN();
