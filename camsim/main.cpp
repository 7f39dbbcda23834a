// qtr90x-camsim: a simulated camera cascade on a pseudo-terminal.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "camsim/cascade.h"
#include "camsim/options.h"
#include "camsim/pty_link.h"
#include "camsim/sim_server.h"

int main(int argc, char** argv) {
  using namespace camsim;
  std::vector<std::string_view> args(argv + 1, argv + argc);
  ParsedOptions parsed = ParseOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "qtr90x-camsim: %s (see 'qtr90x-camsim --help')\n", parsed.error.c_str());
    return 2;
  }
  const Options& options = *parsed.options;
  if (options.help || options.version) {
    std::fputs((options.help ? Usage() : VersionLine()).c_str(), stdout);
    return 0;
  }

  // SIGTERM and SIGINT arrive through a descriptor that the loop polls.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    std::perror("qtr90x-camsim: signalfd");
    return 1;
  }

  PtyLink link;
  std::string error;
  if (!link.Open(options.link, options.baud, &error)) {
    std::fprintf(stderr, "qtr90x-camsim: %s\n", error.c_str());
    close(stopFd);
    return 1;
  }
  Cascade cascade(MakeConfig(options), Clock::now());
  std::printf("ready %s -> %s\n", options.link.c_str(), link.SlavePath().c_str());
  std::fflush(stdout);

  SimServer server(cascade, link, STDIN_FILENO, stopFd);
  bool ok = server.Run(&error);
  link.Close();
  close(stopFd);
  if (!ok) {
    std::fprintf(stderr, "qtr90x-camsim: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
