// The serial devices present on Windows: the COM names that the system's DOS
// device table holds (QueryDosDeviceA), in number order. The folders of
// SerialDeviceFolders do not apply.
#include <windows.h>

#include <cstdio>

#include "camlink/serial_devices.h"

namespace qzlink {

int CheckReadWriteAccess(const std::string& /*path*/) {
  // Opening the port to find out would take it from its user.
  return 0;
}

std::string DescribeByIdName(std::string_view name) {
  return std::string(name);
}

std::string AccessText(const SerialDevice& device) {
  if (device.accessError == 0) {
    return "read and write";
  }
  return "cannot be used (system error " + std::to_string(device.accessError) + ")";
}

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceFolders& /*folders*/,
                                            const AccessCheck& check) {
  std::vector<SerialDevice> devices;
  char target[1024];
  for (int number = 1; number <= 256; ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", number);
    if (QueryDosDeviceA(name, target, sizeof target) == 0) {
      continue;
    }
    SerialDevice device;
    device.path = name;
    device.kind = SerialDeviceKind::kBuiltIn;
    device.node = target;
    device.description = std::string("serial port (") + target + ")";
    device.accessError = check ? check(device.path) : 0;
    devices.push_back(std::move(device));
  }
  return devices;
}

}  // namespace qzlink
