// Feeds arbitrary host bytes to the simulator: first to its frame reader and
// command frame parser directly, then to a whole cascade of cameras at
// advancing times. Checks that the reader keeps its bound, that a parsed
// command is what the frame says, and that the cascade's output queue stays
// bounded whatever the host sends.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "camsim/cascade.h"
#include "camsim/model_traits.h"
#include "camsim/wire_format.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void ParseFrames(const uint8_t* data, size_t size) {
  camsim::FrameReader reader;
  for (size_t i = 0; i < size; ++i) {
    if (reader.Push(data[i])) {
      const std::span<const uint8_t> frame = reader.Frame();
      Check(!frame.empty() && frame.size() <= camsim::kMaxFrameBytes);
      Check(frame.back() == camsim::kTerminator);
      if (const auto command = camsim::ParseCommandFrame(frame)) {
        Check(frame[0] == camsim::kCommandStart);
        Check(command->address >= 0 && command->address <= 9);
        Check(command->command == frame[4]);
        Check(command->args.size() + 6 == frame.size());
      }
    }
    Check(reader.Pending() <= camsim::kMaxFrameBytes);
  }
}

void RunCascade(const uint8_t* data, size_t size) {
  static const char* const kModels[] = {"QT-R90x", "QT-R90xN", "QT-R7"};
  camsim::CascadeConfig config;
  const int cameras = 1 + data[0] % 3;
  for (int i = 0; i < cameras; ++i) {
    config.models.push_back(camsim::FindModel(kModels[(data[0] / 4 + i) % 3]));
    Check(config.models.back() != nullptr);
  }
  config.powerOn = (data[0] & 0x40) != 0;
  config.byteTime = (data[0] & 0x80) != 0 ? camsim::ByteTime(9600) : camsim::Duration{};
  camsim::TimePoint now{};
  camsim::Cascade cascade(config, now);
  // Each chunk: a length byte (low 4 bits), then the bytes; the high bits of
  // the length byte advance the clock.
  for (size_t at = 1; at < size;) {
    const size_t n = data[at] % 16;
    now += std::chrono::milliseconds(data[at] >> 4) * 10;
    ++at;
    const size_t take = size - at < n ? size - at : n;
    cascade.Feed(data + at, take, now);
    at += take;
    for (const camsim::Bytes& chunk : cascade.TakeDue(now)) {
      Check(!chunk.empty());
    }
    const auto stats = cascade.GetStats();
    Check(stats.commands + stats.ignored + stats.dropped <= size);
  }
  // Everything still queued comes out in a bounded time.
  now += std::chrono::seconds(600);
  cascade.TakeDue(now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size == 0) {
    return 0;
  }
  ParseFrames(input, size);
  RunCascade(input, size);
  return 0;
}
