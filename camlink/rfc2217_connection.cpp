#include "camlink/rfc2217_connection.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>

#include "camlink/rfc2217_line_settings.h"

namespace qzlink {

namespace rfc2217_clock {

Deadline NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

Deadline After(int ms) {
  return ms <= 0 ? std::numeric_limits<Deadline>::max() : NowMs() + ms;
}

int LeftMs(Deadline deadline, int sliceMs) {
  const Deadline left = deadline - NowMs();
  return left <= 0 ? 0 : static_cast<int>(left < sliceMs ? left : sliceMs);
}

}  // namespace rfc2217_clock

using rfc2217_clock::After;
using rfc2217_clock::LeftMs;
using rfc2217_clock::NowMs;

namespace {

// Resolves the address within timeoutMs: a numeric host at once, a name on
// the resolver's thread. 0 with *result set (free with freeaddrinfo), or the
// system's code.
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

}  // namespace

Rfc2217Connection::Rfc2217Connection(const Rfc2217ErrorCodes& codes) : codes_(codes) {}

Rfc2217Connection::~Rfc2217Connection() = default;

bool Rfc2217Connection::IsOpen() const {
  std::lock_guard lock(mutex_);
  return SocketOpen();
}

int Rfc2217Connection::OpenTarget(const char* target) {
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

int Rfc2217Connection::Connect(Lock& lock) {
  const Deadline deadline = After(address_.timeoutMs);
  addrinfo* addresses = nullptr;
  if (const int error = Resolve(resolver_, address_, address_.timeoutMs, &addresses); error != 0) {
    return error;
  }
  int result = codes_.connectionRefused;
  for (const addrinfo* ai = addresses; ai != nullptr && !SocketOpen(); ai = ai->ai_next) {
    if (const int error = ConnectSocket(*ai, deadline); error != 0) {
      result = error;
    }
  }
  freeaddrinfo(addresses);
  if (!SocketOpen()) {
    return result;
  }
  if (const int error = WatchSocket(); error != 0) {
    return error;
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
    return codes_.protocolUnsupported;
  }
  if (!address_.noModemLines) {
    // Report every modem line change, and the state as it is now.
    protocol_.QueueRequest(ComPortCommand::kSetModemStateMask, 0xFF, 1);
    protocol_.QueueRequest(ComPortCommand::kNotifyModemState, 0, 0);
  }
  return Flush(lock, deadline);
}

int Rfc2217Connection::Configure(const LineSettings& settings) {
  Rfc2217LineRequests requests;
  const Rfc2217Line line{settings.baudRate, settings.byteSize, settings.parity, settings.stopBits};
  if (!MakeLineRequests(line, address_.noModemLines, &requests)) {
    return kSystemInvalidArgument;
  }
  Lock lock(mutex_);
  if (!SocketOpen()) {
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
  if (error != 0 && error != codes_.timedOut) {
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
  return codes_.timedOut;
}

void Rfc2217Connection::Close() {
  Lock lock(mutex_);
  CloseLocked(lock);
}

void Rfc2217Connection::CloseLocked(Lock& lock) {
  if (SocketOpen() && fault_ == 0) {
    // Send what is queued, then end the connection cleanly: a socket closed
    // with unread input resets it, and the server might drop the last
    // requests.
    constexpr int kLingerMs = 200;
    const Deadline deadline = After(kLingerMs);
    if (Flush(lock, deadline) == 0) {
      ShutdownSocket(false);
      closing_ = true;
      WaitFor(lock, deadline, [] { return false; });
      closing_ = false;
    }
  }
  CloseSocket();
  paced_ = false;
  rxSize_ = 0;
  fault_ = 0;
}

int Rfc2217Connection::Read(uint8_t* data, size_t capacity) {
  Lock lock(mutex_);
  if (!SocketOpen()) {
    return -kSystemBadHandle;
  }
  if (rxSize_ > 0) {
    const size_t n = rxSize_ < capacity ? rxSize_ : capacity;
    std::memcpy(data, rx_, n);
    std::memmove(rx_, rx_ + n, rxSize_ - n);
    rxSize_ -= n;
    if (rxSize_ == 0) {
      SignalData(false);
    }
    return static_cast<int>(n);
  }
  if (fault_ != 0) {
    return -fault_;
  }
  if (paced_ && !PacedReceiveDue()) {
    return 0;
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

int Rfc2217Connection::Write(const uint8_t* data, size_t length, int timeoutMs) {
  Lock lock(mutex_);
  if (!SocketOpen()) {
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
      return codes_.messageTooLong;
    }
    error = Flush(lock, deadline);
  }
  if (error == 0) {
    error = Flush(lock, deadline);
  }
  // A write cut short by its time-out gives the session's code for it.
  return error == codes_.timedOut ? kSystemTimedOut : error;
}

int Rfc2217Connection::PendingOutput(size_t* count) {
  Lock lock(mutex_);
  if (!SocketOpen()) {
    return kSystemBadHandle;
  }
  if (const int error = FlushSome(); error != 0) {
    return error;
  }
  *count = protocol_.OutputSize() + UnsentBytes();
  return 0;
}

void Rfc2217Connection::DiscardOutput() {
  Lock lock(mutex_);
  if (protocol_.DiscardUnsentData() > 0) {
    Note("rfc2217: rest of a timed-out frame dropped");
  }
}

int Rfc2217Connection::ReadModemStatus(uint32_t* status) {
  Lock lock(mutex_);
  if (!SocketOpen()) {
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

void Rfc2217Connection::SetControlLines(bool raised) {
  Lock lock(mutex_);
  if (!SocketOpen() || fault_ != 0) {
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
  if (error == codes_.timedOut) {
    controlUnanswered_ = true;
    Note("rfc2217: DTR/RTS change not acknowledged; going on without it");
  }
}

void Rfc2217Connection::Purge() {
  Lock lock(mutex_);
  if (!SocketOpen() || fault_ != 0) {
    return;
  }
  protocol_.QueueRequest(ComPortCommand::kPurgeData, kPurgeReceiveBuffer, 1);
  const Deadline deadline = After(kRfc2217AckWaitMs);
  int error = Flush(lock, deadline);
  if (error == 0) {
    error = WaitFor(lock, deadline,
                    [this] { return protocol_.Reply(ComPortCommand::kPurgeData).seen; });
  }
  if (error == codes_.timedOut) {
    Note("rfc2217: purge not acknowledged");
  }
  // Whatever arrived before the server purged is stale.
  rxSize_ = 0;
  SignalData(false);
}

int Rfc2217Connection::FlushSome() {
  while (protocol_.OutputSize() > 0) {
    size_t sent = 0;
    if (const int error = SendSome(protocol_.Output(), protocol_.OutputSize(), &sent); error != 0) {
      return Fail(error);
    }
    if (sent == 0) {
      return 0;
    }
    protocol_.Consume(sent);
  }
  return 0;
}

int Rfc2217Connection::Flush(Lock& lock, Deadline deadline) {
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
      return codes_.timedOut;
    }
    WaitSocket(lock, SocketWait::kWritable, waitMs);
    if (!SocketOpen()) {
      return kSystemBadHandle;
    }
  }
}

int Rfc2217Connection::ReceiveOnce(uint8_t* data, size_t room, size_t* decoded) {
  *decoded = 0;
  size_t n = 0;
  if (const int error = ReceiveSome(raw_, room < sizeof raw_ ? room : sizeof raw_, &n);
      error != 0) {
    return Fail(error);
  }
  size_t negotiation = 0;
  int error = 0;
  if (n > 0) {
    const uint64_t before = protocol_.ProtocolBytes();
    *decoded = protocol_.Decode(raw_, n, data);
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
      ShutdownSocket(true);
      return Fail(codes_.connectionReset);
  }
  return error;
}

void Rfc2217Connection::Pace(bool paced) {
  if (paced == paced_) {
    return;
  }
  paced_ = paced;
  SetPaced(paced);
  if (paced) {
    Note("rfc2217: negotiation flood; reading paced");
  }
}

int Rfc2217Connection::Receive() {
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
    SignalData(true);
  }
  return error;
}

template <typename Done>
int Rfc2217Connection::WaitFor(Lock& lock, Deadline deadline, Done done) {
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
      return codes_.timedOut;
    }
    WaitSocket(lock, paced_ ? SocketWait::kNothing : SocketWait::kReadable, waitMs);
    if (!SocketOpen()) {
      return kSystemBadHandle;
    }
  }
}

int Rfc2217Connection::Fail(int error) {
  if (fault_ == 0) {
    fault_ = error;
    Faulted();
    if (closing_) {
      return fault_;  // the server ending a connection we are closing
    }
    char text[64];
    std::snprintf(text, sizeof text, "rfc2217: connection failed, system error %d", error);
    Note(text);
  }
  return fault_;
}

void Rfc2217Connection::Note(const char* text) {
  trace_.Frame(TraceDirection::kNote, nullptr, 0, text);
}

}  // namespace qzlink
