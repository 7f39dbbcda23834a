// Stands between a program's line and the simulated camera: passes every
// byte on both ways and timestamps the first byte of each frame in each
// direction, as the far side of the line reads it. The benchmarks measure
// from an action to the frame it puts on the line.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qzbench {

// The steady clock in nanoseconds: the tap's timestamps.
inline std::int64_t MonotonicNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class LineTap {
 public:
  static constexpr int kToCamera = 0;
  static constexpr int kFromCamera = 1;

  LineTap(int hostSide, const std::string& simulatorLink)
      : host_(hostSide),
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
  LineTap(const LineTap&) = delete;
  LineTap& operator=(const LineTap&) = delete;

  bool Valid() const { return simulator_ >= 0; }
  // Frames begun in a direction so far.
  std::size_t Count(int direction) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_[direction].size();
  }
  // Waits until frame `index` of a direction has begun: its start, or -1.
  std::int64_t WaitFrame(int direction, std::size_t index, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return starts_[direction].size() > index; })) {
      return -1;
    }
    return starts_[direction][index];
  }
  // The start of the latest frame of a direction, or 0.
  std::int64_t LastStart(int direction) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_[direction].empty() ? 0 : starts_[direction].back();
  }
  // Waits until nothing has passed for `quietMs` (at most `timeoutMs`).
  void WaitQuiet(int quietMs, int timeoutMs) const {
    const std::int64_t deadline = MonotonicNs() + std::int64_t(timeoutMs) * 1000000;
    while (MonotonicNs() < deadline &&
           MonotonicNs() - lastByteNs_.load() < std::int64_t(quietMs) * 1000000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(quietMs / 4 + 1));
    }
  }
  std::uint64_t Bytes() const { return bytes_.load(); }

 private:
  void Run() {
    bool inFrame[2] = {false, false};
    std::uint8_t buffer[256];
    const int from[2] = {host_, simulator_};
    const int to[2] = {simulator_, host_};
    while (!stop_) {
      pollfd fds[2] = {{host_, POLLIN, 0}, {simulator_, POLLIN, 0}};
      if (poll(fds, 2, 20) <= 0) {
        continue;
      }
      for (int d = 0; d < 2; ++d) {
        if (!(fds[d].revents & POLLIN)) {
          continue;
        }
        const ssize_t n = read(from[d], buffer, sizeof buffer);
        if (n <= 0) {
          continue;
        }
        const std::int64_t now = MonotonicNs();
        lastByteNs_ = now;
        bytes_ += std::uint64_t(n);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          for (ssize_t i = 0; i < n; ++i) {
            if (!inFrame[d]) {
              starts_[d].push_back(now);
            }
            inFrame[d] = buffer[i] != 0xEF;
          }
        }
        changed_.notify_all();
        Forward(to[d], buffer, n);
      }
    }
  }
  static void Forward(int fd, const std::uint8_t* bytes, ssize_t count) {
    for (ssize_t done = 0; done < count;) {
      const ssize_t n = write(fd, bytes + done, std::size_t(count - done));
      if (n > 0) {
        done += n;
      } else {
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  int host_;
  int simulator_;
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> lastByteNs_{0};
  std::atomic<std::uint64_t> bytes_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::int64_t> starts_[2];
  std::thread thread_;
};

}  // namespace qzbench
