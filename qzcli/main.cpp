// qzcli: calls exports of the camera link library by name and prints the
// frames sent and the answers and notifications received; lists and maps the
// serial ports.
#include <cstdio>
#include <string>
#include <vector>

#include "qz_version.h"
#include "qzcli/call_runner.h"
#include "qzcli/command_line.h"
#include "qzcli/port_commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const qzcli::ParseResult parsed = qzcli::ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "qzcli: %s (see 'qzcli --help')\n", parsed.error.c_str());
    return 2;
  }
  const qzcli::Options& options = *parsed.options;
  switch (options.action) {
    case qzcli::Action::kHelp:
      std::fputs(qzcli::kUsage, stdout);
      return 0;
    case qzcli::Action::kVersion:
      std::fputs(QZ_VERSION_LINE("qzcli"), stdout);
      return 0;
    case qzcli::Action::kListExports:
      for (const qzcli::ExportEntry& entry : qzcli::Exports()) {
        std::printf("%-30s %s\n", std::string(entry.name).c_str(), entry.arguments.c_str());
      }
      return 0;
    case qzcli::Action::kListPorts:
      return qzcli::ListPorts(stdout);
    case qzcli::Action::kSetPort:
      return qzcli::SetPort(options.mappedPort, options.mappedTarget, stdout, stderr);
    case qzcli::Action::kClearPort:
      return qzcli::ClearPort(options.mappedPort, stdout, stderr);
    case qzcli::Action::kCalls:
      break;
  }
  return qzcli::RunCalls(options, stdout);
}
