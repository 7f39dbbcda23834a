// The shared RFC 2217 connection over a scripted socket edge: it reports the
// edge's own error codes (not errno's), closes again after a failed open, and
// gives a write cut short by its time-out the session's code.
#include "camlink/rfc2217_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "camlink/rfc2217_protocol.h"

namespace qzlink {
namespace {

// Codes no system uses, so that a test sees whose code came back.
constexpr Rfc2217ErrorCodes kCodes{9001, 9002, 9003, 9004, 9005};
constexpr int kConnectFailure = 9100;

class ScriptedEdgePort final : public Rfc2217Connection {
 public:
  // What the server sends once; then, with hangUp, it closes the connection.
  std::vector<uint8_t> serverBytes;
  bool hangUp = false;
  int connectError = 0;
  bool sendBlocked = false;

  ScriptedEdgePort() : Rfc2217Connection(kCodes) {}
  ~ScriptedEdgePort() override { Close(); }

  int Open(int32_t) override { return kSystemInvalidArgument; }
  int OpenAt(const std::string& target) {
    Close();
    return OpenTarget(target.c_str());
  }
  int ReadableFd() const override { return -1; }

 private:
  bool SocketOpen() const override { return open_; }
  int ConnectSocket(const addrinfo&, Deadline) override {
    open_ = connectError == 0;
    return connectError;
  }
  int WatchSocket() override { return 0; }
  int SendSome(const uint8_t*, size_t size, size_t* sent) override {
    *sent = sendBlocked ? 0 : size;
    return 0;
  }
  int ReceiveSome(uint8_t* data, size_t size, size_t* received) override {
    *received = 0;
    if (!serverBytes.empty()) {
      const size_t n = serverBytes.size() < size ? serverBytes.size() : size;
      std::copy(serverBytes.begin(), serverBytes.begin() + static_cast<long>(n), data);
      serverBytes.erase(serverBytes.begin(), serverBytes.begin() + static_cast<long>(n));
      *received = n;
      return 0;
    }
    return hangUp ? kCodes.connectionReset : 0;
  }
  void WaitSocket(Lock& lock, SocketWait, int) override {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.lock();
  }
  size_t UnsentBytes() override { return 0; }
  void ShutdownSocket(bool) override {}
  void CloseSocket() override { open_ = false; }
  void SignalData(bool) override {}
  void SetPaced(bool) override {}
  bool PacedReceiveDue() override { return true; }

  bool open_ = false;
};

using telnet::kDo;
using telnet::kDont;
using telnet::kIac;
using telnet::kOptionComPort;

const std::vector<uint8_t> kAgrees{kIac, kDo, kOptionComPort};
const char kTarget[] = "rfc2217://127.0.0.1:2217?modem=none&timeout=100";

struct OpenCase {
  const char* name;
  const char* target;
  std::vector<uint8_t> serverBytes;
  bool hangUp;
  int connectError;
  int expected;
};

TEST(Rfc2217Connection, FailedOpensGiveTheEdgesCodesAndLeaveThePortClosed) {
  const OpenCase cases[] = {
      {"agreed", kTarget, kAgrees, false, 0, 0},
      {"malformed address", "rfc2217://127.0.0.1", kAgrees, false, 0, kSystemInvalidArgument},
      {"connect fails", kTarget, kAgrees, false, kConnectFailure, kConnectFailure},
      {"option refused",
       kTarget,
       {kIac, kDont, kOptionComPort},
       false,
       0,
       kCodes.protocolUnsupported},
      {"silent server", kTarget, {}, false, 0, kCodes.timedOut},
      {"server hangs up", kTarget, {}, true, 0, kCodes.connectionReset},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedEdgePort port;
    port.serverBytes = c.serverBytes;
    port.hangUp = c.hangUp;
    port.connectError = c.connectError;
    EXPECT_EQ(port.OpenAt(c.target), c.expected);
    EXPECT_EQ(port.IsOpen(), c.expected == 0);
  }
}

TEST(Rfc2217Connection, AWriteCutShortGivesTheSessionsCodeAndAHangUpFailsWhatFollows) {
  ScriptedEdgePort port;
  port.serverBytes = kAgrees;
  ASSERT_EQ(port.OpenAt(kTarget), 0);
  const uint8_t frame[] = {0x81, 0x01, 0xFF, 0xFF};

  port.sendBlocked = true;
  EXPECT_EQ(port.Write(frame, sizeof frame, 30), kSystemTimedOut);
  size_t pending = 0;
  ASSERT_EQ(port.PendingOutput(&pending), 0);
  EXPECT_GT(pending, 0u);
  port.DiscardOutput();
  ASSERT_EQ(port.PendingOutput(&pending), 0);
  EXPECT_EQ(pending, 0u);

  port.sendBlocked = false;
  port.hangUp = true;
  uint8_t data[16];
  EXPECT_EQ(port.Read(data, sizeof data), -kCodes.connectionReset);
  EXPECT_EQ(port.Write(frame, sizeof frame, 30), kCodes.connectionReset);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Write(frame, sizeof frame, 30), kSystemBadHandle);
}

}  // namespace
}  // namespace qzlink
