// qzlinkd's command line: what to do, where to listen, which lines to own.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace qzlinkd {

enum class Action { kRun, kHelp, kVersion, kPrintToken, kLineWorker };

struct Options {
  Action action = Action::kRun;
  QList<QHostAddress> addresses;  // empty: 127.0.0.1 and ::1
  QStringList hostNames;          // the names given with --listen, for the Host check
  quint16 port = 8099;
  QList<int> lines;  // COM numbers, each once, in the order given
  bool foreground = false;
  int workerLine = 0;                            // --line-worker N (started by qzlinkd itself)
  QString tokenScope = QStringLiteral("admin");  // --print-token [read|control|admin]
};

struct ParseResult {
  std::optional<Options> options;
  QString error;  // one line, when options is empty
};

ParseResult ParseCommandLine(const QStringList& args);

// The --help text: the first line, usage, options, exit status.
extern const char kUsage[];

}  // namespace qzlinkd
