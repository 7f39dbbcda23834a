// The RFC 2217 client core byte by byte: escaping, negotiation answers, the
// server's replies, malformed input, and where a timed-out frame may be cut.
#include "camlink/rfc2217_protocol.h"

#include <gtest/gtest.h>

#include <variant>
#include <vector>

#include "camlink/rfc2217_address.h"

namespace qzlink {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254, SB = 250, SE = 240;

Bytes Output(const Rfc2217Protocol& p) {
  return Bytes(p.Output(), p.Output() + p.OutputSize());
}

// A core past its opening negotiation, with its output sent.
Rfc2217Protocol Fresh() {
  Rfc2217Protocol p;
  p.Consume(p.OutputSize());
  return p;
}

Bytes Decode(Rfc2217Protocol& p, const Bytes& in) {
  Bytes data(in.size());
  data.resize(p.Decode(in.data(), in.size(), data.data()));
  return data;
}

TEST(Rfc2217Protocol, OpeningNegotiationAsksForComPortBinaryAndNoGoAhead) {
  Rfc2217Protocol p;
  EXPECT_EQ(Output(p), (Bytes{IAC, WILL, 44, IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3}));
  EXPECT_EQ(p.ComPort(), OptionState::kRequested);
}

struct DecodeCase {
  const char* name;
  Bytes in;
  Bytes data;    // data bytes out
  Bytes answer;  // negotiation answers queued
  uint32_t skipped;
};

// An over-long modem state subnegotiation: longer than any value the core
// keeps, ended properly, then a data byte.
Bytes OverlongSubnegotiation() {
  Bytes in = {IAC, SB, 44, 107};
  in.insert(in.end(), 200, 0x10);
  in.insert(in.end(), {IAC, SE, 0x34});
  return in;
}

TEST(Rfc2217Protocol, DecodesDataAndAnswersNegotiation) {
  const DecodeCase cases[] = {
      {"plain data", {0xFE, 0x30, 0xEF}, {0xFE, 0x30, 0xEF}, {}, 0},
      {"escaped 0xFF", {0x41, IAC, IAC, 0x42}, {0x41, 0xFF, 0x42}, {}, 0},
      {"agreement to a request needs no answer",
       {IAC, DO, 44, IAC, WILL, 0, IAC, DO, 0},
       {},
       {},
       0},
      {"unknown option asked of us is refused", {IAC, DO, 24}, {}, {IAC, WONT, 24}, 0},
      {"unknown option offered is refused", {IAC, WILL, 1}, {}, {IAC, DONT, 1}, 0},
      {"server offering COM-PORT is refused", {IAC, WILL, 44}, {}, {IAC, DONT, 44}, 0},
      {"refusal of what is off needs no answer", {IAC, DONT, 24, IAC, WONT, 1}, {}, {}, 0},
      {"NOP and GA are dropped", {IAC, 241, 0x31, IAC, 249}, {0x31}, {}, 0},
      {"stray SE is dropped", {IAC, SE, 0x31}, {0x31}, {}, 0},
      {"subnegotiation of another option is ignored",
       {IAC, SB, 24, 1, IAC, SE, 0x32},
       {0x32},
       {},
       0},
      {"subnegotiation cut by a command",
       {IAC, SB, 44, 107, IAC, DO, 24, 0x33},
       {0x33},
       {IAC, WONT, 24},
       1},
      {"reply value of the wrong size", {IAC, SB, 44, 101, 0, 0, IAC, SE}, {}, {}, 1},
      {"unknown COM-PORT command",
       {IAC, SB, 44, 99, 1, IAC, SE, IAC, SB, 44, 113, 1, IAC, SE},
       {},
       {},
       2},
      {"empty COM-PORT subnegotiation", {IAC, SB, 44, IAC, SE}, {}, {}, 1},
      {"over-long subnegotiation is skipped without overrun",
       OverlongSubnegotiation(),
       {0x34},
       {},
       1},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Whole, and byte by byte: a split anywhere must not change anything.
    for (bool byteByByte : {false, true}) {
      Rfc2217Protocol p = Fresh();
      Bytes data;
      if (byteByByte) {
        for (uint8_t b : c.in) {
          const Bytes part = Decode(p, Bytes{b});
          data.insert(data.end(), part.begin(), part.end());
        }
      } else {
        data = Decode(p, c.in);
      }
      EXPECT_EQ(data, c.data);
      EXPECT_EQ(Output(p), c.answer);
      EXPECT_EQ(p.Skipped(), c.skipped);
      EXPECT_FALSE(p.ModemStateSeen()) << "no row holds a whole modem state";
    }
  }
}

TEST(Rfc2217Protocol, ComPortStateFollowsTheServer) {
  Rfc2217Protocol agreed = Fresh();
  Decode(agreed, {IAC, DO, 44});
  EXPECT_EQ(agreed.ComPort(), OptionState::kOn);
  // Withdrawn later: acknowledged once.
  Decode(agreed, {IAC, DONT, 44, IAC, DONT, 44});
  EXPECT_EQ(agreed.ComPort(), OptionState::kRefused);
  EXPECT_EQ(Output(agreed), (Bytes{IAC, WONT, 44}));

  Rfc2217Protocol refused = Fresh();
  Decode(refused, {IAC, DONT, 44});
  EXPECT_EQ(refused.ComPort(), OptionState::kRefused);
  EXPECT_TRUE(Output(refused).empty());
}

// One step of a negotiation: a request of ours, or bytes from the server.
struct Ask {
  OptionSide side;
  uint8_t option;
  bool enable;
};
using Step = std::variant<Ask, Bytes>;

struct NegotiationCase {
  const char* name;
  std::vector<Step> steps;  // after the opening requests went out
  Bytes answer;             // everything queued meanwhile
  OptionSide side;          // the side checked at the end
  uint8_t option;
  bool enabled;
};

TEST(Rfc2217Protocol, NegotiationNeverAnswersAnAcknowledgementNorRepeatsARefusal) {
  using S = OptionSide;
  const NegotiationCase cases[] = {
      {"our request agreed: the agreement is not answered",
       {Bytes{IAC, WILL, 0, IAC, WILL, 0}},
       {},
       S::kServer,
       0,
       true},
      {"our request refused, then offered: stays off, unanswered",
       {Bytes{IAC, WONT, 0, IAC, WILL, 0}},
       {},
       S::kServer,
       0,
       false},
      {"withdrawn by the server: acknowledged once, never taken up again",
       {Bytes{IAC, WILL, 0, IAC, WONT, 0, IAC, WONT, 0, IAC, WILL, 0, IAC, WONT, 0}},
       {IAC, DONT, 0},
       S::kServer,
       0,
       false},
      {"our side withdrawn by the server: acknowledged once",
       {Bytes{IAC, DO, 3, IAC, DONT, 3, IAC, DO, 3}},
       {IAC, WONT, 3},
       S::kUs,
       3,
       false},
      {"unknown options are refused once each way",
       {Bytes{IAC, WILL, 24, IAC, DO, 24, IAC, WILL, 24, IAC, DO, 24}},
       {IAC, DONT, 24, IAC, WONT, 24},
       S::kServer,
       24,
       false},
      {"off wished while on is asked: queued, asked once the server agreed",
       {Ask{S::kServer, 0, false}, Bytes{IAC, WILL, 0}, Bytes{IAC, WONT, 0}},
       {IAC, DONT, 0},
       S::kServer,
       0,
       false},
      {"on wished again while off is asked: asked once the server agreed",
       {Bytes{IAC, WILL, 0}, Ask{S::kServer, 0, false}, Ask{S::kServer, 0, true},
        Bytes{IAC, WONT, 0}, Bytes{IAC, WILL, 0}},
       {IAC, DONT, 0, IAC, DO, 0},
       S::kServer,
       0,
       true},
      {"wish withdrawn while queued: nothing more asked",
       {Ask{S::kUs, 3, false}, Ask{S::kUs, 3, true}, Bytes{IAC, DO, 3}},
       {},
       S::kUs,
       3,
       true},
      {"our request to go off answered with on: settled off, unanswered",
       {Bytes{IAC, WILL, 0}, Ask{S::kServer, 0, false}, Bytes{IAC, WILL, 0, IAC, WILL, 0}},
       {IAC, DONT, 0},
       S::kServer,
       0,
       false},
  };
  for (const NegotiationCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rfc2217Protocol p = Fresh();
    for (const Step& step : c.steps) {
      if (const Ask* ask = std::get_if<Ask>(&step)) {
        p.Request(ask->side, ask->option, ask->enable);
      } else {
        EXPECT_TRUE(Decode(p, std::get<Bytes>(step)).empty());
      }
    }
    EXPECT_EQ(Output(p), c.answer);
    EXPECT_EQ(p.Enabled(c.side, c.option), c.enabled);
  }
}

TEST(Rfc2217Protocol, CountsTheBytesThatAreNotData) {
  Rfc2217Protocol p = Fresh();
  // Data with a doubled 0xFF, a NOP, a verb, a subnegotiation with a doubled
  // 0xFF inside.
  Decode(p, {0x41, IAC, IAC, IAC, 241, IAC, WILL, 0, IAC, SB, 44, 107, IAC, IAC, IAC, SE, 0x42});
  EXPECT_EQ(p.ProtocolBytes(), 2u + 3u + 8u);
}

TEST(Rfc2217Protocol, ServerRepliesAreRecorded) {
  Rfc2217Protocol p = Fresh();
  EXPECT_FALSE(p.Reply(ComPortCommand::kSetBaudRate).seen);
  // 65535 baud carries two 0xFF bytes, doubled on the wire.
  Decode(p, {IAC, SB, 44, 101, 0, 0, IAC, IAC, IAC, IAC, IAC, SE, IAC, SB, 44, 103, 3, IAC, SE});
  EXPECT_EQ(p.Reply(ComPortCommand::kSetBaudRate).value, 65535u);
  EXPECT_TRUE(p.Reply(ComPortCommand::kSetParity).seen);
  EXPECT_EQ(p.Reply(ComPortCommand::kSetParity).value, 3u);
  EXPECT_FALSE(p.ModemStateSeen());
  Decode(p, {IAC, SB, 44, 107, 0x31, IAC, SE});
  EXPECT_TRUE(p.ModemStateSeen());
  EXPECT_EQ(p.ModemState(), 0x31);
  // A new request forgets the old reply.
  ASSERT_TRUE(p.QueueRequest(ComPortCommand::kSetParity, 1, 1));
  EXPECT_FALSE(p.Reply(ComPortCommand::kSetParity).seen);
}

TEST(Rfc2217Protocol, RequestsAreFramedAndEscaped) {
  Rfc2217Protocol p = Fresh();
  ASSERT_TRUE(p.QueueRequest(ComPortCommand::kSetBaudRate, 9600, 4));
  ASSERT_TRUE(p.QueueRequest(ComPortCommand::kSetModemStateMask, 0xFF, 1));
  ASSERT_TRUE(p.QueueRequest(ComPortCommand::kNotifyModemState, 0, 0));
  EXPECT_EQ(Output(p), (Bytes{IAC, SB, 44, 1,  0,   0,   0x25, 0x80, IAC, SE,  //
                              IAC, SB, 44, 11, IAC, IAC, IAC,  SE,             //
                              IAC, SB, 44, 7,  IAC, SE}));
}

TEST(Rfc2217Protocol, DataIsEscapedAndTheQueueIsBounded) {
  Rfc2217Protocol p = Fresh();
  ASSERT_TRUE(p.QueueData(Bytes{0xFF, 0x30, 0xFF}.data(), 3));
  EXPECT_EQ(Output(p), (Bytes{IAC, IAC, 0x30, IAC, IAC}));
  const Bytes big(Rfc2217Protocol::kOutputCapacity, 0xFF);
  EXPECT_FALSE(p.QueueData(big.data(), big.size()));
  EXPECT_EQ(p.OutputSize(), 5u);  // all or nothing
}

struct DiscardCase {
  const char* name;
  size_t sentBefore;  // bytes of the output consumed before the discard
  Bytes left;         // what is still to be sent afterwards
};

TEST(Rfc2217Protocol, DiscardKeepsDoubledBytesWholeAndNegotiation) {
  // Output: escaped data FF 31 FF, then a request queued behind it.
  const Bytes request = {IAC, SB, 44, 12, 3, IAC, SE};
  const Bytes pairEndThenRequest = {IAC, IAC, SB, 44, 12, 3, IAC, SE};
  const DiscardCase cases[] = {
      {"nothing sent: the whole frame goes", 0, request},
      {"cut inside the first pair: its second byte stays", 1, pairEndThenRequest},
      {"cut after the first pair", 2, request},
      {"cut inside the last pair", 4, pairEndThenRequest},
      {"frame fully sent", 5, request},
      {"part of the request sent too", 7, Bytes(request.begin() + 2, request.end())},
  };
  for (const DiscardCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rfc2217Protocol p = Fresh();
    ASSERT_TRUE(p.QueueData(Bytes{0xFF, 0x31, 0xFF}.data(), 3));
    ASSERT_TRUE(p.QueueRequest(ComPortCommand::kPurgeData, 3, 1));
    p.Consume(c.sentBefore);
    p.DiscardUnsentData();
    EXPECT_EQ(Output(p), c.left);
  }
}

struct AddressCase {
  const char* text;
  bool valid;
  const char* host;
  const char* port;
  bool noModemLines;
  int timeoutMs;
};

TEST(Rfc2217Address, ParsesHostPortAndOptions) {
  const AddressCase cases[] = {
      {"rfc2217://127.0.0.1:2217", true, "127.0.0.1", "2217", false, kRfc2217DefaultTimeoutMs},
      {"rfc2217://localhost:7000/", true, "localhost", "7000", false, kRfc2217DefaultTimeoutMs},
      {"rfc2217://[::1]:7000?modem=none", true, "::1", "7000", true, kRfc2217DefaultTimeoutMs},
      {"rfc2217://h:1?timeout=250&modem=none", true, "h", "1", true, 250},
      {"rfc2217://::1:7000", false, "", "", false, 0},
      {"rfc2217://host", false, "", "", false, 0},
      {"rfc2217://:7000", false, "", "", false, 0},
      {"rfc2217://host:0", false, "", "", false, 0},
      {"rfc2217://host:65536", false, "", "", false, 0},
      {"rfc2217://host:12a", false, "", "", false, 0},
      {"rfc2217://host:1?modem=some", false, "", "", false, 0},
      {"rfc2217://host:1?timeout=0", false, "", "", false, 0},
      {"rfc2217://[::1:7000", false, "", "", false, 0},
      {"/dev/ttyS0", false, "", "", false, 0},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.text);
    Rfc2217Address a;
    ASSERT_EQ(ParseRfc2217Address(c.text, a), c.valid);
    if (c.valid) {
      EXPECT_STREQ(a.host, c.host);
      EXPECT_STREQ(a.port, c.port);
      EXPECT_EQ(a.noModemLines, c.noModemLines);
      EXPECT_EQ(a.timeoutMs, c.timeoutMs);
    }
  }
  Rfc2217Address a;
  const std::string longHost = "rfc2217://" + std::string(300, 'h') + ":1";
  EXPECT_FALSE(ParseRfc2217Address(longHost.c_str(), a));
  EXPECT_FALSE(ParseRfc2217Address(nullptr, a));
}

}  // namespace
}  // namespace qzlink
