// The connection to a device server that both network ports share: what a
// serial line on the Telnet COM Port Control Option (RFC 2217) does with its
// socket once it is connected, whatever the system. It holds the lock, the
// protocol, the flood guard, the reader's receive buffer and the
// connection's failure, and runs the open's negotiation, the line settings,
// DTR/RTS, the purge, writes with their time-out and the reader's receives
// (rfc2217_serial_port.h and win32_rfc2217_serial_port.h say how each
// behaves).
//
// The socket itself stays with the system's port, which connects it, lets
// the reader wait on it, and gives the system's error codes; the connection
// reaches it only through the functions below that a port defines. Every one
// of them is called with the lock held, except where it says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "camlink/frame_trace.h"
#include "camlink/name_resolver.h"  // addrinfo
#include "camlink/negotiation_flood_guard.h"
#include "camlink/rfc2217_address.h"
#include "camlink/rfc2217_protocol.h"
#include "camlink/serial_port.h"

namespace qzlink {

// How long DTR/RTS changes and the purge wait for their acknowledgement.
inline constexpr int kRfc2217AckWaitMs = 500;

namespace rfc2217_clock {

using Deadline = int64_t;  // steady clock, milliseconds

Deadline NowMs();
// ms from now; no limit for ms <= 0.
Deadline After(int ms);
// Milliseconds to the deadline, at most sliceMs; 0 when passed.
int LeftMs(Deadline deadline, int sliceMs);

}  // namespace rfc2217_clock

// The system's codes for the failures that the connection itself reports.
// A closed port is kSystemBadHandle and a malformed request
// kSystemInvalidArgument on either system.
struct Rfc2217ErrorCodes {
  int connectionRefused;    // no address of the server took the connection
  int timedOut;             // the server did not answer in time
  int protocolUnsupported;  // the server refuses COM-PORT-OPTION
  int connectionReset;      // the server closed the connection, or was dropped
  int messageTooLong;       // a write larger than the output queue
};

class Rfc2217Connection : public SerialPort {
 public:
  Rfc2217Connection(const Rfc2217Connection&) = delete;
  Rfc2217Connection& operator=(const Rfc2217Connection&) = delete;

  int Configure(const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  int Read(uint8_t* data, size_t capacity) override;
  int Write(const uint8_t* data, size_t length, int timeoutMs) override;
  int PendingOutput(size_t* count) override;
  void DiscardOutput() override;
  int ReadModemStatus(uint32_t* status) override;
  void SetControlLines(bool raised) override;
  void Purge() override;

 protected:
  using Lock = std::unique_lock<std::mutex>;
  using Deadline = rfc2217_clock::Deadline;

  // What a wait without the lock waits for.
  enum class SocketWait { kReadable, kWritable, kNothing };

  explicit Rfc2217Connection(const Rfc2217ErrorCodes& codes);
  // A port's destructor closes the connection: its socket edge is gone by
  // the time this one runs.
  ~Rfc2217Connection() override;

  // Opens an rfc2217:// address: parses it (kSystemInvalidArgument when
  // malformed), connects and negotiates, and closes again on failure. 0 or
  // the failure's code.
  int OpenTarget(const char* target);

  // For the reader's wait: input is waiting in the buffer, or the
  // connection has failed.
  bool InputWaiting() const { return rxSize_ > 0 || fault_ != 0; }
  bool Paced() const { return paced_; }
  bool HasFailed() const { return fault_ != 0; }

  mutable std::mutex mutex_;

 private:
  // The socket edge.
  virtual bool SocketOpen() const = 0;
  // Connects to one address within deadline, the socket non-blocking and
  // kept by the port. 0 or the system's code.
  virtual int ConnectSocket(const addrinfo& ai, Deadline deadline) = 0;
  // Readies the connected socket for the reader's wait. 0 or the system's
  // code.
  virtual int WatchSocket() = 0;
  // Sends what the socket takes now of size bytes: 0 with *sent (0 when it
  // takes nothing now), or the system's code.
  virtual int SendSome(const uint8_t* data, size_t size, size_t* sent) = 0;
  // Receives at most size bytes: 0 with *received (0 when none are there),
  // the connection-reset code when the server closed the connection, or the
  // system's code.
  virtual int ReceiveSome(uint8_t* data, size_t size, size_t* received) = 0;
  // Releases the lock, waits at most ms for the socket as asked (kNothing:
  // only the time), and takes the lock again.
  virtual void WaitSocket(Lock& lock, SocketWait what, int ms) = 0;
  // Bytes the socket took that have not yet left for the network, where
  // the system tells.
  virtual size_t UnsentBytes() = 0;
  // Ends the sending side, or with receiveToo the whole connection.
  virtual void ShutdownSocket(bool receiveToo) = 0;
  virtual void CloseSocket() = 0;
  // Tells the reader whether the buffer holds data.
  virtual void SignalData(bool ready) = 0;
  // Takes the socket out of the reader's wait while paced, or puts it back.
  virtual void SetPaced(bool paced) = 0;
  // Whether the reader's receive is due while paced.
  virtual bool PacedReceiveDue() = 0;
  // The connection has just failed.
  virtual void Faulted() {}

  int Connect(Lock& lock);
  // Sends the queued output until empty or the deadline; 0, the timed-out
  // code or the connection's error.
  int Flush(Lock& lock, Deadline deadline);
  // Sends what the socket takes now.
  int FlushSome();
  // One receive of at most room bytes, decoded into data (*decoded data
  // bytes), its negotiation answered. Weighs it with the flood guard: paces
  // the reading, or drops the connection (connection reset). 0 or the
  // connection's error.
  int ReceiveOnce(uint8_t* data, size_t room, size_t* decoded);
  // Receives for a wait on the client's thread; data goes to the reader's
  // buffer.
  int Receive();
  // Takes the socket out of the reader's wait and lets it receive once per
  // pace interval instead, or puts it back.
  void Pace(bool paced);
  // Runs the connection until done() holds: 0, the timed-out code, or its
  // error.
  template <typename Done>
  int WaitFor(Lock& lock, Deadline deadline, Done done);
  int Fail(int error);
  void Note(const char* text);
  void CloseLocked(Lock& lock);

  const Rfc2217ErrorCodes codes_;
  bool paced_ = false;
  int fault_ = 0;  // the connection's failure, once seen
  bool controlUnanswered_ = false;
  bool closing_ = false;
  Rfc2217Address address_;
  Rfc2217Protocol protocol_;
  NegotiationFloodGuard guard_;
  uint8_t raw_[4096] = {};
  uint8_t rx_[4096] = {};
  size_t rxSize_ = 0;
  FrameTrace trace_;
  NameResolver resolver_;
};

}  // namespace qzlink
