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
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "camlink/port_mapping.h"
#include "camlink/rfc2217_line_settings.h"

namespace qzlink {

namespace {

using Deadline = int64_t;

Deadline NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Deadline After(int ms) {
  return ms <= 0 ? std::numeric_limits<Deadline>::max() : NowMs() + ms;
}

// Milliseconds to the deadline for poll(), at most sliceMs; 0 when passed.
int LeftMs(Deadline deadline, int sliceMs) {
  const Deadline left = deadline - NowMs();
  return left <= 0 ? 0 : static_cast<int>(left < sliceMs ? left : sliceMs);
}

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// Resolves the address within timeoutMs: a numeric host at once, a name on
// the resolver's thread. 0 with *result set (free with freeaddrinfo), or an
// errno value.
int Resolve(NameResolver& resolver, const Rfc2217Address& address, int timeoutMs,
            addrinfo** result) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  if (getaddrinfo(address.host, address.port, &hints, result) == 0) {
    return 0;
  }
  return resolver.Resolve(address.host, address.port, timeoutMs, result);
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

Rfc2217SerialPort::Rfc2217SerialPort() = default;

Rfc2217SerialPort::~Rfc2217SerialPort() {
  Close();
}

bool Rfc2217SerialPort::IsOpen() const {
  std::lock_guard lock(mutex_);
  return socket_ >= 0;
}

int Rfc2217SerialPort::ReadableFd() const {
  std::lock_guard lock(mutex_);
  return socket_ >= 0 ? epoll_ : -1;
}

int Rfc2217SerialPort::Open(int32_t portNumber) {
  Close();
  char target[kMaxPortTargetLength + 1];
  ResolvePortTarget(portNumber, target, sizeof target);
  Lock lock(mutex_);
  if (!ParseRfc2217Address(target, address_)) {
    return EINVAL;
  }
  if (const int error = Connect(lock); error != 0) {
    CloseLocked(lock);
    return error;
  }
  return 0;
}

int Rfc2217SerialPort::Connect(Lock& lock) {
  const Deadline deadline = After(address_.timeoutMs);
  addrinfo* addresses = nullptr;
  if (const int error = Resolve(resolver_, address_, address_.timeoutMs, &addresses); error != 0) {
    return error;
  }
  int result = ECONNREFUSED;
  for (const addrinfo* ai = addresses; ai != nullptr && socket_ < 0; ai = ai->ai_next) {
    const int fd = ConnectTo(*ai, deadline);
    if (fd >= 0) {
      socket_ = fd;
    } else {
      result = -fd;
    }
  }
  freeaddrinfo(addresses);
  if (socket_ < 0) {
    return result;
  }
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
  fault_ = 0;
  controlUnanswered_ = false;
  paced_ = false;
  rxSize_ = 0;
  protocol_.Reset();
  guard_.Reset(NowMs());
  if (const int error = Flush(lock, deadline); error != 0) {
    return error;
  }
  const int error =
      WaitFor(lock, deadline, [this] { return protocol_.ComPort() != OptionState::kRequested; });
  if (error != 0) {
    Note("rfc2217: no answer to COM-PORT-OPTION");
    return error;
  }
  if (protocol_.ComPort() != OptionState::kOn) {
    Note("rfc2217: server refuses COM-PORT-OPTION");
    return EPROTONOSUPPORT;
  }
  if (!address_.noModemLines) {
    // Report every modem line change, and the state as it is now.
    protocol_.QueueRequest(ComPortCommand::kSetModemStateMask, 0xFF, 1);
    protocol_.QueueRequest(ComPortCommand::kNotifyModemState, 0, 0);
  }
  return Flush(lock, deadline);
}

int Rfc2217SerialPort::Configure(const LineSettings& settings) {
  Rfc2217LineRequests requests;
  const Rfc2217Line line{settings.baudRate, settings.byteSize, settings.parity, settings.stopBits};
  if (!MakeLineRequests(line, address_.noModemLines, &requests)) {
    return EINVAL;
  }
  Lock lock(mutex_);
  if (socket_ < 0) {
    return EBADF;
  }
  for (const Rfc2217Setting& s : requests.settings) {
    protocol_.QueueRequest(s.command, s.value, s.size);
  }
  const Deadline deadline = After(address_.timeoutMs);
  int error = Flush(lock, deadline);
  if (error == 0) {
    error = WaitFor(lock, deadline, [this, &requests] { return AllAnswered(protocol_, requests); });
  }
  if (error != 0 && error != ETIMEDOUT) {
    return error;
  }
  char text[96];
  switch (CheckLineReplies(protocol_, requests, text, sizeof text)) {
    case LineVerdict::kConfirmed:
      return 0;
    case LineVerdict::kRefused:
      Note(text);
      return EINVAL;
    case LineVerdict::kUnanswered:
      break;
  }
  Note(text);
  return ETIMEDOUT;
}

void Rfc2217SerialPort::Close() {
  Lock lock(mutex_);
  CloseLocked(lock);
}

void Rfc2217SerialPort::CloseLocked(Lock& lock) {
  if (socket_ >= 0 && fault_ == 0) {
    // Send what is queued, then end the connection cleanly: a socket closed
    // with unread input resets it, and the server might drop the last
    // requests.
    constexpr int kLingerMs = 200;
    const Deadline deadline = After(kLingerMs);
    if (Flush(lock, deadline) == 0) {
      ::shutdown(socket_, SHUT_WR);
      closing_ = true;
      WaitFor(lock, deadline, [] { return false; });
      closing_ = false;
    }
  }
  CloseFd(socket_);
  CloseFd(epoll_);
  CloseFd(dataReady_);
  CloseFd(pacer_);
  paced_ = false;
  rxSize_ = 0;
  fault_ = 0;
}

int Rfc2217SerialPort::Read(uint8_t* data, size_t capacity) {
  Lock lock(mutex_);
  if (socket_ < 0) {
    return -EBADF;
  }
  if (rxSize_ > 0) {
    const size_t n = rxSize_ < capacity ? rxSize_ : capacity;
    std::memcpy(data, rx_, n);
    std::memmove(rx_, rx_ + n, rxSize_ - n);
    rxSize_ -= n;
    if (rxSize_ == 0) {
      uint64_t count = 0;
      [[maybe_unused]] const ssize_t r = ::read(dataReady_, &count, sizeof count);
    }
    return static_cast<int>(n);
  }
  if (fault_ != 0) {
    return -fault_;
  }
  if (paced_) {
    // While paced the reader wakes at each tick; before it, only a failed
    // connection is worth a receive.
    uint64_t ticks = 0;
    if (::read(pacer_, &ticks, sizeof ticks) != static_cast<ssize_t>(sizeof ticks)) {
      pollfd p{socket_, 0, 0};
      if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLHUP | POLLERR)) == 0) {
        return 0;
      }
    }
  }
  // One receive, then the lock goes back: a reader that looped here while
  // the server sent only negotiation would keep every other call waiting.
  // Only protocol bytes give 0, "nothing queued", and the reader waits again.
  size_t decoded = 0;
  const int error = ReceiveOnce(data, capacity < sizeof raw_ ? capacity : sizeof raw_, &decoded);
  if (decoded > 0) {
    return static_cast<int>(decoded);
  }
  return -error;
}

int Rfc2217SerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
  Lock lock(mutex_);
  if (socket_ < 0) {
    return EBADF;
  }
  if (fault_ != 0) {
    return fault_;
  }
  const Deadline deadline = After(timeoutMs);
  while (!protocol_.QueueData(data, length)) {
    // The queue is full of earlier output: make room first.
    if (protocol_.OutputSize() == 0) {
      return EMSGSIZE;
    }
    if (const int error = Flush(lock, deadline); error != 0) {
      return error;
    }
  }
  return Flush(lock, deadline);
}

int Rfc2217SerialPort::PendingOutput(size_t* count) {
  Lock lock(mutex_);
  if (socket_ < 0) {
    return EBADF;
  }
  if (const int error = FlushSome(); error != 0) {
    return error;
  }
  int unsent = 0;
  if (ioctl(socket_, SIOCOUTQNSD, &unsent) != 0) {
    unsent = 0;
  }
  *count = protocol_.OutputSize() + (unsent > 0 ? static_cast<size_t>(unsent) : 0);
  return 0;
}

void Rfc2217SerialPort::DiscardOutput() {
  Lock lock(mutex_);
  if (protocol_.DiscardUnsentData() > 0) {
    Note("rfc2217: rest of a timed-out frame dropped");
  }
}

int Rfc2217SerialPort::ReadModemStatus(uint32_t* status) {
  Lock lock(mutex_);
  if (socket_ < 0) {
    return EBADF;
  }
  if (address_.noModemLines) {
    *status = kModemCts;  // no modem lines: counts as a present camera
    return 0;
  }
  if (!protocol_.ModemStateSeen()) {
    const int error =
        WaitFor(lock, After(address_.timeoutMs), [this] { return protocol_.ModemStateSeen(); });
    if (error != 0) {
      Note("rfc2217: no modem state from the server");
      return error;
    }
  }
  // NOTIFY-MODEMSTATE's upper four bits are CTS, DSR, RI and RLSD, where the
  // status word has them.
  *status = protocol_.ModemState() & (kModemCts | kModemDsr | kModemRing | kModemRlsd);
  return 0;
}

void Rfc2217SerialPort::SetControlLines(bool raised) {
  Lock lock(mutex_);
  if (socket_ < 0 || fault_ != 0) {
    return;
  }
  const uint32_t rts = raised ? control::kRtsOn : control::kRtsOff;
  protocol_.QueueRequest(ComPortCommand::kSetControl, raised ? control::kDtrOn : control::kDtrOff,
                         1);
  protocol_.QueueRequest(ComPortCommand::kSetControl, rts, 1);
  const Deadline deadline = After(kRfc2217AckWaitMs);
  if (Flush(lock, deadline) != 0 || controlUnanswered_) {
    return;
  }
  // The server answers in order, so the answer to RTS follows the one to DTR.
  const int error = WaitFor(lock, deadline, [this, rts] {
    const ServerReply reply = protocol_.Reply(ComPortCommand::kSetControl);
    return reply.seen && reply.value == rts;
  });
  if (error == ETIMEDOUT) {
    controlUnanswered_ = true;
    Note("rfc2217: DTR/RTS change not acknowledged; going on without it");
  }
}

void Rfc2217SerialPort::Purge() {
  Lock lock(mutex_);
  if (socket_ < 0 || fault_ != 0) {
    return;
  }
  protocol_.QueueRequest(ComPortCommand::kPurgeData, kPurgeReceiveBuffer, 1);
  const Deadline deadline = After(kRfc2217AckWaitMs);
  int error = Flush(lock, deadline);
  if (error == 0) {
    error = WaitFor(lock, deadline,
                    [this] { return protocol_.Reply(ComPortCommand::kPurgeData).seen; });
  }
  if (error == ETIMEDOUT) {
    Note("rfc2217: purge not acknowledged");
  }
  // Whatever arrived before the server purged is stale.
  rxSize_ = 0;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t r = ::read(dataReady_, &count, sizeof count);
}

int Rfc2217SerialPort::FlushSome() {
  while (protocol_.OutputSize() > 0) {
    const ssize_t n =
        ::send(socket_, protocol_.Output(), protocol_.OutputSize(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0) {
      protocol_.Consume(static_cast<size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      return 0;
    } else if (n < 0 && errno != EINTR) {
      return Fail(errno);
    }
  }
  return 0;
}

int Rfc2217SerialPort::Flush(Lock& lock, Deadline deadline) {
  for (;;) {
    if (fault_ != 0) {
      return fault_;
    }
    if (const int error = FlushSome(); error != 0) {
      return error;
    }
    if (protocol_.OutputSize() == 0) {
      return 0;
    }
    const int waitMs = LeftMs(deadline, 50);
    if (waitMs == 0) {
      return ETIMEDOUT;
    }
    pollfd p{socket_, POLLOUT, 0};
    lock.unlock();
    ::poll(&p, 1, waitMs);
    lock.lock();
    if (socket_ < 0) {
      return EBADF;
    }
  }
}

int Rfc2217SerialPort::ReceiveOnce(uint8_t* data, size_t room, size_t* decoded) {
  *decoded = 0;
  ssize_t n = 0;
  do {
    n = ::recv(socket_, raw_, room < sizeof raw_ ? room : sizeof raw_, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n == 0) {
    return Fail(ECONNRESET);  // the server closed the connection
  }
  if (n < 0 && errno != EAGAIN) {
    return Fail(errno);
  }
  size_t negotiation = 0;
  int error = 0;
  if (n > 0) {
    const uint64_t before = protocol_.ProtocolBytes();
    *decoded = protocol_.Decode(raw_, static_cast<size_t>(n), data);
    negotiation = static_cast<size_t>(protocol_.ProtocolBytes() - before);
    error = FlushSome();  // negotiation answers
  }
  switch (guard_.Received(NowMs(), *decoded, negotiation)) {
    case NegotiationFloodGuard::Verdict::kNormal:
      Pace(false);
      break;
    case NegotiationFloodGuard::Verdict::kPace:
      Pace(true);
      break;
    case NegotiationFloodGuard::Verdict::kDrop:
      Note("rfc2217: server sends nothing but negotiation; connection dropped");
      ::shutdown(socket_, SHUT_RDWR);
      return Fail(ECONNRESET);
  }
  return error;
}

void Rfc2217SerialPort::Pace(bool paced) {
  if (paced == paced_) {
    return;
  }
  paced_ = paced;
  epoll_event event{};
  event.events = paced ? 0 : EPOLLIN | EPOLLRDHUP;  // a hang-up still wakes the reader
  event.data.fd = socket_;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, socket_, &event);
  itimerspec tick{};
  if (paced) {
    tick.it_value.tv_nsec = NegotiationFloodGuard::kPaceMs * 1000000L;
    tick.it_interval = tick.it_value;
    Note("rfc2217: negotiation flood; reading paced");
  }
  timerfd_settime(pacer_, 0, &tick, nullptr);
  uint64_t ticks = 0;
  [[maybe_unused]] const ssize_t r = ::read(pacer_, &ticks, sizeof ticks);
}

int Rfc2217SerialPort::Receive() {
  uint8_t* const data = rx_ + rxSize_;
  const size_t room = sizeof rx_ - rxSize_;
  if (room == 0) {
    // No reader is taking the data (a wait at open or close): it is stale
    // before the purge or after the session anyway.
    rxSize_ = 0;
    return 0;
  }
  size_t decoded = 0;
  const int error = ReceiveOnce(data, room, &decoded);
  if (decoded > 0) {
    rxSize_ += decoded;
    SignalData();
  }
  return error;
}

template <typename Done>
int Rfc2217SerialPort::WaitFor(Lock& lock, Deadline deadline, Done done) {
  for (;;) {
    if (const int error = Receive(); error != 0) {
      return error;
    }
    if (done()) {
      return 0;
    }
    // In short slices, so that an answer the reader thread decoded is seen
    // soon although the socket then stays quiet here. While the server
    // floods the connection, one receive per slice.
    const int waitMs = LeftMs(deadline, NegotiationFloodGuard::kPaceMs);
    if (waitMs == 0) {
      return ETIMEDOUT;
    }
    pollfd p{paced_ ? -1 : socket_, POLLIN, 0};
    lock.unlock();
    ::poll(&p, 1, waitMs);
    lock.lock();
    if (socket_ < 0) {
      return EBADF;
    }
  }
}

int Rfc2217SerialPort::Fail(int error) {
  if (fault_ == 0) {
    fault_ = error;
    if (closing_) {
      return fault_;  // the server ending a connection we are closing
    }
    char text[64];
    std::snprintf(text, sizeof text, "rfc2217: connection failed, system error %d", error);
    Note(text);
  }
  return fault_;
}

void Rfc2217SerialPort::SignalData() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(dataReady_, &one, sizeof one);
}

void Rfc2217SerialPort::Note(const char* text) {
  trace_.Frame(TraceDirection::kNote, nullptr, 0, text);
}

}  // namespace qzlink
