// The serial devices present, for choosing a port's target (qzcli
// --list-ports, the application's Ports dialog): first the stable names in
// /dev/serial/by-id with what each says about its adapter and the node it
// points to now, then the ttyS, ttyUSB and ttyACM nodes that exist, each with
// whether the current user may open it for reading and writing.
//
// The folders are parameters so that tests can list a temporary folder of
// fake nodes; the session's own port resolution never uses this code.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qzlink {

struct SerialDeviceFolders {
  std::string dev = "/dev";
  std::string byId = "/dev/serial/by-id";
  // Where a ttyS node's UART type is read (<sysTty>/ttyS<n>/type): type 0
  // means that no UART sits behind the node, and it is left out. Empty, or
  // a node without that file: the node is listed.
  std::string sysTty = "/sys/class/tty";
};

enum class SerialDeviceKind { kById, kBuiltIn, kUsbAdapter, kUsbModem };

struct SerialDevice {
  std::string path;  // the name to use as a target
  SerialDeviceKind kind = SerialDeviceKind::kBuiltIn;
  std::string node;         // the device node it is now (a by-id name's link target)
  std::string description;  // what the name tells about the device
  std::string group;        // the group owning the node, empty when unknown
  int accessError = 0;      // 0: the user may read and write it; else the errno
};

// 0 when the user may open path for reading and writing, else the errno
// (access(path, R_OK | W_OK)).
int CheckReadWriteAccess(const std::string& path);

using AccessCheck = std::function<int(const std::string& path)>;

// Lists the devices present: by-id names in name order (links whose node is
// gone are left out), then ttyS, ttyUSB and ttyACM nodes in number order.
// Missing folders list nothing.
std::vector<SerialDevice> ListSerialDevices(const SerialDeviceFolders& folders = {},
                                            const AccessCheck& check = CheckReadWriteAccess);

// What a /dev/serial/by-id name says about its adapter:
// "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" gives
// "FTDI FT232R USB UART A50285BI (USB, interface 00, port 0)".
std::string DescribeByIdName(std::string_view name);

// The device's access in words: "read and write", or why not, with the hint
// an operator can act on ("no permission: ... group dialout ...").
std::string AccessText(const SerialDevice& device);

}  // namespace qzlink
