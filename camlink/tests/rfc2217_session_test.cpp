// The library over a network port (QZLINK_COM1=rfc2217://...) against a
// scripted device server on the loopback interface: the open sequence as
// requests, traffic both ways, the modem state, every fault an open or a
// session can meet, and servers that flood the connection with negotiation.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "camlink/qzlink.h"
#include "camlink/tests/scripted_rfc2217_server.h"
#include "testsupport/link_test_support.h"

namespace qzlink {
namespace {

using testing::Bytes;
using testing::CountProcEntries;
using testing::PumpFor;
using testing::PumpUntil;
using testing::ScriptedRfc2217Server;
using testing::ServerScript;
using Request = ScriptedRfc2217Server::Request;
using Clock = std::chrono::steady_clock;

class Rfc2217SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    current_ = this;
    window_ = QzCreateMessageWindow(&Rfc2217SessionTest::Proc);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    QzClose();
    DestroyWindow(window_);
    unsetenv("QZLINK_COM1");
    current_ = nullptr;
  }

  static void UseAddress(const std::string& address) { setenv("QZLINK_COM1", address.c_str(), 1); }
  int32_t Open(int32_t baud = 9600, int32_t byteSize = 8, int32_t parity = 0,
               int32_t stopBits = 0) {
    return QzOpen(window_, 1, baud, byteSize, parity, stopBits);
  }
  static std::pair<int32_t, int32_t> LastError() {
    int32_t systemCode = 0;
    const int32_t code = QzGetLastError(&systemCode);
    return {code, systemCode};
  }

  static LRESULT Proc(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message == AckRxMessage || message == NotifyRxMessage) {
      uint8_t buffer[40];
      const int32_t length = QzGetMsg(static_cast<int32_t>(lParam), buffer);
      current_->frames_.emplace_back(buffer, buffer + length);
    }
    return 0;
  }

  static inline Rfc2217SessionTest* current_ = nullptr;
  HWND window_ = nullptr;
  std::vector<Bytes> frames_;
};

TEST_F(Rfc2217SessionTest, OpenSetsTheLineConfirmsItAndRaisesTheLines) {
  struct Case {
    const char* name;
    ServerScript script;
    const char* options;
    int32_t baud, byteSize, parity, stopBits;
    uint32_t rfcParity, rfcStopSize;
  };
  // As a server in front of a pseudo-terminal: every line low, DTR/RTS
  // changes unacknowledged.
  const ServerScript noModemLines{.acknowledgeControl = false, .modemState = 0};
  const Case cases[] = {
      {"9600 8N1", {}, "", 9600, 8, 0, 0, 1, 1},
      {"14400 7E2", {}, "", 14400, 7, 2, 2, 3, 2},
      {"19200 8O1.5", {}, "", 19200, 8, 1, 1, 2, 3},
      {"38400 5S1", {}, "", 38400, 5, 4, 0, 5, 1},
      {"far side without modem lines", noModemLines, "?modem=none", 9600, 8, 0, 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool modemLines = c.options[0] == '\0';
    ScriptedRfc2217Server server(c.script);
    UseAddress(server.Address(c.options));
    const auto start = Clock::now();
    ASSERT_EQ(Open(c.baud, c.byteSize, c.parity, c.stopBits), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(QzGetStatus(), 0x10);
    ASSERT_EQ(QzSetCascade(0, 1), 1);
    QzClose();
    ASSERT_TRUE(PumpUntil([&] { return !server.ClientConnected(); }));
    // Mask and modem state first (the CTS check) unless the far side has no
    // modem lines, then the settings, the purge, DTR and RTS up; at close DTR
    // and RTS down. Flow control is hardware, or none without modem lines.
    std::vector<Request> expected;
    if (modemLines) {
      expected = {{11, 0xFF}, {7, 0}};
    }
    expected.insert(expected.end(), {{1, static_cast<uint32_t>(c.baud)},
                                     {2, static_cast<uint32_t>(c.byteSize)},
                                     {3, c.rfcParity},
                                     {4, c.rfcStopSize},
                                     {5, modemLines ? 3u : 1u},
                                     {12, 1},
                                     {5, 8},
                                     {5, 11},
                                     {5, 9},
                                     {5, 12}});
    EXPECT_EQ(server.Requests(), expected);
  }
}

TEST_F(Rfc2217SessionTest, FramesTravelBothWaysAndTheModemStateFollowsTheServer) {
  ScriptedRfc2217Server server({});
  UseAddress(server.Address());
  ASSERT_EQ(Open(), 1);
  ASSERT_EQ(QzSetCascade(0, 1), 1);
  // A manual command with 0xFF in it goes out escaped, arrives whole.
  const uint8_t manual[] = {0xFF, 0x30, 0x31, 0x00, 0xFF, 0xEF};
  ASSERT_EQ(QzSetManualCommand(manual, sizeof manual), 1);
  const Bytes sent = {0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF, 0xFF, 0x30, 0x31, 0x00, 0xFF, 0xEF};
  ASSERT_TRUE(PumpUntil([&] { return server.Data() == sent; }));

  // Two answers in one segment, one of them with 0xFF in it, a notification
  // split over two.
  server.SendData({0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF, 0xFE, 0xFF, 0xEF, 0xFB});
  server.SendData({0x31, 0xEF});
  ASSERT_TRUE(PumpUntil([&] { return frames_.size() == 3; }));
  EXPECT_EQ(frames_[0], (Bytes{0xFE, 0x30, 0x31, 0x30, 0x30, 0xEF}));
  EXPECT_EQ(frames_[1], (Bytes{0xFE, 0xFF, 0xEF}));
  EXPECT_EQ(frames_[2], (Bytes{0xFB, 0x31, 0xEF}));

  EXPECT_EQ(QzGetStatus(), 0x10);
  server.SendModemState(0x01);  // CTS dropped
  EXPECT_TRUE(PumpUntil([] { return QzGetStatus() == 0; }));
  server.SendModemState(0x31);
  EXPECT_TRUE(PumpUntil([] { return QzGetStatus() == 0x30; }));
}

// A free loopback port with nothing listening.
std::string RefusingAddress() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

TEST_F(Rfc2217SessionTest, FailedOpensGiveTheSystemCodeWithinTheirBound) {
  struct Case {
    const char* name;
    std::optional<ServerScript> script;  // none: `address` as it stands
    std::string address;                 // with a server: the options
    std::set<int32_t> systemCodes;
  };
  const std::string refused = RefusingAddress();
  ASSERT_NE(refused, "rfc2217://127.0.0.1:0");
  // A name that cannot resolve fails as unknown, or as timed out where the
  // resolver cannot be reached; never later than its bound.
  const Case cases[] = {
      {"server never answers negotiation",
       ServerScript{.answerNegotiation = false},
       "?timeout=300",
       {ETIMEDOUT}},
      {"server refuses COM-PORT-OPTION",
       ServerScript{.refuseComPort = true},
       "",
       {EPROTONOSUPPORT}},
      {"camera does not assert CTS", ServerScript{.modemState = 0x20}, "", {ENODEV}},
      {"server sets another speed", ServerScript{.baudReply = 4800}, "", {EINVAL}},
      {"server confirms no setting",
       ServerScript{.acknowledgeSettings = false},
       "?timeout=300",
       {ETIMEDOUT}},
      {"server reports no modem state",
       ServerScript{.reportModemState = false},
       "?timeout=300",
       {ETIMEDOUT}},
      {"nothing listening", std::nullopt, refused, {ECONNREFUSED}},
      {"unknown host",
       std::nullopt,
       "rfc2217://no-such-host.invalid:2217?timeout=1000",
       {ENXIO, ETIMEDOUT, EAGAIN}},
      {"no port", std::nullopt, "rfc2217://127.0.0.1", {EINVAL}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ScriptedRfc2217Server> server;
    if (c.script) {
      server = std::make_unique<ScriptedRfc2217Server>(*c.script);
    }
    UseAddress(server ? server->Address(c.address.c_str()) : c.address);
    const auto start = Clock::now();
    EXPECT_EQ(Open(), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(server ? 3000 : 2500));
    const auto [code, systemCode] = LastError();
    EXPECT_EQ(code, ERR_SYSTEM);
    EXPECT_TRUE(c.systemCodes.count(systemCode)) << systemCode;
    if (server) {
      // The connection is gone again: the server sees the client leave.
      EXPECT_TRUE(PumpUntil([&] { return !server->ClientConnected(); }));
    }
  }
}

TEST_F(Rfc2217SessionTest, WriteTimeOutWhileTheServerHoldsBackKeepsTheStreamWhole) {
  ScriptedRfc2217Server server({});
  UseAddress(server.Address());
  ASSERT_EQ(Open(), 1);
  // 0xFF bytes travel doubled; a cut between the two would corrupt the
  // stream for good.
  uint8_t manual[50];
  for (size_t i = 0; i < sizeof manual; ++i) {
    manual[i] = i % 3 == 0 ? 0xFF : static_cast<uint8_t>(0x30 + i % 10);
  }
  manual[sizeof manual - 1] = 0xEF;
  server.PauseReading(true);
  size_t sent = 0;
  while (sent < 100000 && QzSetManualCommand(manual, sizeof manual) == 1) {
    ++sent;
  }
  const auto [code, systemCode] = LastError();
  EXPECT_EQ(code, ERR_SYSTEM);
  EXPECT_EQ(systemCode, ETIMEDOUT);
  server.PauseReading(false);
  ASSERT_EQ(QzSetManualCommand(manual, sizeof manual), 1);

  // Every frame reported as sent, then what the connection had taken of the
  // one that timed out, then the frame after it.
  const Bytes frame(manual, manual + sizeof manual);
  ASSERT_TRUE(PumpUntil([&] {
    const Bytes data = server.Data();
    return data.size() >= (sent + 1) * frame.size() &&
           Bytes(data.end() - static_cast<long>(frame.size()), data.end()) == frame;
  }));
  const Bytes data = server.Data();
  const size_t partial = data.size() - (sent + 1) * frame.size();
  ASSERT_LE(partial, frame.size());
  Bytes expected;
  for (size_t i = 0; i < sent; ++i) {
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
  expected.insert(expected.end(), frame.begin(), frame.begin() + static_cast<long>(partial));
  expected.insert(expected.end(), frame.begin(), frame.end());
  EXPECT_TRUE(data == expected) << "the stream differs from the frames reported as sent";
}

TEST_F(Rfc2217SessionTest, DroppedConnectionFailsCommandsAndTheSessionReopens) {
  ScriptedRfc2217Server server({});
  UseAddress(server.Address());
  const int threadsAtRest = CountProcEntries("task");
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(QzGetLinkState(), 1);
  server.Drop();
  // The reader sees the end and stops; the next command fails with the code.
  ASSERT_TRUE(PumpUntil([] { return QzGetLinkState() < 0; }));
  EXPECT_EQ(QzGetLinkState(), -ECONNRESET);
  EXPECT_EQ(QzSetCascade(0, 1), 0);
  const auto [code, systemCode] = LastError();
  EXPECT_EQ(code, ERR_SYSTEM);
  EXPECT_TRUE(systemCode == ECONNRESET || systemCode == EPIPE) << systemCode;
  EXPECT_EQ(QzClose(), 1);
  EXPECT_EQ(QzGetLinkState(), 0);
  EXPECT_EQ(CountProcEntries("task"), threadsAtRest);
  // The server is back: the same port opens again and works.
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(server.Connections(), 2);
  ASSERT_EQ(QzSetCascade(0, 1), 1);
  EXPECT_TRUE(PumpUntil([&] { return server.Data().size() == 7; }));
}

// A server that negotiates as ClassicTelnetPeer sends a burst of WILL/WONT
// once: the library answers each option at most once, the exchange ends, and
// the session goes on working.
TEST_F(Rfc2217SessionTest, ANegotiationBurstGetsAtMostOneAnswerPerOption) {
  ServerScript script;
  script.classicNegotiation = true;
  ScriptedRfc2217Server server(script);
  UseAddress(server.Address());
  ASSERT_EQ(Open(), 1);
  PumpFor(100);
  const size_t before = server.Negotiations().size();
  server.SendRaw(testing::NegotiationBurst());
  PumpFor(500);
  const auto negotiations = server.Negotiations();
  std::map<uint8_t, int> answers;
  for (size_t i = before; i < negotiations.size(); ++i) {
    ++answers[negotiations[i].second];
  }
  for (const auto& [option, count] : answers) {
    EXPECT_LE(count, 1) << "answers for option " << int(option);
  }
  ASSERT_EQ(QzSetCascade(0, 1), 1);
  EXPECT_TRUE(PumpUntil([&] { return server.Data().size() == 7; }));
  server.SendData({0xFE, 0x30, 0x30, 0xEF});
  EXPECT_TRUE(PumpUntil([&] { return frames_.size() == 1; }));
}

struct FloodCase {
  const char* name;
  Bytes prefix;
  Bytes pattern;
};

// A server that sends nothing but negotiation, endlessly: a command keeps its
// write bound and QzClose its close bound while it lasts, the reader stays
// nearly idle, and after a second of it the connection is dropped and
// reported as ECONNRESET, as a server that vanished.
TEST_F(Rfc2217SessionTest, NegotiationFloodsKeepEveryCallInItsBoundAndEndTheConnection) {
  constexpr uint8_t IAC = 255, SB = 250, NOP = 241, WILL = 251, WONT = 252;
  const FloodCase cases[] = {
      {"an endless subnegotiation", {IAC, SB, 44, 107}, {0x10}},
      {"a flood of NOPs", {}, {IAC, NOP}},
      {"a WILL/WONT storm",
       {},
       {IAC, WILL, 24, IAC, WONT, 24, IAC, WILL, 0, IAC, WONT, 0, IAC, WILL, 3, IAC, WONT, 3}},
  };
  constexpr size_t kFloodOn = 64 * 1024;
  for (const FloodCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedRfc2217Server server({});
    UseAddress(server.Address());

    ASSERT_EQ(Open(), 1);
    server.Flood(c.prefix, c.pattern, 3000);
    ASSERT_TRUE(PumpUntil([&] { return server.FloodBytes() > kFloodOn; }));
    auto start = Clock::now();
    QzGetZoomPosition(1);  // 6 bytes: a write bound of 12 ms at 9600 baud
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(250));
    start = Clock::now();
    EXPECT_EQ(QzClose(), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500)) << "close bound 0.7 s";

    ASSERT_EQ(Open(), 1);
    server.Flood(c.prefix, c.pattern, 5000);
    start = Clock::now();
    ASSERT_TRUE(PumpUntil([&] { return server.FloodBytes() > kFloodOn; }));
    const int64_t cpuBefore = testing::ThreadCpuMs("qzlink-reader");
    PumpFor(500);
    const int64_t cpuAfter = testing::ThreadCpuMs("qzlink-reader");
    ASSERT_GE(cpuBefore, 0);
    ASSERT_GE(cpuAfter, 0) << "the reader ended early";
    EXPECT_LT(cpuAfter - cpuBefore, 100) << "ms of processor time in 500 ms";
    ASSERT_TRUE(PumpUntil([] { return LastError().first == ERR_SYSTEM; }, 3000));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500)) << "dropped after 1 s";
    EXPECT_EQ(LastError(), std::make_pair(int32_t{ERR_SYSTEM}, int32_t{ECONNRESET}));
    EXPECT_EQ(QzGetLinkState(), -ECONNRESET);
    EXPECT_EQ(QzGetZoomPosition(1), 0);
    EXPECT_EQ(LastError(), std::make_pair(int32_t{ERR_SYSTEM}, int32_t{ECONNRESET}));
    start = Clock::now();
    EXPECT_EQ(QzClose(), 1);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  }
}

}  // namespace
}  // namespace qzlink
