// Answer latency through ser2net on loopback against the local
// pseudo-terminal, in one run: the time from a command call until the
// client's window procedure holds the camera's answer, over 2,000 commands
// each, against one simulated camera (qtr90x-camsim --fast, no pacing, no
// reply delay). The network path adds the library's telnet layer, two
// loopback TCP hops and ser2net's relay to the pseudo-terminal. ser2net runs
// twice: as installed (it holds received bytes back for about two characters,
// at least 1 ms, to batch them), and with that delay off (chardelay: false).
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "camlink/qzlink.h"
#include "testsupport/ser2net_line.h"

namespace {

using Clock = std::chrono::steady_clock;
using qzlink::testing::Ser2netServer;
using qzlink::testing::SimulatorProcess;

constexpr int kCommands = 2000;

struct Percentiles {
  double p50Us = 0;
  double p99Us = 0;
};

bool gAnswered = false;

LRESULT ClientProc(HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message == AckRxMessage) {
    uint8_t frame[40];
    QzGetMsg(static_cast<int32_t>(lParam), frame);
    gAnswered = true;
  }
  return 0;
}

// Opens COM1 at address and times kCommands round trips; empty on failure.
Percentiles Measure(const std::string& address) {
  setenv("QZLINK_COM1", address.c_str(), 1);
  const HWND window = QzCreateMessageWindow(ClientProc);
  std::vector<double> micros;
  micros.reserve(kCommands);
  if (QzOpen(window, 1, 38400, 8, 0, 0) == 1) {
    for (int i = 0; i < kCommands; ++i) {
      gAnswered = false;
      const auto start = Clock::now();
      if (QzSetCascade(0, 1) != 1) {
        break;
      }
      const auto deadline = start + std::chrono::seconds(2);
      while (!gAnswered && Clock::now() < deadline) {
        pollfd p{QzMessageWakeFd(), POLLIN, 0};
        poll(&p, 1, 100);
        QzDispatchMessages();
      }
      if (!gAnswered) {
        break;
      }
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
  }
  QzClose();
  DestroyWindow(window);
  if (micros.size() != static_cast<size_t>(kCommands)) {
    return {};
  }
  std::sort(micros.begin(), micros.end());
  return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

void BM_AnswerLatencySer2netVsPty(benchmark::State& state) {
  const std::string ser2net = qzlink::testing::FindSer2net();
  if (ser2net.empty()) {
    state.SkipWithError("ser2net is not installed");
    return;
  }
  char pattern[] = "/tmp/qzlink-bench-XXXXXX";
  const char* work = mkdtemp(pattern);
  if (work == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  Percentiles local;
  Percentiles network;
  Percentiles tuned;
  {
    SimulatorProcess sim(CAMSIM_PATH, std::string(work) + "/cam");
    Ser2netServer server(ser2net, sim.Link(), work);
    if (!sim.Ready() || !server.Start()) {
      state.SkipWithError("simulator or ser2net did not start");
      return;
    }
    for (auto _ : state) {
      local = Measure(sim.Link());
      network = Measure(server.Address());
      server.Stop();
      Ser2netServer tunedServer(ser2net, sim.Link(), work, "    chardelay: false\n");
      if (tunedServer.Start()) {
        tuned = Measure(tunedServer.Address());
      }
    }
  }
  std::system((std::string("rm -rf '") + work + "'").c_str());
  if (local.p50Us == 0 || network.p50Us == 0) {
    state.SkipWithError("a measurement did not complete");
    return;
  }
  state.counters["pty_p50_us"] = local.p50Us;
  state.counters["pty_p99_us"] = local.p99Us;
  state.counters["ser2net_p50_us"] = network.p50Us;
  state.counters["ser2net_p99_us"] = network.p99Us;
  state.counters["ratio_p50"] = network.p50Us / local.p50Us;
  state.counters["ser2net_nodelay_p50_us"] = tuned.p50Us;
  state.counters["ser2net_nodelay_p99_us"] = tuned.p99Us;
}
BENCHMARK(BM_AnswerLatencySer2netVsPty)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
