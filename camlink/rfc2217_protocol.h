// The client side of the Telnet COM Port Control Option (RFC 2217) as a pure
// state machine: bytes from the server in, data bytes, server replies and
// modem state out; requests and negotiation answers go into a fixed output
// queue that the socket edge sends. No I/O, no clock, no allocation.
//
// Handled: IAC escaping both ways; WILL/WONT/DO/DONT for COM-PORT-OPTION
// (44), BINARY (0) and SUPPRESS-GO-AHEAD (3), every other option refused;
// the COM-PORT-OPTION subnegotiations and the server's acknowledgements.
// Malformed input (a subnegotiation cut by another command, one longer than
// its buffer, a value of the wrong size, an unknown command) is skipped and
// counted, never trusted.
//
// Option negotiation follows RFC 1143 (the "Q method"): each side of each
// option is NO, YES, WANTNO or WANTYES with a queue bit, so that the answer
// to a request of ours is never taken for a request and answered. On top of
// it, an option side that has gone off (refused by either end, or withdrawn)
// stays off for the connection: a server that offers or asks for it again is
// not answered again, as RFC 854 forbids repeating a refused request. Each
// side is therefore answered at most twice per connection, and no server,
// however it answers, can keep an exchange going.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qzlink {

namespace telnet {
inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kOptionBinary = 0;
inline constexpr uint8_t kOptionSuppressGoAhead = 3;
inline constexpr uint8_t kOptionComPort = 44;
}  // namespace telnet

// COM-PORT-OPTION commands as the client sends them; the server answers with
// the same command plus 100.
enum class ComPortCommand : uint8_t {
  kSignature = 0,
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kFlowControlSuspend = 8,
  kFlowControlResume = 9,
  kSetLineStateMask = 10,
  kSetModemStateMask = 11,
  kPurgeData = 12,
};
inline constexpr size_t kComPortCommandCount = 13;
inline constexpr uint8_t kServerReplyOffset = 100;

// SET-CONTROL values used here.
namespace control {
inline constexpr uint32_t kNoFlowControl = 1;
inline constexpr uint32_t kHardwareFlowControl = 3;
inline constexpr uint32_t kDtrOn = 8;
inline constexpr uint32_t kDtrOff = 9;
inline constexpr uint32_t kRtsOn = 11;
inline constexpr uint32_t kRtsOff = 12;
}  // namespace control

// PURGE-DATA value: the server's receive buffer (what the line sent before
// the session). Its transmit buffer may still hold an earlier session's
// frames, which were reported as sent, and is left alone.
inline constexpr uint32_t kPurgeReceiveBuffer = 1;

// The state of an option we asked the server to agree to.
enum class OptionState : uint8_t { kOff, kRequested, kOn, kRefused };

// Which end performs an option: us (WILL/WONT from us, DO/DONT from the
// server) or the server (DO/DONT from us, WILL/WONT from it).
enum class OptionSide : uint8_t { kUs, kServer };

// The last acknowledgement of one command.
struct ServerReply {
  bool seen = false;
  uint32_t value = 0;
};

class Rfc2217Protocol {
 public:
  static constexpr size_t kOutputCapacity = 1024;
  static constexpr size_t kSubnegotiationCapacity = 32;

  Rfc2217Protocol() { Reset(); }

  // Forgets everything and queues the opening negotiation: WILL COM-PORT,
  // WILL and DO BINARY, WILL and DO SUPPRESS-GO-AHEAD.
  void Reset();

  // Asks for one side of an option to be enabled or disabled: at most one
  // request is in flight per side, and the opposite wish is queued behind it
  // (RFC 1143).
  void Request(OptionSide side, uint8_t option, bool enable);
  bool Enabled(OptionSide side, uint8_t option) const;

  // Consumes count bytes from the server. Data bytes (IAC IAC unescaped) go
  // to data, which must hold count bytes; their number is returned.
  size_t Decode(const uint8_t* in, size_t count, uint8_t* data);

  // Queues count data bytes with every 0xFF doubled. All or nothing: false
  // when the output queue lacks room.
  bool QueueData(const uint8_t* bytes, size_t count);
  // Queues IAC SB 44 <command> <value> IAC SE with the value big-endian in
  // valueBytes (0 to 4) bytes, and forgets the command's last reply.
  bool QueueRequest(ComPortCommand command, uint32_t value, size_t valueBytes);

  // The bytes waiting to be sent, oldest first; Consume drops the first n.
  const uint8_t* Output() const { return output_; }
  size_t OutputSize() const { return outputSize_; }
  void Consume(size_t n);
  // Drops the part of the last queued data that has not started to go out,
  // keeping a doubled 0xFF whole and every negotiation byte. Returns the
  // number of bytes dropped.
  size_t DiscardUnsentData();

  OptionState ComPort() const;
  ServerReply Reply(ComPortCommand command) const { return replies_[static_cast<size_t>(command)]; }
  // The server's last modem state (NOTIFY-MODEMSTATE), if any arrived.
  bool ModemStateSeen() const { return modemStateSeen_; }
  uint8_t ModemState() const { return modemState_; }
  // Malformed subnegotiations and unknown commands skipped so far.
  uint32_t Skipped() const { return skipped_; }
  // Bytes decoded so far that were not data: negotiation, subnegotiations,
  // other commands (an escaped 0xFF counts as data).
  uint64_t ProtocolBytes() const { return protocolBytes_; }

 private:
  enum class State : uint8_t { kData, kIac, kVerb, kSb, kSbIac };
  enum class Q : uint8_t { kNo, kYes, kWantNo, kWantYes };
  struct SideState {
    Q q = Q::kNo;
    bool queued = false;  // the opposite wish waits behind the request
    bool closed = false;  // gone off after negotiation: stays off
  };
  struct Option {
    SideState us;
    SideState server;
  };

  SideState& Side(OptionSide side, uint8_t option);
  void HandleVerb(uint8_t verb, uint8_t option);
  void Received(OptionSide side, uint8_t option, bool enable);
  void HandleSubnegotiation();
  bool QueueRaw(const uint8_t* bytes, size_t count);
  void QueueVerb(uint8_t verb, uint8_t option);
  static bool Supported(OptionSide side, uint8_t option);

  State state_ = State::kData;
  uint8_t verb_ = 0;
  uint8_t sb_[kSubnegotiationCapacity] = {};
  size_t sbSize_ = 0;
  bool sbOverflow_ = false;

  Option options_[256];
  ServerReply replies_[kComPortCommandCount];
  bool modemStateSeen_ = false;
  uint8_t modemState_ = 0;
  uint32_t skipped_ = 0;
  uint64_t protocolBytes_ = 0;

  uint8_t output_[kOutputCapacity] = {};
  size_t outputSize_ = 0;
  // The last queued data in the output queue, [dataStart_, dataEnd_); both
  // count down as bytes are consumed, and the data is gone once dataEnd_ is
  // 0. A negative dataStart_ means it has started to go out; midPair_ then
  // tells whether the cut lies inside a doubled 0xFF.
  long dataStart_ = 0;
  long dataEnd_ = 0;
  bool midPair_ = false;
};

}  // namespace qzlink
