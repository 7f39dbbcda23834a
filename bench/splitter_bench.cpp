// Stream splitter throughput on 100 MB of synthetic received frames fed in
// the reader's 4096-byte chunks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "camlink/stream_splitter.h"

namespace {

// Frames of 4 to 40 bytes: a known first byte, bytes that are never 0xEF,
// the terminator.
std::vector<uint8_t> SyntheticStream(size_t size) {
  static constexpr uint8_t kFirst[] = {0xFE, 0xFA, 0xFD, 0xFC, 0xF8, 0xFB, 0xF9};
  std::mt19937 random(42);
  std::vector<uint8_t> stream;
  stream.reserve(size);
  while (stream.size() < size) {
    const size_t length = 4 + random() % 37;
    stream.push_back(kFirst[random() % std::size(kFirst)]);
    for (size_t i = 2; i < length; ++i) {
      stream.push_back(static_cast<uint8_t>(0x30 + random() % 0x50));
    }
    stream.push_back(qzlink::kFrameTerminator);
  }
  stream.resize(size);
  return stream;
}

void BM_StreamSplitter(benchmark::State& state) {
  const std::vector<uint8_t> stream = SyntheticStream(100u * 1000 * 1000);
  qzlink::StreamSplitter splitter;
  uint64_t frames = 0;
  for (auto _ : state) {
    for (size_t offset = 0; offset < stream.size(); offset += 4096) {
      const size_t chunk = std::min<size_t>(4096, stream.size() - offset);
      splitter.Feed(stream.data() + offset, chunk, [&frames](const uint8_t* frame, size_t, bool) {
        benchmark::DoNotOptimize(frame);
        ++frames;
      });
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  state.counters["frames_per_s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StreamSplitter)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
