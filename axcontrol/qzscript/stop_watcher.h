// Ends a script from outside: SIGINT, SIGTERM, SIGHUP and SIGPIPE, and the
// deadline of --timeout. The signals are blocked in every thread and read on a
// thread of their own, so that the script's thread can close its sessions
// before the process ends, whatever it was doing when the signal came.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace qzscript {

// The reason given to the callback for a deadline; signals give their number.
constexpr int kStopTimedOut = -1;

class StopWatcher {
 public:
  // Blocks the four signals in the calling thread, and so in every thread it
  // starts afterwards. Called first thing in main, before any thread exists.
  // A signal the process inherited as ignored is left ignored.
  static void BlockStopSignals();
  // Undoes BlockStopSignals (when no watcher can run).
  static void UnblockStopSignals();

  // Starts the thread. onStop runs on it, once, for the first signal or the
  // deadline; a further signal after that ends the process at once with
  // 128 + signal (a shutdown that hangs can still be interrupted).
  StopWatcher(std::optional<std::chrono::milliseconds> timeout, std::function<void(int)> onStop);
  ~StopWatcher();  // stops and joins the thread
  StopWatcher(const StopWatcher&) = delete;
  StopWatcher& operator=(const StopWatcher&) = delete;

  // False when the thread could not start (no signalfd or eventfd).
  bool Running() const { return thread_.joinable(); }

 private:
  void Watch(std::optional<std::chrono::steady_clock::time_point> deadline);

  std::function<void(int)> onStop_;
  int signalFd_ = -1;
  int quitFd_ = -1;
  std::thread thread_;
};

}  // namespace qzscript
