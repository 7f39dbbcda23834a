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

#include "camlink/rfc2217_connection.h"  // Winsock's headers

namespace qzlink {

// Starts Winsock 2.2 for the process, once, from any thread. 0 or the
// WSAStartup code; the same result for every later call. Never cleaned up:
// the process's end releases it, and a cleanup while the DLL unloads would
// run under the loader lock.
int StartWinsock();

// The socket edge on Winsock: the connection (rfc2217_connection.h) over a
// non-blocking socket, with the network event and the data-ready event for
// the reader's wait.
class Win32Rfc2217SerialPort final : public Rfc2217Connection {
 public:
  Win32Rfc2217SerialPort();
  ~Win32Rfc2217SerialPort() override;
  Win32Rfc2217SerialPort(const Win32Rfc2217SerialPort&) = delete;
  Win32Rfc2217SerialPort& operator=(const Win32Rfc2217SerialPort&) = delete;

  // Opens the address that COM<portNumber> resolves to (port_mapping.h).
  int Open(int32_t portNumber) override;
  // Opens an rfc2217:// address itself; Open resolves COMn first.
  int OpenAddress(const char* target);
  int WaitForInput(void* wakeEvent) override;

 private:
  bool SocketOpen() const override;
  int ConnectSocket(const addrinfo& ai, Deadline deadline) override;
  int WatchSocket() override;
  int SendSome(const uint8_t* data, size_t size, size_t* sent) override;
  int ReceiveSome(uint8_t* data, size_t size, size_t* received) override;
  void WaitSocket(Lock& lock, SocketWait what, int ms) override;
  size_t UnsentBytes() override;
  void ShutdownSocket(bool receiveToo) override;
  void CloseSocket() override;
  void SignalData(bool ready) override;
  void SetPaced(bool paced) override;
  bool PacedReceiveDue() override;
  void Faulted() override;

  SOCKET socket_ = INVALID_SOCKET;
  // Manual-reset events, created once for the object's life so that the
  // reader may wait on them without the lock: the socket's network events,
  // and "the receive buffer holds data".
  void* socketEvent_ = nullptr;
  void* dataReady_ = nullptr;
  Deadline nextPacedReceive_ = 0;
};

}  // namespace qzlink
