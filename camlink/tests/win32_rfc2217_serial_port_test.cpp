// The Winsock network port against a small device server on loopback that
// reads the telnet stream with its own parser, so that one bug cannot hide in
// both ends of a test.
#include "camlink/win32_rfc2217_serial_port.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camlink/serial_port_selector.h"

namespace qzlink {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint8_t kIac = 255, kSb = 250, kSe = 240, kWill = 251, kDo = 253, kDont = 254;

struct Script {
  bool answer = true;          // false: accepts and never says a word
  bool refuseComPort = false;  // DONT COM-PORT-OPTION
  bool hangUp = false;         // closes the connection once negotiation is answered
  uint32_t baudReply = 0;      // nonzero: confirms this rate instead
};

class LoopbackServer {
 public:
  explicit LoopbackServer(Script script) : script_(script) {
    StartWinsock();
    listen_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(listen_, 2) == 0 &&
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    thread_.join();
    closesocket(listen_);
  }

  std::string Address(const char* options = "?modem=none") const {
    return "rfc2217://127.0.0.1:" + std::to_string(port_) + options;
  }
  // Data bytes the client sent, unescaped, and the raw stream.
  Bytes Data() {
    std::lock_guard lock(mutex_);
    return data_;
  }
  Bytes Raw() {
    std::lock_guard lock(mutex_);
    return raw_;
  }
  void Send(const Bytes& bytes) {
    std::lock_guard lock(mutex_);
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

 private:
  void Run() {
    SOCKET client = INVALID_SOCKET;
    while (!stop_) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(client != INVALID_SOCKET ? client : listen_, &set);
      timeval wait{0, 10000};
      if (select(0, &set, nullptr, nullptr, &wait) > 0) {
        if (client == INVALID_SOCKET) {
          client = accept(listen_, nullptr, nullptr);
        } else {
          char in[512];
          const int n = recv(client, in, sizeof in, 0);
          if (n <= 0) {
            closesocket(client);
            client = INVALID_SOCKET;
            continue;
          }
          std::lock_guard lock(mutex_);
          for (int i = 0; i < n; ++i) {
            Parse(static_cast<uint8_t>(in[i]));
          }
        }
      }
      std::lock_guard lock(mutex_);
      if (client != INVALID_SOCKET && !out_.empty()) {
        send(client, reinterpret_cast<const char*>(out_.data()), static_cast<int>(out_.size()), 0);
        out_.clear();
        if (script_.hangUp && answered_) {
          closesocket(client);
          client = INVALID_SOCKET;
        }
      }
    }
    if (client != INVALID_SOCKET) {
      closesocket(client);
    }
  }

  // The telnet stream, one byte at a time: data, verbs, subnegotiations.
  void Parse(uint8_t b) {
    raw_.push_back(b);
    if (!script_.answer) {
      return;
    }
    if (state_ == 0) {  // data
      if (b == kIac) {
        state_ = 1;
      } else {
        data_.push_back(b);
      }
    } else if (state_ == 1) {  // after IAC
      if (b == kIac) {
        data_.push_back(b);
        state_ = 0;
      } else {
        verb_ = b;
        state_ = b == kSb ? 3 : b >= kWill ? 2 : 0;
        sb_.clear();
      }
    } else if (state_ == 2) {  // the option of a verb
      if (verb_ == kWill) {
        Reply({kIac, b == 44 && script_.refuseComPort ? kDont : kDo, b});
        answered_ = true;
      } else if (verb_ == kDo) {
        Reply({kIac, kWill, b});
      }
      state_ = 0;
    } else if (state_ == 3) {  // inside a subnegotiation
      if (b == kIac) {
        state_ = 4;
      } else {
        sb_.push_back(b);
      }
    } else {  // IAC inside a subnegotiation
      if (b == kIac) {
        sb_.push_back(b);
        state_ = 3;
      } else {
        Answer();
        state_ = 0;
      }
    }
  }
  // A COM-PORT-OPTION request comes back as its acknowledgement.
  void Answer() {
    if (sb_.size() < 2 || sb_[0] != 44) {
      return;
    }
    Bytes reply = {kIac, kSb, 44, static_cast<uint8_t>(sb_[1] + 100)};
    Bytes value(sb_.begin() + 2, sb_.end());
    if (sb_[1] == 1 && script_.baudReply != 0) {
      const uint32_t v = script_.baudReply;
      value = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }
    for (uint8_t v : value) {
      reply.push_back(v);
      if (v == kIac) {
        reply.push_back(v);
      }
    }
    reply.insert(reply.end(), {kIac, kSe});
    Reply(reply);
  }
  void Reply(const Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

  Script script_;
  SOCKET listen_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  Bytes data_, raw_, out_, sb_;
  int state_ = 0;
  uint8_t verb_ = 0;
  bool answered_ = false;
};

// A free loopback port with nothing listening on it.
std::string RefusingAddress() {
  StartWinsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(s);
  // A long time-out: only a reported refusal ends the open early.
  return "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "?timeout=60000";
}

// Waits as the reader does, at most 5 s, then reads once.
int WaitAndRead(Win32Rfc2217SerialPort& port, uint8_t* data, size_t capacity) {
  HANDLE wake = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread guard([wake] {
    if (WaitForSingleObject(wake, 5000) == WAIT_TIMEOUT) {
      SetEvent(wake);  // the wait would have hung: end it, and the test fails
    }
  });
  const int ready = port.WaitForInput(wake);
  const int n = ready == 1 ? port.Read(data, capacity) : -1000;
  SetEvent(wake);
  guard.join();
  CloseHandle(wake);
  return n;
}

TEST(Win32Rfc2217Port, NegotiatesAndEscapesBothWaysAndDeliversAllAtClose) {
  LoopbackServer server(Script{});
  Win32Rfc2217SerialPort port;
  ASSERT_EQ(port.OpenAddress(server.Address().c_str()), 0);
  EXPECT_EQ(port.Configure(LineSettings{9600, 8, 0, 0}), 0);

  Bytes frame(900, 0x31);  // within the output queue, doubled 0xFFs and all
  frame[0] = 0xFF;
  frame[450] = 0xFF;
  frame.back() = 0xEF;
  ASSERT_EQ(port.Write(frame.data(), frame.size(), 2000), 0);
  size_t pending = 99;
  EXPECT_EQ(port.PendingOutput(&pending), 0);
  EXPECT_EQ(pending, 0u);

  server.Send({0xFE, kIac, kIac, 0x41, kIac, kDo, 0, 0xEF});  // FE FF 41 EF and a late verb
  Bytes got;
  while (got.size() < 4) {
    uint8_t chunk[64];
    const int n = WaitAndRead(port, chunk, sizeof chunk);
    ASSERT_GE(n, 0);
    got.insert(got.end(), chunk, chunk + n);
  }
  EXPECT_EQ(got, (Bytes{0xFE, 0xFF, 0x41, 0xEF}));

  port.Close();  // at once: what was reported sent still reaches the server
  for (int i = 0; i < 200 && server.Data().size() < frame.size(); ++i) {
    Sleep(10);
  }
  EXPECT_EQ(server.Data(), frame);
  const Bytes raw = server.Raw();
  const Bytes doubled = {kIac, kIac, 0x31};
  EXPECT_NE(std::search(raw.begin(), raw.end(), doubled.begin(), doubled.end()), raw.end())
      << "0xFF goes out doubled";
}

TEST(Win32Rfc2217Port, FailuresGiveWinsockCodes) {
  const struct {
    const char* name;
    Script script;
    const char* options;
    int open;
    int configure;
  } cases[] = {
      {"a silent server times out", {false}, "?timeout=200", WSAETIMEDOUT, 0},
      {"COM-PORT-OPTION refused", {true, true}, "", WSAEPROTONOSUPPORT, 0},
      {"another baud rate confirmed",
       {true, false, false, 4800},
       "?modem=none",
       0,
       kSystemInvalidArgument},
  };
  for (const auto& c : cases) {
    LoopbackServer server(c.script);
    Win32Rfc2217SerialPort port;
    EXPECT_EQ(port.OpenAddress(server.Address(c.options).c_str()), c.open) << c.name;
    EXPECT_EQ(port.IsOpen(), c.open == 0) << c.name;
    if (c.open == 0) {
      EXPECT_EQ(port.Configure(LineSettings{9600, 8, 0, 0}), c.configure) << c.name;
    }
  }
  Win32Rfc2217SerialPort port;
  EXPECT_EQ(port.OpenAddress(RefusingAddress().c_str()), WSAECONNREFUSED);
  EXPECT_EQ(port.OpenAddress("rfc2217://127.0.0.1"), kSystemInvalidArgument);
}

// Whichever thread sees the hang-up first, the reader's wait ends with it.
TEST(Win32Rfc2217Port, HangUpWakesTheReaderWithAnError) {
  for (const bool clientSeesItFirst : {false, true}) {
    LoopbackServer server(Script{true, false, true});
    Win32Rfc2217SerialPort port;
    ASSERT_EQ(port.OpenAddress(server.Address().c_str()), 0);
    if (clientSeesItFirst) {
      EXPECT_EQ(port.Configure(LineSettings{9600, 8, 0, 0}), WSAECONNRESET);
    }
    uint8_t byte = 0;
    int n = 0;
    for (int i = 0; i < 10 && n == 0; ++i) {
      n = WaitAndRead(port, &byte, 1);
    }
    EXPECT_EQ(n, -WSAECONNRESET) << clientSeesItFirst;
    EXPECT_EQ(port.Write(&byte, 1, 100), WSAECONNRESET) << clientSeesItFirst;
  }
}

TEST(Win32Rfc2217Port, ClosedPortFailsEveryCallCleanly) {
  Win32Rfc2217SerialPort port;
  uint8_t byte = 0;
  size_t pending = 1;
  uint32_t status = 7;
  EXPECT_EQ(port.Write(&byte, 1, 10), kSystemBadHandle);
  EXPECT_EQ(port.Read(&byte, 1), -kSystemBadHandle);
  EXPECT_EQ(port.PendingOutput(&pending), kSystemBadHandle);
  EXPECT_EQ(port.ReadModemStatus(&status), kSystemBadHandle);
  EXPECT_EQ(status, 7u);
  EXPECT_EQ(port.WaitForInput(nullptr), 0);
  port.SetControlLines(true);
  port.Purge();
}

TEST(Win32Rfc2217Port, SelectorOpensAMappedAddressOverTheNetwork) {
  LoopbackServer server(Script{});
  // COM31 is mapped to a path of the test run; the variable takes precedence.
  const std::string mapping = "QZLINK_COM31=" + server.Address();
  ASSERT_EQ(_putenv(mapping.c_str()), 0);
  SerialPortSelector selector;
  EXPECT_EQ(selector.Open(31), 0);
  uint32_t status = 0;
  EXPECT_EQ(selector.ReadModemStatus(&status), 0);
  EXPECT_EQ(status, kModemCts);  // modem=none
  selector.Close();
  _putenv("QZLINK_COM31=");
}

}  // namespace
}  // namespace qzlink
