// COMn's target: the order of the sources, the checks on a target before it
// is stored, and the mapping in a private settings store.
#include "camlink/port_mapping.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "camlink/tests/private_port_settings.h"
#include "platform/registry.h"

namespace qzlink {
namespace {

TEST(ChoosePortTarget, EnvironmentOverSettingsOverDefault) {
  const struct {
    const char* name;
    int32_t port;
    const char* environment;
    const char* stored;
    const char* target;
    PortTargetSource source;
    size_t capacity = 64;
    bool fits = true;
  } cases[] = {
      {"environment wins", 3, "/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyUSB0",
       PortTargetSource::kEnvironment},
      {"settings without environment", 3, nullptr, "/dev/ttyACM0", "/dev/ttyACM0",
       PortTargetSource::kSettings},
      {"an empty variable is no variable", 3, "", "rfc2217://h:1", "rfc2217://h:1",
       PortTargetSource::kSettings},
      {"an empty value is no mapping", 3, nullptr, "", "/dev/ttyS2", PortTargetSource::kDefault},
      {"neither", 1, nullptr, nullptr, "/dev/ttyS0", PortTargetSource::kDefault},
      {"COM9", 9, "", nullptr, "/dev/ttyS8", PortTargetSource::kDefault},
      {"a target that does not fit is not replaced by another", 2, nullptr,
       "/dev/serial/by-id/usb-long", "", PortTargetSource::kSettings, 12, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char out[64];
    const PortTargetChoice choice =
        ChoosePortTarget(c.port, c.environment, c.stored, out, c.capacity);
    EXPECT_EQ(choice.fits, c.fits);
    EXPECT_EQ(choice.source, c.source);
    EXPECT_STREQ(out, c.target);
  }
}

TEST(PortTargetProblem, AcceptsDevicePathsAndAddressesOnly) {
  const struct {
    std::string target;
    bool accepted;
  } cases[] = {
      {"/dev/ttyUSB0", true},
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", true},
      {"rfc2217://192.0.2.10:2217", true},
      {"rfc2217://[::1]:2217?modem=none&timeout=500", true},
      {"", false},
      {"ttyUSB0", false},
      {"./dev/ttyUSB0", false},
      {"/dev/tty\nUSB0", false},
      {"/dev/tty\tUSB0", false},
      {"rfc2217://host", false},
      {"rfc2217://host:70000", false},
      {"rfc2217://host:2217?speed=9600", false},
      {"/" + std::string(254, 'd'), true},
      {"/" + std::string(255, 'd'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    EXPECT_EQ(PortTargetProblem(c.target).empty(), c.accepted) << PortTargetProblem(c.target);
  }
}

// Each test gets a settings store of its own and no QZLINK_COMn.
class PortMappingStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(settings_.Valid()); }
  std::string StoreText() const { return settings_.StoreText(); }

  testing::PrivatePortSettings settings_{"qzlink-ports"};
};

// The order of the sources through the environment is checked end to end in
// the port resolution tests; here the store itself.
TEST_F(PortMappingStoreTest, StoredUnderItsOwnKeyReplacedAndCleared) {
  EXPECT_EQ(StoredPortTarget(3), std::nullopt);
  EXPECT_EQ(CurrentPortTarget(3).target, "/dev/ttyS2");

  ASSERT_EQ(StorePortTarget(3, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"), "");
  EXPECT_NE(StoreText().find("[HKEY_CURRENT_USER\\Software\\Orveda\\QZLINK\\Ports]\n"
                             "\"COM3\"=\"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\""),
            std::string::npos)
      << StoreText();
  EXPECT_EQ(StoredPortTarget(3), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
  const PortTarget fromSettings = CurrentPortTarget(3);
  EXPECT_EQ(fromSettings.target, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
  EXPECT_EQ(fromSettings.source, PortTargetSource::kSettings);
  EXPECT_EQ(CurrentPortTarget(4).source, PortTargetSource::kDefault) << "one port only";

  ASSERT_EQ(StorePortTarget(3, "/dev/ttyACM0"), "") << "a new target replaces the old";
  EXPECT_EQ(CurrentPortTarget(3).target, "/dev/ttyACM0");
  ASSERT_EQ(ClearStoredPortTarget(3), "");
  EXPECT_EQ(StoredPortTarget(3), std::nullopt);
  EXPECT_EQ(ClearStoredPortTarget(3), "") << "clearing no mapping is fine";
  EXPECT_EQ(ClearStoredPortTarget(5), "");
}

TEST_F(PortMappingStoreTest, RefusesBadPortsAndTargetsAndKeepsTheOldMapping) {
  ASSERT_EQ(StorePortTarget(2, "/dev/ttyUSB1"), "");
  const std::string before = StoreText();
  for (const auto& [port, target] : {std::pair<int32_t, const char*>{0, "/dev/ttyUSB0"},
                                     {10, "/dev/ttyUSB0"},
                                     {2, "ttyUSB0"},
                                     {2, "rfc2217://nohost"},
                                     {2, ""}}) {
    SCOPED_TRACE(std::to_string(port) + " " + target);
    EXPECT_NE(StorePortTarget(port, target), "");
  }
  EXPECT_NE(ClearStoredPortTarget(0), "");
  EXPECT_EQ(StoreText(), before);
}

TEST_F(PortMappingStoreTest, AStoreThatCannotBeWrittenIsReported) {
  // The store's folder would have to be made inside a regular file.
  const std::string blocker = settings_.Folder() + "/file";
  std::ofstream(blocker) << "x";
  setenv("QZLINK_REGISTRY", (blocker + "/registry.reg").c_str(), 1);
  EXPECT_NE(StorePortTarget(1, "/dev/ttyUSB0"), "");
  EXPECT_EQ(CurrentPortTarget(1).source, PortTargetSource::kDefault)
      << "an unreadable store holds no mapping";
}

TEST_F(PortMappingStoreTest, AStoredValueTooLongToOpenIsNotReplacedByTheDefault) {
  // A hand-edited store may hold anything; the open must then fail rather
  // than reach /dev/ttyS<n-1>.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPortMappingKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const std::string longPath = "/" + std::string(600, 'x');
  ASSERT_EQ(RegSetValueExA(key, "COM4", 0, REG_SZ, reinterpret_cast<const BYTE*>(longPath.c_str()),
                           static_cast<DWORD>(longPath.size() + 1)),
            ERROR_SUCCESS);
  const DWORD number = 7;
  ASSERT_EQ(RegSetValueExA(key, "COM5", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);

  char out[256];
  const PortTargetChoice tooLong = ResolvePortTarget(4, out, sizeof out);
  EXPECT_FALSE(tooLong.fits);
  EXPECT_EQ(tooLong.source, PortTargetSource::kSettings);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(CurrentPortTarget(5).source, PortTargetSource::kDefault) << "a number is no mapping";
}

}  // namespace
}  // namespace qzlink
