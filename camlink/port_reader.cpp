#include "camlink/port_reader.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/msgwindow.h"

namespace qzlink {

static_assert(PortReader::kReadChunk <= PortReader::kReadBufferSize);

namespace {

void Signal(int fd) {
  const uint64_t one = 1;
  // An eventfd write only fails when the counter would overflow, which one
  // pending signal never does.
  [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void Reset(int fd) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

}  // namespace

PortReader::PortReader()
    : wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      exitFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PortReader::~PortReader() {
  Stop();
  for (int fd : {wakeFd_, exitFd_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

int PortReader::Start(SerialPort& port, ReaderClient& client) {
  if (!Usable()) {
    return EBADF;
  }
  if (Running()) {
    return EBUSY;
  }
  Reset(wakeFd_);
  Reset(exitFd_);
  try {
    thread_ = std::thread([this, &port, &client] { Run(port, client); });
  } catch (const std::system_error& e) {
    return e.code().value() != 0 ? e.code().value() : EAGAIN;
  }
  pthread_setname_np(thread_.native_handle(), "qzlink-reader");
  return 0;
}

void PortReader::Stop() {
  if (!Running()) {
    return;
  }
  // Called from the window procedure that handles the reader's message, the
  // reader waits for this very call to return: release it first. A message
  // of any other thread is left to its procedure to answer.
  if (QzInSendMessageFrom(readerToken_.load(std::memory_order_acquire))) {
    ReplyMessage(0);
  }
  Signal(wakeFd_);
  // The reader may be blocked sending to a window of this thread, so wait in
  // the platform's message-running wait rather than in join() alone. A
  // procedure run meanwhile may itself close the session and join the
  // reader, hence the checks of Running() and joinable(). Should that wait be
  // unavailable, the plain join below still ends a reader that is not sending
  // to this thread. The exit signal stays set until the next Start.
  while (Running()) {
    const int ready = QzMsgWaitForFd(exitFd_, -1);
    if (ready == 1 || (ready < 0 && errno != EINTR)) {
      break;
    }
  }
  if (thread_.joinable()) {
    thread_.join();
  }
}

void PortReader::Run(SerialPort& port, ReaderClient& client) {
  readerToken_.store(QzCurrentThreadToken(), std::memory_order_release);
  splitter_.Reset();
  pollfd fds[2] = {{port.ReadableFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  while (client.KeepReading()) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      client.OnReaderFault(errno);
      break;
    }
    if (fds[1].revents != 0) {
      break;  // the session is closing
    }
    if (fds[0].revents == 0) {
      continue;
    }
    const bool lineFailed = (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (const int error = Drain(port, client, lineFailed); error != 0) {
      client.OnReaderFault(error);
      break;
    }
  }
  Signal(exitFd_);
}

int PortReader::Drain(SerialPort& port, ReaderClient& client, bool lineFailed) {
  while (client.KeepReading()) {
    const int n = port.Read(readBuffer_, kReadChunk);
    if (n < 0) {
      return -n;
    }
    if (n == 0) {
      // Nothing queued. A failed line that offers no more input is gone;
      // waiting on it again would only wake at once, forever.
      return lineFailed ? EIO : 0;
    }
    splitter_.Feed(readBuffer_, static_cast<size_t>(n),
                   [&client](const uint8_t* frame, size_t length, bool /*cut*/) {
                     if (client.KeepReading()) {
                       client.OnFrameReceived(frame, length);
                     }
                   });
  }
  return 0;
}

}  // namespace qzlink
