#include "camlink/rfc2217_serial_port.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

#include "camlink/port_mapping.h"

namespace qzlink {

namespace {

using rfc2217_clock::Deadline;
using rfc2217_clock::LeftMs;

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// Connects to one address within deadline. The socket, or -errno.
int ConnectTo(const addrinfo& ai, Deadline deadline) {
  const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return -errno;
  }
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0 && errno != EINPROGRESS) {
    const int error = errno;
    ::close(fd);
    return -error;
  }
  pollfd p{fd, POLLOUT, 0};
  for (;;) {
    // Milliseconds to the deadline for poll(), in slices of at most 1 s.
    const int waitMs = LeftMs(deadline, 1000);
    const int ready = ::poll(&p, 1, waitMs);
    if (ready > 0) {
      break;
    }
    if ((ready == 0 && waitMs == 0) || (ready < 0 && errno != EINTR)) {
      ::close(fd);
      return ready == 0 ? -ETIMEDOUT : -errno;
    }
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
    ::close(fd);
    return -(error != 0 ? error : EIO);
  }
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

}  // namespace

Rfc2217SerialPort::Rfc2217SerialPort()
    : Rfc2217Connection({ECONNREFUSED, ETIMEDOUT, EPROTONOSUPPORT, ECONNRESET, EMSGSIZE}) {}

Rfc2217SerialPort::~Rfc2217SerialPort() {
  Close();
}

int Rfc2217SerialPort::ReadableFd() const {
  std::lock_guard lock(mutex_);
  return socket_ >= 0 ? epoll_ : -1;
}

int Rfc2217SerialPort::Open(int32_t portNumber) {
  Close();
  char target[kMaxPortTargetLength + 1];
  ResolvePortTarget(portNumber, target, sizeof target);
  return OpenTarget(target);
}

bool Rfc2217SerialPort::SocketOpen() const {
  return socket_ >= 0;
}

int Rfc2217SerialPort::ConnectSocket(const addrinfo& ai, Deadline deadline) {
  const int fd = ConnectTo(ai, deadline);
  if (fd < 0) {
    return -fd;
  }
  socket_ = fd;
  return 0;
}

int Rfc2217SerialPort::WatchSocket() {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  dataReady_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  pacer_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  if (epoll_ < 0 || dataReady_ < 0 || pacer_ < 0) {
    return errno;
  }
  for (int fd : {socket_, dataReady_, pacer_}) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.fd = fd;
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0) {
      return errno;
    }
  }
  return 0;
}

int Rfc2217SerialPort::SendSome(const uint8_t* data, size_t size, size_t* sent) {
  for (;;) {
    const ssize_t n = ::send(socket_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      *sent = static_cast<size_t>(n);
      return 0;
    }
    if (n < 0 && errno == EAGAIN) {
      *sent = 0;
      return 0;
    }
    if (n < 0 && errno != EINTR) {
      return errno;
    }
  }
}

int Rfc2217SerialPort::ReceiveSome(uint8_t* data, size_t size, size_t* received) {
  *received = 0;
  ssize_t n = 0;
  do {
    n = ::recv(socket_, data, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n == 0) {
    return ECONNRESET;  // the server closed the connection
  }
  if (n < 0) {
    return errno != EAGAIN ? errno : 0;
  }
  *received = static_cast<size_t>(n);
  return 0;
}

void Rfc2217SerialPort::WaitSocket(Lock& lock, SocketWait what, int ms) {
  // Nothing to wait for: poll() on no descriptor only sleeps.
  pollfd p{what == SocketWait::kNothing ? -1 : socket_,
           static_cast<short>(what == SocketWait::kWritable ? POLLOUT : POLLIN), 0};
  lock.unlock();
  ::poll(&p, 1, ms);
  lock.lock();
}

size_t Rfc2217SerialPort::UnsentBytes() {
  int unsent = 0;
  if (ioctl(socket_, SIOCOUTQNSD, &unsent) != 0) {
    unsent = 0;
  }
  return unsent > 0 ? static_cast<size_t>(unsent) : 0;
}

void Rfc2217SerialPort::ShutdownSocket(bool receiveToo) {
  ::shutdown(socket_, receiveToo ? SHUT_RDWR : SHUT_WR);
}

void Rfc2217SerialPort::CloseSocket() {
  CloseFd(socket_);
  CloseFd(epoll_);
  CloseFd(dataReady_);
  CloseFd(pacer_);
}

void Rfc2217SerialPort::SignalData(bool ready) {
  if (ready) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(dataReady_, &one, sizeof one);
  } else {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t r = ::read(dataReady_, &count, sizeof count);
  }
}

void Rfc2217SerialPort::SetPaced(bool paced) {
  epoll_event event{};
  event.events = paced ? 0 : EPOLLIN | EPOLLRDHUP;  // a hang-up still wakes the reader
  event.data.fd = socket_;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, socket_, &event);
  itimerspec tick{};
  if (paced) {
    tick.it_value.tv_nsec = NegotiationFloodGuard::kPaceMs * 1000000L;
    tick.it_interval = tick.it_value;
  }
  timerfd_settime(pacer_, 0, &tick, nullptr);
  uint64_t ticks = 0;
  [[maybe_unused]] const ssize_t r = ::read(pacer_, &ticks, sizeof ticks);
}

bool Rfc2217SerialPort::PacedReceiveDue() {
  // While paced the reader wakes at each tick; before it, only a failed
  // connection is worth a receive.
  uint64_t ticks = 0;
  if (::read(pacer_, &ticks, sizeof ticks) != static_cast<ssize_t>(sizeof ticks)) {
    pollfd p{socket_, 0, 0};
    if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLHUP | POLLERR)) == 0) {
      return false;
    }
  }
  return true;
}

}  // namespace qzlink
