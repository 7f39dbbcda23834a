#include "ui/gamepad/gamepad_device_watch.h"

#include <utility>

#if defined(__linux__)
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#endif

namespace qtr90x {

DeviceWatch::DeviceWatch(std::string folder) : folder_(std::move(folder)) {
  const auto slash = folder_.find_last_of('/');
  parent_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : folder_.substr(0, slash));
  leaf_ = slash == std::string::npos ? folder_ : folder_.substr(slash + 1);
}

#if defined(__linux__)

namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_ONLYDIR;
constexpr std::uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

}  // namespace

DeviceWatch::~DeviceWatch() {
  if (notify_ >= 0)
    close(notify_);
  if (wake_ >= 0)
    close(wake_);
}

bool DeviceWatch::Open() {
  if (notify_ >= 0)
    return true;
  notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (notify_ >= 0 && wake_ >= 0) {
    WatchFolder();
    if (folderWatch_ >= 0 || parentWatch_ >= 0)
      return true;
  }
  if (notify_ >= 0)
    close(notify_);
  notify_ = -1;
  return false;
}

void DeviceWatch::WatchFolder() {
  folderWatch_ = inotify_add_watch(notify_, folder_.c_str(), kFolderEvents);
  if (folderWatch_ < 0 && parentWatch_ < 0) {
    // Until the folder comes; it may have come just now.
    parentWatch_ = inotify_add_watch(notify_, parent_.c_str(), kParentEvents);
    folderWatch_ = inotify_add_watch(notify_, folder_.c_str(), kFolderEvents);
  }
  if (folderWatch_ >= 0 && parentWatch_ >= 0) {
    inotify_rm_watch(notify_, parentWatch_);
    parentWatch_ = -1;
  }
}

void DeviceWatch::Signal() {
  if (wake_ < 0)
    return;
  const std::uint64_t one = 1;
  // A full counter already wakes the waiter.
  [[maybe_unused]] const ssize_t n = write(wake_, &one, sizeof one);
}

unsigned DeviceWatch::Wait(int timeoutMs) {
  if (notify_ < 0)
    return kTimedOut;
  pollfd fds[2] = {{notify_, POLLIN, 0}, {wake_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0)
    return kTimedOut;  // the time is up, or a signal came: the caller looks again
  unsigned woken = kTimedOut;
  if ((fds[1].revents & POLLIN) != 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(wake_, &count, sizeof count);
    woken |= kSignalled;
  }
  if ((fds[0].revents & POLLIN) == 0)
    return woken;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t length = read(notify_, buffer, sizeof buffer);
    if (length <= 0)
      break;
    for (ssize_t at = 0; at < length;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof event;
      at += static_cast<ssize_t>(sizeof event + event.len);
      if ((event.mask & IN_Q_OVERFLOW) != 0) {
        woken |= kDeviceNode;  // too much at once: assume a device among it
      } else if (event.wd == folderWatch_ && folderWatch_ >= 0) {
        if ((event.mask & IN_IGNORED) != 0) {
          // The folder went (the last device node with it, or an unmount).
          folderWatch_ = -1;
          WatchFolder();
        } else {
          woken |= kDeviceNode;
        }
      } else if (event.wd == parentWatch_ && parentWatch_ >= 0 && event.len > 0 && leaf_ == name) {
        WatchFolder();
        woken |= kDeviceNode;
      }
    }
  }
  return woken;
}

#else  // no inotify: the edge waits in SDL's own loop

DeviceWatch::~DeviceWatch() = default;
bool DeviceWatch::Open() {
  return false;
}
void DeviceWatch::Signal() {}
unsigned DeviceWatch::Wait(int) {
  return kTimedOut;
}

#endif

}  // namespace qtr90x
