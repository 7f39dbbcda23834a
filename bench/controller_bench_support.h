// Helpers of the operator application's benchmarks: the monotonic clock, an
// event loop that blocks until a condition holds, the simulated camera as a
// process, and the tap that timestamps each frame's first byte on the
// camera's side of the line.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "core/settings/settings.h"
#include "testsupport/link_test_support.h"
#include "ui/main/main_dialog.h"

namespace qtr90x::bench {

inline std::int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Runs the event loop until `done` holds, blocking between events as the
// application's own loop does (a polling wait would add its period to every
// step of the sequence).
template <typename Done>
bool WaitUntil(Done done, int timeoutMs) {
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(timeoutMs);
  while (!done()) {
    if (!deadline.isActive()) {
      return false;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// A simulated QT-R90x at 9600 baud with its default delays (or `options`).
class Simulator {
 public:
  explicit Simulator(const QString& link, const QStringList& options = {}) {
    process_.start(QStringLiteral(CAMSIM_PATH),
                   QStringList{QStringLiteral("--link"), link} + options);
    process_.waitForStarted(5000);
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 5000) {
      process_.waitForReadyRead(100);
    }
    ready_ = process_.readLine().startsWith("ready ");
  }
  ~Simulator() {
    process_.terminate();
    process_.waitForFinished(3000);
  }
  bool Ready() const { return ready_; }

 private:
  QProcess process_;
  bool ready_ = false;
};

// Stands between the application's line and the simulator: passes every byte
// on both ways and notes when the first byte of each frame from the
// application is read, as the camera's side of the line reads it.
class LineTap {
 public:
  LineTap(int applicationSide, const std::string& simulatorLink)
      : application_(applicationSide),
        simulator_(open(simulatorLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    termios raw{};
    if (simulator_ >= 0 && tcgetattr(simulator_, &raw) == 0) {
      cfmakeraw(&raw);
      tcsetattr(simulator_, TCSANOW, &raw);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~LineTap() {
    stop_ = true;
    thread_.join();
    if (simulator_ >= 0) {
      close(simulator_);
    }
  }
  bool Valid() const { return simulator_ >= 0; }
  // Frames seen from the application, and when the last one began.
  std::uint64_t Frames() const { return frames_.load(); }
  // Blocks until a frame after the first `seen` has begun.
  void WaitForFrameAfter(std::uint64_t seen) const { frames_.wait(seen); }
  std::int64_t LastFrameStartNs() const { return lastStartNs_.load(); }

 private:
  void Run() {
    bool inFrame = false;
    std::uint8_t buffer[256];
    while (!stop_) {
      pollfd fds[2] = {{application_, POLLIN, 0}, {simulator_, POLLIN, 0}};
      if (poll(fds, 2, 20) <= 0) {
        continue;
      }
      if (fds[0].revents & POLLIN) {
        const ssize_t n = read(application_, buffer, sizeof buffer);
        const std::int64_t now = MonotonicNs();
        for (ssize_t i = 0; i < n; ++i) {
          if (!inFrame) {
            lastStartNs_ = now;
            ++frames_;
            frames_.notify_all();
          }
          inFrame = buffer[i] != 0xEF;
        }
        Forward(simulator_, buffer, n);
      }
      if (fds[1].revents & POLLIN) {
        Forward(application_, buffer, read(simulator_, buffer, sizeof buffer));
      }
    }
  }
  static void Forward(int fd, const std::uint8_t* bytes, ssize_t count) {
    for (ssize_t done = 0; count > 0 && done < count;) {
      const ssize_t n = write(fd, bytes + done, static_cast<std::size_t>(count - done));
      if (n > 0) {
        done += n;
      } else {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  int application_;
  int simulator_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<std::int64_t> lastStartNs_{0};
  std::thread thread_;
};

// The main dialog connected to a fast simulated camera through a tapped
// line, on a registry of its own, its connect sequence over.
class TappedDialog {
 public:
  TappedDialog() : link_(dir_.path() + QStringLiteral("/camera")), simulator_(link_, {"--fast"}) {
    qputenv("QZLINK_REGISTRY", (dir_.path() + QStringLiteral("/registry.reg")).toLocal8Bit());
    SaveGeneralSettings(GeneralSettings{});
    if (!simulator_.Ready() || !line_.Valid()) {
      return;
    }
    line_.BecomeComPort(1);
    tap_ = std::make_unique<LineTap>(line_.MasterFd(), link_.toStdString());
    dialog_ = std::make_unique<MainDialog>();
    dialog_->show();
    auto* model = qobject_cast<QLabel*>(dialog_->Control(1162));
    ready_ = tap_->Valid() && WaitUntil([&] { return !model->text().isEmpty(); }, 10000) &&
             WaitUntil([&] { return !dialog_->Engine().SequenceActive(); }, 5000);
  }
  // The dialog and the tap exist only when it is.
  bool Ready() const { return ready_; }
  MainDialog& Dialog() { return *dialog_; }
  const LineTap& Tap() const { return *tap_; }

 private:
  QTemporaryDir dir_;
  QString link_;
  Simulator simulator_;
  qzlink::testing::PtyPair line_;
  std::unique_ptr<LineTap> tap_;
  std::unique_ptr<MainDialog> dialog_;
  bool ready_ = false;
};

}  // namespace qtr90x::bench
