#include "qzcli/port_commands.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>

#include "camlink/rfc2217_address.h"

namespace qzcli {

namespace {

// A note for a target that is set while the environment overrides it.
void NoteEnvironment(int32_t port, FILE* err) {
  const std::string variable = qzlink::PortEnvironmentVariable(port);
  const char* value = std::getenv(variable.c_str());
  if (value != nullptr && value[0] != '\0') {
    std::fprintf(err, "qzcli: note: %s is set (%s) and is used instead, as long as it is set\n",
                 variable.c_str(), value);
  }
}

}  // namespace

std::string FormatPortList(const std::vector<PortRow>& ports,
                           const std::vector<qzlink::SerialDevice>& devices) {
  std::string text = "Ports (environment over settings over default):\n";
  for (const PortRow& row : ports) {
    char source[16];
    std::snprintf(source, sizeof source, "%-11s", qzlink::PortTargetSourceName(row.current.source));
    text += "  COM" + std::to_string(row.port) + "  " + source + "  " + row.current.target + "\n";
    if (!row.hiddenStored.empty()) {
      text += "                     (" + qzlink::PortEnvironmentVariable(row.port) +
              " overrides the stored " + row.hiddenStored + ")\n";
    }
  }
  text += "\nSerial devices present:\n";
  if (devices.empty()) {
    text += "  none found\n";
  }
  for (const qzlink::SerialDevice& device : devices) {
    text += "  " + device.path + "\n      " + device.description;
    if (device.kind == qzlink::SerialDeviceKind::kById) {
      text += ", now " + device.node;
    }
    text += ": " + qzlink::AccessText(device) + "\n";
  }
  return text;
}

int ListPorts(FILE* out) {
  std::vector<PortRow> rows;
  for (int32_t port = qzlink::kFirstComPort; port <= qzlink::kLastComPort; ++port) {
    PortRow row{port, qzlink::CurrentPortTarget(port), {}};
    if (row.current.source == qzlink::PortTargetSource::kEnvironment) {
      row.hiddenStored = qzlink::StoredPortTarget(port).value_or("");
    }
    rows.push_back(std::move(row));
  }
  std::fputs(FormatPortList(rows, qzlink::ListSerialDevices()).c_str(), out);
  return 0;
}

int SetPort(int32_t port, const std::string& target, FILE* out, FILE* err) {
  if (const std::string problem = qzlink::PortTargetProblem(target); !problem.empty()) {
    std::fprintf(err, "qzcli: cannot use '%s' for COM%d: %s\n", target.c_str(),
                 static_cast<int>(port), problem.c_str());
    return 2;
  }
  if (const std::string problem = qzlink::StorePortTarget(port, target); !problem.empty()) {
    std::fprintf(err, "qzcli: cannot store the target of COM%d: %s\n", static_cast<int>(port),
                 problem.c_str());
    return 1;
  }
  std::fprintf(out, "COM%d: %s\n", static_cast<int>(port), target.c_str());
#ifndef _WIN32
  struct stat info {};
  if (!qzlink::IsRfc2217Address(target.c_str()) && stat(target.c_str(), &info) != 0) {
    std::fprintf(err, "qzcli: note: %s is not there now; COM%d opens once it is\n", target.c_str(),
                 static_cast<int>(port));
  }
#endif
  NoteEnvironment(port, err);
  return 0;
}

int ClearPort(int32_t port, FILE* out, FILE* err) {
  if (const std::string problem = qzlink::ClearStoredPortTarget(port); !problem.empty()) {
    std::fprintf(err, "qzcli: cannot clear the target of COM%d: %s\n", static_cast<int>(port),
                 problem.c_str());
    return 1;
  }
  std::fprintf(out, "COM%d: %s (default)\n", static_cast<int>(port),
               qzlink::DefaultPortTarget(port).c_str());
  NoteEnvironment(port, err);
  return 0;
}

}  // namespace qzcli
