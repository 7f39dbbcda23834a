// qzscript [OPTION]... FILE.js [ARGUMENT]...: runs a JavaScript file with a
// WScript object. The options, exit statuses and environment are in
// HelpText() (command_line.cpp), which the manual page is made from.
#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "axcontrol/qzscript/command_line.h"
#include "axcontrol/qzscript/script_host.h"
#include "axcontrol/qzscript/stop_watcher.h"

int main(int argc, char** argv) {
  using namespace qzscript;
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.kind) {
    case CommandLine::kHelp:
      std::fputs(HelpText(), stdout);
      return 0;
    case CommandLine::kVersion:
      std::fputs(VersionLine().c_str(), stdout);
      return 0;
    case CommandLine::kError:
      std::fprintf(stderr, "qzscript: %s (see 'qzscript --help')\n", line.error.c_str());
      return 2;
    case CommandLine::kRun:
      break;
  }
  // Before any thread starts, so that every thread inherits the block and
  // only the watcher receives them.
  StopWatcher::BlockStopSignals();

  // Qt sees no arguments: they belong to the script.
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  const QString path = QString::fromLocal8Bit(line.scriptPath.c_str());
  QFile file(path.startsWith(':') ? "./" + path : path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "qzscript: cannot read %s: %s\n", line.scriptPath.c_str(),
                 qPrintable(file.errorString()));
    return 2;
  }
  const QString source = QString::fromUtf8(file.readAll());
  file.close();
  QStringList arguments;
  for (const std::string& argument : line.arguments) {
    arguments.append(QString::fromLocal8Bit(argument.c_str()));
  }

  int status = 0;
  int stopReason = 0;
  {
    ScriptHost host(path, arguments);
    StopWatcher watcher(line.timeout, [&host](int reason) { host.RequestStop(reason); });
    if (!watcher.Running()) {
      std::fprintf(stderr, "qzscript: cannot watch for signals: %s\n", std::strerror(errno));
      StopWatcher::UnblockStopSignals();
    }
    status = host.Run(source);
    stopReason = host.StopReason();
  }
  if (stopReason == kStopTimedOut) {
    std::fprintf(stderr, "qzscript: %s: timed out after %lld ms; sessions closed\n",
                 line.scriptPath.c_str(), static_cast<long long>(line.timeout->count()));
  }
  // Output that could not be written is a failure, unless the reader left
  // (SIGPIPE) or a signal ended the script anyway.
  if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && stopReason == 0) {
    std::fprintf(stderr, "qzscript: cannot write standard output: %s\n", std::strerror(errno));
    if (status == 0) {
      status = 1;
    }
  }
  return status;
}
