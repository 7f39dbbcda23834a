// Device arrival for the gamepad edge without polling: inotify on the folder
// of the input device nodes (and on its parent while the folder does not
// exist), and an eventfd that any thread can signal to wake the waiter.
#pragma once

#include <string>

namespace qtr90x {

class DeviceWatch {
 public:
  // What ended a wait (bits).
  enum : unsigned { kTimedOut = 0, kDeviceNode = 1, kSignalled = 2 };

  explicit DeviceWatch(std::string folder = "/dev/input");
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  // Starts watching; false where the system offers no such watch (nor the
  // folder's parent exists): Wait then learns of nothing.
  bool Open();
  // Wakes the waiter; from any thread, also before Open (then it does nothing).
  void Signal();
  // Waits up to `timeoutMs` (-1: without end) for a device node that came,
  // was moved in or changed its permissions, or for Signal.
  unsigned Wait(int timeoutMs);

 private:
  void WatchFolder();

  std::string folder_;
  std::string parent_;
  std::string leaf_;
  int notify_ = -1;
  int wake_ = -1;
  int folderWatch_ = -1;
  int parentWatch_ = -1;
};

}  // namespace qtr90x
