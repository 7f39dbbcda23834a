#include "camlink/win32_rfc2217_serial_port.h"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
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

// Milliseconds to the deadline, at most sliceMs; 0 when passed.
int LeftMs(Deadline deadline, int sliceMs) {
  const Deadline left = deadline - NowMs();
  return left <= 0 ? 0 : static_cast<int>(left < sliceMs ? left : sliceMs);
}

timeval Interval(int ms) {
  timeval t{};
  t.tv_sec = ms / 1000;
  t.tv_usec = (ms % 1000) * 1000;
  return t;
}

int LastSocketError() {
  const int error = WSAGetLastError();
  return error != 0 ? error : kSystemIoFailure;
}

// Waits at most ms for socket to become readable (or writable): 1 when it
// is, 0 when not, -1 when the wait failed.
int WaitSocket(SOCKET socket, bool forWrite, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait = Interval(ms);
  const int ready =
      ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait);
  return ready == SOCKET_ERROR ? -1 : ready;
}

// Resolves the address within timeoutMs: a numeric host at once, a name on
// the resolver's thread. 0 with *result set (free with freeaddrinfo), or a
// Winsock code.
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

void CloseSocket(SOCKET& socket) {
  if (socket != INVALID_SOCKET) {
    ::closesocket(socket);
    socket = INVALID_SOCKET;
  }
}

// Connects to one address within deadline without blocking beyond it. 0
// with *out set, or a Winsock code.
int ConnectTo(const addrinfo& ai, Deadline deadline, SOCKET* out) {
  SOCKET s = ::socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol);
  if (s == INVALID_SOCKET) {
    return LastSocketError();
  }
  // A program the client starts must not inherit the connection.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    const int error = LastSocketError();
    CloseSocket(s);
    return error;
  }
  if (::connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    const int error = LastSocketError();
    CloseSocket(s);
    return error;
  }
  // A connect in progress ends writable (connected) or with an exception
  // (refused, unreachable).
  for (;;) {
    const int waitMs = LeftMs(deadline, 1000);
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = Interval(waitMs);
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == SOCKET_ERROR) {
      const int error = LastSocketError();
      CloseSocket(s);
      return error;
    }
    if (ready > 0) {
      break;
    }
    if (waitMs == 0) {
      CloseSocket(s);
      return WSAETIMEDOUT;
    }
  }
  int error = 0;
  int size = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 ||
      error != 0) {
    CloseSocket(s);
    return error != 0 ? error : kSystemIoFailure;
  }
  const BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  *out = s;
  return 0;
}

}  // namespace

int StartWinsock() {
  static const int result = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return result;
}

Win32Rfc2217SerialPort::Win32Rfc2217SerialPort()
    : socketEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      dataReady_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Win32Rfc2217SerialPort::~Win32Rfc2217SerialPort() {
  Close();
  for (void* event : {socketEvent_, dataReady_}) {
    if (event != nullptr) {
      CloseHandle(event);
    }
  }
}

bool Win32Rfc2217SerialPort::IsOpen() const {
  std::lock_guard lock(mutex_);
  return socket_ != INVALID_SOCKET;
}

int Win32Rfc2217SerialPort::Open(int32_t portNumber) {
  char target[kMaxPortTargetLength + 1];
  if (!ResolvePortTarget(portNumber, target, sizeof target).fits) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  return OpenAddress(target);
}

int Win32Rfc2217SerialPort::OpenAddress(const char* target) {
  Close();
  if (const int error = StartWinsock(); error != 0) {
    return error;
  }
  if (socketEvent_ == nullptr || dataReady_ == nullptr) {
    return kSystemBadHandle;
  }
  Lock lock(mutex_);
  if (!ParseRfc2217Address(target, address_)) {
    return kSystemInvalidArgument;
  }
  if (const int error = Connect(lock); error != 0) {
    CloseLocked(lock);
    return error;
  }
  return 0;
}

int Win32Rfc2217SerialPort::Connect(Lock& lock) {
  const Deadline deadline = After(address_.timeoutMs);
  addrinfo* addresses = nullptr;
  if (const int error = Resolve(resolver_, address_, address_.timeoutMs, &addresses); error != 0) {
    return error;
  }
  int result = WSAECONNREFUSED;
  for (const addrinfo* ai = addresses; ai != nullptr && socket_ == INVALID_SOCKET;
       ai = ai->ai_next) {
    SOCKET s = INVALID_SOCKET;
    if (const int error = ConnectTo(*ai, deadline, &s); error != 0) {
      result = error;
    } else {
      socket_ = s;
    }
  }
  freeaddrinfo(addresses);
  if (socket_ == INVALID_SOCKET) {
    return result;
  }
  // The reader's wait: data or a hang-up (the socket stays non-blocking).
  ResetEvent(socketEvent_);
  ResetEvent(dataReady_);
  if (WSAEventSelect(socket_, socketEvent_, FD_READ | FD_CLOSE) != 0) {
    return LastSocketError();
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
    return WSAEPROTONOSUPPORT;
  }
  if (!address_.noModemLines) {
    // Report every modem line change, and the state as it is now.
    protocol_.QueueRequest(ComPortCommand::kSetModemStateMask, 0xFF, 1);
    protocol_.QueueRequest(ComPortCommand::kNotifyModemState, 0, 0);
  }
  return Flush(lock, deadline);
}

int Win32Rfc2217SerialPort::Configure(const LineSettings& settings) {
  Rfc2217LineRequests requests;
  const Rfc2217Line line{settings.baudRate, settings.byteSize, settings.parity, settings.stopBits};
  if (!MakeLineRequests(line, address_.noModemLines, &requests)) {
    return kSystemInvalidArgument;
  }
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return kSystemBadHandle;
  }
  for (const Rfc2217Setting& s : requests.settings) {
    protocol_.QueueRequest(s.command, s.value, s.size);
  }
  const Deadline deadline = After(address_.timeoutMs);
  int error = Flush(lock, deadline);
  if (error == 0) {
    error = WaitFor(lock, deadline, [this, &requests] { return AllAnswered(protocol_, requests); });
  }
  if (error != 0 && error != WSAETIMEDOUT) {
    return error;
  }
  char text[96];
  switch (CheckLineReplies(protocol_, requests, text, sizeof text)) {
    case LineVerdict::kConfirmed:
      return 0;
    case LineVerdict::kRefused:
      Note(text);
      return kSystemInvalidArgument;
    case LineVerdict::kUnanswered:
      break;
  }
  Note(text);
  return WSAETIMEDOUT;
}

void Win32Rfc2217SerialPort::Close() {
  Lock lock(mutex_);
  CloseLocked(lock);
}

void Win32Rfc2217SerialPort::CloseLocked(Lock& lock) {
  if (socket_ != INVALID_SOCKET && fault_ == 0) {
    // Send what is queued, then end the connection cleanly: a socket closed
    // with unread input resets it, and the server might drop the last
    // requests.
    constexpr int kLingerMs = 200;
    const Deadline deadline = After(kLingerMs);
    if (Flush(lock, deadline) == 0) {
      ::shutdown(socket_, SD_SEND);
      closing_ = true;
      WaitFor(lock, deadline, [] { return false; });
      closing_ = false;
    }
  }
  CloseSocket(socket_);
  if (socketEvent_ != nullptr) {
    ResetEvent(socketEvent_);
  }
  if (dataReady_ != nullptr) {
    ResetEvent(dataReady_);
  }
  paced_ = false;
  rxSize_ = 0;
  fault_ = 0;
}

int Win32Rfc2217SerialPort::WaitForInput(void* wakeEvent) {
  const HANDLE wake = static_cast<HANDLE>(wakeEvent);
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return 0;
  }
  if (rxSize_ > 0 || fault_ != 0) {
    return 1;
  }
  // Paced, the socket leaves the wait: the reader receives once the next
  // receive is due.
  const bool paced = paced_;
  const Deadline due = nextPacedReceive_;
  lock.unlock();
  HANDLE events[3];
  DWORD count = 0;
  if (wake != nullptr) {
    events[count++] = wake;
  }
  events[count++] = static_cast<HANDLE>(dataReady_);
  if (!paced) {
    events[count++] = static_cast<HANDLE>(socketEvent_);
  }
  const DWORD waitMs =
      paced ? static_cast<DWORD>(LeftMs(due, NegotiationFloodGuard::kPaceMs)) : INFINITE;
  const DWORD which = WaitForMultipleObjects(count, events, FALSE, waitMs);
  if (wake != nullptr && which == WAIT_OBJECT_0) {
    return 0;  // the session is closing
  }
  if (which == WAIT_FAILED) {
    return -static_cast<int>(GetLastError() != 0 ? GetLastError() : ERROR_INVALID_HANDLE);
  }
  return 1;
}

int Win32Rfc2217SerialPort::Read(uint8_t* data, size_t capacity) {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return -kSystemBadHandle;
  }
  if (rxSize_ > 0) {
    const size_t n = rxSize_ < capacity ? rxSize_ : capacity;
    std::memcpy(data, rx_, n);
    std::memmove(rx_, rx_ + n, rxSize_ - n);
    rxSize_ -= n;
    if (rxSize_ == 0) {
      SetDataReady(false);
    }
    return static_cast<int>(n);
  }
  if (fault_ != 0) {
    return -fault_;
  }
  if (paced_) {
    // While paced the reader comes back each interval; before the next
    // receive is due there is nothing to do (a hang-up is seen on it).
    const Deadline now = NowMs();
    if (now < nextPacedReceive_) {
      return 0;
    }
    nextPacedReceive_ = now + NegotiationFloodGuard::kPaceMs;
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

int Win32Rfc2217SerialPort::Write(const uint8_t* data, size_t length, int timeoutMs) {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return kSystemBadHandle;
  }
  if (fault_ != 0) {
    return fault_;
  }
  const Deadline deadline = After(timeoutMs);
  int error = 0;
  while (error == 0 && !protocol_.QueueData(data, length)) {
    // The queue is full of earlier output: make room first.
    if (protocol_.OutputSize() == 0) {
      return WSAEMSGSIZE;
    }
    error = Flush(lock, deadline);
  }
  if (error == 0) {
    error = Flush(lock, deadline);
  }
  // A write cut short by its time-out gives the session's code for it.
  return error == WSAETIMEDOUT ? kSystemTimedOut : error;
}

int Win32Rfc2217SerialPort::PendingOutput(size_t* count) {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return kSystemBadHandle;
  }
  if (const int error = FlushSome(); error != 0) {
    return error;
  }
  *count = protocol_.OutputSize();
  return 0;
}

void Win32Rfc2217SerialPort::DiscardOutput() {
  Lock lock(mutex_);
  if (protocol_.DiscardUnsentData() > 0) {
    Note("rfc2217: rest of a timed-out frame dropped");
  }
}

int Win32Rfc2217SerialPort::ReadModemStatus(uint32_t* status) {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return kSystemBadHandle;
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

void Win32Rfc2217SerialPort::SetControlLines(bool raised) {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET || fault_ != 0) {
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
  if (error == WSAETIMEDOUT) {
    controlUnanswered_ = true;
    Note("rfc2217: DTR/RTS change not acknowledged; going on without it");
  }
}

void Win32Rfc2217SerialPort::Purge() {
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET || fault_ != 0) {
    return;
  }
  protocol_.QueueRequest(ComPortCommand::kPurgeData, kPurgeReceiveBuffer, 1);
  const Deadline deadline = After(kRfc2217AckWaitMs);
  int error = Flush(lock, deadline);
  if (error == 0) {
    error = WaitFor(lock, deadline,
                    [this] { return protocol_.Reply(ComPortCommand::kPurgeData).seen; });
  }
  if (error == WSAETIMEDOUT) {
    Note("rfc2217: purge not acknowledged");
  }
  // Whatever arrived before the server purged is stale.
  rxSize_ = 0;
  SetDataReady(false);
}

int Win32Rfc2217SerialPort::FlushSome() {
  while (protocol_.OutputSize() > 0) {
    const int size = static_cast<int>(protocol_.OutputSize());
    const int n = ::send(socket_, reinterpret_cast<const char*>(protocol_.Output()), size, 0);
    if (n > 0) {
      protocol_.Consume(static_cast<size_t>(n));
    } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      return 0;
    } else if (n == SOCKET_ERROR && WSAGetLastError() != WSAEINTR) {
      return Fail(LastSocketError());
    }
  }
  return 0;
}

int Win32Rfc2217SerialPort::Flush(Lock& lock, Deadline deadline) {
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
      return WSAETIMEDOUT;
    }
    const SOCKET socket = socket_;
    lock.unlock();
    WaitSocket(socket, true, waitMs);
    lock.lock();
    if (socket_ == INVALID_SOCKET) {
      return kSystemBadHandle;
    }
  }
}

int Win32Rfc2217SerialPort::ReceiveOnce(uint8_t* data, size_t room, size_t* decoded) {
  *decoded = 0;
  // Taking the network events resets the event; the receive re-arms it while
  // data is left. A hang-up is reported once, and is then seen by the
  // receive itself (0 bytes).
  WSANETWORKEVENTS events{};
  WSAEnumNetworkEvents(socket_, static_cast<HANDLE>(socketEvent_), &events);
  const int n = ::recv(socket_, reinterpret_cast<char*>(raw_),
                       static_cast<int>(room < sizeof raw_ ? room : sizeof raw_), 0);
  if (n == 0) {
    return Fail(WSAECONNRESET);  // the server closed the connection
  }
  if (n == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) {
    return Fail(LastSocketError());
  }
  size_t negotiation = 0;
  int error = 0;
  if (n > 0) {
    const uint64_t before = protocol_.ProtocolBytes();
    *decoded = protocol_.Decode(raw_, static_cast<size_t>(n), data);
    negotiation = static_cast<size_t>(protocol_.ProtocolBytes() - before);
    error = FlushSome();  // negotiation answers
    if ((events.lNetworkEvents & FD_CLOSE) != 0) {
      // The hang-up's own report is gone: wake the reader for the receive
      // that will see it.
      SetEvent(static_cast<HANDLE>(socketEvent_));
    }
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
      ::shutdown(socket_, SD_BOTH);
      return Fail(WSAECONNRESET);
  }
  return error;
}

void Win32Rfc2217SerialPort::Pace(bool paced) {
  if (paced == paced_) {
    return;
  }
  paced_ = paced;
  if (paced) {
    nextPacedReceive_ = NowMs() + NegotiationFloodGuard::kPaceMs;
    Note("rfc2217: negotiation flood; reading paced");
  }
}

int Win32Rfc2217SerialPort::Receive() {
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
    SetDataReady(true);
  }
  return error;
}

template <typename Done>
int Win32Rfc2217SerialPort::WaitFor(Lock& lock, Deadline deadline, Done done) {
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
      return WSAETIMEDOUT;
    }
    const SOCKET socket = socket_;
    const bool paced = paced_;
    lock.unlock();
    if (paced) {
      Sleep(static_cast<DWORD>(waitMs));
    } else {
      WaitSocket(socket, false, waitMs);
    }
    lock.lock();
    if (socket_ == INVALID_SOCKET) {
      return kSystemBadHandle;
    }
  }
}

int Win32Rfc2217SerialPort::Fail(int error) {
  if (fault_ == 0) {
    fault_ = error;
    // A reader that began its wait just before this thread took the
    // hang-up's report learns of it here.
    SetEvent(static_cast<HANDLE>(dataReady_));
    if (closing_) {
      return fault_;  // the server ending a connection we are closing
    }
    char text[64];
    std::snprintf(text, sizeof text, "rfc2217: connection failed, system error %d", error);
    Note(text);
  }
  return fault_;
}

void Win32Rfc2217SerialPort::SetDataReady(bool ready) {
  // Stays set once the connection failed, so that the reader sees it.
  if (ready || fault_ != 0) {
    SetEvent(static_cast<HANDLE>(dataReady_));
  } else {
    ResetEvent(static_cast<HANDLE>(dataReady_));
  }
}

void Win32Rfc2217SerialPort::Note(const char* text) {
  trace_.Frame(TraceDirection::kNote, nullptr, 0, text);
}

}  // namespace qzlink
