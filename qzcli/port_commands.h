// qzcli's port actions: --list-ports, --set-port and --clear-port, on the
// library's port mapping (camlink/port_mapping.h) and device listing
// (camlink/serial_devices.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "camlink/port_mapping.h"
#include "camlink/serial_devices.h"

namespace qzcli {

// The text of --list-ports: one line per port ("COM1  settings     /dev/..."),
// where an environment variable hides a stored target that line says so,
// a port whose stored target is not known (the settings file could not be
// read in full) says why, then the devices with their description and
// access.
struct PortRow {
  int32_t port = 0;
  qzlink::PortTarget current;
  std::string hiddenStored;  // a stored target that the environment overrides
};
std::string FormatPortList(const std::vector<PortRow>& ports,
                           const std::vector<qzlink::SerialDevice>& devices);

// Reads the ports and devices and prints the list. Returns the exit status:
// 0, or 1 when the target of a port is not known.
int ListPorts(FILE* out);

// Store or clear a port's target; notes on err (a variable that overrides the
// setting, a device that is not there now). Returns the exit status: 0, 1
// when the store could not be written, 2 for a target that cannot name a
// port.
int SetPort(int32_t port, const std::string& target, FILE* out, FILE* err);
int ClearPort(int32_t port, FILE* out, FILE* err);

}  // namespace qzcli
