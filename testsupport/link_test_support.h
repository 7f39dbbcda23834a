// Helpers for the library's device tests: a pseudo-terminal pair standing in
// for the camera's line, and a message pump for the test thread.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/msgwindow.h"

namespace qzlink::testing {

using Bytes = std::vector<uint8_t>;

// The master side of a pseudo-terminal; the library opens the slave as COMn
// through QZLINK_COMn.
class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
        ptsname_r(master_, name, sizeof name) == 0) {
      slavePath_ = name;
    }
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Valid() const { return master_ >= 0 && !slavePath_.empty(); }
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Points COM<port> at the slave.
  void BecomeComPort(int port) const {
    setenv(("QZLINK_COM" + std::to_string(port)).c_str(), slavePath_.c_str(), 1);
  }

  void Write(const Bytes& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 1000);
      } else {
        return;
      }
    }
  }

  // Reads what the library wrote, up to and including the next 0xEF (or any
  // count of bytes with `until` set to -1), waiting at most timeoutMs.
  Bytes ReadFrame(int timeoutMs = 2000, int until = 0xEF) const {
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      uint8_t byte = 0;
      const ssize_t n = ::read(master_, &byte, 1);
      if (n == 1) {
        out.push_back(byte);
        if (byte == until) {
          return out;
        }
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if ((n < 0 && errno != EAGAIN) || left.count() <= 0) {
        return out;
      }
      pollfd p{master_, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(left.count()));
    }
  }

  // Discards whatever the library wrote so far.
  void Drain() const {
    uint8_t buffer[512];
    while (::read(master_, buffer, sizeof buffer) > 0) {
    }
  }

  void CloseMaster() {
    if (master_ >= 0) {
      ::close(master_);
      master_ = -1;
    }
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Runs the test thread's messages until done() holds or timeoutMs pass;
// done() is also checked every few milliseconds between messages.
template <typename Done>
bool PumpUntil(Done done, int timeoutMs = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    pollfd p{QzMessageWakeFd(), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 5)));
    QzDispatchMessages();
  }
  return true;
}

// Keeps the machine busy while it exists: one spinning thread per requested
// core, so that the kernel's own work (a pseudo-terminal's hand-over to the
// peer, the reader's wake-up) competes for the processors.
class CpuLoad {
 public:
  explicit CpuLoad(int threads) {
    for (int i = 0; i < threads; ++i) {
      threads_.emplace_back([this] {
        unsigned spins = 0;
        while (!stop_.load(std::memory_order_relaxed)) {
          spins = spins * 1664525u + 1013904223u;
        }
        sink_.store(spins, std::memory_order_relaxed);
      });
    }
  }
  ~CpuLoad() {
    stop_ = true;
    for (std::thread& t : threads_) {
      t.join();
    }
  }
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::atomic<unsigned> sink_{0};
  std::vector<std::thread> threads_;
};

// Entries of a /proc/self directory: open descriptors ("fd") or threads
// ("task").
inline int CountProcEntries(const char* what) {
  const std::string path = std::string("/proc/self/") + what;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) {
    return -1;
  }
  int count = 0;
  while (const dirent* entry = readdir(dir)) {
    count += entry->d_name[0] != '.';
  }
  closedir(dir);
  return count - (std::string(what) == "fd" ? 1 : 0);  // the directory's own descriptor
}

// Processor time in milliseconds that the thread of this process named name
// (as pthread_setname_np set it) has used so far; -1 when there is none.
inline int64_t ThreadCpuMs(const std::string& name) {
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) {
    return -1;
  }
  int64_t result = -1;
  while (const dirent* entry = readdir(dir)) {
    const std::string task = std::string("/proc/self/task/") + entry->d_name;
    std::string comm;
    std::getline(std::ifstream(task + "/comm"), comm);
    if (entry->d_name[0] == '.' || comm != name) {
      continue;
    }
    // Fields after the name in parentheses: state is the 3rd, utime and
    // stime (clock ticks) the 14th and 15th.
    std::string stat;
    std::getline(std::ifstream(task + "/stat"), stat);
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    int64_t ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i >= 14) {
        ticks += std::stoll(field);
      }
    }
    result = ticks * 1000 / sysconf(_SC_CLK_TCK);
    break;
  }
  closedir(dir);
  return result;
}

// Runs the test thread's messages for ms milliseconds.
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace qzlink::testing
