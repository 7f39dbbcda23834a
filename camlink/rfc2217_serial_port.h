// A serial line on a device server, reached over TCP with the Telnet COM
// Port Control Option (RFC 2217). COMn is a network port when its target
// (port_mapping.h) is an rfc2217:// address (rfc2217_address.h).
//
// Opening connects (name resolution and connect bounded by the address's
// time-out), agrees COM-PORT-OPTION and binary transfer, and asks for the
// modem state. The line settings, purge and DTR/RTS go to the server as
// COM-PORT-OPTION requests:
// - each line setting must come back from the server with the value asked
//   for, else Configure fails (EINVAL for another value, ETIMEDOUT for none);
// - the CTS check uses the server's NOTIFY-MODEMSTATE, asked for at open and
//   awaited within the time-out; with modem=none CTS counts as asserted;
// - DTR/RTS changes and the purge wait a short bounded time for their
//   acknowledgement and go on without it (noted in the trace); a server that
//   left one unacknowledged is not waited for again on that connection.
// Close sends what is still queued (the DTR/RTS drop of a closing session),
// ends the connection cleanly so that the server acts on it, and waits at
// most 0.2 s for the server to hang up.
//
// A write has left when every byte has been transmitted onto the network:
// nothing is queued here and the kernel reports no unsent byte
// (SIOCOUTQNSD). The server's TCP acknowledgement is not awaited (a delayed
// acknowledgement would eat the per-byte time-out), and RFC 2217 offers no
// reliable word on when the server's UART has sent the bytes. The write
// time-out (the session's, per byte) covers both taking the frame into the
// connection and its transmission, which the server holds back (TCP flow
// control) while its own line is blocked. A frame cut short by the time-out
// cannot be recalled from the connection: what the kernel already took still
// reaches the server; only what it had not taken is dropped (DiscardOutput),
// and never half of a doubled 0xFF.
//
// Every call holds the connection's lock only for work on bytes already at
// hand: one receive of at most 4 KiB and its decoding, or one send; waits
// happen without it. So whatever the server sends, a write keeps its
// time-out, DTR/RTS and the purge their 0.5 s, and Close its 0.7 s (0.5 s for
// the DTR/RTS acknowledgement, 0.2 s for the server to hang up). A server
// that floods the connection with telnet negotiation is read at a pace
// (NegotiationFloodGuard: at most one receive every 20 ms once it has sent
// 8 KiB beyond 4 KiB a second) and dropped after 1 s of that without data.
//
// Failures carry errno values: ECONNREFUSED; ENXIO ("no such device or
// address") for a name that does not resolve; ETIMEDOUT for a server that
// does not answer in time; EPROTONOSUPPORT for a server that refuses
// COM-PORT-OPTION; ECONNRESET when the server closes the connection or is
// dropped for flooding it with negotiation.
#pragma once

#include "camlink/rfc2217_connection.h"

namespace qzlink {

// The socket edge on POSIX: the connection (rfc2217_connection.h) over a
// non-blocking socket, with epoll for the reader's wait, an eventfd for the
// data a client-thread wait took in and a timerfd for the pace.
class Rfc2217SerialPort final : public Rfc2217Connection {
 public:
  Rfc2217SerialPort();
  ~Rfc2217SerialPort() override;
  Rfc2217SerialPort(const Rfc2217SerialPort&) = delete;
  Rfc2217SerialPort& operator=(const Rfc2217SerialPort&) = delete;

  // Opens the address that COM<portNumber> resolves to (port_mapping.h).
  int Open(int32_t portNumber) override;
  // An epoll descriptor over the socket and the data a client-thread wait
  // took in for the reader.
  int ReadableFd() const override;

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

  int socket_ = -1;
  int epoll_ = -1;
  int dataReady_ = -1;  // eventfd: the receive buffer holds data
  int pacer_ = -1;      // timerfd: the next paced receive is due
};

}  // namespace qzlink
