// COMn's target: the order of the sources, the checks on a target before it
// is stored, and the mapping in a private settings store.
#include "camlink/port_mapping.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

// A settings file the store could not read in full: a port whose mapping an
// unreadable line may hold is never sent to /dev/ttyS<n-1>, nor to a value
// that line may replace; the others resolve as before.
TEST_F(PortMappingStoreTest, APortThatALineNotReadMayMapIsNotKnown) {
  const std::string head =
      "Windows Registry Editor Version "
      "5.00\n\n[HKEY_CURRENT_USER\\Software\\Orveda\\QZLINK\\Ports]\n"
      "\"COM1\"=\"/dev/serial/by-id/usb-FTDI_X-if00-port0\"\n";
  const std::string gen = "[HKEY_CURRENT_USER\\Software\\Orveda\\QTR90xControler\\1.0\\Gen]\n";
  struct Case {
    const char* what;
    std::string text;  // what stands in the store file
    bool com1, com2;   // known
  };
  const Case cases[] = {
      {"another value of the key", head + "\"Broken\"=dword:zz\n", true, true},
      {"COM2's value", head + "\"COM2\"=dword:zz\n", true, false},
      {"a later COM1", head + "\"COM1\"=\"cut", false, true},
      {"a line without a name", head + "COM2=/dev/ttyUSB0\n", false, false},
      {"a line of another key", head + gen + "\"PortTableID\"=dword:zz\n", true, true},
      {"a section not read", head + "[HKEY_CURRENT_USER\\Software\n\"COM1\"=\"/x\"\n", false,
       false},
      {"no registry file", "garbage\n", false, false},
  };
  const std::string store = settings_.Folder() + "/registry.reg";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(store.c_str());
    std::ofstream(store) << c.text;
    ::testing::internal::CaptureStderr();  // the store's one line about the damage
    for (const auto& [port, known] : {std::pair{1, c.com1}, std::pair{2, c.com2}}) {
      char out[256] = "unchanged";
      const PortTargetChoice choice = ResolvePortTarget(port, out, sizeof out);
      EXPECT_EQ(choice.readable, known) << "COM" << port;
      const PortTarget current = CurrentPortTarget(port);
      EXPECT_EQ(current.problem.empty(), known) << "COM" << port;
      if (known) {
        continue;
      }
      EXPECT_STREQ(out, "");
      EXPECT_EQ(current.source, PortTargetSource::kSettings);
      for (const std::string& part : {store, "qzcli --set-port " + std::to_string(port)}) {
        EXPECT_NE(current.problem.find(part), std::string::npos) << current.problem;
      }
    }
    EXPECT_EQ(CurrentPortTarget(1).target, c.com1 ? "/dev/serial/by-id/usb-FTDI_X-if00-port0" : "");
    // The environment decides without the store; setting the port decides it.
    setenv("QZLINK_COM2", "/dev/ttyUSB9", 1);
    EXPECT_TRUE(CurrentPortTarget(2).problem.empty());
    unsetenv("QZLINK_COM2");
    if (c.text.find("\"COM2\"=dword:zz") != std::string::npos) {
      ASSERT_EQ(StorePortTarget(2, "/dev/ttyUSB1"), "");
      EXPECT_EQ(CurrentPortTarget(2).target, "/dev/ttyUSB1");
    }
    ::testing::internal::GetCapturedStderr();
  }

  // A store path that cannot be read at all holds no mapping that can be
  // trusted either.
  std::remove(store.c_str());
  ASSERT_EQ(mkdir(store.c_str(), 0700), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_NE(CurrentPortTarget(1).problem.find(store + " is a directory"), std::string::npos);
  ::testing::internal::GetCapturedStderr();
  rmdir(store.c_str());
}

}  // namespace
}  // namespace qzlink
