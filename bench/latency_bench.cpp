// Latency from the last byte of a frame written into the master side of a
// pseudo-terminal until the client's window procedure is entered, against a
// bare read() loop on a pseudo-terminal as the baseline, over 10,000 frames
// each, in one run.
//
// A camera thread writes a frame's first bytes, takes the time, writes the
// terminator, and waits until the client has seen the frame before the next.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "camlink/qzlink.h"
#include "testsupport/link_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using qzlink::testing::PtyPair;

constexpr int kFrames = 10000;
const uint8_t kAnswer[] = {0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF};

struct Percentiles {
  double p50Us = 0;
  double p99Us = 0;
};

Percentiles Summarise(std::vector<double>& micros) {
  std::sort(micros.begin(), micros.end());
  return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

// The camera side: one frame at a time, each after the previous was seen.
class Camera {
 public:
  explicit Camera(int masterFd) : master_(masterFd), seen_(eventfd(0, EFD_CLOEXEC)) {}
  ~Camera() {
    if (thread_.joinable()) {
      thread_.join();
    }
    close(seen_);
  }
  void Start() {
    thread_ = std::thread([this] {
      for (int i = 0; i < kFrames; ++i) {
        WriteAll(kAnswer, sizeof kAnswer - 1);
        lastByteAt_.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
        WriteAll(kAnswer + sizeof kAnswer - 1, 1);
        uint64_t count = 0;
        if (read(seen_, &count, sizeof count) != sizeof count) {
          return;
        }
      }
    });
  }
  // Called by the client when the frame arrived: the latency in microseconds.
  double Seen() {
    const auto now = Clock::now().time_since_epoch().count();
    const double micros =
        static_cast<double>(now - lastByteAt_.load(std::memory_order_acquire)) / 1000.0;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(seen_, &one, sizeof one);
    return micros;
  }

 private:
  void WriteAll(const uint8_t* data, size_t length) {
    while (length > 0) {
      const ssize_t n = write(master_, data, length);
      if (n > 0) {
        data += n;
        length -= static_cast<size_t>(n);
      } else {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  int master_;
  int seen_;
  std::atomic<Clock::rep> lastByteAt_{0};
  std::thread thread_;
};

// The library: reader thread, ring, send to a window of this thread, which
// pumps with poll() on its wake descriptor and QzDispatchMessages.
Camera* gCamera = nullptr;
std::vector<double>* gLatencies = nullptr;

LRESULT ClientProc(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == AckRxMessage) {
    gLatencies->push_back(gCamera->Seen());
    uint8_t frame[40];
    QzGetMsg(static_cast<int32_t>(lParam), frame);
  }
  return 0;
}

Percentiles MeasureLibrary() {
  PtyPair pty;
  pty.BecomeComPort(1);
  std::vector<double> latencies;
  latencies.reserve(kFrames);
  Camera camera(pty.MasterFd());
  gCamera = &camera;
  gLatencies = &latencies;
  const HWND window = QzCreateMessageWindow(ClientProc);
  if (QzOpen(window, 1, 38400, 8, 0, 0) != 1) {
    return {};
  }
  camera.Start();
  while (latencies.size() < static_cast<size_t>(kFrames)) {
    pollfd p{QzMessageWakeFd(), POLLIN, 0};
    poll(&p, 1, 1000);
    QzDispatchMessages();
  }
  QzClose();
  DestroyWindow(window);
  return Summarise(latencies);
}

// The baseline: a blocking read() loop on a raw pseudo-terminal slave.
Percentiles MeasureBareRead() {
  PtyPair pty;
  const int slave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  tcgetattr(slave, &t);
  cfmakeraw(&t);
  tcsetattr(slave, TCSANOW, &t);
  std::vector<double> latencies;
  latencies.reserve(kFrames);
  Camera camera(pty.MasterFd());
  camera.Start();
  uint8_t buffer[4096];
  while (latencies.size() < static_cast<size_t>(kFrames)) {
    const ssize_t n = read(slave, buffer, sizeof buffer);
    if (n <= 0) {
      break;
    }
    if (buffer[n - 1] == 0xEF) {
      latencies.push_back(camera.Seen());
    }
  }
  close(slave);
  return Summarise(latencies);
}

void BM_AnnounceLatency(benchmark::State& state) {
  Percentiles library;
  Percentiles bare;
  for (auto _ : state) {
    bare = MeasureBareRead();
    library = MeasureLibrary();
  }
  state.counters["library_p50_us"] = library.p50Us;
  state.counters["library_p99_us"] = library.p99Us;
  state.counters["bare_read_p50_us"] = bare.p50Us;
  state.counters["bare_read_p99_us"] = bare.p99Us;
  state.counters["ratio_p50"] = bare.p50Us > 0 ? library.p50Us / bare.p50Us : 0;
  state.counters["ratio_p99"] = bare.p99Us > 0 ? library.p99Us / bare.p99Us : 0;
}
BENCHMARK(BM_AnnounceLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
