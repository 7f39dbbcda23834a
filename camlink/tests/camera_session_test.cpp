// The session's bookkeeping against a fake serial port: open and close
// sequence, failure codes, write time-outs, manual commands and the last
// command.
#include "camlink/camera_session.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace qzlink {
namespace {

using Bytes = std::vector<uint8_t>;

class FakeSerialPort final : public SerialPort {
 public:
  FakeSerialPort() : readable_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~FakeSerialPort() override { ::close(readable_); }

  int Open(int32_t) override {
    log += "open ";
    open_ = openError == 0;
    return openError;
  }
  int Configure(const LineSettings&) override {
    log += "configure ";
    return configureError;
  }
  void Close() override {
    if (open_) {
      log += "close ";
    }
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  int ReadableFd() const override { return open_ ? readable_ : -1; }
  int Read(uint8_t*, size_t) override {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(readable_, &count, sizeof count);
    return -readError.load();
  }
  int Write(const uint8_t* data, size_t length, int timeoutMs) override {
    if (!open_) {
      return EBADF;
    }
    writes.emplace_back(data, data + length);
    timeouts.push_back(timeoutMs);
    if (writeError == 0) {
      Transmit();
      queue.insert(queue.end(), data, data + length);
    }
    return writeError;
  }
  int PendingOutput(size_t* count) override {
    Transmit();
    *count = queue.size();
    return 0;
  }
  void DiscardOutput() override {
    Transmit();
    queue.clear();
    log += "discard ";
  }
  int ReadModemStatus(uint32_t* status) override {
    if (modemError == 0) {
      *status = modemStatus;
    }
    return modemError;
  }
  void SetControlLines(bool raised) override {
    if (open_) {
      log += raised ? "raise " : "drop ";
    }
  }
  void Purge() override {
    if (open_) {
      log += "purge ";
    }
  }

  // The line takes bytesPerMs from the queue as time passes (0: the camera
  // holds CTS low and nothing leaves).
  void SetLineRate(double bytesPerMs) {
    Transmit();
    bytesPerMs_ = bytesPerMs;
  }

  // Makes the reader wake and find the device failed.
  void FailLine(int error) {
    readError = error;
    const uint64_t one = 1;
    ASSERT_EQ(::write(readable_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  }

  int openError = 0;
  int modemError = 0;
  uint32_t modemStatus = kModemCts;
  int writeError = 0;
  std::atomic<int> readError{0};
  std::string log;
  std::vector<Bytes> writes;
  std::vector<int> timeouts;
  int configureError = 0;
  std::deque<uint8_t> queue;  // written, not yet on the line
  Bytes line;                 // what left, in order

 private:
  // Moves the bytes that the line has taken since the last call.
  void Transmit() {
    const auto now = std::chrono::steady_clock::now();
    credit_ += bytesPerMs_ * std::chrono::duration<double, std::milli>(now - lastTransmit_).count();
    lastTransmit_ = now;
    while (credit_ >= 1.0 && !queue.empty()) {
      line.push_back(queue.front());
      queue.pop_front();
      credit_ -= 1.0;
    }
    if (queue.empty()) {
      credit_ = 0;
    }
  }

  double bytesPerMs_ = 1e9;  // instant unless a test slows it
  double credit_ = 0;
  std::chrono::steady_clock::time_point lastTransmit_ = std::chrono::steady_clock::now();
  int readable_;
  bool open_ = false;
};

const LineSettings k9600{9600, 8, 0, 0};

class CameraSessionTest : public ::testing::Test {
 protected:
  void TearDown() override { session_.Close(); }
  int32_t Open(int32_t port = 1, LineSettings settings = k9600) {
    return session_.Open(nullptr, port, settings);
  }

  FakeSerialPort port_;
  CameraSession session_{port_};
};

struct OpenFailureCase {
  const char* name;
  int32_t port;
  int32_t baud;
  int openError;
  int modemError;
  uint32_t modemStatus;
  int32_t expectedCode;
  uint32_t expectedSystemCode;
  const char* expectedLog;  // what happened to the device
};

TEST_F(CameraSessionTest, OpenFailuresLeaveThePortClosedWithTheirCodes) {
  const OpenFailureCase cases[] = {
      {"unsupported baud", 1, 4800, 0, 0, kModemCts, kErrBaudRate, 0, ""},
      {"port 10", 10, 9600, 0, 0, kModemCts, kErrPortBusy, 0, ""},
      {"device refused", 1, 9600, EACCES, 0, kModemCts, kErrSystem, EACCES, "open "},
      {"no CTS", 1, 9600, 0, 0, kModemDsr, kErrSystem, ENODEV, "open close "},
      {"modem lines unreadable", 1, 19200, 0, EIO, kModemCts, kErrSystem, EIO, "open close "},
      {"settings not taken", 1, 9600, 0, 0, kModemCts, kErrSystem, EINVAL, "open configure close "},
  };
  for (const OpenFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    port_.log.clear();
    port_.openError = c.openError;
    port_.modemError = c.modemError;
    port_.modemStatus = c.modemStatus;
    port_.configureError = std::string(c.name) == "settings not taken" ? EINVAL : 0;
    EXPECT_EQ(Open(c.port, LineSettings{c.baud, 8, 0, 0}), 0);
    EXPECT_EQ(session_.LastError().code, c.expectedCode);
    EXPECT_EQ(session_.LastError().systemCode, c.expectedSystemCode);
    EXPECT_EQ(port_.log, c.expectedLog);
    EXPECT_FALSE(session_.Connected());
    EXPECT_FALSE(port_.IsOpen());
  }
  // Nothing was left marked in use: a good open now succeeds.
  port_.openError = port_.modemError = port_.configureError = 0;
  port_.modemStatus = kModemCts;
  EXPECT_EQ(Open(), 1);
}

TEST_F(CameraSessionTest, OpenAndCloseDriveTheLinesAndThePortTable) {
  ASSERT_EQ(Open(3), 1);
  EXPECT_EQ(port_.log, "open configure purge raise ");
  EXPECT_TRUE(session_.Connected());
  EXPECT_EQ(session_.IsPortInUse(3), 1);
  EXPECT_EQ(session_.IsPortInUse(2), 0);

  EXPECT_EQ(Open(2), 0) << "a second open while one is open";
  EXPECT_EQ(session_.LastError().code, kErrPortBusy);
  EXPECT_TRUE(session_.Connected());

  port_.log.clear();
  session_.Close();
  EXPECT_EQ(port_.log, "drop close ") << "closing discards nothing reported as sent";
  EXPECT_FALSE(session_.Connected());
  EXPECT_EQ(session_.IsPortInUse(3), 0);
  EXPECT_EQ(session_.IsPortInUse(0), 1) << "port 0 is never available";
  EXPECT_EQ(Open(3), 1) << "the same port again";
}

TEST_F(CameraSessionTest, WriteTimeOutIsMillisecondsPerByteOfTheBaudRate) {
  const struct {
    int32_t baud;
    int expectedFor7Bytes;
  } cases[] = {{9600, 14}, {14400, 7}, {19200, 7}, {38400, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    ASSERT_EQ(Open(1, LineSettings{c.baud, 8, 0, 0}), 1);
    ASSERT_EQ(session_.SendTemplate(2, 1), 1);  // FF 30 31 00 A0 30 EF
    EXPECT_EQ(port_.timeouts.back(), c.expectedFor7Bytes);
    session_.Close();
  }
}

TEST_F(CameraSessionTest, FailedWritesReportTheSystemCode) {
  EXPECT_EQ(session_.SendTemplate(2, 1), 0) << "no session open";
  EXPECT_EQ(session_.LastError().code, kErrSystem);
  EXPECT_EQ(session_.LastError().systemCode, static_cast<uint32_t>(EBADF));

  ASSERT_EQ(Open(), 1);
  port_.writeError = ETIMEDOUT;  // the time-out cut the frame short
  EXPECT_EQ(session_.SendTemplate(2, 1), 0);
  EXPECT_EQ(session_.LastError().systemCode, static_cast<uint32_t>(ETIMEDOUT));

  EXPECT_EQ(session_.SendBuilt(1, 1), 0) << "unknown identifier";
  EXPECT_EQ(session_.LastError().code, kErrSystem) << "QzSendCmd leaves the error alone";
  EXPECT_EQ(session_.SendTemplate(1, 1), 0);
  EXPECT_EQ(session_.LastError().code, kErrNone) << "the command path clears it";

  port_.writeError = 0;
  EXPECT_EQ(session_.SendTemplate(2, 1), 1);
  EXPECT_EQ(session_.LastError().code, kErrNone);
}

TEST_F(CameraSessionTest, AfterADeviceFailureTheReaderStopsAndWritesFail) {
  ASSERT_EQ(Open(), 1);
  port_.FailLine(EIO);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (session_.LastError().code != kErrSystem && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(session_.LastError().systemCode, static_cast<uint32_t>(EIO));
  EXPECT_TRUE(session_.Connected()) << "open until QzClose";

  const size_t writesBefore = port_.writes.size();
  EXPECT_EQ(session_.SendTemplate(2, 1), 0) << "although the device would take it";
  EXPECT_EQ(session_.LastError().systemCode, static_cast<uint32_t>(EIO));
  EXPECT_EQ(port_.writes.size(), writesBefore);

  session_.Close();
  port_.readError = 0;
  ASSERT_EQ(Open(), 1);
  EXPECT_EQ(session_.SendTemplate(2, 1), 1) << "a new session starts clean";
}

TEST_F(CameraSessionTest, ManualCommands) {
  ASSERT_EQ(Open(), 1);
  const Bytes five{0xFF, 0x30, 0x31, 0x00, 0xEF};
  const Bytes fifty(kCommandBufferSize, 0x41);
  const Bytes fiftyOne(kCommandBufferSize + 1, 0x42);

  EXPECT_EQ(session_.SendManualCommand(nullptr, 5), 0);
  EXPECT_EQ(session_.SendManualCommand(five.data(), 0), 0);
  EXPECT_TRUE(port_.writes.empty());

  EXPECT_EQ(session_.SendManualCommand(five.data(), 5), 1);
  EXPECT_EQ(port_.writes.back(), five);
  EXPECT_EQ(session_.LastCommandLength(), 5);
  EXPECT_EQ(session_.SendManualCommand(fifty.data(), 50), 1);
  EXPECT_EQ(session_.LastCommandLength(), 50);

  session_.SetError(kErrSystem, EIO);
  EXPECT_EQ(session_.SendManualCommand(fiftyOne.data(), 51), 0) << "longer than the buffer";
  EXPECT_EQ(session_.LastError().code, kErrNone);
  EXPECT_EQ(port_.writes.size(), 2u);
  EXPECT_EQ(session_.LastCommandLength(), 50);
  EXPECT_EQ(Bytes(session_.CommandBuffer(), session_.CommandBuffer() + 50), fifty);
}

TEST_F(CameraSessionTest, LastCommandFallsBackToTheManualLengthAfterAFailedLookup) {
  ASSERT_EQ(Open(), 1);
  const Bytes manual{1, 2, 3, 4, 5};
  ASSERT_EQ(session_.SendManualCommand(manual.data(), 5), 1);
  session_.SetParameter(0, 60);
  ASSERT_EQ(session_.SendTemplate(16, 1), 1);
  EXPECT_EQ(session_.LastCommandLength(), 8);
  EXPECT_EQ(session_.SendTemplate(197, 1), 0);
  EXPECT_EQ(session_.LastCommandLength(), 5);
  const Bytes zoom60{0xFF, 0x30, 0x31, 0x00, 0xA3, 0x33, 0x43, 0xEF};
  EXPECT_EQ(Bytes(session_.CommandBuffer(), session_.CommandBuffer() + 8), zoom60)
      << "the buffer still holds the older frame";
}

TEST_F(CameraSessionTest, ACommandReturnsOnceItsFrameLeftOrFailsAtItsDeadline) {
  using Clock = std::chrono::steady_clock;
  const Bytes power{0xFF, 0x30, 0x31, 0x00, 0xA0, 0x30, 0xEF};  // identifier 2, 7 bytes
  const struct {
    const char* name;
    int32_t baud;
    double bytesPerMs;  // how fast the queue drains
    int32_t expected;
    int deadlineMs;  // 7 bytes at 2 or 1 ms per byte
  } cases[] = {
      {"9600, line at speed", 9600, 0.96, 1, 14}, {"38400, line at speed", 38400, 3.84, 1, 7},
      {"9600, CTS held low", 9600, 0, 0, 14},     {"38400, CTS held low", 38400, 0, 0, 7},
      {"9600, line too slow", 9600, 0.3, 0, 14},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Open(1, LineSettings{c.baud, 8, 0, 0}), 1);
    port_.line.clear();
    port_.SetLineRate(c.bytesPerMs);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(session_.SendTemplate(2, 1), c.expected);
    const auto elapsed = Clock::now() - start;
    EXPECT_TRUE(port_.queue.empty()) << "sent, or what was left discarded";
    if (c.expected == 1) {
      EXPECT_EQ(port_.line, power) << "returned only once all of it had left";
    } else {
      EXPECT_EQ(session_.LastError().code, kErrSystem);
      EXPECT_EQ(session_.LastError().systemCode, static_cast<uint32_t>(ETIMEDOUT));
      EXPECT_GE(elapsed, std::chrono::milliseconds(c.deadlineMs));
      EXPECT_LT(elapsed, std::chrono::seconds(2)) << "bounded, whatever the baud rate";
      // The next frame follows whatever part of the cut one had left.
      const Bytes cut = port_.line;
      port_.SetLineRate(1e9);
      ASSERT_EQ(session_.SendTemplate(2, 1), 1);
      ASSERT_EQ(port_.line.size(), cut.size() + power.size());
      EXPECT_EQ(Bytes(port_.line.begin() + static_cast<ptrdiff_t>(cut.size()), port_.line.end()),
                power);
    }
    session_.Close();
    port_.SetLineRate(1e9);
  }
}

TEST(DrainPollInterval, FollowsTheLineTimeWithinBounds) {
  using std::chrono::microseconds;
  EXPECT_EQ(DrainPollInterval(1, 38400), microseconds(286));
  EXPECT_EQ(DrainPollInterval(1, 0), microseconds(1145)) << "unknown speed taken as 9600";
  EXPECT_EQ(DrainPollInterval(0, 9600), microseconds(200));
  EXPECT_EQ(DrainPollInterval(4096, 9600), microseconds(5000));
}

}  // namespace
}  // namespace qzlink
