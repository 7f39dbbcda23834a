#include "axcontrol/qzscript/stop_watcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace qzscript {

namespace {

// The signals to watch, as the process found them at its first look: one
// that the parent set to be ignored (nohup's SIGHUP, SIGINT for a background
// job) stays ignored.
sigset_t StopSignals() {
  static const sigset_t set = [] {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      struct sigaction current {};
      if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
        continue;
      }
      sigaddset(&signals, signal);
    }
    return signals;
  }();
  return set;
}

}  // namespace

void StopWatcher::BlockStopSignals() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void StopWatcher::UnblockStopSignals() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

StopWatcher::StopWatcher(std::optional<std::chrono::milliseconds> timeout,
                         std::function<void(int)> onStop)
    : onStop_(std::move(onStop)) {
  const sigset_t set = StopSignals();
  signalFd_ = signalfd(-1, &set, SFD_CLOEXEC);
  quitFd_ = eventfd(0, EFD_CLOEXEC);
  if (signalFd_ < 0 || quitFd_ < 0) {
    return;
  }
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (timeout) {
    deadline = std::chrono::steady_clock::now() + *timeout;
  }
  thread_ = std::thread(&StopWatcher::Watch, this, deadline);
}

StopWatcher::~StopWatcher() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    while (write(quitFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
  }
  for (int fd : {signalFd_, quitFd_}) {
    if (fd >= 0) {
      close(fd);
    }
  }
}

void StopWatcher::Watch(std::optional<std::chrono::steady_clock::time_point> deadline) {
  bool stopped = false;
  for (;;) {
    int waitMs = -1;
    if (deadline && !stopped) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      waitMs = static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(left.count(), INT_MAX)));
    }
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {quitFd_, POLLIN, 0}};
    const int ready = poll(fds, 2, waitMs);
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    if (fds[1].revents != 0) {
      return;
    }
    int reason = 0;
    if (fds[0].revents != 0) {
      signalfd_siginfo info{};
      if (read(signalFd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        continue;
      }
      reason = static_cast<int>(info.ssi_signo);
      if (stopped) {
        _exit(128 + reason);  // the shutdown did not finish; do not wait for it
      }
    } else if (ready == 0 && deadline && !stopped &&
               std::chrono::steady_clock::now() >= *deadline) {
      reason = kStopTimedOut;
    } else {
      continue;
    }
    stopped = true;
    onStop_(reason);
  }
}

}  // namespace qzscript
