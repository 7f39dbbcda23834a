// The POSIX serial backend on pseudo-terminals and on files that are not
// terminals.
#include "camlink/posix_serial_port.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "camlink/custom_baud_rate.h"
#include "testsupport/link_test_support.h"

namespace qzlink {
namespace {

using testing::Bytes;
using testing::PtyPair;

constexpr int kPort = 7;
const LineSettings k9600{9600, 8, 0, 0};

class PosixSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Valid());
    pty_.BecomeComPort(kPort);
  }
  void TearDown() override { unsetenv("QZLINK_COM7"); }

  // Opens COM7 and applies the settings, as the session does.
  int OpenWith(const LineSettings& settings) {
    int error = port_.Open(kPort);
    if (error == 0 && (error = port_.Configure(settings)) != 0) {
      port_.Close();
    }
    return error;
  }

  std::string TempFile(mode_t mode) {
    std::string path = ::testing::TempDir() + "qzlink_port_XXXXXX";
    const int fd = mkstemp(path.data());
    fchmod(fd, mode);
    close(fd);
    return path;
  }

  PtyPair pty_;
  PosixSerialPort port_;
};

TEST(DevicePathForPort, EnvironmentOverridesTheSerialDevice) {
  char path[64];
  unsetenv("QZLINK_COM2");
  ASSERT_TRUE(DevicePathForPort(2, path, sizeof path));
  EXPECT_STREQ(path, "/dev/ttyS1");
  setenv("QZLINK_COM2", "/tmp/camera-line", 1);
  ASSERT_TRUE(DevicePathForPort(2, path, sizeof path));
  EXPECT_STREQ(path, "/tmp/camera-line");
  EXPECT_FALSE(DevicePathForPort(2, path, 8));
  EXPECT_STREQ(path, "");
  unsetenv("QZLINK_COM2");
}

TEST_F(PosixSerialPortTest, OpenFailuresGiveTheSystemCode) {
  const std::string plainFile = TempFile(0600);
  const struct {
    const char* name;
    const char* device;  // nullptr: the pseudo-terminal
    LineSettings settings;
    int expected;
  } cases[] = {
      {"missing device", "/nonexistent/ttyQZ", k9600, ENOENT},
      {"not a terminal", plainFile.c_str(), k9600, ENOTTY},
      {"byte size 4", nullptr, {9600, 4, 0, 0}, EINVAL},
      {"byte size 9", nullptr, {9600, 9, 0, 0}, EINVAL},
      {"parity 5", nullptr, {9600, 8, 5, 0}, EINVAL},
      {"parity -1", nullptr, {9600, 8, -1, 0}, EINVAL},
      {"stop bits 3", nullptr, {9600, 8, 0, 3}, EINVAL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    setenv("QZLINK_COM7", c.device != nullptr ? c.device : pty_.SlavePath().c_str(), 1);
    EXPECT_EQ(OpenWith(c.settings), c.expected);
    EXPECT_FALSE(port_.IsOpen());
  }
  unlink(plainFile.c_str());
}

TEST_F(PosixSerialPortTest, ADeviceHeldByAnotherOpenGivesEbusy) {
  const int holder = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(OpenWith(k9600), EBUSY);
  close(holder);

  ASSERT_EQ(OpenWith(k9600), 0);
  PosixSerialPort second;
  EXPECT_EQ(second.Open(kPort), EBUSY);
  port_.Close();

  // A privileged open gets past TIOCEXCL; the flag is checked all the same.
  const int exclusive = open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(ioctl(exclusive, TIOCEXCL), 0);
  EXPECT_EQ(port_.Open(kPort), EBUSY);
  ioctl(exclusive, TIOCNXCL);
  close(exclusive);
  EXPECT_EQ(port_.Open(kPort), 0);
}

TEST(ApplyLineSettings, MapsTheDcbCodesToTermiosFlags) {
  const struct {
    LineSettings settings;
    tcflag_t expectedBits;  // within CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
  } cases[] = {
      {{9600, 8, 0, 0}, CS8},
      {{9600, 7, 1, 0}, CS7 | PARENB | PARODD},
      {{9600, 6, 2, 1}, CS6 | PARENB | CSTOPB},  // one and a half stop bits: two
      {{9600, 5, 3, 2}, CS5 | PARENB | PARODD | CMSPAR | CSTOPB},
      {{9600, 8, 4, 0}, CS8 | PARENB | CMSPAR},
  };
  for (const auto& c : cases) {
    termios t{};
    t.c_cflag = PARENB | CSTOPB;  // leftovers of an earlier user
    t.c_iflag = IXON | ICRNL;
    t.c_lflag = ICANON | ECHO;
    ASSERT_EQ(ApplyLineSettings(c.settings, t), 0);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.expectedBits);
    EXPECT_EQ(t.c_cflag & (CRTSCTS | CLOCAL | CREAD), CRTSCTS | CLOCAL | CREAD);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
}

TEST_F(PosixSerialPortTest, ConfiguresEachBaudRateAndRawMode) {
  for (int32_t baud : {9600, 14400, 19200, 38400}) {
    SCOPED_TRACE(baud);
    ASSERT_EQ(OpenWith(LineSettings{baud, 8, 0, 0}), 0);
    termios t{};
    ASSERT_EQ(tcgetattr(port_.ReadableFd(), &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(ReadOutputBaudRate(port_.ReadableFd()), static_cast<uint32_t>(baud));
    port_.Close();
  }
}

TEST_F(PosixSerialPortTest, BytesPassUnchangedBothWays) {
  ASSERT_EQ(OpenWith(k9600), 0);
  uint32_t status = 0;
  EXPECT_EQ(port_.ReadModemStatus(&status), 0);
  EXPECT_EQ(status, kModemCts) << "a pseudo-terminal counts as asserting CTS";

  const Bytes frame{0xFF, 0x30, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x7F, 0xEF};
  EXPECT_EQ(port_.Write(frame.data(), frame.size(), 18), 0);
  size_t pending = 99;
  EXPECT_EQ(port_.PendingOutput(&pending), 0);
  EXPECT_EQ(pending, 0u) << "a pseudo-terminal hands bytes on at once";
  port_.DiscardOutput();  // nothing pending: what the peer has not read yet stays
  EXPECT_EQ(pty_.ReadFrame(), frame);

  uint8_t buffer[64];
  EXPECT_EQ(port_.Read(buffer, sizeof buffer), 0) << "nothing queued";
  pty_.Write(frame);
  pollfd p{port_.ReadableFd(), POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 2000), 1);
  const int n = port_.Read(buffer, sizeof buffer);
  EXPECT_EQ(Bytes(buffer, buffer + std::max(n, 0)), frame);
}

TEST_F(PosixSerialPortTest, WriteGivesUpAfterItsTimeOutWhenNobodyReads) {
  ASSERT_EQ(OpenWith(k9600), 0);
  const Bytes block(1024, 0x41);
  int result = 0;
  for (int i = 0; i < 1024 && result == 0; ++i) {
    result = port_.Write(block.data(), block.size(), 10);
  }
  EXPECT_EQ(result, ETIMEDOUT);
}

TEST_F(PosixSerialPortTest, HangUpAndClosedPortFail) {
  ASSERT_EQ(OpenWith(k9600), 0);
  pty_.CloseMaster();
  uint8_t buffer[16];
  EXPECT_EQ(port_.Read(buffer, sizeof buffer), -EIO);
  EXPECT_EQ(port_.Write(buffer, 4, 8), EIO);

  port_.Close();
  uint32_t status = 0;
  EXPECT_EQ(port_.Write(buffer, 4, 8), EBADF);
  EXPECT_EQ(port_.Read(buffer, sizeof buffer), -EBADF);
  EXPECT_EQ(port_.ReadModemStatus(&status), EBADF);
  EXPECT_EQ(port_.ReadableFd(), -1);
}

}  // namespace
}  // namespace qzlink
