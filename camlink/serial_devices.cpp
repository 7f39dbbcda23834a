#include "camlink/serial_devices.h"

#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <tuple>

namespace qzlink {

namespace {

struct NodeFamily {
  const char* prefix;
  SerialDeviceKind kind;
  const char* description;
};

// In listing order.
constexpr NodeFamily kFamilies[] = {
    {"ttyS", SerialDeviceKind::kBuiltIn, "built-in serial port"},
    {"ttyUSB", SerialDeviceKind::kUsbAdapter, "USB serial adapter"},
    {"ttyACM", SerialDeviceKind::kUsbModem, "USB serial device (modem class, ACM)"},
};

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 6 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The family of a node name: its prefix followed by a number only.
const NodeFamily* FamilyOf(std::string_view name) {
  for (const NodeFamily& family : kFamilies) {
    const std::string_view prefix = family.prefix;
    if (name.substr(0, prefix.size()) == prefix && AllDigits(name.substr(prefix.size()))) {
      return &family;
    }
  }
  return nullptr;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    return names;
  }
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      names.emplace_back(entry->d_name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  char buffer[4096];
  if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
    return {};
  }
  return found->gr_name;
}

// A ttyS node whose UART type reads 0 has no hardware behind it.
bool HasNoUart(const std::string& sysTty, const std::string& name) {
  if (sysTty.empty()) {
    return false;
  }
  std::ifstream type(sysTty + "/" + name + "/type");
  int value = -1;
  return type >> value && value == 0;
}

// Fills node, group and access from the device the path leads to; false when
// nothing (or a folder) is there.
bool Inspect(const std::string& path, const AccessCheck& check, SerialDevice& device) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
    return false;
  }
  char resolved[PATH_MAX];
  device.node = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  device.group = GroupName(info.st_gid);
  device.accessError = check(path);
  return true;
}

}  // namespace

int CheckReadWriteAccess(const std::string& path) {
  return access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
}

std::string DescribeByIdName(std::string_view name) {
  // <bus>-<vendor>_<model>_<serial>-if<NN>[-port<N>]; udev writes blanks as '_'.
  std::string bus;
  if (const size_t dash = name.find('-'); dash != std::string_view::npos && dash > 0) {
    bus = std::string(name.substr(0, dash));
    name.remove_prefix(dash + 1);
  }
  std::string port;
  if (const size_t at = name.rfind("-port");
      at != std::string_view::npos && AllDigits(name.substr(at + 5))) {
    port = std::string(name.substr(at + 5));
    name = name.substr(0, at);
  }
  std::string interface;
  if (const size_t at = name.rfind("-if");
      at != std::string_view::npos && name.size() - at == 5 &&
      std::isxdigit(static_cast<unsigned char>(name[at + 3])) &&
      std::isxdigit(static_cast<unsigned char>(name[at + 4]))) {
    interface = std::string(name.substr(at + 3));
    name = name.substr(0, at);
  }
  std::string text(name);
  std::replace(text.begin(), text.end(), '_', ' ');
  std::string details;
  if (!bus.empty()) {
    std::transform(bus.begin(), bus.end(), bus.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    details = bus;
  }
  if (!interface.empty()) {
    details += (details.empty() ? "" : ", ") + std::string("interface ") + interface;
  }
  if (!port.empty()) {
    details += (details.empty() ? "" : ", ") + std::string("port ") + port;
  }
  if (text.empty()) {
    return details;
  }
  return details.empty() ? text : text + " (" + details + ")";
}

std::string AccessText(const SerialDevice& device) {
  switch (device.accessError) {
    case 0:
      return "read and write";
    case EACCES:
    case EPERM:
    case EROFS: {
      std::string text = "no permission";
      if (!device.group.empty() && device.group != "root") {
        text += ": the user needs to be in group " + device.group + " (sudo adduser $USER " +
                device.group + ", then log in again)";
      }
      return text;
    }
    default:
      return std::string("cannot be used: ") + std::strerror(device.accessError);
  }
}

std::vector<SerialDevice> ListSerialDevices(const SerialDeviceFolders& folders,
                                            const AccessCheck& check) {
  std::vector<SerialDevice> devices;
  if (!folders.byId.empty()) {
    for (const std::string& name : Names(folders.byId)) {
      SerialDevice device;
      device.path = folders.byId + "/" + name;
      device.kind = SerialDeviceKind::kById;
      device.description = DescribeByIdName(name);
      if (Inspect(device.path, check, device)) {
        devices.push_back(std::move(device));
      }
    }
  }
  struct Node {
    size_t family;
    long number;
    std::string name;
  };
  std::vector<Node> nodes;
  for (const std::string& name : Names(folders.dev)) {
    if (const NodeFamily* family = FamilyOf(name)) {
      const size_t prefix = std::strlen(family->prefix);
      nodes.push_back({static_cast<size_t>(family - kFamilies),
                       std::strtol(name.c_str() + prefix, nullptr, 10), name});
    }
  }
  std::sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
    return std::tie(a.family, a.number) < std::tie(b.family, b.number);
  });
  for (const Node& node : nodes) {
    const NodeFamily& family = kFamilies[node.family];
    if (family.kind == SerialDeviceKind::kBuiltIn && HasNoUart(folders.sysTty, node.name)) {
      continue;
    }
    SerialDevice device;
    device.path = folders.dev + "/" + node.name;
    device.kind = family.kind;
    device.description = family.description;
    if (Inspect(device.path, check, device)) {
      devices.push_back(std::move(device));
    }
  }
  return devices;
}

}  // namespace qzlink
