// QzOpen on COMn's target, end to end: pseudo-terminals stand in for the
// devices, a scripted device server for the network port, and each test has a
// settings store of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "camlink/port_mapping.h"
#include "camlink/qzlink.h"
#include "camlink/tests/private_port_settings.h"
#include "camlink/tests/scripted_rfc2217_server.h"
#include "testsupport/link_test_support.h"

namespace qzlink {
namespace {

using testing::Bytes;
using testing::PtyPair;
using testing::PumpUntil;

const std::pair<int32_t, int32_t> kNoDevice{ERR_SYSTEM, ENOENT};
const Bytes kCascadeQuery{0xFF, 0x30, 0x30, 0x00, 0x8F, 0x31, 0xEF};

class PortResolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(settings_.Valid());
    window_ = QzCreateMessageWindow(&DefWindowProcA);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(a_.Valid() && b_.Valid());
  }
  void TearDown() override {
    QzClose();
    DestroyWindow(window_);
  }

  int32_t Open(int32_t port) { return QzOpen(window_, port, 9600, 8, 0, 0); }
  static std::pair<int32_t, int32_t> LastError() {
    int32_t systemCode = 0;
    const int32_t code = QzGetLastError(&systemCode);
    return {code, systemCode};
  }
  // Opens the port, sends the cascade query and closes again; true when the
  // query arrived on `line`.
  bool ReachesLine(int32_t port, const PtyPair& line) {
    line.Drain();
    if (Open(port) != 1 || QzSetCascade(0, 1) != 1) {
      QzClose();
      return false;
    }
    const bool arrived = line.ReadFrame() == kCascadeQuery;
    QzClose();
    return arrived;
  }
  std::string StoreText() const { return settings_.StoreText(); }

  testing::PrivatePortSettings settings_{"qzlink-resolution"};
  HWND window_ = nullptr;
  PtyPair a_;
  PtyPair b_;
};

TEST_F(PortResolutionTest, EnvironmentOverSettingsOverDefault) {
  ASSERT_EQ(StorePortTarget(5, a_.SlavePath()), "");
  EXPECT_TRUE(ReachesLine(5, a_)) << "the stored mapping";

  setenv("QZLINK_COM5", b_.SlavePath().c_str(), 1);
  EXPECT_TRUE(ReachesLine(5, b_)) << "the environment over the stored mapping";
  EXPECT_EQ(CurrentPortTarget(5).source, PortTargetSource::kEnvironment);
  unsetenv("QZLINK_COM5");
  EXPECT_TRUE(ReachesLine(5, a_)) << "the mapping again once the variable is gone";

  // The default is a machine's own port: it is looked up, not opened.
  ASSERT_EQ(ClearStoredPortTarget(5), "");
  const PortTarget fallback = CurrentPortTarget(5);
  EXPECT_EQ(fallback.target, "/dev/ttyS4");
  EXPECT_EQ(fallback.source, PortTargetSource::kDefault);
}

TEST_F(PortResolutionTest, AByIdLinkIsFollowedAtEveryOpen) {
  // The adapter's stable name; plugging it into another socket gives it
  // another node, and the link follows.
  const std::string byId = settings_.Folder() + "/usb-QZ_Test_Adapter_0001-if00-port0";
  ASSERT_EQ(symlink(a_.SlavePath().c_str(), byId.c_str()), 0);
  ASSERT_EQ(StorePortTarget(6, byId), "");
  EXPECT_TRUE(ReachesLine(6, a_));

  ASSERT_EQ(unlink(byId.c_str()), 0);
  ASSERT_EQ(Open(6), 0) << "unplugged";
  EXPECT_EQ(LastError(), kNoDevice);
  ASSERT_EQ(symlink(b_.SlavePath().c_str(), byId.c_str()), 0);
  EXPECT_TRUE(ReachesLine(6, b_)) << "plugged in again elsewhere";
  EXPECT_EQ(StoredPortTarget(6), byId) << "the link is stored, not the node behind it";
}

TEST_F(PortResolutionTest, AStoredNetworkAddressOpensTheNetworkPort) {
  testing::ScriptedRfc2217Server server({});
  ASSERT_EQ(StorePortTarget(7, server.Address()), "");
  ASSERT_EQ(Open(7), 1);
  ASSERT_EQ(QzSetCascade(0, 1), 1);
  EXPECT_TRUE(PumpUntil([&] { return server.Data() == kCascadeQuery; }));
  EXPECT_EQ(QzClose(), 1);
}

TEST_F(PortResolutionTest, AMappingToAMissingDeviceFailsAndChangesNothing) {
  const std::string missing = settings_.Folder() + "/ttyUSB7";
  ASSERT_EQ(StorePortTarget(8, missing), "");
  ASSERT_EQ(StorePortTarget(2, a_.SlavePath()), "");
  const std::string before = StoreText();

  EXPECT_EQ(Open(8), 0);
  EXPECT_EQ(LastError(), kNoDevice) << "no fall-back to /dev/ttyS7";
  EXPECT_EQ(StoreText(), before);
  EXPECT_EQ(StoredPortTarget(8), missing);
  EXPECT_TRUE(ReachesLine(2, a_)) << "the session is free for another port";
  EXPECT_EQ(Open(8), 0) << "and the same again";
  EXPECT_EQ(LastError(), kNoDevice);
}

// A settings file with one line the store could not read, which may be the
// port's mapping: the open fails and names the reason, and never reaches the
// machine's own /dev/ttyS<n-1>; the port mapped in full still opens.
TEST_F(PortResolutionTest, APortThatALineNotReadMayMapDoesNotOpen) {
  ASSERT_EQ(StorePortTarget(2, a_.SlavePath()), "");
  {
    std::ofstream store(settings_.Folder() + "/registry.reg", std::ios::app);
    store << "\"COM3\"=hex:zz\n";
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Open(3), 0);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(LastError(), (std::pair<int32_t, int32_t>{ERR_SYSTEM, kPortMappingUnreadable}));
  EXPECT_TRUE(ReachesLine(2, a_));
  ASSERT_EQ(StorePortTarget(3, b_.SlavePath()), "");
  EXPECT_TRUE(ReachesLine(3, b_)) << "a port set again opens";
}

}  // namespace
}  // namespace qzlink
