#include "qzlinkd/signal_watch.h"

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace qzlinkd {

namespace {

int g_pair[2] = {-1, -1};

void OnSignal(int signal) {
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(g_pair[1], &byte, 1);
}

}  // namespace

SignalWatch::SignalWatch(QObject* parent) : QObject(parent) {
  if (g_pair[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0)
    return;
  notifier_ = std::make_unique<QSocketNotifier>(g_pair[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    if (::read(g_pair[0], &byte, 1) == 1)
      emit Terminate(byte);
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

SignalWatch::~SignalWatch() {
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace qzlinkd
