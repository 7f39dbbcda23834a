#include "camsim/sim_server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace camsim {

namespace {

void PrintLine(FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

// The wait until the next frame is due, to the microsecond: a whole-
// millisecond wait would hold every answer back by up to a millisecond more
// than the line's own timing. Null waits without limit.
const timespec* Timeout(std::optional<TimePoint> next, TimePoint now, timespec* storage) {
  if (!next) {
    return nullptr;
  }
  const auto wait = *next > now ? std::chrono::ceil<std::chrono::microseconds>(*next - now)
                                : std::chrono::microseconds(0);
  storage->tv_sec = static_cast<time_t>(wait.count() / 1000000);
  storage->tv_nsec = static_cast<long>(wait.count() % 1000000) * 1000;
  return storage;
}

}  // namespace

bool SimServer::Run(std::string* error) {
  for (;;) {
    TimePoint now = Clock::now();
    for (Bytes& chunk : cascade_.TakeDue(now)) {
      if (!link_.Plugged()) {
        continue;  // nothing is behind the line: what the cameras send is lost
      }
      if (output_.size() + chunk.size() > kMaxLineBacklog) {
        // Nobody reads the terminal; a real line would lose these bytes too.
        if (!warnedBacklog_) {
          PrintLine(stderr, "warning: the line is not being read; dropping output");
          warnedBacklog_ = true;
        }
        continue;
      }
      output_.insert(output_.end(), chunk.begin(), chunk.end());
    }
    if (!WriteLine(error)) {
      return false;
    }

    pollfd fds[3] = {
        {stopFd_, POLLIN, 0},
        {link_.MasterFd(), static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT)), 0},
        {controlFd_, POLLIN, 0},
    };
    timespec timeout{};
    int ready = ppoll(fds, 3, Timeout(cascade_.NextDueTime(), Clock::now(), &timeout), nullptr);
    if (ready < 0) {
      if (errno == EINTR) {
        continue;
      }
      *error = std::string("poll: ") + std::strerror(errno);
      return false;
    }
    if (fds[0].revents) {
      return true;
    }
    if ((fds[1].revents & POLLIN) && !ReadLine(error)) {
      return false;
    }
    if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) {
      *error = "the pseudo-terminal hung up";
      return false;
    }
    if (fds[2].revents) {
      ReadControl();
    }
  }
}

bool SimServer::ReadLine(std::string* error) {
  // A bounded number of reads per wake-up, so that a host writing without
  // pause cannot keep the loop from sending.
  uint8_t buffer[4096];
  for (int reads = 0; reads < kMaxReadsPerWake; ++reads) {
    ssize_t n = read(link_.MasterFd(), buffer, sizeof buffer);
    if (n > 0) {
      cascade_.Feed(buffer, static_cast<size_t>(n), Clock::now());
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    }
    *error = n == 0 ? "the pseudo-terminal closed" : std::string("read: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool SimServer::WriteLine(std::string* error) {
  while (!output_.empty() && link_.Plugged()) {
    ssize_t n = write(link_.MasterFd(), output_.data(), output_.size());
    if (n > 0) {
      output_.erase(output_.begin(), output_.begin() + n);
      warnedBacklog_ = false;
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;  // poll() waits for POLLOUT
    }
    *error = std::string("write: ") + std::strerror(errno);
    return false;
  }
  return true;
}

void SimServer::ReadControl() {
  char buffer[1024];
  ssize_t n = read(controlFd_, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
    return;
  }
  if (n <= 0) {
    // End of the control input: keep serving the line without it.
    controlFd_ = -1;
    return;
  }
  for (ssize_t i = 0; i < n; ++i) {
    char c = buffer[i];
    if (c == '\n') {
      if (!discardingControlLine_) {
        HandleControlLine(controlLine_);
      }
      controlLine_.clear();
      discardingControlLine_ = false;
    } else if (discardingControlLine_) {
      continue;
    } else if (controlLine_.size() >= kMaxControlLine) {
      PrintLine(stderr, "error: control line too long");
      controlLine_.clear();
      discardingControlLine_ = true;
    } else {
      controlLine_ += c;
    }
  }
}

void SimServer::HandleControlLine(std::string_view line) {
  ParsedControl parsed = ParseControlLine(line);
  if (!parsed.command) {
    if (!parsed.error.empty()) {
      PrintLine(stderr, "error: " + parsed.error);
    }
    return;
  }
  if (HandleLineCommand(*parsed.command)) {
    return;
  }
  ControlOutcome outcome = cascade_.Apply(*parsed.command, Clock::now());
  if (outcome.ok) {
    PrintLine(stdout, outcome.text);
  } else {
    PrintLine(stderr, "error: " + outcome.text);
  }
}

bool SimServer::HandleLineCommand(const ControlCommand& command) {
  using Kind = ControlCommand::Kind;
  if (command.kind == Kind::kUnplug) {
    if (!link_.Plugged()) {
      PrintLine(stderr, "error: the line is unplugged already");
      return true;
    }
    link_.Unplug();
    output_.clear();
    PrintLine(stdout, "ok");
    return true;
  }
  if (command.kind == Kind::kReplug) {
    std::string error;
    if (!link_.Replug(&error)) {
      PrintLine(stderr, "error: " + error);
      return true;
    }
    PrintLine(stdout, "ok " + link_.SlavePath());
    return true;
  }
  return false;
}

}  // namespace camsim
