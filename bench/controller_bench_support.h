// Helpers of the operator application's benchmarks: an event loop that
// blocks until a condition holds, the simulated camera as a process, and the
// main dialog on a tapped line (bench/line_tap.h).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "bench/line_tap.h"
#include "core/settings/settings.h"
#include "testsupport/link_test_support.h"
#include "ui/main/main_dialog.h"

namespace qtr90x::bench {

using qzbench::LineTap;
using qzbench::MonotonicNs;

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
