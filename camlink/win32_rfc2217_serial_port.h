// A serial line on a device server, reached over TCP with the Telnet COM
// Port Control Option (RFC 2217), on Winsock 2: the Windows side of
// rfc2217_serial_port.h, with the same protocol core, the same address, the
// same negotiation and the same bounds, so that a session behaves alike on
// both systems. COMn is a network port when its target (port_mapping.h) is
// an rfc2217:// address (rfc2217_address.h).
//
// Opening starts Winsock (once per process), resolves the name (getaddrinfo
// on the resolver's thread, bounded by the address's time-out), connects
// without blocking within the same time-out, agrees COM-PORT-OPTION and
// binary transfer, and asks for the modem state. Line settings, purge and
// DTR/RTS go to the server as COM-PORT-OPTION requests and are awaited as on
// POSIX: a setting the server answers with another value fails Configure
// with ERROR_INVALID_PARAMETER, one it leaves unanswered with WSAETIMEDOUT;
// DTR/RTS and the purge wait at most kRfc2217AckWaitMs for their answer.
//
// The reader thread waits in WaitForInput, as on a communications device:
// on the socket's network event (WSAEventSelect: data or hang-up), an event
// set while data that a client-thread wait took in is waiting for it, and
// the reader's wake event. While the server floods the connection with
// negotiation (NegotiationFloodGuard) the socket leaves that wait, and the
// reader receives once per pace interval instead.
//
// A write has left when every byte has been taken by the socket: nothing is
// queued here (PendingOutput). Windows offers no portable count of the bytes
// the socket has not transmitted yet; what it took it delivers, also past a
// close, which ends the connection gracefully (shutdown, then at most 0.2 s
// for the server to hang up) so that nothing reported sent is reset away. A
// write is bounded by its time-out; the rest of a frame cut short is dropped
// (DiscardOutput), never half of a doubled 0xFF.
//
// Failures carry Winsock codes: WSAECONNREFUSED (10061) for a refused
// connection, WSAETIMEDOUT (10060) for a server that does not answer or
// cannot be reached in time, WSAEHOSTUNREACH/WSAENETUNREACH where the system
// says so, WSAHOST_NOT_FOUND (11001) for a name that does not resolve,
// WSAEPROTONOSUPPORT (10043) for a server that refuses COM-PORT-OPTION,
// WSAECONNRESET (10054) when the server closes the connection or is dropped
// for flooding it. A malformed address gives ERROR_INVALID_PARAMETER, a
// write cut short by its time-out ERROR_COUNTER_TIMEOUT as on a local port,
// a closed port ERROR_INVALID_HANDLE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "camlink/frame_trace.h"
#include "camlink/name_resolver.h"  // Winsock's headers
#include "camlink/negotiation_flood_guard.h"
#include "camlink/rfc2217_address.h"
#include "camlink/rfc2217_protocol.h"
#include "camlink/serial_port.h"

namespace qzlink {

// How long DTR/RTS changes and the purge wait for their acknowledgement.
inline constexpr int kRfc2217AckWaitMs = 500;

// Starts Winsock 2.2 for the process, once, from any thread. 0 or the
// WSAStartup code; the same result for every later call. Never cleaned up:
// the process's end releases it, and a cleanup while the DLL unloads would
// run under the loader lock.
int StartWinsock();

class Win32Rfc2217SerialPort final : public SerialPort {
 public:
  Win32Rfc2217SerialPort();
  ~Win32Rfc2217SerialPort() override;
  Win32Rfc2217SerialPort(const Win32Rfc2217SerialPort&) = delete;
  Win32Rfc2217SerialPort& operator=(const Win32Rfc2217SerialPort&) = delete;

  // Opens the address that COM<portNumber> resolves to (port_mapping.h).
  int Open(int32_t portNumber) override;
  // Opens an rfc2217:// address itself; Open resolves COMn first.
  int OpenAddress(const char* target);
  int Configure(const LineSettings& settings) override;
  void Close() override;
  bool IsOpen() const override;
  int WaitForInput(void* wakeEvent) override;
  int Read(uint8_t* data, size_t capacity) override;
  int Write(const uint8_t* data, size_t length, int timeoutMs) override;
  int PendingOutput(size_t* count) override;
  void DiscardOutput() override;
  int ReadModemStatus(uint32_t* status) override;
  void SetControlLines(bool raised) override;
  void Purge() override;

 private:
  using Lock = std::unique_lock<std::mutex>;
  using Deadline = int64_t;  // steady clock, milliseconds

  int Connect(Lock& lock);
  // Sends the queued output until empty or the deadline; 0, WSAETIMEDOUT
  // or the connection's error.
  int Flush(Lock& lock, Deadline deadline);
  // Sends what the socket takes now.
  int FlushSome();
  // One receive of at most room bytes, decoded into data (*decoded data
  // bytes), its negotiation answered, weighed with the flood guard. 0 or
  // the connection's error.
  int ReceiveOnce(uint8_t* data, size_t room, size_t* decoded);
  // Receives for a wait on the client's thread; data goes to the reader's
  // buffer.
  int Receive();
  // Takes the socket out of the reader's wait and lets it receive once per
  // pace interval instead, or puts it back.
  void Pace(bool paced);
  // Runs the connection until done() holds: 0, WSAETIMEDOUT, or its error.
  template <typename Done>
  int WaitFor(Lock& lock, Deadline deadline, Done done);
  int Fail(int error);
  void SetDataReady(bool ready);
  void Note(const char* text);
  void CloseLocked(Lock& lock);

  mutable std::mutex mutex_;
  SOCKET socket_ = INVALID_SOCKET;
  // Manual-reset events, created once for the object's life so that the
  // reader may wait on them without the lock: the socket's network events,
  // and "rx_ holds data".
  void* socketEvent_ = nullptr;
  void* dataReady_ = nullptr;
  bool paced_ = false;
  Deadline nextPacedReceive_ = 0;
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
