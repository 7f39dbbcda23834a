// The operator application's two figures:
// - ConnectSequence: the connect sequence's wall time against a simulated
//   QT-R90x at 9600 baud, next to its floor: every byte of the run's frames
//   (commands, answers, notifications, as the debug window lists them) ten
//   bit times on the line, plus the simulator's reply delay per command.
// - ColdStartToFirstPaint: from exec of a fresh process to the main dialog's
//   first paint (offscreen, no camera on the port).
// - PressToFirstByte: a synthesized mouse press on a direction button to the
//   first byte of its frame read on the camera's side of the line, p50 and
//   p99 over 1000 presses.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/controller_bench_support.h"
#include "core/settings/settings.h"
#include "testsupport/link_test_support.h"
#include "ui/main/main_dialog.h"
#include "ui/tools/debug_window.h"

extern char** environ;

namespace {

using qtr90x::bench::LineTap;
using qtr90x::bench::MonotonicNs;
using qtr90x::bench::Simulator;
using qtr90x::bench::TappedDialog;
using qtr90x::bench::WaitUntil;

constexpr double kBitsPerByte = 10.0;
constexpr double kBaud = 9600.0;
constexpr double kReplyDelayMs = 5.0;  // the simulator's default

// The floor of the rows the debug window listed: bytes on the line and the
// reply delay of each command.
double FloorMs(const QStringList& rows) {
  double bytes = 0;
  int commands = 0;
  for (const QString& row : rows) {
    const QString label = row.section('\t', 0, 0);
    const QString text = row.section('\t', 1);
    if (label == QLatin1String("send")) {
      ++commands;
    }
    if (label == QLatin1String("send") || label == QLatin1String("ack") ||
        label == QLatin1String("notify")) {
      bytes += static_cast<double>(text.split(' ', Qt::SkipEmptyParts).size());
    }
  }
  return bytes * kBitsPerByte / kBaud * 1000.0 + commands * kReplyDelayMs;
}

void ConnectSequence(benchmark::State& state) {
  QTemporaryDir dir;
  const QString link = dir.path() + QStringLiteral("/camera");
  qputenv("QZLINK_REGISTRY", (dir.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
  qputenv("QZLINK_COM1", link.toLocal8Bit());
  // The debug window lists every frame the sequence sent and received.
  qtr90x::GeneralSettings settings;
  settings.dispCommandWindow = 1;
  qtr90x::SaveGeneralSettings(settings);
  Simulator simulator(link);
  if (!simulator.Ready()) {
    state.SkipWithError("the simulator did not start");
    return;
  }
  double floorTotal = 0;
  double wallTotal = 0;
  for (auto _ : state) {
    // The sequence starts with the message the dialog posts itself while it
    // is built; the clock starts when the dialog is ready.
    qtr90x::MainDialog dialog;
    const auto start = std::chrono::steady_clock::now();
    auto* model = qobject_cast<QLabel*>(dialog.Control(1162));
    // The model line is set when the connect sequence has completed.
    if (!WaitUntil([&] { return !model->text().isEmpty(); }, 10000)) {
      state.SkipWithError("the connect sequence did not complete");
      return;
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(wall / 1000.0);
    const double floor = FloorMs(dialog.Debug()->Rows());
    wallTotal += wall;
    floorTotal += floor;
    // Let the page read that follows finish before the session closes.
    (void)WaitUntil([&] { return !dialog.Engine().SequenceActive(); }, 5000);
  }
  state.counters["floor_ms"] = floorTotal / static_cast<double>(state.iterations());
  state.counters["wall_ms"] = wallTotal / static_cast<double>(state.iterations());
  state.counters["wall_over_floor"] = floorTotal > 0 ? wallTotal / floorTotal : 0;
}
BENCHMARK(ConnectSequence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void PressToFirstByte(benchmark::State& state) {
  constexpr int kPresses = 1000;
  TappedDialog connected;
  if (!connected.Ready()) {
    state.SkipWithError("the connect sequence did not complete");
    return;
  }
  qtr90x::MainDialog& dialog = connected.Dialog();
  const LineTap& tap = connected.Tap();
  QWidget* right = dialog.Control(1010);
  const QPointF centre(right->width() / 2.0, right->height() / 2.0);
  std::vector<double> micros;
  micros.reserve(kPresses);
  for (auto _ : state) {
    for (int i = 0; i < kPresses; ++i) {
      const std::size_t before = tap.Count(LineTap::kToCamera);
      QMouseEvent press(QEvent::MouseButtonPress, centre, right->mapToGlobal(centre),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      const std::int64_t pressed = MonotonicNs();
      QApplication::sendEvent(right, &press);
      const std::int64_t first = tap.WaitFrame(LineTap::kToCamera, before, 5000);
      if (first >= 0) {
        micros.push_back(static_cast<double>(first - pressed) / 1000.0);
      }
      QMouseEvent release(QEvent::MouseButtonRelease, centre, right->mapToGlobal(centre),
                          Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(right, &release);
      // Both answers back before the next press.
      (void)WaitUntil([&] { return dialog.Engine().CallsInFlight() == 0; }, 2000);
    }
  }
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double q) {
    return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))];
  };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = micros.back();
  state.counters["presses"] = static_cast<double>(micros.size());
}
BENCHMARK(PressToFirstByte)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The child of ColdStartToFirstPaint: starts the application's dialog and
// reports the time of its first paint.
int FirstPaintChild(int argc, char** argv) {
  QApplication app(argc, argv);
  qtr90x::MainDialog dialog;
  struct PaintWatch : QObject {
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) {
        std::printf("%lld\n", static_cast<long long>(MonotonicNs()));
        std::fflush(stdout);
        std::_Exit(0);
      }
      return false;
    }
  } watch;
  dialog.installEventFilter(&watch);
  dialog.show();
  return app.exec();
}

void ColdStartToFirstPaint(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string registry = (dir.path() + QStringLiteral("/registry.reg")).toStdString();
  const std::string port = (dir.path() + QStringLiteral("/no-camera")).toStdString();
  setenv("QZLINK_REGISTRY", registry.c_str(), 1);
  setenv("QZLINK_COM1", port.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string self = QCoreApplication::applicationFilePath().toStdString();
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("pipe");
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char arg0[] = "controller_bench";
    char arg1[] = "--first-paint-child";
    char* args[] = {arg0, arg1, nullptr};
    const std::int64_t launched = MonotonicNs();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char text[64] = {};
    std::size_t got = 0;
    for (ssize_t n = 0;
         got + 1 < sizeof text && (n = read(fds[0], text + got, sizeof text - 1 - got)) > 0;) {
      got += static_cast<std::size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    if (spawned == 0) {
      waitpid(child, &status, 0);
    }
    const long long painted = std::atoll(text);
    if (spawned != 0 || painted <= launched) {
      state.SkipWithError("the child did not paint");
      return;
    }
    state.SetIterationTime(static_cast<double>(painted - launched) / 1e9);
  }
}
BENCHMARK(ColdStartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--first-paint-child") == 0) {
    return FirstPaintChild(argc, argv);
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
