// Gamepad control's figures:
// - AxisToFirstByte: a stick deflected on a virtual controller of SDL to the
//   first byte of the command it causes, read on the camera's side of the
//   line (the simulator behind a tap), p50 and p99 over 1000 deflections.
//   The path: SDL's wait in the edge's thread, the post to the Qt thread,
//   the core, the command path, the library's write. event_p50/p99: the
//   same from the moment the edge took SDL's event.
// - CoreAxisEvent*: the pure core's cost per axis event, while its command
//   is in flight (coalesced: the common case of a moving stick) and when
//   the event gives a command; heap allocations per event alongside.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

#include "bench/controller_bench_support.h"
#include "controller/tests/virtual_pad.h"
#include "core/gamepad/gamepad_core.h"
#include "core/settings/settings.h"
#include "testsupport/alloc_counter.h"
#include "testsupport/link_test_support.h"
#include "ui/gamepad/gamepad_control.h"
#include "ui/main/main_dialog.h"

namespace {

using qtr90x::bench::LineTap;
using qtr90x::bench::MonotonicNs;
using qtr90x::bench::TappedDialog;
using qtr90x::bench::WaitUntil;

void AxisToFirstByte(benchmark::State& state) {
  constexpr int kDeflections = 1000;
  TappedDialog connected;
  if (!connected.Ready() || connected.Dialog().Gamepad() == nullptr) {
    state.SkipWithError("the connect sequence did not complete, or no gamepad control");
    return;
  }
  qtr90x::MainDialog& dialog = connected.Dialog();
  const LineTap& tap = connected.Tap();
  qtr90x::GamepadControl& gamepad = *dialog.Gamepad();
  // The benchmark's own hold on SDL, after the edge's.
  SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  qtr90x::testing::VirtualPad pad;
  if (!pad.Attach("Virtual bench pad")) {
    state.SkipWithError("no virtual controller");
    return;
  }
  const auto quiet = [&] {
    return gamepad.Core().CommandsInFlight() == 0 && dialog.Engine().CallsInFlight() == 0;
  };
  if (!WaitUntil([&] { return gamepad.Attached(); }, 5000)) {
    state.SkipWithError("the controller was not attached");
    return;
  }
  std::vector<double> micros;
  std::vector<double> fromEvent;  // from the edge's SDL event on
  micros.reserve(kDeflections);
  fromEvent.reserve(kDeflections);
  for (auto _ : state) {
    for (int i = 0; i < kDeflections; ++i) {
      const std::size_t before = tap.Count(LineTap::kToCamera);
      const std::int64_t deflected = MonotonicNs();
      pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, i % 2 == 0 ? 32767 : -32768);
      (void)WaitUntil([&] { return tap.Count(LineTap::kToCamera) > before; }, 2000);
      micros.push_back(static_cast<double>(tap.LastStart(LineTap::kToCamera) - deflected) / 1000.0);
      fromEvent.push_back(
          static_cast<double>(tap.LastStart(LineTap::kToCamera) - gamepad.LastInputNs()) / 1000.0);
      // The move and its answers, then back to the middle: one stop.
      (void)WaitUntil([&] { return gamepad.Core().Moving() && quiet(); }, 2000);
      pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
      (void)WaitUntil([&] { return !gamepad.Core().Moving() && quiet(); }, 2000);
    }
  }
  pad.Detach();
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  const auto at = [](std::vector<double>& v, double q) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))];
  };
  state.counters["p50_us"] = at(micros, 0.50);
  state.counters["p99_us"] = at(micros, 0.99);
  state.counters["max_us"] = micros.back();
  // SDL reads a controller once a millisecond while it waits (it has no
  // descriptor to wait on without a video subsystem); from its event on:
  state.counters["event_p50_us"] = at(fromEvent, 0.50);
  state.counters["event_p99_us"] = at(fromEvent, 0.99);
  state.counters["deflections"] = static_cast<double>(micros.size());
}
BENCHMARK(AxisToFirstByte)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

qtr90x::GamepadContext Context() {
  qtr90x::GamepadContext ctx;
  ctx.camera = 1;
  ctx.panTiltEnabled = ctx.zoomEnabled = ctx.focusEnabled = true;
  ctx.panSpeed = 400;
  ctx.tiltSpeed = 300;
  ctx.zoomSpeed = 3;
  return ctx;
}

// A stick moving while the core's command waits for its answer: every
// event is coalesced.
void CoreAxisEventCoalesced(benchmark::State& state) {
  const qtr90x::GamepadContext ctx = Context();
  qtr90x::GamepadCore core;
  qtr90x::GamepadOutputs out;
  core.OnAttached({}, ctx, out);
  core.OnAxis(qtr90x::GamepadAxis::kLeftX, 20000, ctx, out);  // a command in flight
  int value = 0;
  qztest::AllocationScope scope;
  for (auto _ : state) {
    out.clear();
    core.OnAxis(qtr90x::GamepadAxis::kLeftX, 8000 + (value++ & 0x3FFF), ctx, out);
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["allocations_per_event"] =
      static_cast<double>(scope.Count()) / static_cast<double>(state.iterations());
}
BENCHMARK(CoreAxisEventCoalesced);

// Each event answered at once: every one gives a command.
void CoreAxisEventToCommand(benchmark::State& state) {
  const qtr90x::GamepadContext ctx = Context();
  qtr90x::GamepadCore core;
  qtr90x::GamepadOutputs out;
  core.OnAttached({}, ctx, out);
  int value = 0;
  std::size_t commands = 0;
  qztest::AllocationScope scope;
  for (auto _ : state) {
    out.clear();
    // Alternate between two speeds far enough apart to be sent.
    core.OnAxis(qtr90x::GamepadAxis::kLeftX, (value++ & 1) != 0 ? 12000 : 30000, ctx, out);
    while (core.CommandsInFlight() > 0)
      core.OnAnswered(ctx, out);
    commands += out.size();
  }
  state.counters["commands_per_event"] =
      static_cast<double>(commands) / static_cast<double>(state.iterations());
  state.counters["allocations_per_event"] =
      static_cast<double>(scope.Count()) / static_cast<double>(state.iterations());
}
BENCHMARK(CoreAxisEventToCommand);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("SDL_VIDEODRIVER", "dummy");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
