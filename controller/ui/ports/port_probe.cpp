#include "ui/ports/port_probe.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/msgwindow.h"
#include "ui/link/qzlink_port.h"

namespace qtr90x {

namespace {

// The last answer the child's window received.
struct ProbeInbox {
  QzlinkPort* port = nullptr;
  std::string answer;
  int answers = 0;
};
ProbeInbox* gInbox = nullptr;

LRESULT ProbeWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kAckRxMessage && gInbox != nullptr) {
    std::array<std::uint8_t, QzlinkPort::kFrameCapacity> frame{};
    const std::size_t length = gInbox->port->FetchFrame(static_cast<int>(lParam), frame);
    gInbox->answer.assign(reinterpret_cast<const char*>(frame.data()), length);
    ++gInbox->answers;
    return 0;
  }
  if (msg == kNotifyRxMessage) {
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Runs the window's messages until one more answer has come or the time is up.
bool WaitForAnswer(const ProbeInbox& inbox, int before, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (inbox.answers <= before) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      return false;
    }
    pollfd fd{QzMessageWakeFd(), POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left)) > 0) {
      QzDispatchMessages();
    }
  }
  return true;
}

ProbeResult SendFailure(const QzlinkPort& port) {
  ProbeResult result;
  result.outcome = ProbeResult::Outcome::kOpenFailed;
  result.errorCode = port.LastError(&result.systemCode);
  return result;
}

ProbeResult Probe(HWND window, ProbeInbox& inbox, int answerWaitMs) {
  QzlinkPort& port = *inbox.port;
  if (!port.Open(window, 1)) {
    return SendFailure(port);
  }
  ProbeResult result;
  SentFrame sent;
  int before = inbox.answers;
  if (!port.Send(MakeCall(LibraryFunction::kQzSetCascade, 0, 1), sent)) {
    result = SendFailure(port);
  } else if (!WaitForAnswer(inbox, before, answerWaitMs)) {
    result.outcome = ProbeResult::Outcome::kNoAnswer;
  } else {
    result.outcome = ProbeResult::Outcome::kAnswered;
    result.cameras = CascadeSize(inbox.answer);
    before = inbox.answers;
    if (port.Send(MakeCall(LibraryFunction::kQzGetUnitName, 1), sent) &&
        WaitForAnswer(inbox, before, answerWaitMs)) {
      result.unitName = UnitNameOf(inbox.answer).value_or("");
    }
  }
  port.Close();
  return result;
}

}  // namespace

int RunPortProbe(const char* target, std::FILE* out, int answerWaitMs) {
  // The variable comes before any stored target, so COM1 of this process is
  // the target to test, whatever the settings say.
  setenv("QZLINK_COM1", target, 1);
  QzlinkPort port;
  ProbeInbox inbox;
  inbox.port = &port;
  gInbox = &inbox;
  HWND window = QzCreateMessageWindow(&ProbeWindowProc);
  ProbeResult result;
  if (window != nullptr) {
    result = Probe(window, inbox, answerWaitMs);
    DestroyWindow(window);
  }
  gInbox = nullptr;
  std::fprintf(out, "%s\n", FormatProbeLine(result).c_str());
  std::fflush(out);
  return window != nullptr ? 0 : 1;
}

PortProber::PortProber(QString program, int timeoutMs, QObject* parent)
    : QObject(parent), program_(std::move(program)) {
  deadline_.setSingleShot(true);
  deadline_.setInterval(timeoutMs);
  connect(&deadline_, &QTimer::timeout, this, [this] {
    // Ended before it is reported, so that a new test can start at once.
    process_.kill();
    process_.waitForFinished(2000);
    Done(ProbeResult{});
  });
  connect(&process_, &QProcess::finished, this, [this] {
    ProbeResult result;
    while (process_.canReadLine()) {
      if (const auto parsed = ParseProbeLine(process_.readLine().toStdString())) {
        result = *parsed;
        break;
      }
    }
    Done(result);
  });
  connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) {
      Done(ProbeResult{});
    }
  });
}

PortProber::~PortProber() {
  // Whoever listens may be going too: nothing is reported from here on.
  reported_ = true;
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(2000);
  }
}

void PortProber::Start(const QString& target) {
  if (Running()) {
    return;
  }
  reported_ = false;
  process_.setProgram(program_);
  process_.setArguments({QString::fromLatin1(kProbePortOption), target});
  process_.start(QIODevice::ReadOnly);
  deadline_.start();
}

void PortProber::Done(const ProbeResult& result) {
  deadline_.stop();
  if (reported_) {
    return;
  }
  reported_ = true;
  emit Finished(result);
}

}  // namespace qtr90x
