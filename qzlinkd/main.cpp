// qzlinkd: the network control service on camera lines, without a window.
#include <QCoreApplication>

#include <cstdio>

#include "netcontrol/access_policy.h"
#include "netcontrol/token_store.h"
#include "qz_version.h"
#include "qzlinkd/command_line.h"
#include "qzlinkd/daemon.h"
#include "qzlinkd/line_worker.h"
#include "ui/link/library_window.h"

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);
  const qzlinkd::ParseResult parsed = qzlinkd::ParseCommandLine(args);
  if (!parsed.options) {
    std::fprintf(stderr, "qzlinkd: %s (see 'qzlinkd --help')\n", qPrintable(parsed.error));
    return 2;
  }
  const qzlinkd::Options& options = *parsed.options;
  switch (options.action) {
    case qzlinkd::Action::kHelp:
      std::fputs(qzlinkd::kUsage, stdout);
      return 0;
    case qzlinkd::Action::kVersion:
      std::fputs(QZ_VERSION_LINE("qzlinkd"), stdout);
      return 0;
    case qzlinkd::Action::kPrintToken: {
      const qznet::TokenLoad token =
          qznet::TokenStore::LoadOrCreate(qznet::TokenStore::DefaultPath());
      if (token.token.isEmpty()) {
        std::fprintf(stderr, "qzlinkd: %s\n", qPrintable(token.error));
        return 1;
      }
      QByteArray text = token.token;
      if (options.tokenScope == QLatin1String("read"))
        text = qznet::AccessPolicy::ScopedToken(token.token, qznet::Scope::Read);
      else if (options.tokenScope == QLatin1String("control"))
        text = qznet::AccessPolicy::ScopedToken(token.token, qznet::Scope::Control);
      std::printf("%s\n", text.constData());
      return 0;
    }
    case qzlinkd::Action::kLineWorker:
    case qzlinkd::Action::kRun:
      break;
  }

  QCoreApplication app(argc, argv);
  qtr90x::EnsureMessagePump();
  if (options.action == qzlinkd::Action::kLineWorker)
    return qzlinkd::RunLineWorker(options.workerLine);
  qzlinkd::Daemon daemon(options, QCoreApplication::applicationFilePath());
  QString error;
  if (!daemon.Start(&error)) {
    std::fprintf(stderr, "qzlinkd: %s\n", qPrintable(error));
    return 1;
  }
  return QCoreApplication::exec();
}
