#include "qzcli/port_commands.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace qzcli {
namespace {

TEST(FormatPortList, PortsWithTheirSourceThenDevicesWithTheirAccess) {
  using qzlink::PortTargetSource;
  const std::vector<PortRow> ports = {
      {1, {"/dev/serial/by-id/usb-FTDI_X-if00-port0", PortTargetSource::kSettings, ""}, ""},
      {2, {"/tmp/camera", PortTargetSource::kEnvironment, ""}, "/dev/ttyUSB1"},
      {3, {"/dev/ttyS2", PortTargetSource::kDefault, ""}, ""},
      {4, {"", PortTargetSource::kSettings, "the target of COM4 is not known: why"}, ""},
  };
  qzlink::SerialDevice byId;
  byId.path = "/dev/serial/by-id/usb-FTDI_X-if00-port0";
  byId.kind = qzlink::SerialDeviceKind::kById;
  byId.node = "/dev/ttyUSB0";
  byId.description = "FTDI X (USB, interface 00, port 0)";
  qzlink::SerialDevice node;
  node.path = "/dev/ttyS0";
  node.node = "/dev/ttyS0";
  node.description = "built-in serial port";
  node.group = "dialout";
  node.accessError = EACCES;

  EXPECT_EQ(FormatPortList(ports, {byId, node}),
            "Ports (environment over settings over default):\n"
            "  COM1  settings     /dev/serial/by-id/usb-FTDI_X-if00-port0\n"
            "  COM2  environment  /tmp/camera\n"
            "                     (QZLINK_COM2 overrides the stored /dev/ttyUSB1)\n"
            "  COM3  default      /dev/ttyS2\n"
            "  COM4  settings     not known\n"
            "                     (the target of COM4 is not known: why)\n"
            "\n"
            "Serial devices present:\n"
            "  /dev/serial/by-id/usb-FTDI_X-if00-port0\n"
            "      FTDI X (USB, interface 00, port 0), now /dev/ttyUSB0: read and write\n"
            "  /dev/ttyS0\n"
            "      built-in serial port: no permission: the user needs to be in group dialout "
            "(sudo adduser $USER dialout, then log in again)\n");
  EXPECT_NE(FormatPortList(ports, {}).find("Serial devices present:\n  none found\n"),
            std::string::npos);
}

}  // namespace
}  // namespace qzcli
