// qzcli: calls exports of the camera link library by name and prints the
// frames sent and the answers and notifications received.
#include <cstdio>
#include <string>
#include <vector>

#include "qzcli/call_runner.h"
#include "qzcli/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const qzcli::ParseResult parsed = qzcli::ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "qzcli: %s\nTry 'qzcli --help'.\n", parsed.error.c_str());
    return 2;
  }
  const qzcli::Options& options = *parsed.options;
  if (options.help) {
    std::fputs(qzcli::kUsage, stdout);
    return 0;
  }
  if (options.list) {
    for (const qzcli::ExportEntry& entry : qzcli::Exports()) {
      std::printf("%-30s %s\n", std::string(entry.name).c_str(), entry.arguments.c_str());
    }
    return 0;
  }
  return qzcli::RunCalls(options, stdout);
}
