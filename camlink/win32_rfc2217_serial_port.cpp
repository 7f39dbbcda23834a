#include "camlink/win32_rfc2217_serial_port.h"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include "camlink/port_mapping.h"

namespace qzlink {

namespace {

using rfc2217_clock::Deadline;
using rfc2217_clock::LeftMs;
using rfc2217_clock::NowMs;

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
int WaitOnSocket(SOCKET socket, bool forWrite, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait = Interval(ms);
  const int ready =
      ::select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &wait);
  return ready == SOCKET_ERROR ? -1 : ready;
}

void CloseSocketHandle(SOCKET& socket) {
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
    CloseSocketHandle(s);
    return error;
  }
  if (::connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    const int error = LastSocketError();
    CloseSocketHandle(s);
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
      CloseSocketHandle(s);
      return error;
    }
    if (ready > 0) {
      break;
    }
    if (waitMs == 0) {
      CloseSocketHandle(s);
      return WSAETIMEDOUT;
    }
  }
  int error = 0;
  int size = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 ||
      error != 0) {
    CloseSocketHandle(s);
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
    : Rfc2217Connection(
          {WSAECONNREFUSED, WSAETIMEDOUT, WSAEPROTONOSUPPORT, WSAECONNRESET, WSAEMSGSIZE}),
      socketEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      dataReady_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Win32Rfc2217SerialPort::~Win32Rfc2217SerialPort() {
  Close();
  for (void* event : {socketEvent_, dataReady_}) {
    if (event != nullptr) {
      CloseHandle(event);
    }
  }
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
  return OpenTarget(target);
}

int Win32Rfc2217SerialPort::WaitForInput(void* wakeEvent) {
  const HANDLE wake = static_cast<HANDLE>(wakeEvent);
  Lock lock(mutex_);
  if (socket_ == INVALID_SOCKET) {
    return 0;
  }
  if (InputWaiting()) {
    return 1;
  }
  // Paced, the socket leaves the wait: the reader receives once the next
  // receive is due.
  const bool paced = Paced();
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

bool Win32Rfc2217SerialPort::SocketOpen() const {
  return socket_ != INVALID_SOCKET;
}

int Win32Rfc2217SerialPort::ConnectSocket(const addrinfo& ai, Deadline deadline) {
  SOCKET s = INVALID_SOCKET;
  if (const int error = ConnectTo(ai, deadline, &s); error != 0) {
    return error;
  }
  socket_ = s;
  return 0;
}

int Win32Rfc2217SerialPort::WatchSocket() {
  // The reader's wait: data or a hang-up (the socket stays non-blocking).
  ResetEvent(socketEvent_);
  ResetEvent(dataReady_);
  if (WSAEventSelect(socket_, socketEvent_, FD_READ | FD_CLOSE) != 0) {
    return LastSocketError();
  }
  return 0;
}

int Win32Rfc2217SerialPort::SendSome(const uint8_t* data, size_t size, size_t* sent) {
  for (;;) {
    const int n = ::send(socket_, reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
    if (n > 0) {
      *sent = static_cast<size_t>(n);
      return 0;
    }
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      *sent = 0;
      return 0;
    }
    if (n == SOCKET_ERROR && WSAGetLastError() != WSAEINTR) {
      return LastSocketError();
    }
  }
}

int Win32Rfc2217SerialPort::ReceiveSome(uint8_t* data, size_t size, size_t* received) {
  *received = 0;
  // Taking the network events resets the event; the receive re-arms it while
  // data is left. A hang-up is reported once, and is then seen by the
  // receive itself (0 bytes).
  WSANETWORKEVENTS events{};
  WSAEnumNetworkEvents(socket_, static_cast<HANDLE>(socketEvent_), &events);
  const int n = ::recv(socket_, reinterpret_cast<char*>(data), static_cast<int>(size), 0);
  if (n == 0) {
    return WSAECONNRESET;  // the server closed the connection
  }
  if (n == SOCKET_ERROR) {
    return WSAGetLastError() != WSAEWOULDBLOCK ? LastSocketError() : 0;
  }
  *received = static_cast<size_t>(n);
  if ((events.lNetworkEvents & FD_CLOSE) != 0) {
    // The hang-up's own report is gone: wake the reader for the receive
    // that will see it.
    SetEvent(static_cast<HANDLE>(socketEvent_));
  }
  return 0;
}

void Win32Rfc2217SerialPort::WaitSocket(Lock& lock, SocketWait what, int ms) {
  const SOCKET socket = socket_;
  lock.unlock();
  if (what == SocketWait::kNothing) {
    Sleep(static_cast<DWORD>(ms));
  } else {
    WaitOnSocket(socket, what == SocketWait::kWritable, ms);
  }
  lock.lock();
}

size_t Win32Rfc2217SerialPort::UnsentBytes() {
  // Windows offers no portable count of what the socket has not sent yet.
  return 0;
}

void Win32Rfc2217SerialPort::ShutdownSocket(bool receiveToo) {
  ::shutdown(socket_, receiveToo ? SD_BOTH : SD_SEND);
}

void Win32Rfc2217SerialPort::CloseSocket() {
  CloseSocketHandle(socket_);
  if (socketEvent_ != nullptr) {
    ResetEvent(socketEvent_);
  }
  if (dataReady_ != nullptr) {
    ResetEvent(dataReady_);
  }
}

void Win32Rfc2217SerialPort::SignalData(bool ready) {
  // Stays set once the connection failed, so that the reader sees it.
  if (ready || HasFailed()) {
    SetEvent(static_cast<HANDLE>(dataReady_));
  } else {
    ResetEvent(static_cast<HANDLE>(dataReady_));
  }
}

void Win32Rfc2217SerialPort::SetPaced(bool paced) {
  if (paced) {
    nextPacedReceive_ = NowMs() + NegotiationFloodGuard::kPaceMs;
  }
}

bool Win32Rfc2217SerialPort::PacedReceiveDue() {
  // While paced the reader comes back each interval; before the next
  // receive is due there is nothing to do (a hang-up is seen on it).
  const Deadline now = NowMs();
  if (now < nextPacedReceive_) {
    return false;
  }
  nextPacedReceive_ = now + NegotiationFloodGuard::kPaceMs;
  return true;
}

void Win32Rfc2217SerialPort::Faulted() {
  // A reader that began its wait just before this thread took the
  // hang-up's report learns of it here.
  SetEvent(static_cast<HANDLE>(dataReady_));
}

}  // namespace qzlink
