// The serial device listing on a temporary device folder of fake nodes
// (regular files) and by-id links, with an injected permission check.
#include "camlink/serial_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "camlink/tests/private_port_settings.h"

namespace qzlink {
namespace {

TEST(DescribeByIdName, TellsTheAdapterAndItsInterface) {
  const std::pair<const char*, const char*> cases[] = {
      {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
       "FTDI FT232R USB UART A50285BI (USB, interface 00, port 0)"},
      {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0",
       "Prolific Technology Inc. USB-Serial Controller (USB, interface 00, port 0)"},
      {"usb-1a86_USB2.0-Serial-if00-port0", "1a86 USB2.0-Serial (USB, interface 00, port 0)"},
      {"usb-Arduino__www.arduino.cc__0043_7533-if00",
       "Arduino  www.arduino.cc  0043 7533 (USB, interface 00)"},
      {"pci-Some_Card-port1", "Some Card (PCI, port 1)"},
      {"odd", "odd"},
  };
  for (const auto& [name, description] : cases) {
    EXPECT_EQ(DescribeByIdName(name), description) << name;
  }
}

TEST(AccessText, GivesTheGroupHintForMissingPermission) {
  SerialDevice device;
  device.group = "dialout";
  EXPECT_EQ(AccessText(device), "read and write");
  device.accessError = EACCES;
  EXPECT_EQ(AccessText(device),
            "no permission: the user needs to be in group dialout (sudo adduser $USER dialout, "
            "then log in again)");
  device.group = "root";
  EXPECT_EQ(AccessText(device), "no permission") << "joining root is no advice";
  device.accessError = EBUSY;
  EXPECT_NE(AccessText(device).find("cannot be used"), std::string::npos);
}

class SerialDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Valid());
    for (const std::string& dir :
         {folders_.dev, folders_.dev + "/serial", folders_.byId, folders_.sysTty,
          folders_.sysTty + "/ttyS1", folders_.sysTty + "/ttyS2"}) {
      ASSERT_EQ(mkdir(dir.c_str(), 0755), 0) << dir;
    }
  }
  void Node(const std::string& name) const { std::ofstream(folders_.dev + "/" + name) << ""; }
  void Link(const std::string& name, const std::string& target) const {
    ASSERT_EQ(symlink(target.c_str(), (folders_.byId + "/" + name).c_str()), 0);
  }
  void UartType(const std::string& name, const char* type) const {
    std::ofstream(folders_.sysTty + "/" + name + "/type") << type << "\n";
  }

  testing::TempFolder folder_{"qzlink-devices"};
  const std::string root_ = folder_.Path();
  SerialDeviceFolders folders_{root_ + "/dev", root_ + "/dev/serial/by-id", root_ + "/sys"};
};

TEST_F(SerialDevicesTest, ByIdNamesFirstThenTheNodesInNumberOrder) {
  for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyS1", "ttyACM1", "ttyUSB0", "ttyUSB",
                           "ttyS0x", "console", "tty0"}) {
    Node(name);
  }
  ASSERT_EQ(mkdir((folders_.dev + "/ttyUSB9").c_str(), 0755), 0) << "a folder is no device";
  UartType("ttyS1", "0");  // no UART behind it
  UartType("ttyS2", "4");
  // As udev makes them: relative links two folders up.
  Link("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
  Link("usb-Arduino_Uno_7533-if00", "../../ttyACM1");
  Link("usb-Gone_Adapter-if00-port0", "../../ttyUSB5");  // unplugged a moment ago

  // The user may not open the built-in ports.
  const auto check = [](const std::string& path) {
    return path.find("/ttyS") != std::string::npos ? EACCES : 0;
  };
  const std::vector<SerialDevice> devices = ListSerialDevices(folders_, check);

  const struct {
    std::string path;
    SerialDeviceKind kind;
    std::string node;
    int accessError;
  } expected[] = {
      {folders_.byId + "/usb-Arduino_Uno_7533-if00", SerialDeviceKind::kById,
       folders_.dev + "/ttyACM1", 0},
      {folders_.byId + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", SerialDeviceKind::kById,
       folders_.dev + "/ttyUSB0", 0},
      {folders_.dev + "/ttyS0", SerialDeviceKind::kBuiltIn, folders_.dev + "/ttyS0", EACCES},
      {folders_.dev + "/ttyS2", SerialDeviceKind::kBuiltIn, folders_.dev + "/ttyS2", EACCES},
      {folders_.dev + "/ttyS10", SerialDeviceKind::kBuiltIn, folders_.dev + "/ttyS10", EACCES},
      {folders_.dev + "/ttyUSB0", SerialDeviceKind::kUsbAdapter, folders_.dev + "/ttyUSB0", 0},
      {folders_.dev + "/ttyACM1", SerialDeviceKind::kUsbModem, folders_.dev + "/ttyACM1", 0},
  };
  ASSERT_EQ(devices.size(), std::size(expected));
  for (size_t i = 0; i < devices.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(devices[i].path, expected[i].path);
    EXPECT_EQ(devices[i].kind, expected[i].kind);
    EXPECT_EQ(devices[i].node, expected[i].node);
    EXPECT_EQ(devices[i].accessError, expected[i].accessError);
    EXPECT_FALSE(devices[i].description.empty());
    EXPECT_FALSE(devices[i].group.empty()) << "a temporary file has a group too";
  }
  EXPECT_EQ(devices[1].description, "FTDI FT232R USB UART A50285BI (USB, interface 00, port 0)");
  EXPECT_EQ(devices[5].description, "USB serial adapter");
}

TEST_F(SerialDevicesTest, MissingFoldersListNothingAndTheRealCheckIsAccess) {
  SerialDeviceFolders nowhere{root_ + "/none", root_ + "/none/by-id", ""};
  EXPECT_TRUE(ListSerialDevices(nowhere).empty());

  // Without a by-id folder (no USB adapter ever plugged in) the nodes still
  // show; with the default check a file the user may write counts as usable.
  ASSERT_EQ(rmdir(folders_.byId.c_str()), 0);
  Node("ttyUSB3");
  const std::vector<SerialDevice> devices = ListSerialDevices(folders_);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].path, folders_.dev + "/ttyUSB3");
  EXPECT_EQ(devices[0].accessError, 0);
  EXPECT_EQ(CheckReadWriteAccess(root_ + "/none"), ENOENT);
}

}  // namespace
}  // namespace qzlink
